// Dispatching of server lines: the command words and the channel and user modes.
#include "irc/irc_client.h"

#include <QScopeGuard>

#include <cstring>
#include <exception>

const TIrcClient::TCommandEntry TIrcClient::s_commands[] = {
    {"PRIVMSG", &TIrcClient::onPrivmsg},
    {"NOTICE", &TIrcClient::onNotice},
    {"JOIN", &TIrcClient::onJoin},
    {"PART", &TIrcClient::onPart},
    {"KICK", &TIrcClient::onKick},
    {"MODE", &TIrcClient::onMode},
    {"NICK", &TIrcClient::onNick},
    {"QUIT", &TIrcClient::onQuit},
    {"INVITE", &TIrcClient::onInvite},
    {"KILL", &TIrcClient::onKill},
    {"PING", &TIrcClient::onPing},
    {"WALLOPS", &TIrcClient::onWallops},
    {"TOPIC", &TIrcClient::onTopic},
    {"CAP", &TIrcClient::onCap},
    {"AUTHENTICATE", &TIrcClient::onAuthenticate},
    {"AWAY", &TIrcClient::onAway},
    {"CHGHOST", &TIrcClient::onChghost},
    {"ACCOUNT", &TIrcClient::onQuietly},
    {"TAGMSG", &TIrcClient::onQuietly},
    {nullptr, nullptr},
};

namespace {

// The numeric code of a command word made of digits only, or -1.
int numericCode(const QByteArray &word)
{
    if (word.isEmpty() || word.size() > 9)
        return -1;
    int code = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return -1;
        code = code * 10 + (c - '0');
    }
    return code;
}

} // namespace

