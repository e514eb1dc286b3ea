// What the main window makes of the engine's events: status lines, the traffic log, the
// byte counter and the one automatic join after the message of the day.
#include "app/codepage.h"
#include "app/connect_attempt.h"
#include "app/main_window.h"
#include "app/talvin_application.h"
#include "config/event_sound.h"
#include "dialogs/day_team_form.h"
#include "irc/connection_intercept.h"
#include "irc/secret_mask.h"

#include <QLabel>
#include <QMetaObject>
#include <QTimer>

namespace {

const QColor Grey(128, 128, 128);
const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const QColor Green(0, 128, 0);
const QColor Black(0, 0, 0);

QString D(const QByteArray &bytes)
{
    return DecodeEngineText(bytes);
}

QString NickOf(const TIrcUser *user)
{
    return user ? D(user->Nick) : QString();
}

QString NameOf(const TIrcChannel *channel)
{
    return channel ? D(channel->Name()) : QString();
}

} // namespace

void TForm1::SetChannelEvent(const QString &channel, const QString &text)
{
    const int index = FindChannelForm(channel);
    if (index >= 0)
        QMetaObject::invokeMethod(ChannelForms[index], "ChannelEvent", Q_ARG(QString, text));
}

void TForm1::SetAllChannelEvent(const QString &text)
{
    for (const QPointer<QWidget> &form : ChannelForms) {
        if (form)
            QMetaObject::invokeMethod(form, "ChannelEvent", Q_ARG(QString, text));
    }
}

