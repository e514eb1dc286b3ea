#include "irc/irc_channels.h"

#include "irc/irc_client.h"
#include "irc/irc_users.h"

TIrcNames::~TIrcNames()
{
    clear();
}

int TIrcNames::IndexOf(QByteArrayView nick) const
{
    const TIrcMember *member = m_list.Find(nick);
    return member ? m_list.IndexOf(member) : -1;
}

int TIrcNames::append(const QByteArray &nick, int flags)
{
    auto *member = new TIrcMember(nick, flags);
    m_list.Append(member, nick);
    return m_list.Count() - 1;
}

void TIrcNames::remove(TIrcMember *member)
{
    m_list.Remove(member);
    delete member;
}

void TIrcNames::rename(TIrcMember *member, const QByteArray &newNick)
{
    member->Nick = newNick;
    m_list.Rekey(member, newNick);
}

void TIrcNames::setCaseMapping(TIrcCaseMapping mapping)
{
    m_list.SetCaseMapping(mapping, [](const TIrcMember *m) { return QByteArrayView(m->Nick); });
}

void TIrcNames::clear()
{
    for (TIrcMember *member : m_list.TakeAll())
        delete member;
}

TIrcChannel::TIrcChannel(TIrcClient *client, const QByteArray &name)
    : m_client(client), m_name(name)
{}

void TIrcChannel::notify(TIrcChannelUpdateType type, TIrcUser *user, int info)
{
    if (OnChannelUpdate)
        OnChannelUpdate(this, type, user, info);
}

void TIrcChannel::SetTopic(const QByteArray &topic)
{
    m_topic = topic;
    notify(cuTopic, nullptr, 0);
}

void TIrcChannel::SetMode(TIrcChanModeFlags mode)
{
    m_mode = mode;
    notify(cuMode, nullptr, 0);
}

void TIrcChannel::SetLimit(int limit)
{
    m_limit = limit;
    notify(cuMode, nullptr, 0);
}

void TIrcChannel::SetKey(const QByteArray &key)
{
    m_key = key;
    notify(cuMode, nullptr, 0);
}

TIrcUser *TIrcChannel::AddUser(QByteArrayView entry, QByteArrayView address)
{
    int flags = 0;
    QByteArray symbols;
    QByteArrayView nick = m_client->Isupport().StripPrefixes(entry, &symbols);
    if (const qsizetype bang = nick.indexOf('!'); bang > 0) {
        if (address.isEmpty())
            address = nick.sliced(bang + 1);
        nick = nick.first(bang);
    }
    if (symbols.contains('@') || symbols.contains('~') || symbols.contains('&')) {
        flags = MemberOp;
        if (nick.endsWith('+')) {
            flags |= MemberVoice;
            nick.chop(1);
        }
    }
    if (symbols.contains('+'))
        flags |= MemberVoice;
    if (m_names.find(nick))
        return nullptr;
    TIrcUser *user = m_client->Users().Add(nick, address);
    // Share the record's bytes when they spell the nick the same way.
    m_names.append(user->Nick == nick ? user->Nick : nick.toByteArray(), flags);
    return user;
}

void TIrcChannel::MemberJoined(TIrcUser *user)
{
    if (!user || m_names.find(user->Nick))
        return;
    const int index = m_names.append(user->Nick, 0);
    notify(cuJoin, user, index);
}

void TIrcChannel::removeMember(TIrcUser *user, TIrcChannelUpdateType type)
{
    if (!user)
        return;
    TIrcMember *member = m_names.find(user->Nick);
    if (!member)
        return;
    notify(type, user, m_names.m_list.IndexOf(member));
    // The handler may have changed the list; look again before deleting.
    member = m_names.find(user->Nick);
    if (member)
        m_names.remove(member);
}

void TIrcChannel::MemberParted(TIrcUser *user)
{
    removeMember(user, cuPart);
}

void TIrcChannel::MemberKicked(TIrcUser *user)
{
    removeMember(user, cuKick);
}

void TIrcChannel::MemberQuit(TIrcUser *user)
{
    removeMember(user, cuQuit);
}

void TIrcChannel::MemberNickChanged(TIrcUser *user, const QByteArray &newNick)
{
    if (!user)
        return;
    TIrcMember *member = m_names.find(user->Nick);
    if (!member)
        return;
    m_names.rename(member, newNick);
    notify(cuNick, user, m_names.m_list.IndexOf(member));
}

void TIrcChannel::changeFlags(TIrcUser *user, int flag, bool set)
{
    if (!user)
        return;
    TIrcMember *member = m_names.find(user->Nick);
    if (!member)
        return;
    member->Flags = set ? (member->Flags | flag) : (member->Flags & ~flag);
    notify(cuUser, user, member->Flags);
}

QByteArray TIrcChannel::ModeString() const
{
    if (m_mode == 0)
        return {};
    static const char letters[] = "psitnmlk";
    QByteArray text("+");
    for (int bit = 0; bit < 8; ++bit) {
        if (m_mode & (1 << bit))
            text += letters[bit];
    }
    if (m_mode & cfLimit)
        text += ' ' + QByteArray::number(m_limit);
    if (m_mode & cfKey)
        text += ' ' + m_key;
    return text;
}

void TIrcChannel::Kick(const QByteArray &nick, const QByteArray &reason)
{
    m_client->Kick(m_name, nick, reason);
}

void TIrcChannel::Op(const QByteArray &nick)
{
    m_client->Mode(m_name, "+o", nick);
}

void TIrcChannel::Deop(const QByteArray &nick)
{
    m_client->Mode(m_name, "-o", nick);
}

TIrcChannels::~TIrcChannels()
{
    Clear();
}

TIrcChannel *TIrcChannels::Add(const QByteArray &name)
{
    Remove(name);
    auto *channel = new TIrcChannel(m_client, name);
    channel->OnChannelUpdate = m_client->OnChannelUpdate;
    channel->SetCaseMapping(m_list.CaseMapping());
    m_list.Append(channel, name);
    return channel;
}

void TIrcChannels::Remove(QByteArrayView name)
{
    if (TIrcChannel *channel = m_list.Find(name)) {
        m_list.Remove(channel);
        delete channel;
    }
}

int TIrcChannels::Find(QByteArrayView name) const
{
    TIrcChannel *channel = m_list.Find(name);
    return channel ? m_list.IndexOf(channel) : -1;
}

void TIrcChannels::Clear()
{
    for (TIrcChannel *channel : m_list.TakeAll())
        delete channel;
}

void TIrcChannels::SetCaseMapping(TIrcCaseMapping mapping)
{
    m_list.SetCaseMapping(mapping, [](const TIrcChannel *c) { return QByteArrayView(c->Name()); });
    m_list.ForEach([mapping](TIrcChannel *c) { c->SetCaseMapping(mapping); });
}

void TIrcChannels::NickChanged(TIrcUser *user, const QByteArray &newNick)
{
    // By index: a handler of the update may add or remove channels meanwhile.
    for (int i = 0; i < m_list.Count(); ++i)
        m_list.At(i)->MemberNickChanged(user, newNick);
}

void TIrcChannels::Quit(TIrcUser *user)
{
    for (int i = 0; i < m_list.Count(); ++i)
        m_list.At(i)->MemberQuit(user);
}
