// The main window against real servers: start-up, connecting with the stored settings, the
// traffic log, losing and closing the link, failed and cancelled attempts, the error hook
// and the termination signals.
#include "app/menu_announcer.h"
#include "app/speech_panel.h"
#include "app/talvin_application.h"
#include "dialogs/connect_form.h"
#include "dialogs/master_form.h"
#include "speech/controls/vox_edit.h"
#include "speech/help/help.h"
#include "speech/help/help_form.h"

#include "main_window_bench.h"
#include "ngircd_server.h"
#include "scripted_peer.h"
#include <QTextBlock>
#include <QTextCursor>
#include <QToolBar>

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QSignalSpy>
#include <QToolButton>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString Greeting = QStringLiteral("Талвин ай эр це клиент загружен и готов к работе.");

// The frame's own title: a maximised child window adds " - [its title]" after it.
QString baseTitle(const QWidget *window)
{
    return window->windowTitle().section(QStringLiteral(" - ["), 0, 0);
}

// A loopback listener whose accept queue is full: the kernel drops further SYNs, so a
// connect to it stays in progress until the caller gives up.
class FullBacklogListener
{
public:
    FullBacklogListener()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listen, 0);
        socklen_t length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        // Fill the queue until a connect no longer completes.
        for (int i = 0; i < 16; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
            m_fillers.push_back(fd);
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 300) == 0) {
                m_full = true;
                break;
            }
        }
    }
    ~FullBacklogListener()
    {
        for (int fd : m_fillers)
            ::close(fd);
        ::close(m_listen);
    }
    quint16 port() const { return m_port; }
    bool full() const { return m_full; }

private:
    int m_listen = -1;
    quint16 m_port = 0;
    bool m_full = false;
    std::vector<int> m_fillers;
};

// Throws from its event handler, as a faulty window handler would.
class ThrowingObject : public QObject
{
protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            throw ETalvinError(QStringLiteral("boom in a handler"));
        return QObject::event(event);
    }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void greetingSpokenOnceAndStartModes_data();
    void greetingSpokenOnceAndStartModes();
    void captionsLoadedOnceWithVisibleGaps();
    void serverEventsBecomeStatusLines_data();
    void serverEventsBecomeStatusLines();
    void connectsWithStoredSettingsAndLogsTwoSessions();
    void realServerSessionJoinsAndQuitsOnClose();
    void unresolvableHostShowsFailureBox();
    void badPortMakesNoAttempt();
    void exceptionsAreLoggedAndSurvived();
    void connectKeepsInterfaceAliveAndCancels();
    void silentServerIsClosedAfterBoundedWait();
    void startsWithoutAnySpeechEngine();
    void terminationSignalClosesTheNormalWay();
};

void TestMainWindow::greetingSpokenOnceAndStartModes_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("expected");
    QTest::newRow("master") << "master" << int(TForm1::TStartMode::Wizard);
    QTest::newRow("Master is not master") << "Master" << int(TForm1::TStartMode::ConnectDialog);
    QTest::newRow("other") << "dialog" << int(TForm1::TStartMode::ConnectDialog);
}

