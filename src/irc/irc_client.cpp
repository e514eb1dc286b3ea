#include "irc/irc_client.h"

#include "irc/irc_error.h"
#include "irc/message_split.h"
#include "irc/socket_error.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

TIrcClient::TIrcClient(QObject *parent) : TTcpClient(parent), m_users(this), m_channels(this)
{
    Port = 6667;
    m_sendQueue.IntervalMs = 0;
    m_silenceTimer.setInterval(5000);
    connect(&m_silenceTimer, &QTimer::timeout, this, [this] {
        try {
            CheckSilence();
        } catch (const std::exception &error) {
            const auto *own = dynamic_cast<const ETalvinError *>(&error);
            ReportReadError(own ? own->message() : QString::fromLocal8Bit(error.what()));
        }
    });
    m_sendTimer.setSingleShot(true);
    connect(&m_sendTimer, &QTimer::timeout, this, [this] {
        try {
            flushSendQueue();
        } catch (const std::exception &error) {
            // A line that could not be written: nobody waits for it, so it is reported
            // like any other failure of the connection.
            const auto *own = dynamic_cast<const ETalvinError *>(&error);
            ReportReadError(own ? own->message() : QString::fromLocal8Bit(error.what()));
        }
    });
}

TIrcClient::~TIrcClient()
{
    // The base class stops the reading thread and closes the socket without events.
    m_selfUser = nullptr;
}

QByteArray TIrcClient::Nick()
{
    return Connected() ? m_currentNick : m_nick;
}

void TIrcClient::SetNick(const QByteArray &nick)
{
    if (Connected())
        Raw("NICK " + nick);
    else
        m_nick = nick;
}

void TIrcClient::SetUserMode(TIrcUserModes modes)
{
    if (!Connected())
        m_userMode = modes;
}

void TIrcClient::SetState(TIrcClientState state)
{
    if (m_state == state)
        return;
    m_state = state;
    if (OnStateChange)
        OnStateChange(this);
}

QByteArray TIrcClient::LocalAddress()
{
    // The machine's first IPv4 address that is not loopback; loopback when it has none.
    QByteArray result("127.0.0.1");
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return result;
    for (ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const auto *address = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr);
        if ((ntohl(address->sin_addr.s_addr) >> 24) == 127)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) {
            result = text;
            break;
        }
    }
    freeifaddrs(list);
    return result;
}

void TIrcClient::Connect(int /*timeoutMs*/)
{
    if (m_dispatchDepth > 0) {
        // A handler that pumps events can get here while the dispatcher still holds the
        // line's user and channel records; clearing the registries now would free them
        // under it, and the rest of the line would be handled on the new connection.
        m_connectDeferred = true;
        return;
    }
    if (Connected())
        Disconnect(true);
    m_channels.Clear();
    m_users.Clear();
    m_selfUser = m_users.Add(m_nick, QByteArrayView());
    m_selfUserGeneration = m_users.Generation();
    m_currentNick = m_nick;
    m_nickAttempts = 1;
    m_triedNicks = {m_nick};
    m_isupport = TIrcIsupport();
    setCaseMapping(TIrcCaseMapping::AsciiCyrillic);
    m_caps = TIrcCaps();
    m_saslRunning = false;
    m_sendQueue.Clear();
    SetState(stConnecting);

    TTcpClient::Connect(-1);

    SetState(stRegistering);
    m_silence.Received();
    m_silenceTimer.start();
    try {
        if (OnConnect)
            OnConnect(this);
        if (Connected() && !ReadThreadRunning()) // a handler's write may have started it
            StartReadThread();
        const QByteArray localAddress = BoundIP.isEmpty() ? LocalAddress() : BoundIP.toLatin1();
        const QByteArray serverField = m_serverName.isEmpty() ? localAddress : m_serverName;
        if (NegotiateCaps) {
            m_caps.Start();
            Raw("CAP LS 302");
        }
        if (!Password.isEmpty())
            Raw("PASS " + Password);
        Raw("NICK " + m_nick);
        Raw("USER " + Username + ' ' + localAddress + ' ' + serverField + " :" + RealName);
    } catch (const ESocketError &) {
        throw EComponentError(QStringLiteral("IRC Connect Failed"));
    }
}

void TIrcClient::Disconnect(bool force)
{
    if (m_state != stConnected && !force)
        return;
    m_connectDeferred = false; // the later request wins
    if (m_selfUser && m_selfUserGeneration == m_users.Generation())
        m_users.Remove(m_selfUser);
    m_selfUser = nullptr;
    SetState(stDisconnecting);
    if (OnDisconnect)
        OnDisconnect(this);
    // Lines still waiting for their turn are dropped with the connection.
    m_sendQueue.Clear();
    m_sendTimer.stop();
    m_silenceTimer.stop();
    StopReadThread();
    TTcpClient::Disconnect();
    SetState(stDisconnected);
    if (OnDisconnected)
        OnDisconnected(this);
}

void TIrcClient::Raw(const QByteArray &line)
{
    // Only the first line of the text goes out: a CR, LF or NUL inside it would end the
    // command early and let the rest pass as a command of its own.
    qsizetype cut = line.size();
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\r' || c == '\n' || c == '\0') {
            cut = i;
            break;
        }
    }
    QByteArray sent = cut == line.size() ? line : line.left(cut);
    if (!Connected()) {
        if (OnError)
            OnError(this, nullptr, QByteArray(), QByteArrayLiteral("Not connected to server."));
        return;
    }
    const TSendPriority priority = priorityOf(sent);
    if (OnSending)
        OnSending(this, sent);
    m_sendQueue.Push(sent, priority);
    flushSendQueue();
}

