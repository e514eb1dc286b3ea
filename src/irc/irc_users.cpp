#include "irc/irc_users.h"

TIrcUsers::~TIrcUsers()
{
    Clear();
}

TIrcUser *TIrcUsers::Add(QByteArrayView nick, QByteArrayView address)
{
    if (TIrcUser *user = m_list.Find(nick)) {
        ++user->Count;
        if (!address.isEmpty() && user->Address != address)
            user->Address = address.toByteArray();
        return user;
    }
    auto *user = new TIrcUser(m_client, nick.toByteArray(), address.toByteArray());
    m_list.Append(user, nick);
    return user;
}

void TIrcUsers::Remove(TIrcUser *user)
{
    if (!user)
        return;
    if (--user->Count > 0)
        return;
    // A record nobody references any more goes, also one shadowed by a same-named record
    // (nothing could reach it again).
    m_list.Remove(user);
    delete user;
}

int TIrcUsers::Find(QByteArrayView nick) const
{
    TIrcUser *user = m_list.Find(nick);
    return user ? m_list.IndexOf(user) : -1;
}

void TIrcUsers::Clear()
{
    ++m_generation;
    for (TIrcUser *user : m_list.TakeAll())
        delete user;
}

void TIrcUsers::Rename(TIrcUser *user, const QByteArray &newNick)
{
    if (!user)
        return;
    user->Nick = newNick;
    m_list.Rekey(user, newNick);
}