void TestMainWindow::greetingSpokenOnceAndStartModes()
{
    QFETCH(QString, mode);
    QFETCH(int, expected);
    MainWindowBench bench;
    bench.setCaption(QStringLiteral("smode"), mode);
    TForm1 *window = bench.start();
    QCOMPARE(int(window->StartModeTaken()), expected);
    QCOMPARE(window->MasterForm->isVisible(), expected == int(TForm1::TStartMode::Wizard));
    // The connect dialog is on screen at every start.
    QVERIFY(window->Form2->isVisible());
    if (window->MasterForm->isVisible()) {
        window->MasterForm->hide();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    QCOMPARE(baseTitle(window), QStringLiteral("Talvin v1.7.0 beta"));
    // The session clock starts from nothing.
    QVERIFY(window->StatusPanels[2]->text().contains(QStringLiteral("0:00:0")));
    QCOMPARE(window->StatusPanels[3]->text(), QStringLiteral("WIN1251"));
    QVERIFY(window->StatusForm);
    QCOMPARE(window->MdiArea->subWindowList().size(), 1);
    QVERIFY(!window->IRC->Connected());
    QVERIFY(!window->Connecting());

    // Deactivated and activated again: still one greeting.
    auto other = std::make_unique<QWidget>();
    other->show();
    other->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(other.get()));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(bench.interfaceVoice->spokenTexts().count(Greeting), 1);

    // Closing the status window from the Windows menu keeps it.
    window->A_Close->trigger();
    QVERIFY(window->StatusForm);
    QCOMPARE(window->MdiArea->subWindowList().size(), 1);

    // Ctrl+Z names the window around the focused control.
    window->StatusForm->Edit1->setFocus();
    bench.interfaceVoice->clear();
    QTest::keyClick(window->StatusForm->Edit1, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(bench.interfaceVoice->spokenTexts().contains(QStringLiteral("Окно Статус")));

    // F1 in the status window opens its help topic.
    QTest::keyClick(window->StatusForm->Edit1, Qt::Key_F1);
    QVERIFY(HelpForm()->isVisible());
    HelpForm()->hide();
}

void TestMainWindow::captionsLoadedOnceWithVisibleGaps()
{
    MainWindowBench bench;
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
    // Remove one key: exactly that control shows "err-" and the key.
    QFile file(ConfigFilePath(QStringLiteral("caption.ini")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    text.replace("\nToolButton5=", "\nRemovedButton5=");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();

    TForm1 *window = bench.start();
    QCOMPARE(window->ToolButton5->text(), QStringLiteral("err-ToolButton5"));
    QCOMPARE(window->ToolButton5->accessibleName(), QStringLiteral("err-ToolButton5"));
    QCOMPARE(window->ToolButton1->text(), GetCaption(QStringLiteral("ToolButton1")));
    QCOMPARE(window->A_Connect->text(), GetCaption(QStringLiteral("Connect")));
    QCOMPARE(window->A_Exit->text(), GetCaption(QStringLiteral("ExitApp")));
    // The second key for the select-status-panel action is the one that stays.
    QCOMPARE(window->A_SelectStatusPanel->text(), GetCaption(QStringLiteral("SetControlPanel")));
    QCOMPARE(window->A_Connect->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    QCOMPARE(window->A_GetFocuse->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    QCOMPARE(window->A_StatusPanel->shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+A")));

    // Edits after creation do not reach the main window.
    SetCaption(QStringLiteral("ToolButton1"), QStringLiteral("Changed"));
    window->activateWindow();
    QVERIFY(window->ToolButton1->text() != QStringLiteral("Changed"));

    // The tool-bar captions toggle.
    QCOMPARE(window->ToolBar1->height(), 60);
    window->N1->setChecked(false);
    QCOMPARE(window->ToolBar1->height(), 48);
    QCOMPARE(window->ToolButton1->size(), QSize(32, 32));
    window->N1->setChecked(true);
    QCOMPARE(window->ToolButton1->size(), QSize(67, 52));

    // The speech panel: hidden at start, Ctrl+P shows it with its button pressed.
    QVERIFY(!window->Panel1->isVisible());
    QTest::keyClick(window, Qt::Key_P, Qt::ControlModifier);
    QVERIFY(window->Panel1->isVisible());
    QVERIFY(window->ToolButton3->isChecked());
    QTest::keyClick(window, Qt::Key_P, Qt::ControlModifier);
    QVERIFY(!window->Panel1->isVisible());
    QVERIFY(!window->ToolButton3->isChecked());

    // The menu bar is spoken with the captions loaded from the file.
    bench.interfaceVoice->clear();
    window->MenuAnnouncer->SayMainMenu(0, 0);
    QVERIFY(bench.interfaceVoice->spokenTexts().contains(GetCaption(QStringLiteral("Connect"))));

    // Channel text loses every character below '0' on its way to the channel voice.
    bench.channelVoice->clear();
    window->SpeakChannelText(QStringLiteral("Hi, all!!!"));
    QCOMPARE(bench.channelVoice->spokenTexts(), QStringList(QStringLiteral("Hi  all   ")));

    // Closing saves the speech settings.
    QFile::remove(ConfigFilePath(QStringLiteral("speech.ini")));
    window->close();
    QVERIFY(GetSpeechValue(QStringLiteral("ActiveControl")) == QStringLiteral("0"));
    QVERIFY(
        !GetSpeechValue(QStringLiteral("InterfaceEngineName")).startsWith(QStringLiteral("err-")));
}

void TestMainWindow::serverEventsBecomeStatusLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QColor>("colour");
    const QColor grey(128, 128, 128);
    QTest::newRow("welcome") << QByteArray(":srv 001 me :Welcome to the net")
                             << "STATE CHANGE \nme :Welcome to the net" << QColor(0, 0, 255);
    QTest::newRow("user count") << QByteArray(":srv 251 me :There are 3 users")
                                << "There are 3 users" << QColor(0, 128, 0);
    QTest::newRow("motd") << QByteArray(":srv 372 me :- hello") << "- hello" << QColor(0, 0, 0);
    // Fed without a connection: the PONG cannot go out, and that is said before the event.
    QTest::newRow("ping") << QByteArray("PING :x") << "Not connected to server.\nPING-PONG "
                          << grey;
    QTest::newRow("nick change") << QByteArray(":a!u@h NICK :b") << "NICK CHANGE a now is b"
                                 << grey;
    QTest::newRow("invite") << QByteArray(":a!u@h INVITE me :#chan") << "a #chan" << grey;
    QTest::newRow("private message") << QByteArray(":a!u@h PRIVMSG me :hello") << "" << QColor();
    QTest::newRow("notice without channel") << QByteArray(":a!u@h NOTICE me :hi") << "" << QColor();
    QTest::newRow("Windows-1251 text") << QByteArray(":srv 001 me :\xcf\xf0\xe8\xe2\xe5\xf2")
                                       << "STATE CHANGE \nme :Привет" << QColor(0, 0, 255);
}

void TestMainWindow::serverEventsBecomeStatusLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, status);
    QFETCH(QColor, colour);
    MainWindowBench bench;
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
    TForm1 *window = bench.start();
    const QString before = bench.statusText();
    window->IRC->Dispatch(line);
    const QString added = bench.statusText().mid(before.size()).trimmed();
    QCOMPARE(added, status.trimmed());
    if (!status.isEmpty()) {
        QTextCursor cursor(window->StatusForm->RichEdit1->document()->lastBlock());
        cursor.movePosition(QTextCursor::EndOfBlock);
        QCOMPARE(cursor.charFormat().foreground().color(), colour);
    }
}

void TestMainWindow::connectsWithStoredSettingsAndLogsTwoSessions()
{
    MainWindowBench bench;
    QFile old(bench.dir.path() + QStringLiteral("/log/trafic.log"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier\r\n");
    old.close();

    auto peer = std::make_unique<ScriptedPeer>();
    bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer->port()));
    SetUserValue(QStringLiteral("Nick"), QStringLiteral("tester"));
    SetUserValue(QStringLiteral("AlterNick"), QStringLiteral("tester2"));
    SetUserValue(QStringLiteral("UserName"), QStringLiteral("tuser"));
    SetUserValue(QStringLiteral("Invisible"), QStringLiteral("True"));
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
    TForm1 *window = bench.start();
    QCOMPARE(int(window->StartModeTaken()), int(TForm1::TStartMode::Connect));

    QVERIFY(peer->waitForReceivedContains("USER tuser "));
    QVERIFY(peer->received().startsWith("NICK tester\r\nUSER tuser "));
    QVERIFY(peer->received().endsWith(" :Real name\r\n"));
    QVERIFY(
        WaitUntil([&] { return window->windowTitle().startsWith(QStringLiteral("Talvin [")); }));
    QCOMPARE(baseTitle(window), QStringLiteral("Talvin [127.0.0.1:%1]").arg(peer->port()));
    QVERIFY(window->ToolButton1->isChecked());
    QCOMPARE(window->ToolButton1->toolTip(), QStringLiteral("Disconnect with IRC Server"));
    QVERIFY(bench.statusText().contains(GetCaption(QStringLiteral("CONNECT")) +
                                        QStringLiteral("127.0.0.1")));
    QCOMPARE(window->IRC->UserMode(), TIrcUserModes(umInvisible));

    // The end of the message of the day joins the program's channel.
    peer->clearReceived();
    peer->sendLine(":irc.test 001 tester :Welcome tester");
    peer->sendLine(":irc.test 376 tester :End of MOTD");
    QVERIFY(peer->waitForReceivedContains("JOIN #talvin\r\n"));
    QVERIFY(WaitUntil([&] { return bench.statusText().contains(QStringLiteral("End of MOTD")); }));
    QVERIFY(bench.statusText().contains(QStringLiteral("Welcome tester")));

    // The server closes the link.
    peer->close();
    QVERIFY(WaitUntil([&] { return !window->ToolButton1->isChecked(); }));
    QVERIFY(bench.statusText().contains(QStringLiteral("DISCONNECT 127.0.0.1")));
    QCOMPARE(baseTitle(window), QStringLiteral("Talvin [127.0.0.1:%1]").arg(peer->port()));
    QVERIFY(!window->IRC->Connected());
    QVERIFY(window->StatusPanels[1]->text().toULongLong() > 0);

    // A second connection with Ctrl+R appends a second block.
    auto second = std::make_unique<ScriptedPeer>();
    bench.setServer(QStringLiteral("localhost"), QString::number(second->port()));
    SetUserValue(QStringLiteral("Invisible"), QStringLiteral("0"));
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(second->waitForReceivedContains("USER tuser "));
    QCOMPARE(window->IRC->UserMode(), TIrcUserModes(0));
    QVERIFY(WaitUntil([&] { return window->ToolButton1->isChecked(); }));
    second->sendLine(":irc.test NOTICE tester :second \xc1");
    QVERIFY(WaitUntil([&] { return bench.log().contains("second"); }));
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier); // disconnects: QUIT
    QVERIFY(second->waitForReceivedContains("QUIT :\r\n"));
    second->close();
    QVERIFY(WaitUntil([&] { return !window->IRC->Connected(); }));

    const QList<QByteArray> lines = bench.log().split('\n');
    QCOMPARE(lines.first(), QByteArray("earlier\r"));
    QVERIFY(lines.at(1).startsWith("*** Connected to 127.0.0.1 at "));
    QCOMPARE(lines.at(2), QByteArray("< NICK tester\r"));
    QVERIFY(lines.at(3).startsWith("< USER tuser "));
    QVERIFY(lines.contains(QByteArray("> :irc.test 376 tester :End of MOTD\r")));
    QVERIFY(lines.contains(QByteArray("< JOIN #talvin\r")));
    QVERIFY(lines.contains(QByteArray("> :irc.test NOTICE tester :second \xc1\r")));
    QVERIFY(lines.contains(QByteArray("< QUIT :\r")));
    int headers = 0, footers = 0;
    for (const QByteArray &line : lines) {
        headers += line.startsWith("*** Connected to ");
        footers += line.startsWith("*** Disconnected with ");
    }
    QCOMPARE(headers, 2);
    QCOMPARE(footers, 2);
    QVERIFY(lines.at(lines.size() - 2).startsWith("*** Disconnected with localhost at "));
    QVERIFY(bench.log().endsWith("\r\n"));
}

void TestMainWindow::realServerSessionJoinsAndQuitsOnClose()
{
    NgircdServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    MainWindowBench bench;
    bench.setServer(server.host(), QString::number(server.port()));
    SetUserValue(QStringLiteral("Nick"), QStringLiteral("talvintest"));
    // The transcript is written only when the user has made the file.
    QFile transcript(bench.dir.path() + QStringLiteral("/log.txt"));
    QVERIFY(transcript.open(QIODevice::WriteOnly));
    transcript.close();
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
    TForm1 *window = bench.start();
    QVERIFY2(
        WaitUntil([&] { return bench.statusText().contains(QStringLiteral("JOINED #talvin")); }),
        qPrintable(bench.statusText() + QString::fromLatin1(bench.log())));

    // A raw command typed into the status window.
    window->StatusForm->Edit1->setFocus();
    QTest::keyClicks(window->StatusForm->Edit1, QStringLiteral("TOPIC #talvin :hello there"));
    QTest::keyClick(window->StatusForm->Edit1, Qt::Key_Return);
    QCOMPARE(window->StatusForm->Edit1->text(), QString());
    QVERIFY(WaitUntil([&] { return bench.log().contains("< TOPIC #talvin :hello there\r\n"); }));
    QVERIFY(WaitUntil([&] { return bench.log().count("TOPIC #talvin :hello there\r\n") >= 2; }));

    window->close();
    QVERIFY(!window->IRC->Connected());
    const QByteArray log = bench.log();
    QVERIFY(log.contains("< QUIT :\r\n"));
    // The shipped user.ini has no user name yet: the engine's own stands in.
    QVERIFY(log.contains("\r\n< USER username "));
    QVERIFY(log.contains("\r\n*** Disconnected with 127.0.0.1 at "));
    QVERIFY(bench.statusText().contains(QStringLiteral("DISCONNECT 127.0.0.1")));
    QVERIFY(transcript.open(QIODevice::ReadOnly));
    const QByteArray lines = transcript.readAll();
    QVERIFY(lines.contains("JOINED #talvin\r\n"));
    QVERIFY(lines.endsWith("DISCONNECT 127.0.0.1\r\n"));
}

void TestMainWindow::unresolvableHostShowsFailureBox()
{
    MainWindowBench bench;
    bench.setServer(QStringLiteral("no-such-host.invalid"), QStringLiteral("6667"));
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
    TForm1 *window = bench.start();
    MessageBoxWatcher boxes;
    window->A_Connect->trigger();
    QVERIFY(WaitUntil([&] { return !boxes.texts.isEmpty(); }, 20000));
    QCOMPARE(boxes.texts,
             QStringList(QStringLiteral("IRC|") + GetCaption(QStringLiteral("connection_faild")) +
                         QStringLiteral(" no-such-host.invalid")));
    QVERIFY(!window->Connecting());
    QVERIFY(!window->ToolButton1->isChecked());
    QCOMPARE(baseTitle(window), QStringLiteral("Talvin v1.7.0 beta"));
    QVERIFY(!QFile::exists(bench.dir.path() + QStringLiteral("/log/trafic.log")));
}

void TestMainWindow::badPortMakesNoAttempt()
{
    MainWindowBench bench;
    ScriptedPeer peer;
    bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()) + QLatin1Char('x'));
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
    TForm1 *window = bench.start();
    MessageBoxWatcher boxes;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Exception: ")));
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(!window->Connecting());
    QTest::qWait(200);
    QVERIFY(!peer.hasClient());
    QVERIFY(boxes.texts.isEmpty());
    QCOMPARE(window->StatusPanels[0]->text(), QString());
}

