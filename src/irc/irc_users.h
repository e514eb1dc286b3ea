#pragma once

#include "irc/irc_ordered_list.h"
#include "irc/irc_types.h"

#include <QByteArray>

// What the client knows of one nick: address, last part/quit/kick/away text and how many
// holders reference the record. Server lines and lines without a prefix use the record
// with the empty nick.
class TIrcUser : public TOrderedEntry
{
public:
    TIrcUser(TIrcClient *client, const QByteArray &nick, const QByteArray &address)
        : Client(client), Nick(nick), Address(address)
    {}

    TIrcClient *Client;
    QByteArray Nick;
    QByteArray Address;
    QByteArray Reason;
    int Count = 1;
};

// The client's user records in creation order, found by nick without regard to case.
// Records are reference counted: Add takes a reference, Remove gives one back and frees the
// record when none is left.
class TIrcUsers
{
public:
    explicit TIrcUsers(TIrcClient *client) : m_client(client) {}
    ~TIrcUsers();
    TIrcUsers(const TIrcUsers &) = delete;
    TIrcUsers &operator=(const TIrcUsers &) = delete;

    // Returns the record for nick with one more reference; a non-empty address that differs
    // from the stored one replaces it.
    TIrcUser *Add(QByteArrayView nick, QByteArrayView address);
    void Remove(TIrcUser *user);

    int Find(QByteArrayView nick) const;
    TIrcUser *Get(QByteArrayView nick) const { return m_list.Find(nick); }
    int Count() const { return m_list.Count(); }
    TIrcUser *Items(int index) const { return m_list.At(index); }
    TIrcUser *operator[](int index) const { return m_list.At(index); }
    void Clear();

    // Gives a record a new nick (the registry finds it under the new nick from now on).
    void Rename(TIrcUser *user, const QByteArray &newNick);

    // Nicks are found under the server's rule for comparing them from now on.
    void SetCaseMapping(TIrcCaseMapping mapping)
    {
        m_list.SetCaseMapping(mapping, [](const TIrcUser *u) { return QByteArrayView(u->Nick); });
    }

    // Changes whenever the registry is cleared, so a holder can tell that its references
    // went away with the old records.
    quint64 Generation() const { return m_generation; }

    template <typename F> void ForEach(F f) const { m_list.ForEach(f); }

private:
    TIrcClient *m_client;
    TKeyedOrderedList<TIrcUser> m_list;
    quint64 m_generation = 0;
};
