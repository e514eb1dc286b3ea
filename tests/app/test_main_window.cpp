// The main window against scripted and real servers: start-up, captions, status lines,
// connecting with the stored settings, the traffic log, losing and closing the link, failed
// and cancelled attempts, the error hook and the termination signal.
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

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QSignalSpy>
#include <QToolButton>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString Greeting = QStringLiteral("Талвин ай эр це клиент загружен и готов к работе.");

// A loopback listener whose accept queue is full: the kernel drops further SYNs, so a
// connect to it stays in progress until the caller gives up.
struct FullBacklogListener
{
    FullBacklogListener()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fds[0], reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(fds[0], 0);
        socklen_t length = sizeof address;
        ::getsockname(fds[0], reinterpret_cast<sockaddr *>(&address), &length);
        port = ntohs(address.sin_port);
        while (!full && fds.size() < 17) { // fill the queue until a connect hangs
            fds.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            ::connect(fds.back(), reinterpret_cast<sockaddr *>(&address), sizeof address);
            pollfd p{fds.back(), POLLOUT, 0};
            full = ::poll(&p, 1, 300) == 0;
        }
    }
    ~FullBacklogListener()
    {
        for (int fd : fds)
            ::close(fd);
    }
    std::vector<int> fds{::socket(AF_INET, SOCK_STREAM, 0)};
    quint16 port = 0;
    bool full = false;
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
    void greetingSpokenOnceAndStartModes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("wizard");
        QTest::newRow("master") << "master" << true;
        QTest::newRow("Master is not master") << "Master" << false;
        QTest::newRow("other") << "dialog" << false;
    }
    void greetingSpokenOnceAndStartModes()
    {
        QFETCH(QString, mode);
        QFETCH(bool, wizard);
        MainWindowBench bench;
        bench.setCaption(QStringLiteral("smode"), mode);
        TForm1 *window = bench.start();
        QCOMPARE(window->StartModeTaken() == TForm1::TStartMode::Wizard, wizard);
        QCOMPARE(window->MasterForm->isVisible(), wizard);
        // The connect dialog is there at every start, and has the keyboard unless the
        // wizard came.
        QVERIFY(window->Form2->isVisible() || bench.dialogTookKeyboard);
        QCOMPARE(bench.dialogTookKeyboard, !wizard);
        window->MasterForm->hide();
        // Deactivated and activated again: still one greeting.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(bench.interfaceVoice->spokenTexts().count(Greeting), 1);
        // Closing the status window from the Windows menu keeps it.
        window->A_Close->trigger();
        QCOMPARE(window->MdiArea->subWindowList().size(), 1);
        // Ctrl+P shows and hides the speech panel.
        QTest::keyClick(window, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(window->Panel1->isVisible() && window->ToolButton3->isChecked());
        QTest::keyClick(window, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(!window->Panel1->isVisible());
        // Channel text loses every character below '0' on its way to the channel voice.
        window->SpeakChannelText(QStringLiteral("Hi, all!!!"));
        QCOMPARE(bench.channelVoice->spokenTexts().last(), QStringLiteral("Hi  all   "));
        // Ctrl+Z names the window around the focused control; F1 opens its help topic.
        window->StatusForm->Edit1->setFocus();
        bench.interfaceVoice->clear();
        QTest::keyClick(window->StatusForm->Edit1, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(bench.interfaceVoice->spokenTexts().contains(QStringLiteral("Окно Статус")));
        QTest::keyClick(window->StatusForm->Edit1, Qt::Key_F1);
        QVERIFY(HelpForm()->isVisible());
        HelpForm()->hide();
        // Closing saves the speech settings.
        QFile::remove(ConfigFilePath(QStringLiteral("speech.ini")));
        window->close();
        QCOMPARE(GetSpeechValue(QStringLiteral("ActiveControl")), QStringLiteral("0"));
    }

    void serverEventsBecomeStatusLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("status");
        QTest::newRow("welcome") << QByteArray(":srv 001 me :Welcome")
                                 << "STATE CHANGE \nme :Welcome";
        QTest::newRow("user count") << QByteArray(":srv 251 me :3 users") << "3 users";
        // Without a connection the PONG cannot go out, and that is said before the event.
        QTest::newRow("ping") << QByteArray("PING :x") << "Not connected to server.\nPING-PONG";
        QTest::newRow("nick") << QByteArray(":a!u@h NICK :b") << "NICK CHANGE a now is b";
        QTest::newRow("private") << QByteArray(":a!u@h PRIVMSG me :hello") << "";
        QTest::newRow("Windows-1251") << QByteArray(":srv 001 me :\xcf\xf0\xe8\xe2\xe5\xf2")
                                      << "me :Привет"; // the state is already known
    }
    void serverEventsBecomeStatusLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, status);
        static MainWindowBench *bench = nullptr; // one window for every row
        if (!bench) {
            bench = new MainWindowBench;
            bench->setCaption(QStringLiteral("smode"), QStringLiteral("none"));
            bench->start();
        }
        const QString before = bench->statusText();
        bench->window->IRC->Dispatch(line);
        QCOMPARE(bench->statusText().mid(before.size()).trimmed(), status);
        if (QByteArray(QTest::currentDataTag()) == "Windows-1251")
            delete std::exchange(bench, nullptr);
    }

    void connectsWithStoredSettingsAndLogsTwoSessions()
    {
        MainWindowBench bench;
        QFile old(bench.dir.path() + QStringLiteral("/log/trafic.log"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("earlier\r\n") == 9);
        old.close();
        auto peer = std::make_unique<ScriptedPeer>();
        bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer->port()));
        for (const auto &[key, value] : {std::pair{"Nick", "tester"},
                                         {"UserName", "tuser"},
                                         {"AlterNick", "tester2"},
                                         {"Invisible", "True"}})
            SetUserValue(QLatin1String(key), QLatin1String(value));
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
        TForm1 *window = bench.start();
        QVERIFY(peer->waitForReceivedContains(" :Real name\r\n"));
        QVERIFY(peer->received().startsWith("NICK tester\r\nUSER tuser "));
        QVERIFY(WaitUntil([&] { return window->IRC->Connected(); }));
        QCOMPARE(window->IRC->UserMode(), TIrcUserModes(umInvisible));

        // The end of the message of the day joins the program's channel.
        peer->sendLine(":irc.test 001 tester :Welcome tester");
        peer->sendLine(":irc.test 376 tester :End of MOTD");
        QVERIFY(peer->waitForReceivedContains("JOIN #talvin\r\n"));
        // The server closes the link.
        peer->close();
        QVERIFY(WaitUntil([&] { return !window->ToolButton1->isChecked(); }));
        QVERIFY(bench.statusText().contains(QStringLiteral("DISCONNECT 127.0.0.1")));
        // A second connection with Ctrl+R appends a second block; Ctrl+R again quits.
        auto second = std::make_unique<ScriptedPeer>();
        bench.setServer(QStringLiteral("localhost"), QString::number(second->port()));
        SetUserValue(QStringLiteral("Invisible"), QStringLiteral("0"));
        QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(second->waitForReceivedContains("USER tuser "));
        second->sendLine(":irc.test NOTICE tester :second \xc1");
        QVERIFY(WaitUntil([&] { return bench.log().contains("second"); })); // on disk at once
        QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(second->waitForReceivedContains("QUIT :\r\n"));
        second->close();
        QVERIFY(WaitUntil([&] { return !window->IRC->Connected(); }));

        const QList<QByteArray> lines = bench.log().split('\n');
        QCOMPARE(lines.first(), QByteArray("earlier\r"));
        QVERIFY(lines.at(1).startsWith("*** Connected to 127.0.0.1 at "));
        QCOMPARE(lines.at(2), QByteArray("< NICK tester\r")); // each on its own CR LF line
        for (const char *line : {"> :irc.test 376 tester :End of MOTD\r", "< JOIN #talvin\r",
                                 "> :irc.test NOTICE tester :second \xc1\r", "< QUIT :\r"})
            QVERIFY2(lines.contains(QByteArray(line)), line);
        QCOMPARE(bench.log().count("*** Connected to "), 2);
        QCOMPARE(bench.log().count("*** Disconnected with "), 2);
        QVERIFY(lines.at(lines.size() - 2).startsWith("*** Disconnected with localhost at "));
        QVERIFY(!QFile::exists(bench.dir.path() + QStringLiteral("/log.txt")));
    }

    void realServerSessionJoinsAndQuitsOnClose()
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
        QVERIFY2(WaitUntil([&] { return bench.statusText().contains("JOINED #talvin"); }),
                 qPrintable(bench.statusText() + QString::fromLatin1(bench.log())));
        // A raw command typed into the status window goes out, and the server's echo comes in.
        window->StatusForm->Edit1->setFocus();
        QTest::keyClicks(window->StatusForm->Edit1, QStringLiteral("TOPIC #talvin :hello there"));
        QTest::keyClick(window->StatusForm->Edit1, Qt::Key_Return);
        QVERIFY(
            WaitUntil([&] { return bench.log().count("TOPIC #talvin :hello there\r\n") >= 2; }));
        QVERIFY(bench.log().contains("< TOPIC #talvin :hello there\r\n"));

        window->close();
        QVERIFY(!window->IRC->Connected());
        const QByteArray log = bench.log();
        QVERIFY(log.contains("< QUIT :\r\n"));
        QVERIFY(log.contains("\r\n*** Disconnected with 127.0.0.1 at "));
        QVERIFY(transcript.open(QIODevice::ReadOnly));
        const QByteArray lines = transcript.readAll();
        QVERIFY(lines.contains("JOINED #talvin\r\n") && lines.endsWith("DISCONNECT 127.0.0.1\r\n"));
    }

    // A port that is no number makes no attempt and no box; a host that does not resolve
    // is told in a box, and no log is begun.
    void failedAttemptsLeaveTheWindowIdle()
    {
        MainWindowBench bench;
        ScriptedPeer peer;
        bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()) + u'x');
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
        TForm1 *window = bench.start();
        MessageBoxWatcher boxes;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Exception: ")));
        QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(!window->Connecting());
        QTest::qWait(200);
        QVERIFY(!peer.hasClient() && boxes.texts.isEmpty());

        bench.setServer(QStringLiteral("no-such-host.invalid"), QStringLiteral("6667"));
        window->A_Connect->trigger();
        QVERIFY(WaitUntil([&] { return !boxes.texts.isEmpty(); }, 20000));
        QCOMPARE(boxes.texts, QStringList(QStringLiteral("IRC|") +
                                          GetCaption(QStringLiteral("connection_faild")) +
                                          QStringLiteral(" no-such-host.invalid")));
        QVERIFY(!window->Connecting() && !window->ToolButton1->isChecked());
        QVERIFY(!QFile::exists(bench.dir.path() + QStringLiteral("/log/trafic.log")));
    }

    void connectKeepsInterfaceAliveAndCancels()
    {
        FullBacklogListener listener;
        if (!listener.full)
            QSKIP("the system accepted every connection; no way to hold a connect open");
        MainWindowBench bench;
        bench.setServer(QStringLiteral("127.0.0.1"), QString::number(listener.port));
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
        TForm1 *window = bench.start();
        MessageBoxWatcher boxes;
        window->A_Connect->trigger();
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
        // Ctrl+R again gives up the attempt, said aloud and without a box.
        QTest::keyClick(window->StatusForm->Edit1, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(!window->Connecting());
        QVERIFY(
            bench.interfaceVoice->spokenTexts().contains(QStringLiteral("Подключение отменено.")));
        QTest::qWait(400);
        QVERIFY(boxes.texts.isEmpty() && !window->IRC->Connected());
    }

    // Without any speech engine the start mode is still carried out; exceptions are logged
    // and survived; SIGTERM closes the normal way, waiting a bounded time for a server that
    // never answers the QUIT.
    void silentStartExceptionsAndTermination()
    {
        MainWindowBench bench;
        ScriptedPeer peer;
        bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()));
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
        TForm1 *window = bench.start(true);
        static_cast<TalvinApplication *>(qApp)->CloseOnTermination(window);
        QVERIFY(peer.waitForReceivedContains("USER "));
        QVERIFY(
            WaitUntil([&] { return window->IRC->Connected() && bench.log().contains("< USER"); }));

        QTest::ignoreMessage(QtWarningMsg, "Exception: boom in a handler");
        ThrowingObject thrower;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QVERIFY(
            WaitUntil([&] { return bench.log().contains("Exception: boom in a handler\r\n"); }));
        // One thrown by an engine event handler comes back through the engine's error report.
        window->IRC->OnPingPong = [](TIrcClient *) { throw ETalvinError(QStringLiteral("ping")); };
        QTest::ignoreMessage(QtWarningMsg, "Exception: ping");
        peer.sendLine("PING :one");
        peer.sendLine(":irc.test 376 x :End");
        QVERIFY(peer.waitForReceivedContains("JOIN #talvin\r\n"));
        QVERIFY(bench.log().contains("Exception: ping\r\n"));

        window->DisconnectWaitMs = 300;
        ::raise(SIGTERM);
        QVERIFY(WaitUntil([&] { return !window->isVisible(); }));
        QVERIFY(peer.received().endsWith("QUIT :\r\n"));
        QVERIFY(peer.waitForClientClosed());
        QVERIFY(bench.log().contains("\r\n*** Disconnected with 127.0.0.1 at "));
        QVERIFY(!window->IRC->Connected());
    }
};

int main(int argc, char **argv)
{
    TalvinApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_window.moc"