void TestMainWindow::exceptionsAreLoggedAndSurvived()
{
    MainWindowBench bench;
    ScriptedPeer peer;
    bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()));
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
    TForm1 *window = bench.start();
    QVERIFY(peer.waitForReceivedContains("USER "));
    QVERIFY(WaitUntil([&] { return window->IRC->Connected() && bench.log().contains("< USER"); }));

    // An exception out of any event handler reaches the application's hook.
    QTest::ignoreMessage(QtWarningMsg, "Exception: boom in a handler");
    ThrowingObject thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QVERIFY(WaitUntil([&] { return bench.log().contains("Exception: boom in a handler\r\n"); }));

    // One thrown by an engine event handler comes back through the engine's error report.
    window->IRC->OnPingPong = [](TIrcClient *) {
        throw ETalvinError(QStringLiteral("ping handler failed"));
    };
    QTest::ignoreMessage(QtWarningMsg, "Exception: ping handler failed");
    peer.sendLine("PING :one");
    peer.sendLine(":irc.test 376 x :End");
    QVERIFY(peer.waitForReceivedContains("JOIN #talvin\r\n"));
    QVERIFY(bench.log().contains("Exception: ping handler failed\r\n"));
    QVERIFY(window->IRC->Connected());
}

void TestMainWindow::connectKeepsInterfaceAliveAndCancels()
{
    FullBacklogListener listener;
    if (!listener.full())
        QSKIP("the system accepted every connection; no way to hold a connect open");
    MainWindowBench bench;
    bench.setServer(QStringLiteral("127.0.0.1"), QString::number(listener.port()));
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
    TForm1 *window = bench.start();
    MessageBoxWatcher boxes;

    window->A_Connect->trigger();
    QVERIFY(window->Connecting());
    QVERIFY(WaitUntil([&] {
        return window->StatusPanels[0]->text() == QStringLiteral("Connecting to 127.0.0.1.");
    }));
    // While the system waits for the server, keys still work and the voice still speaks.
    bench.interfaceVoice->clear();
    window->StatusForm->Edit1->setFocus();
    QTest::keyClick(window->StatusForm->Edit1, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(bench.interfaceVoice->spokenTexts().contains(QStringLiteral("Окно Статус")));
    QSignalSpy ticks(window->Timer1, &QTimer::timeout);
    QVERIFY(ticks.wait(3000));
    QVERIFY(window->Connecting());

    // Ctrl+R again gives up the attempt.
    QTest::keyClick(window->StatusForm->Edit1, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(!window->Connecting());
    QVERIFY(bench.interfaceVoice->spokenTexts().contains(QStringLiteral("Подключение отменено.")));
    QTest::qWait(400);
    QVERIFY(boxes.texts.isEmpty());
    QVERIFY(!window->IRC->Connected());
    QVERIFY(!window->ToolButton1->isChecked());
}

void TestMainWindow::silentServerIsClosedAfterBoundedWait()
{
    MainWindowBench bench;
    ScriptedPeer peer;
    bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()));
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
    TForm1 *window = bench.start();
    QVERIFY(peer.waitForReceivedContains("USER "));
    QVERIFY(WaitUntil([&] { return window->IRC->Connected(); }));
    // The byte counter: everything sent so far, nothing received yet.
    QVERIFY(WaitUntil([&] { return window->StatusPanels[1]->text() != QStringLiteral("0"); }));
    QCOMPARE(window->StatusPanels[1]->text(), QString::number(peer.received().size()));
    peer.send("abc");
    QVERIFY(WaitUntil([&] {
        return window->StatusPanels[1]->text() == QString::number(peer.received().size() + 3);
    }));
    window->DisconnectWaitMs = 300;
    window->close();
    QVERIFY(!window->IRC->Connected());
    QVERIFY(peer.received().endsWith("QUIT :\r\n"));
    QVERIFY(peer.waitForClientClosed());
    QVERIFY(bench.log().contains("\r\n*** Disconnected with 127.0.0.1 at "));
}