void TIrcClient::Dispatch(const QByteArray &line)
{
    ++m_dispatchDepth;
    std::exception_ptr failure;
    try {
        dispatchLine(line);
    } catch (...) {
        failure = std::current_exception();
    }
    if (--m_dispatchDepth == 0 && m_connectDeferred) {
        m_connectDeferred = false;
        if (failure) {
            // The line's own error is the one reported; the reconnect is still made.
            try {
                Connect();
            } catch (const std::exception &error) {
                qWarning("Reconnect after a failed line failed too: %s", error.what());
            }
        } else {
            Connect();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TIrcClient::dispatchLine(const QByteArray &line)
{
    m_parse.Line = line;
    ::ParseLine(m_parse);

    TIrcUser *user = m_users.Add(m_parse.SenderNick, m_parse.SenderAddress);
    const quint64 generation = m_users.Generation();
    // The line's reference to its sender goes back however the handling ends, also when a
    // handler throws (unless a reconnect meanwhile cleared the registry and the record).
    auto release = qScopeGuard([&] {
        if (m_users.Generation() == generation)
            m_users.Remove(user);
    });

    if (OnRaw) {
        bool suppress = false;
        OnRaw(this, user, m_parse.CommandWord, m_parse.ParamText, suppress);
        if (suppress)
            return;
    }

    const int code = numericCode(m_parse.CommandWord);
    if (code >= 0) {
        dispatchNumeric(code, user);
        return;
    }
    const QByteArray &word = m_parse.CommandWord;
    for (const TCommandEntry *entry = s_commands; entry->Word; ++entry) {
        // Exact comparison: a lower-case "privmsg" is not a command we know.
        if (word.size() == qsizetype(std::strlen(entry->Word)) &&
            std::memcmp(word.constData(), entry->Word, std::size_t(word.size())) == 0) {
            (this->*entry->Handler)(user);
            return;
        }
    }
    if (OnUnknownCommand)
        OnUnknownCommand(this, user, m_parse.CommandWord, m_parse.ParamText);
}

void TIrcClient::onPrivmsg(TIrcUser *user)
{
    if (!tok(3).isEmpty() && tok(3)[0] == '\x01') {
        ctcpQuery(user);
        return;
    }
    if (OnMessage)
        OnMessage(this, user, messageChannel(), tok(3));
}

void TIrcClient::onNotice(TIrcUser *user)
{
    if (!tok(3).isEmpty() && tok(3)[0] == '\x01') {
        ctcpReply(user);
        return;
    }
    if (OnNotice)
        OnNotice(this, user, messageChannel(), tok(3));
}

TIrcChannel *TIrcClient::messageChannel() const
{
    if (TIrcChannel *channel = channelNamed(2))
        return channel;
    // "@#chan" and "+#chan" reach only the channel's operators or voiced users, but they
    // are the channel's traffic all the same.
    const QByteArray &target = tok(2);
    if (target.size() > 1 && (target[0] == '@' || target[0] == '+') &&
        m_isupport.IsChannelName(QByteArrayView(target).sliced(1)))
        return m_channels.Get(target.mid(1));
    return nullptr;
}

void TIrcClient::onJoin(TIrcUser *user)
{
    if (m_parse.SenderNick == m_currentNick) {
        TIrcChannel *channel = m_channels.Add(tok(2));
        channel->SetActive(true);
        // The mode query carries an empty mode text, so the line ends in a blank.
        Mode(tok(2), QByteArray());
        if (OnJoined)
            OnJoined(this, channel);
        return;
    }
    TIrcChannel *channel = channelNamed(2);
    if (channel)
        channel->MemberJoined(user);
    if (OnJoin)
        OnJoin(this, user, channel);
}

void TIrcClient::onPart(TIrcUser *user)
{
    user->Reason = tok(3);
    TIrcChannel *channel = channelNamed(2);
    if (m_parse.SenderNick == m_currentNick) {
        if (channel) {
            channel->SetActive(false);
            channel->SetLeftBy(lbParted);
        }
        // The record goes once the handler is done with it, also when the handler throws.
        auto drop = qScopeGuard([&] {
            if (channel)
                m_channels.Remove(channel->Name());
        });
        if (OnParted)
            OnParted(this, channel);
        return;
    }
    if (channel)
        channel->MemberParted(user);
    if (OnPart)
        OnPart(this, user, channel);
}

void TIrcClient::onKick(TIrcUser *user)
{
    user->Reason = tok(4);
    TIrcChannel *channel = channelNamed(2);
    if (tok(3) == m_currentNick) {
        if (channel) {
            channel->SetActive(false);
            channel->SetLeftBy(lbKicked);
        }
        auto drop = qScopeGuard([&] {
            if (channel)
                m_channels.Remove(channel->Name());
        });
        if (OnKicked)
            OnKicked(this, user, channel);
        return;
    }
    TIrcUser *victim = m_users.Add(tok(3), QByteArrayView());
    const quint64 generation = m_users.Generation();
    auto release = qScopeGuard([&] {
        if (m_users.Generation() == generation)
            m_users.Remove(victim);
    });
    victim->Reason = user->Reason;
    if (OnKick)
        OnKick(this, user, victim, channel);
    if (channel && m_channels.Get(tok(2)) == channel)
        channel->MemberKicked(victim);
}

QByteArray TIrcClient::joinModes(int firstSlot) const
{
    QByteArray modes = tok(firstSlot);
    for (int slot = firstSlot + 1; slot < IrcTokenCount; ++slot) {
        if (!tok(slot).isEmpty())
            modes += ' ' + tok(slot);
    }
    return modes;
}

void TIrcClient::onMode(TIrcUser * /*user*/)
{
    if (m_isupport.IsChannelName(tok(2))) {
        TIrcChannel *channel = channelNamed(2);
        if (!channel)
            return;
        if (OnChannelMode)
            OnChannelMode(this, m_users.Get(m_parse.SenderNick), channel, tok(2), joinModes(3));
        ParseChannelModes(2);
        return;
    }
    if (tok(2) != m_currentNick)
        return;
    if (OnUserMode)
        OnUserMode(this, tok(3));
    if (ParseUserModes() && OnUserModeChanged)
        OnUserModeChanged(this);
}

void TIrcClient::ParseChannelModes(int slot)
{
    TIrcChannel *channel = channelNamed(slot);
    if (!channel)
        return;
    TIrcUser *setter = m_users.Get(m_parse.SenderNick);
    TIrcChanModeFlags flags = channel->Mode();
    bool plus = true;
    int argument = slot + 2;
    auto nextArgument = [&]() -> const QByteArray & {
        static const QByteArray none;
        return argument < IrcTokenCount ? tok(argument++) : none;
    };
    auto setFlag = [&](TIrcChanModeFlags flag) { flags = plus ? (flags | flag) : (flags & ~flag); };
    // Copy: a handler may send commands, but the parse state stays; the copy keeps the loop
    // independent of it all the same.
    const QByteArray letters = tok(slot + 1);
    for (char letter : letters) {
        switch (letter) {
        case '+':
        case '-':
            plus = letter == '+';
            break;
        case 'o':
        case 'v': {
            TIrcUser *target = m_users.Get(nextArgument());
            const bool op = letter == 'o';
            const auto &event = op ? (plus ? OnOp : OnDeop) : (plus ? OnVoice : OnDevoice);
            if (event)
                event(this, setter, channel, target);
            if (op)
                plus ? channel->OperatorSet(target) : channel->OperatorCleared(target);
            else
                plus ? channel->VoiceSet(target) : channel->VoiceCleared(target);
            break;
        }
        case 'b': {
            const QByteArray &mask = nextArgument();
            const auto &event = plus ? OnBan : OnUnban;
            if (event)
                event(this, setter, channel, mask);
            break;
        }
        case 'k':
            // Only the plus form carries the key; "-k" takes no argument.
            setFlag(cfKey);
            channel->SetKey(plus ? nextArgument() : QByteArray());
            break;
        case 'l':
            setFlag(cfLimit);
            if (plus) {
                bool ok = false;
                const int limit = nextArgument().toInt(&ok);
                channel->SetLimit(ok ? limit : 0);
            } else {
                channel->SetLimit(0);
            }
            break;
        case 'p':
            setFlag(cfPrivate);
            break;
        case 's':
            setFlag(cfSecret);
            break;
        case 'i':
            setFlag(cfInviteOnly);
            break;
        case 't':
            setFlag(cfTopicByOps);
            break;
        case 'n':
            setFlag(cfNoOutside);
            break;
        case 'm':
            setFlag(cfModerated);
            break;
        default:
            break;
        }
    }
    if (flags != channel->Mode())
        channel->SetMode(flags);
}

bool TIrcClient::ParseUserModes()
{
    TIrcUserModes modes = m_userMode;
    bool plus = true;
    for (char letter : tok(3)) {
        TIrcUserModes flag = 0;
        switch (letter) {
        case '+':
        case '-':
            plus = letter == '+';
            continue;
        case 'i':
            flag = umInvisible;
            break;
        case 'o':
            flag = umOperator;
            break;
        case 's':
            flag = umServerNotices;
            break;
        case 'w':
            flag = umWallops;
            break;
        default:
            continue;
        }
        modes = plus ? (modes | flag) : (modes & ~flag);
    }
    if (modes == m_userMode)
        return false;
    m_userMode = modes;
    return true;
}

void TIrcClient::onNick(TIrcUser *user)
{
    const QByteArray newNick = tok(2);
    if (m_parse.SenderNick == m_currentNick) {
        const QByteArray oldNick = m_currentNick;
        m_currentNick = newNick;
        if (OnNickChanged)
            OnNickChanged(this, oldNick);
    } else if (OnNickChange) {
        OnNickChange(this, user, newNick);
    }
    m_channels.NickChanged(user, newNick);
    m_users.Rename(user, newNick);
}

void TIrcClient::onQuit(TIrcUser *user)
{
    user->Reason = tok(2);
    if (OnQuit)
        OnQuit(this, user);
    m_channels.Quit(user);
}

void TIrcClient::onInvite(TIrcUser *user)
{
    if (OnInvite)
        OnInvite(this, user, tok(3));
}

void TIrcClient::onKill(TIrcUser *user)
{
    if (OnKill)
        OnKill(this, user, tok(2), tok(3));
}

void TIrcClient::onPing(TIrcUser * /*user*/)
{
    Raw("PONG :" + tok(2));
    if (OnPingPong)
        OnPingPong(this);
}

void TIrcClient::onWallops(TIrcUser *user)
{
    if (OnWallops)
        OnWallops(this, user, tok(2));
}

void TIrcClient::onTopic(TIrcUser *user)
{
    TIrcChannel *channel = channelNamed(2);
    if (!channel)
        return;
    channel->SetTopic(tok(3));
    if (OnTopic)
        OnTopic(this, user, channel, channel->Name(), tok(3));
}