void TForm1::bindEngineEvents()
{
    // Every handler reports its own errors, so none unwinds through the engine.
    auto status = [this](const QString &text, const QColor &colour = Grey) {
        AddToStatus(text, colour);
    };

    // ---- Connection, byte stream and traffic log ----
    m_intercept->OnConnect = [this](TConnectionIntercept *) {
        RunGuarded([this] {
            m_logHost = HostText();
            m_sessionLog.CreateLogFile(m_logHost);
            Connect();
        });
    };
    m_intercept->OnDisconnect = [this](TConnectionIntercept *) {
        RunGuarded([this] {
            m_sessionLog.DestroyLogFile(m_logHost);
            Disconnect();
            ConnectionLost();
        });
    };
    m_intercept->OnReceive = [this](TConnectionIntercept *, QByteArray &chunk) {
        RunGuarded([&] {
            BytesReceived += quint64(chunk.size());
            PlayEventSound(QStringLiteral("recive"));
            UpdateByteCounter();
        });
    };
    m_intercept->OnSend = [this](TConnectionIntercept *, QByteArray &chunk) {
        RunGuarded([&] {
            BytesSent += quint64(chunk.size());
            PlayEventSound(QStringLiteral("send"));
            UpdateByteCounter();
        });
    };
    IRC->OnStatus = [this](TTcpConnection *, TConnectionStatus, const QString &text) {
        SetStatusText(text);
    };
    IRC->OnReadError = [](TTcpConnection *, const QString &message) {
        ReportUnhandledError(message);
    };
    // The log is for sharing: passwords and keys in a line are masked, in both directions.
    IRC->OnReceive = [this](TIrcClient *, QByteArray &line) {
        RunGuarded([&] {
            AddToLog(QByteArray("> ") + MaskSecrets(line));
            TextCodec.ReceiveLine(line);
        });
    };
    // Channel names, nicks and text are 1251 or UTF-8 inside the program; the server gets
    // them in its own code page, whichever window or reply worded the line.
    IRC->OnSending = [this](TIrcClient *, QByteArray &line) { line = TextCodec.SendLine(line); };
    IRC->EncodeLocalText = [](const QString &text) { return EncodeEngineText(text); };
    IRC->NegotiateCaps = true;
    // The network's name, once the server gives it: said, and shown in the title beside
    // the host.
    IRC->OnNetwork = [this](TIrcClient *, const QByteArray &network) {
        RunGuarded([&] {
            const QString name = D(network);
            setWindowTitle(QStringLiteral("Talvin [") + name + QStringLiteral(", ") + HostText() +
                           QLatin1Char(':') + QString::number(IRC->Port) + QLatin1Char(']'));
            AddToStatus(QStringLiteral("Сеть ") + name, Blue);
            Speech1->Speak(QStringLiteral("Сеть ") + name);
        });
    };
    // Identification failed: the user must know the nick is not logged in; the
    // connection goes on.
    IRC->OnSaslFailed = [this](TIrcClient *, const QByteArray &numeric, const QByteArray &text) {
        RunGuarded([&] {
            const QString said = QStringLiteral("Вход по SASL не выполнен: ") + D(text);
            AddToStatus((numeric.isEmpty() ? QString() : D(numeric) + u' ') + said, Red);
            Speech1->Speak(said);
        });
    };
    IRC->OnSend = [this](TIrcClient *, const QByteArray &line) {
        RunGuarded([&] { AddToLog(QByteArray("< ") + MaskSecrets(line)); });
    };

    // ---- Server events as status lines ----
    // Channel and private text goes to the channel windows alone, never to the status
    // window; the windows' routing is chained behind this handler.
    IRC->OnMessage = [](TIrcClient *, TIrcUser *, TIrcChannel *, const QByteArray &) {};
    // The channel list browser takes the list; the status window shows no line for it.
    IRC->OnList = [](TIrcClient *, const QList<QByteArray> &, int, bool) {};
    IRC->OnNotice = [status](TIrcClient *, TIrcUser *user, TIrcChannel *channel,
                             const QByteArray &text) {
        if (user && channel)
            status(QStringLiteral("NOTICE ") + NickOf(user) + ' ' + NameOf(channel) + ' ' +
                   D(text));
    };
    // The channel windows' join, part and quit lines come from their own routing, which
    // decides what of them is heard.
    IRC->OnJoin = [status](TIrcClient *, TIrcUser *user, TIrcChannel *channel) {
        status(QStringLiteral("JOIN ") + NickOf(user) + ' ' + NameOf(channel));
    };
    IRC->OnJoined = [status](TIrcClient *, TIrcChannel *channel) {
        status(QStringLiteral("JOINED ") + NameOf(channel));
    };
    IRC->OnPart = [status](TIrcClient *, TIrcUser *user, TIrcChannel *channel) {
        status(QStringLiteral("PART ") + NickOf(user) + ' ' + NameOf(channel));
    };
    IRC->OnParted = [this, status](TIrcClient *, TIrcChannel *channel) {
        status(QStringLiteral("PARTED ") + NameOf(channel));
        SetChannelEvent(NameOf(channel), QStringLiteral(" вышел из ") + NameOf(channel));
    };
    IRC->OnKick = [this, status](TIrcClient *, TIrcUser *user, TIrcUser *victim,
                                 TIrcChannel *channel) {
        const QString text =
            QStringLiteral("KICK ") + NickOf(user) + ' ' + NickOf(victim) + ' ' + NameOf(channel);
        status(text);
        SetChannelEvent(NameOf(channel), text);
        PlayEventSound(QStringLiteral("kick"));
    };
    IRC->OnKicked = [this, status](TIrcClient *, TIrcUser *user, TIrcChannel *channel) {
        status(QStringLiteral("KICKED ") + NickOf(user) + ' ' + NameOf(channel));
        SetChannelEvent(NameOf(channel), QStringLiteral("KICKED ") + NickOf(user));
        PlayEventSound(QStringLiteral("Kiked"));
    };
    IRC->OnNickChange = [status](TIrcClient *, TIrcUser *user, const QByteArray &newNick) {
        status(QStringLiteral("NICK CHANGE ") + NickOf(user) + QStringLiteral(" now is ") +
               D(newNick));
    };
    IRC->OnNickChanged = [status](TIrcClient *, const QByteArray &oldNick) {
        status(QStringLiteral("NICK CHANGED  old nick ") + D(oldNick));
    };
    IRC->OnNicksInUse = [status](TIrcClient *, QByteArray &nick) {
        status(QStringLiteral("NICK IN USE ") + D(nick));
    };
    IRC->OnNicksRefused = [this, status](TIrcClient *, const QList<QByteArray> &tried) {
        QStringList nicks;
        for (const QByteArray &nick : tried)
            nicks << D(nick);
        const QString text = QStringLiteral("Ники заняты: ") + nicks.join(QStringLiteral(", ")) +
                             QStringLiteral(". Введите другой ник.");
        status(text, Red);
        // Asked once the server's line is handled: the box runs an event loop of its own.
        QTimer::singleShot(0, this, [this, text] { RunGuarded([&] { AskForNewNick(text); }); });
    };
    IRC->OnTopic = [this, status](TIrcClient *, TIrcUser *user, TIrcChannel *channel,
                                  const QByteArray &chanName, const QByteArray &topic) {
        status(QStringLiteral("TOPIC ") + NickOf(user) + ' ' + D(chanName) + ' ' + D(topic));
        if (channel)
            SetChannelEvent(NameOf(channel),
                            QStringLiteral("TOPIC ") + NickOf(user) + ' ' + D(channel->Topic()));
    };
    IRC->OnNoTopic = [status](TIrcClient *, TIrcChannel *channel, const QByteArray &text) {
        status(QStringLiteral("NO TOPIC ") + NameOf(channel) + ' ' + D(text));
    };
    IRC->OnQuit = [status](TIrcClient *, TIrcUser *) { status(QStringLiteral("QUIT ")); };
    IRC->OnNames = [status](TIrcClient *, TIrcUsers *users, TIrcChannel *) {
        status(QStringLiteral("NAMES ") +
               (users && users->Count() > 0 ? NickOf(users->Items(0)) : QString()));
    };
    IRC->OnInvite = [status](TIrcClient *, TIrcUser *user, const QByteArray &channel) {
        status(NickOf(user) + ' ' + D(channel));
    };
    IRC->OnInviting = [status](TIrcClient *, const QByteArray &nick, const QByteArray &channel) {
        status(QStringLiteral("INVITING ") + D(nick) + ' ' + D(channel));
    };
    IRC->OnPingPong = [status](TIrcClient *) {
        status(QStringLiteral("PING-PONG "));
        PlayEventSound(QStringLiteral("pingpong"));
    };
    IRC->OnError = [this, status](TIrcClient *, TIrcUser *user, const QByteArray &,
                                  const QByteArray &error) {
        if (!user) {
            // A line refused because there is no connection ("Not connected to server."):
            // whoever typed it, in a command box, a channel or the status window, must hear
            // why nothing happened.
            status(D(error), Red);
            Speech1->Speak(D(error));
            return;
        }
        const QString text = QStringLiteral("ERROR ") + NickOf(user) + ' ' + D(error);
        status(text, Red);
        SetAllChannelEvent(text);
    };
    IRC->OnNowAway = [status](TIrcClient *, const QByteArray &text) {
        status(QStringLiteral("NOW AWAY ") + D(text));
    };
    IRC->OnUnAway = [status](TIrcClient *, const QByteArray &text) {
        status(QStringLiteral("UNAWAY ") + D(text));
    };
    IRC->OnWallops = [status](TIrcClient *, TIrcUser *user, const QByteArray &) {
        status(QStringLiteral("WALLOPS ") + NickOf(user));
    };
    IRC->OnSystem = [this](TIrcClient *, TIrcUser *user, int code, const QByteArray &command,
                           const QByteArray &content) {
        RunGuarded([&] { IRCSystem(code, command, content, user ? user->Nick : QByteArray()); });
    };
    IRC->OnRaw = [](TIrcClient *, TIrcUser *, const QByteArray &, const QByteArray &, bool &) {};
    IRC->OnOp = [status](TIrcClient *, TIrcUser *user, TIrcChannel *channel, TIrcUser *target) {
        if (target)
            status(QStringLiteral("OP ") + NickOf(user) + ' ' + NameOf(channel) +
                   QStringLiteral(" target ") + NickOf(target));
    };
    IRC->OnVoice = [status](TIrcClient *, TIrcUser *user, TIrcChannel *channel, TIrcUser *target) {
        if (user && channel && target)
            status(QStringLiteral("VOICE ") + NickOf(user) + ' ' + NameOf(channel) + ' ' +
                   NickOf(target));
    };
    IRC->OnBan = [this, status](TIrcClient *, TIrcUser *, TIrcChannel *channel,
                                const QByteArray &mask) {
        status(QStringLiteral("***BAN ") + NameOf(channel) + ' ' + D(mask));
        SetChannelEvent(NameOf(channel), QStringLiteral("BAN"));
    };
    IRC->OnUnban = [status](TIrcClient *, TIrcUser *user, TIrcChannel *channel,
                            const QByteArray &mask) {
        status(QStringLiteral("UNBAN ") + NickOf(user) + ' ' + NameOf(channel) + ' ' + D(mask));
    };
    IRC->OnChannelMode = [status](TIrcClient *, TIrcUser *, TIrcChannel *,
                                  const QByteArray &chanName, const QByteArray &modes) {
        status(QStringLiteral("MODE ") + D(chanName) + '[' + D(MaskChannelModes(modes)) + ']');
    };
    IRC->OnChannelModeChanged = [this, status](TIrcClient *, TIrcUser *user, TIrcChannel *channel) {
        const QString text = QStringLiteral("MODE CHANGED ") + NameOf(channel) +
                             QStringLiteral(" by ") + NickOf(user);
        status(text);
        SetChannelEvent(NameOf(channel), text);
    };
    IRC->OnUserMode = [status](TIrcClient *, const QByteArray &modes) {
        status(QStringLiteral("USER MODE ") + D(modes));
    };
    IRC->OnUserModeChanged = [status](TIrcClient *) {
        status(QStringLiteral("USER MODE CHANGED "));
    };
    IRC->OnKill = [status](TIrcClient *, TIrcUser *user, const QByteArray &victim,
                           const QByteArray &reason) {
        status(QStringLiteral("KILL ") + NickOf(user) + ' ' + D(victim) + ' ' + D(reason));
    };
    IRC->OnUnknownCommand = [status](TIrcClient *, TIrcUser *user, const QByteArray &command,
                                     const QByteArray &text) {
        // AUTHENTICATE payloads come this way.
        status(QStringLiteral("Unknown Command ") + NickOf(user) + ' ' +
               D(MaskSecrets(command + ' ' + text)));
    };
    IRC->OnDCCChat = [status](TIrcClient *, const QByteArray &nick, const QByteArray &,
                              const QByteArray &port) {
        status(QStringLiteral("DCC  Chat ") + D(nick) + ' ' + D(port));
    };
    IRC->OnDCCSend = [status](TIrcClient *, const QByteArray &nick, const QByteArray &,
                              const QByteArray &port, const QByteArray &, const QByteArray &) {
        status(QStringLiteral("DCC Send ") + D(nick) + ' ' + D(port));
    };
    IRC->OnDCCResume = [status](TIrcClient *, const QByteArray &nick, const QByteArray &port,
                                const QByteArray &file, const QByteArray &position) {
        status(QStringLiteral("DCC Resume ") + D(nick) + ' ' + D(port) + ' ' + D(file) + ' ' +
               D(position));
    };
    IRC->OnDCCAccept = [status](TIrcClient *, const QByteArray &nick, const QByteArray &port,
                                const QByteArray &file, const QByteArray &position) {
        status(QStringLiteral("DCC Accept ") + D(nick) + ' ' + D(port) + ' ' + D(file) + ' ' +
               D(position));
    };
    IRC->OnLinks = [status](TIrcClient *, const QByteArray &mask, const QByteArray &server,
                            const QByteArray &hops, const QByteArray &info) {
        status(QStringLiteral("LINKS ") + D(mask) + ' ' + D(server) + ' ' + D(hops) + ' ' +
               D(info));
    };
    IRC->OnChannelUpdate = [status](TIrcChannel *, TIrcChannelUpdateType, TIrcUser *user, int) {
        if (user)
            status(QStringLiteral("UPDATE  by ") + NickOf(user));
    };
    IRC->OnStateChange = [this, status](TIrcClient *) {
        status(QStringLiteral("STATE CHANGE "));
        if (IRC->State() == stConnected)
            RunGuarded([this] { Registered(); });
    };
    IRC->OnSocketError = [status](TIrcClient *, void *, const QByteArray &message) {
        status(QStringLiteral("Socket Error ") + D(message), Red);
    };
}

void TForm1::IRCSystem(int code, const QByteArray &command, const QByteArray &content,
                       const QByteArray &nick)
{
    if (command == "WELCOME") {
        AddToStatus(D(content), Blue);
    } else if (command == "LUSER") {
        AddToStatus(D(content), Green);
    } else if (command == "MOTD") {
        AddToStatus(D(content), Black);
        if (code == 372 && DayTeam)
            DayTeam->AddLine(D(content), Black);
        // The end of the message of the day is the moment the server takes commands: the
        // program's own channel is joined then, once per message of the day.
        if (code == 376)
            IRC->Join("#talvin");
    } else {
        AddToStatus(QStringLiteral("SYSTEM ") + D(nick) + ' ' + D(command) + ' ' + D(content));
    }
}