void TestMainWindow::startsWithoutAnySpeechEngine()
{
    MainWindowBench bench;
    ScriptedPeer peer;
    bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()));
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
    // The missing engines are reported, and the start mode is still carried out.
    TForm1 *window = bench.start(true);
    QCOMPARE(int(window->StartModeTaken()), int(TForm1::TStartMode::Connect));
    QVERIFY(peer.waitForReceivedContains("USER "));
    window->DisconnectWaitMs = 200;
}

void TestMainWindow::terminationSignalClosesTheNormalWay()
{
    MainWindowBench bench;
    ScriptedPeer peer;
    bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()));
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
    TForm1 *window = bench.start();
    static_cast<TalvinApplication *>(qApp)->CloseOnTermination(window);
    QVERIFY(peer.waitForReceivedContains("USER "));
    QVERIFY(WaitUntil([&] { return window->IRC->Connected(); }));
    window->DisconnectWaitMs = 300;
    ::raise(SIGTERM);
    QVERIFY(WaitUntil([&] { return !window->isVisible(); }));
    QVERIFY(peer.received().endsWith("QUIT :\r\n"));
    QVERIFY(bench.log().contains("\r\n*** Disconnected with 127.0.0.1 at "));
    QVERIFY(!window->IRC->Connected());
}

int main(int argc, char **argv)
{
    TalvinApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_window.moc"
