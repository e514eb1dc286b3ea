// Starting and ending the connection to the IRC server, and showing its state.
#include "app/codepage.h"
#include "app/connect_attempt.h"
#include "app/main_window.h"
#include "app/status_window.h"
#include "app/talvin_application.h"
#include "app/vox_input_box.h"
#include "app/vox_question_box.h"
#include "config/config_files.h"
#include "config/event_sound.h"
#include "dialogs/irc_identity.h"
#include "dialogs/server_list_store.h"
#include "irc/socket_handler.h"
#include "speech/help/help.h"
#include "speech/tspeech.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

void TForm1::ConnectAction()
{
    A_ConnectExecute();
}

void TForm1::A_ConnectExecute()
{
    if (m_reconnecting) {
        // Ctrl+R while waiting to reconnect (or while a reconnection attempt runs) stops
        // it; once the link is up again it also disconnects, as it always does.
        const bool linked = IRC->Connected();
        if (m_attempt) {
            m_attempt->Cancel();
            delete m_attempt;
        }
        CancelReconnect();
        if (!linked)
            return;
    }
    if (m_attempt) {
        // A second press while the system is still resolving or connecting gives up.
        m_attempt->Cancel();
        delete m_attempt;
        SetStatusText(QStringLiteral("Connect cancelled."));
        AddToStatus(QStringLiteral("Connect cancelled."));
        Speech1->Speak(QStringLiteral("Подключение отменено."));
        return;
    }
    if (IRC->Connected())
        DoDisconnect();
    else
        DoConnect();
}

void TForm1::DoConnect()
{
    if (IRC->Connected() || m_attempt)
        return;
    // Every setting is read (and converted) before anything goes to the network: a port
    // or user mode that is not a number stops the attempt here, through the error hook.
    const QString host = GetConnectValue(QStringLiteral("Server"));
    // A server of the list brings its own code page and SASL identification; any other
    // keeps the menu's choice and identifies with nothing.
    LoadServerList();
    const ServerRecord *record = ServerAt(FindServer(host));
    if (record)
        SetCodePage(record->CodePage);
    IRC->Sasl = record ? TIrcSaslSettings{record->SaslMechanism.toLatin1(),
                                          EncodeEngineText(record->SaslAccount),
                                          EncodeEngineText(record->SaslPassword)}
                       : TIrcSaslSettings{};
    const int port = ConfigToInt(GetConnectValue(QStringLiteral("Port")));
    ConnectTo(host, port);
}

void TForm1::ConnectTo(const QString &host, int port)
{
    if (IRC->Connected() || m_attempt)
        return;
    const QString fullName = GetUserValue(QStringLiteral("UserName"));
    const QByteArray userInfo = EncodeEngineText(GetUserValue(QStringLiteral("EMail")));
    const QString nickText = GetUserValue(QStringLiteral("Nick"));
    const QByteArray nick = EncodeEngineText(nickText);
    const QByteArray altNick = EncodeEngineText(GetUserValue(QStringLiteral("AlterNick")));
    const bool invisible = ConfigToBool(GetUserValue(QStringLiteral("Invisible")));
    IRC->Host = host;
    IRC->Port = port;
    // A blank identity field (a fresh install before the wizard has run) keeps the value the
    // engine has: a NICK or USER line without its name is refused by every server. The full
    // name is the real name others see; the USER line's user field takes one plain word, so
    // "Иван Петров" there would make the server refuse the registration.
    if (!fullName.trimmed().isEmpty()) {
        IRC->Username = IrcUserField(fullName, nickText);
        IRC->RealName = ToConnectionText(fullName);
    }
    IRC->Replies.UserInfo = userInfo;
    if (!nick.trimmed().isEmpty())
        IRC->SetNick(nick);
    if (!altNick.trimmed().isEmpty())
        IRC->AltNick = altNick;
    IRC->SetUserMode(invisible ? TIrcUserModes(umInvisible) : TIrcUserModes(0));

    auto failed = [this, host] {
        VoxShowMessage(QStringLiteral("IRC"),
                       GetCaption(QStringLiteral("connection_faild")) + QLatin1Char(' ') + host);
    };
    // The name lookup and the TCP connect run on a worker so that keys, speech and the
    // clock keep working; the engine then takes the connected socket and registers.
    auto *attempt = new TConnectAttempt(host, port, IRC->BoundIP, IRC->BoundPort, this);
    m_attempt = attempt;
    // TLS, and a certificate the user accepted, come from the server list's entry.
    if (const std::optional<ServerRecord> record = ReadServerRecord(host); record && record->Tls) {
        attempt->UseTls = true;
        attempt->Tls.AcceptedFingerprint = record->Fingerprint;
        attempt->Tls.CertificateFile = record->ClientCert; // for SASL EXTERNAL
    }
    attempt->OnCertificateRefused = [this, attempt, host, port](const QString &reason,
                                                                const QString &fingerprint) {
        attempt->deleteLater();
        m_attempt = nullptr;
        RunGuarded([&] { CertificateRefused(host, port, reason, fingerprint); });
    };
    attempt->OnStatus = [this](TConnectionStatus, const QString &text) { SetStatusText(text); };
    attempt->OnConnected = [this, attempt, failed](std::shared_ptr<TSocketHandler> handler) {
        attempt->deleteLater();
        m_attempt = nullptr;
        RunGuarded([&] {
            try {
                IRC->AdoptSocket(std::move(handler));
                IRC->Connect();
            } catch (const std::exception &) {
                failed();
            }
        });
    };
    attempt->OnFailed = [this, attempt, failed, host](const QString &message) {
        attempt->deleteLater();
        m_attempt = nullptr;
        // The panel keeps the last stage reached; the reason goes to the warning log.
        qWarning("Connect to %s failed: %s", qUtf8Printable(IRC->Host), qUtf8Printable(message));
        if (m_reconnecting)
            RunGuarded([&] {
                ScheduleReconnect(QStringLiteral("Не удалось подключиться к %1.").arg(host));
            });
        else
            RunGuarded(failed);
    };
    attempt->Start();
}

