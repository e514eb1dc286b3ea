#pragma once

#include "irc/irc_ordered_list.h"
#include "irc/irc_types.h"

#include <QByteArray>

#include <functional>
#include <vector>

// One entry of a channel's name list: the nick as last seen and its MemberOp/MemberVoice flags.
class TIrcMember : public TOrderedEntry
{
public:
    TIrcMember(const QByteArray &nick, int flags) : Nick(nick), Flags(flags) {}

    QByteArray Nick;
    int Flags;
};

// A channel's members in the order they were added, found by nick without regard to case.
class TIrcNames
{
public:
    TIrcNames() = default;
    ~TIrcNames();
    TIrcNames(const TIrcNames &) = delete;
    TIrcNames &operator=(const TIrcNames &) = delete;

    int Count() const { return m_list.Count(); }
    const TIrcMember &operator[](int index) const { return *m_list.At(index); }
    const QByteArray &Nick(int index) const { return m_list.At(index)->Nick; }
    int Flags(int index) const { return m_list.At(index)->Flags; }
    int IndexOf(QByteArrayView nick) const;
    bool Contains(QByteArrayView nick) const { return m_list.Find(nick) != nullptr; }

    template <typename F> void ForEach(F f) const
    {
        m_list.ForEach([&](const TIrcMember *m) { f(*m); });
    }

private:
    friend class TIrcChannel;

    TIrcMember *find(QByteArrayView nick) const { return m_list.Find(nick); }
    int append(const QByteArray &nick, int flags);
    void remove(TIrcMember *member);
    void rename(TIrcMember *member, const QByteArray &newNick);
    void clear();
    void setCaseMapping(TIrcCaseMapping mapping);

    TKeyedOrderedList<TIrcMember> m_list;
};

using TIrcChannelUpdateEvent = std::function<void(
    TIrcChannel *Sender, TIrcChannelUpdateType AUpdateType, TIrcUser *AUser, int AInfo)>;

// A channel the client is in (or was in, until the next connect): members, topic and modes.
// Every change of its contents is reported through OnChannelUpdate.
class TIrcChannel : public TOrderedEntry
{
public:
    TIrcChannel(TIrcClient *client, const QByteArray &name);

    TIrcClient *Client() const { return m_client; }
    const QByteArray &Name() const { return m_name; }
    const QByteArray &Topic() const { return m_topic; }
    TIrcChanModeFlags Mode() const { return m_mode; }
    int Limit() const { return m_limit; }
    const QByteArray &Key() const { return m_key; }
    const TIrcNames &Names() const { return m_names; }
    bool Active() const { return m_active; }
    TIrcLeftBy LeftBy() const { return m_leftBy; }

    TIrcChannelUpdateEvent OnChannelUpdate;

    // Setters notify on every call, also when the value stays the same.
    void SetTopic(const QByteArray &topic);
    void SetMode(TIrcChanModeFlags mode);
    void SetLimit(int limit);
    void SetKey(const QByteArray &key);
    void SetActive(bool active) { m_active = active; }
    void SetLeftBy(TIrcLeftBy leftBy) { m_leftBy = leftBy; }
    // Members are found under the server's rule for comparing nicks.
    void SetCaseMapping(TIrcCaseMapping mapping) { m_names.setCaseMapping(mapping); }

    // A names-reply entry: the status symbols in front of the nick (the server's PREFIX;
    // several with multi-prefix) give the member's flags: "@" or a higher rank ("~", "&")
    // op, "+" voice; an op's trailing "+" also means voice. A "nick!user@host" entry
    // (userhost-in-names) brings its address. Returns the user record taken for a new member, nil
    // when the nick is already listed. The reference is kept for the registry's lifetime.
    TIrcUser *AddUser(QByteArrayView entry, QByteArrayView address);

    // Member upkeep; each does nothing for a nil user or a nick that is not (joined: that is
    // already) a member.
    void MemberJoined(TIrcUser *user);
    void MemberParted(TIrcUser *user);
    void MemberKicked(TIrcUser *user);
    void MemberQuit(TIrcUser *user);
    void MemberNickChanged(TIrcUser *user, const QByteArray &newNick);
    void OperatorSet(TIrcUser *user) { changeFlags(user, MemberOp, true); }
    void OperatorCleared(TIrcUser *user) { changeFlags(user, MemberOp, false); }
    void VoiceSet(TIrcUser *user) { changeFlags(user, MemberVoice, true); }
    void VoiceCleared(TIrcUser *user) { changeFlags(user, MemberVoice, false); }
    void NamesDone() { notify(cuNames, nullptr, 0); }

    // "+" and the letters of the set modes in the order p s i t n m l k, then the limit and
    // the key when those modes are set; empty with no modes.
    QByteArray ModeString() const;

    // Commands for the channel windows.
    void Kick(const QByteArray &nick, const QByteArray &reason);
    void Op(const QByteArray &nick);
    void Deop(const QByteArray &nick);

private:
    void notify(TIrcChannelUpdateType type, TIrcUser *user, int info);
    void removeMember(TIrcUser *user, TIrcChannelUpdateType type);
    void changeFlags(TIrcUser *user, int flag, bool set);

    TIrcClient *m_client;
    QByteArray m_name;
    QByteArray m_topic;
    TIrcChanModeFlags m_mode = 0;
    int m_limit = 0;
    QByteArray m_key;
    TIrcNames m_names;
    bool m_active = false;
    TIrcLeftBy m_leftBy = lbNone;
};

// The client's channel records in creation order, found by name without regard to case.
class TIrcChannels
{
public:
    explicit TIrcChannels(TIrcClient *client) : m_client(client) {}
    ~TIrcChannels();
    TIrcChannels(const TIrcChannels &) = delete;
    TIrcChannels &operator=(const TIrcChannels &) = delete;

    // A fresh record; one of the same name is freed first.
    TIrcChannel *Add(const QByteArray &name);
    void Remove(QByteArrayView name);
    int Find(QByteArrayView name) const;
    TIrcChannel *Get(QByteArrayView name) const { return m_list.Find(name); }
    int Count() const { return m_list.Count(); }
    TIrcChannel *Items(int index) const { return m_list.At(index); }
    TIrcChannel *operator[](int index) const { return m_list.At(index); }
    void Clear();
    // Channels and their members are found under the server's rule from now on.
    void SetCaseMapping(TIrcCaseMapping mapping);

    // Fan-out of a nick change or a quit to every channel.
    void NickChanged(TIrcUser *user, const QByteArray &newNick);
    void Quit(TIrcUser *user);

    template <typename F> void ForEach(F f) const { m_list.ForEach(f); }

private:
    TIrcClient *m_client;
    TKeyedOrderedList<TIrcChannel> m_list;
};