TSendPriority TIrcClient::priorityOf(const QByteArray &line) const
{
    const qsizetype blank = line.indexOf(" ");
    const QByteArrayView word = QByteArrayView(line).first(blank < 0 ? line.size() : blank);
    if (word.compare("PONG", Qt::CaseInsensitive) == 0 ||
        word.compare("QUIT", Qt::CaseInsensitive) == 0)
        return TSendPriority::Urgent;
    return m_automaticDepth > 0 ? TSendPriority::Automatic : TSendPriority::User;
}

void TIrcClient::flushSendQueue()
{
    m_sendTimer.stop();
    const QList<QByteArray> due = m_sendQueue.TakeDue();
    for (qsizetype i = 0; i < due.size(); ++i) {
        if (!Connected()) {
            m_sendQueue.Clear();
            return;
        }
        WriteLn(due[i]);
        if (OnSend)
            OnSend(this, due[i]);
    }
    const qint64 wait = m_sendQueue.MsUntilNext();
    if (wait >= 0)
        m_sendTimer.start(static_cast<int>(qMin<qint64>(wait, 60000)));
}

void TIrcClient::CheckSilence()
{
    if (!Connected()) {
        m_silenceTimer.stop();
        return;
    }
    switch (m_silence.Check()) {
    case TSilenceWatch::TVerdict::Quiet:
        break;
    case TSilenceWatch::TVerdict::SendPing:
        Raw("PING :" + (m_serverName.isEmpty() ? Host.toLatin1() : m_serverName));
        break;
    case TSilenceWatch::TVerdict::Lost:
        m_silenceTimer.stop();
        ReportReadError(QStringLiteral("No answer from the server for %1 seconds.")
                            .arg((m_silence.PingAfterMs + m_silence.LostAfterMs) / 1000));
        ConnectionLost();
        break;
    }
}

void TIrcClient::sendText(const char *command, const QByteArray &target, const QByteArray &text)
{
    const QByteArray head = QByteArray(command) + ' ' + target + " :";
    qsizetype start = 0;
    bool hasBreak = false;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool atEnd = i == text.size();
        const char c = atEnd ? '\n' : text[i];
        if (c != '\r' && c != '\n' && c != '\0')
            continue;
        if (!atEnd)
            hasBreak = true;
        // A text of several lines goes out as one message per line, empty lines skipped;
        // a single line goes out as given, even when empty.
        if (i > start || !hasBreak)
            sendFitted(command, target, head, text.mid(start, i - start));
        start = i + 1;
    }
}

void TIrcClient::sendFitted(const char *command, const QByteArray &target, const QByteArray &head,
                            const QByteArray &text)
{
    const QByteArray address = m_selfUser ? m_selfUser->Address : QByteArray();
    qsizetype room = MessageTextRoom(command, target, m_currentNick, address);
    // An action keeps its CTCP frame in every part; other CTCP messages are short and go
    // out whole.
    static const QByteArray actionStart = "\x01"
                                          "ACTION ";
    const bool action = text.startsWith(actionStart) && text.endsWith('\x01');
    if (action)
        room -= actionStart.size() + 1;
    else if (text.startsWith('\x01'))
        room = text.size();
    const QByteArrayView body =
        action ? QByteArrayView(text).sliced(actionStart.size()).chopped(1) : QByteArrayView(text);
    for (const QByteArray &part : SplitMessageText(body, room))
        Raw(action ? head + actionStart + part + '\x01' : head + part);
}

void TIrcClient::Say(const QByteArray &target, const QByteArray &text)
{
    sendText("PRIVMSG", target, text);
}

void TIrcClient::Notice(const QByteArray &target, const QByteArray &text)
{
    sendText("NOTICE", target, text);
}

void TIrcClient::CTCPReply(const QByteArray &target, const QByteArray &word,
                           const QByteArray &reply)
{
    Notice(target, '\x01' + word + ' ' + reply + '\x01');
}

void TIrcClient::Join(const QByteArray &channel, const QByteArray &key)
{
    Raw(key.isEmpty() ? "JOIN " + channel : "JOIN " + channel + ' ' + key);
}

void TIrcClient::Part(const QByteArray &channel, const QByteArray &reason)
{
    Raw(reason.isEmpty() ? "PART " + channel : "PART " + channel + " :" + reason);
}

void TIrcClient::Kick(const QByteArray &channel, const QByteArray &nick, const QByteArray &reason)
{
    Raw("KICK " + channel + ' ' + nick + " :" + reason);
}

void TIrcClient::Quit(const QByteArray &reason)
{
    Raw("QUIT :" + reason);
}

void TIrcClient::Mode(const QByteArray &target, const QByteArray &modes, const QByteArray &argument)
{
    if (argument.isEmpty())
        Raw("MODE " + target + ' ' + modes);
    else
        Raw("MODE " + target + ' ' + modes + ' ' + argument);
}

void TIrcClient::SetTopic(const QByteArray &channel, const QByteArray &topic)
{
    Raw("TOPIC " + channel + " :" + topic);
}

bool TIrcClient::IsChannelName(QByteArrayView name)
{
    if (name.isEmpty())
        return false;
    const char c = name[0];
    return c == '#' || c == '&' || c == '!' || c == '+';
}

void TIrcClient::ParseLine()
{
    ::ParseLine(m_parse);
}

void TIrcClient::LineArrived(QByteArray &line)
{
    m_silence.Received();
    if (m_state == stDisconnected || line.isEmpty())
        return;
    if (OnReceive)
        OnReceive(this, line);
    Dispatch(line);
}