void TForm1::CertificateRefused(const QString &host, int port, const QString &reason,
                                const QString &fingerprint)
{
    // A changed certificate stops a reconnection: the user decides first.
    CancelReconnect();
    const QString text =
        QStringLiteral("Сертификат сервера %1 не прошёл проверку: %2.").arg(host, reason);
    SetStatusText(text);
    AddToStatus(text, QColor(255, 0, 0));
    // The question box says the reason and the question as its "Нет" button takes the focus.
    if (!VoxAskYesNo(Speech1, this, QStringLiteral("TLS"),
                     text + QStringLiteral(" Доверять этому сертификату для этого сервера?"),
                     QStringLiteral("SHA-256: ") + fingerprint))
        return;
    StoreServerFingerprint(host, quint16(port), fingerprint);
    AddToStatus(QStringLiteral("Сертификат сервера %1 принят, SHA-256: %2").arg(host, fingerprint));
    DoConnect();
}

void TForm1::DoDisconnect()
{
    CancelReconnect();
    if (m_disconnecting)
        return;
    m_disconnecting = true;
    struct TReset
    {
        bool &flag;
        ~TReset() { flag = false; }
    } reset{m_disconnecting};

    RunGuarded([this] { IRC->Quit(QByteArray()); });
    // The server answers QUIT by closing the link; the close notification arrives through
    // the event loop. A server that never closes must not hang the program: after the
    // wait the connection is closed from this side.
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!IRC->Connected() || clock.elapsed() >= DisconnectWaitMs)
            loop.quit();
    });
    if (IRC->Connected()) {
        poll.start();
        loop.exec();
    }
    if (IRC->Connected())
        RunGuarded([this] { IRC->Disconnect(true); });
}

void TForm1::AskForNewNick(const QString &why)
{
    if (!IRC->Connected() || IRC->State() != stRegistering)
        return;
    // The box speaks its title and the reason as it takes the focus.
    const auto nick = VoxInputQuery(Speech1, this, QStringLiteral("Новый ник"), why);
    if (!IRC->Connected() || IRC->State() != stRegistering)
        return;
    if (nick && !nick->trimmed().isEmpty())
        RunGuarded([&] { IRC->SetNick(EncodeEngineText(nick->trimmed())); });
    else
        DoDisconnect();
}

void TForm1::SetConnectButtonLook(bool connected)
{
    m_connectedLook = connected;
    ToolButton1->setIcon(
        style()->standardIcon(connected ? QStyle::SP_DialogNoButton : QStyle::SP_DialogYesButton));
    ToolButton1->setChecked(connected);
    ToolButton1->setToolTip(connected ? QStringLiteral("Disconnect with IRC Server")
                                      : QStringLiteral("Connect to IRC Server"));
    ToolButton1->setAccessibleDescription(ToolButton1->toolTip());
}

QString TForm1::HostText() const
{
    return IRC->Host;
}

void TForm1::Connect()
{
    PlayEventSound(QStringLiteral("connect"));
    AddToStatus(GetCaption(QStringLiteral("CONNECT")) + HostText());
    SetConnectButtonLook(true);
    setWindowTitle(QStringLiteral("Talvin [") + HostText() + QLatin1Char(':') +
                   QString::number(IRC->Port) + QLatin1Char(']'));
}

void TForm1::Disconnect()
{
    PlayEventSound(QStringLiteral("Disconnect"));
    const QString text = QStringLiteral("DISCONNECT ") + HostText();
    AddToStatus(text);
    SetAllChannelEvent(text);
    SetConnectButtonLook(false);
}
