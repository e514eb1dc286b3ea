// The main window against scripted and real servers, by keyboard and ear: start-up, status
// lines, connecting, the traffic log, failed, lost and cancelled links, the error hook and
// SIGTERM; its commands through the spoken input boxes with the exact lines they send; the
// connect dialog, Enter on buttons, tiling, captions; SASL, secrets masked everywhere but on the
// wire (SASL also at a real server with services), every nick taken; the settings window; the TLS
// check box and certificate question; the first-run wizard connecting as the server list says.
#include "app/speech_panel.h"
#include "app/talvin_application.h"
#include "app/vox_input_box.h"
#include "app/vox_question_box.h"
#include "channels/channel_activity_keys.h"
#include "channels/channel_mode_form.h"
#include "channels/channel_setup_form.h"
#include "channels/presence_notes.h"
#include "channels/window_speech_mode.h"
#include "config/talvin_settings.h"
#include "dialogs/day_team_form.h"
#include "dialogs/faworits_form.h"
#include "dialogs/make_channel_form.h"
#include "dialogs/master_form.h"
#include "dialogs/server_list_form.h"
#include "dialogs/server_list_store.h"
#include "dialogs/server_options_form.h"
#include "dialogs/settings_form.h"
#include "speech/channel_speech_queue.h"
#include "speech/help/help.h"
#include "speech/help/help_form.h"

#include "main_window_bench.h"
#include "raw_irc_client.h"
#include "sasl_server.h"

#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

#include <arpa/inet.h>
#include <csignal>
#include <deque>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback listener whose accept queue is full: the kernel drops further SYNs, so a
// connect to it stays in progress until the caller gives up.
struct FullBacklogListener
{
    FullBacklogListener()
    {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
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
            throw ETalvinError("boom in a handler");
        return QObject::event(event);
    }
};

// Answers the input boxes as they come up, in order: types the text key by key into the
// focused edit, then presses Enter (OK) or Escape (Cancel). Remembers each box's title.
class InputBoxAnswers : public QObject
{
public:
    InputBoxAnswers()
    {
        connect(&m_timer, &QTimer::timeout, this, &InputBoxAnswers::poll);
        m_timer.start(10);
    }
    void answer(const QString &text, bool ok = true) { m_answers.push_back({text, ok}); }
    bool allUsed() const { return m_answers.empty(); }
    QStringList titles;

private:
    void poll()
    {
        auto *box = qobject_cast<TVoxInputBox *>(QApplication::activeModalWidget());
        // Typing starts once the edit has the focus, as a user's would.
        if (!box || !box->isVisible() || box->property("answered").toBool() ||
            (!m_answers.empty() && QApplication::focusWidget() != box->Edit1))
            return;
        box->setProperty("answered", true);
        if (m_answers.empty()) { // unexpected: closed so the test fails instead of hanging
            titles.append("unexpected " + box->windowTitle());
            return box->reject();
        }
        const auto [text, ok] = m_answers.front();
        m_answers.pop_front();
        // A screen reader finds the edit labelled with the question: the title and the
        // prompt, if any ("title|prompt" is remembered then).
        const QString prompt = box->Label1->text();
        const QString asked = (box->windowTitle() + u' ' + prompt).trimmed();
        titles.append(box->Edit1->accessibleName() != asked ? "unlabelled edit"
                      : prompt.isEmpty()                    ? box->windowTitle()
                                                            : box->windowTitle() + u'|' + prompt);
        TypeText(box->Edit1, text);
        QTest::keyClick(box->Edit1, ok ? Qt::Key_Return : Qt::Key_Escape);
    }

    std::deque<std::pair<QString, bool>> m_answers;
    QTimer m_timer;
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
        for (const char *mode : {"master", "Master", "dialog"}) // "Master" is not "master"
            QTest::newRow(mode) << QString(mode) << (QByteArray(mode) == "master");
    }
    void greetingSpokenOnceAndStartModes()
    {
        QFETCH(QString, mode);
        QFETCH(bool, wizard);
        MainWindowBench bench;
        SetCaption("smode", mode);
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
        QCOMPARE(bench.interfaceVoice->spokenTexts().count(
                     "Талвин ай эр це клиент загружен и готов к работе."),
                 1);
        // Closing the status window from the Windows menu keeps it.
        window->A_Close->trigger();
        QCOMPARE(window->MdiArea->subWindowList().size(), 1);
        // Ctrl+P shows and hides the speech panel.
        QTest::keyClick(window, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(window->Panel1->isVisible() && window->ToolButton3->isChecked());
        QTest::keyClick(window, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(!window->Panel1->isVisible());
        // F1 opens the help topic of the window around the focused control.
        window->StatusForm->Edit1->setFocus();
        QTest::keyClick(window->StatusForm->Edit1, Qt::Key_F1);
        QVERIFY(HelpForm()->isVisible());
        HelpForm()->hide();
        // Closing saves the speech settings.
        QFile::remove(ConfigFilePath("speech.ini"));
        window->close();
        QCOMPARE(GetSpeechValue("ActiveControl"), "0");
    }

    // What each server line adds to the status window. Without a connection the PONG cannot go
    // out, and that is said before the event; Windows-1251 text is decoded.
    void serverEventsBecomeStatusLines()
    {
        MainWindowBench bench("none");
        bench.start();
        QStringList added;
        for (const char *line :
             {":srv 001 me :Welcome", ":srv 251 me :3 users", "PING :x", ":a!u@h NICK :b",
              ":a!u@h PRIVMSG me :hello", ":srv 001 me :\xcf\xf0\xe8\xe2\xe5\xf2"}) {
            const QString before = bench.statusText();
            bench.window->IRC->Dispatch(line);
            added << bench.statusText().mid(before.size()).trimmed();
        }
        QCOMPARE(added, QStringList({"STATE CHANGE \nme :Welcome", "3 users",
                                     "Not connected to server.\nPING-PONG",
                                     "NICK CHANGE a now is b", "", "me :Привет"}));
    }

    void connectsWithStoredSettingsAndLogsTwoSessions()
    {
        MainWindowBench bench("connect");
        QVERIFY(WriteBytes(bench.dir.filePath("log/trafic.log"), "earlier\r\n"));
        auto peer = std::make_unique<ScriptedPeer>();
        bench.setServer(peer->port());
        for (const auto &[key, value] : {std::pair{"Nick", "tester"},
                                         {"UserName", "Иван Петров"},
                                         {"AlterNick", "tester2"},
                                         {"Invisible", "True"}})
            SetUserValue(QLatin1String(key), QString::fromUtf8(value));
        TForm1 *window = bench.start();
        // A full name with a blank is the real name; the user field takes one word.
        QVERIFY(peer->waitForReceivedContains(" :\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2\r\n"));
        QVERIFY(peer->received().startsWith("CAP LS 302\r\nNICK tester\r\nUSER tester "));
        QVERIFY(WaitUntil([&] { return window->IRC->Connected(); }));
        QCOMPARE(window->IRC->UserMode(), TIrcUserModes(umInvisible));

        // The end of the message of the day joins the program's channel.
        peer->sendLine(":irc.test 001 tester :Welcome tester");
        peer->sendLine(":irc.test 376 tester :End of MOTD");
        QVERIFY(peer->waitForReceivedContains("JOIN #talvin\r\n"));
        // The server closes the link.
        peer->close();
        QVERIFY(WaitUntil([&] { return !window->ToolButton1->isChecked(); }));
        QVERIFY(bench.statusText().contains("DISCONNECT 127.0.0.1"));
        // A lost link is retried by itself; the first Ctrl+R stops that.
        QVERIFY(window->Reconnecting());
        QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(!window->Reconnecting());
        // A second connection with Ctrl+R appends a second block; Ctrl+R again quits.
        auto second = std::make_unique<ScriptedPeer>();
        bench.setServer("localhost", QString::number(second->port()));
        SetUserValue("Invisible", "0");
        QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(second->waitForReceivedContains("USER tester "));
        second->sendLine(":irc.test NOTICE tester :second \xc1");
        QVERIFY(WaitUntil([&] { return bench.log().contains("second"); })); // on disk at once
        QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(second->waitForReceivedContains("QUIT :\r\n"));
        second->close();
        QVERIFY(WaitUntil([&] { return !window->IRC->Connected(); }));

        const QList<QByteArray> lines = bench.log().split('\n');
        QCOMPARE(lines.first(), QByteArray("earlier\r"));
        QVERIFY(lines.at(1).startsWith("*** Connected to 127.0.0.1 at "));
        QCOMPARE(lines.at(3), QByteArray("< NICK tester\r")); // each on its own CR LF line
        for (const char *line : {"> :irc.test 376 tester :End of MOTD\r", "< JOIN #talvin\r",
                                 "> :irc.test NOTICE tester :second \xc1\r", "< QUIT :\r"})
            QVERIFY2(lines.contains(QByteArray(line)), line);
        QCOMPARE(bench.log().count("*** Connected to "), 2);
        QCOMPARE(bench.log().count("*** Disconnected with "), 2);
        QVERIFY(lines.at(lines.size() - 2).startsWith("*** Disconnected with localhost at "));
        QVERIFY(!QFile::exists(bench.dir.path() + "/log.txt"));
    }

    // A port that is no number makes no attempt and no box; a host that does not resolve is
    // told in a box, and no log is begun. While the system waits for a server, keys still work
    // and the voice still speaks; Ctrl+R gives up the attempt, said aloud and without a box.
    void failedWaitingAndCancelledAttempts()
    {
        MainWindowBench bench("none");
        ScriptedPeer peer;
        bench.setServer("127.0.0.1", QString::number(peer.port()) + u'x');
        TForm1 *window = bench.start();
        MessageBoxWatcher boxes;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Exception: "));
        QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(!window->Connecting());
        QTest::qWait(200);
        QVERIFY(!peer.hasClient() && boxes.texts.isEmpty());

        bench.setServer("no-such-host.invalid", "6667");
        window->A_Connect->trigger();
        QVERIFY(WaitUntil([&] { return !boxes.texts.isEmpty(); }, 20000));
        QCOMPARE(boxes.texts,
                 QStringList("IRC|" + GetCaption("connection_faild") + " no-such-host.invalid"));
        QVERIFY(!window->Connecting() && !window->ToolButton1->isChecked());
        QVERIFY(!QFile::exists(bench.dir.path() + "/log/trafic.log"));

        FullBacklogListener listener;
        if (!listener.full)
            QSKIP("the system accepted every connection; no way to hold a connect open");
        boxes.texts.clear();
        window->activateWindow(); // back from the box
        QVERIFY(QTest::qWaitForWindowActive(window));
        bench.setServer(listener.port);
        window->A_Connect->trigger();
        QVERIFY(WaitUntil(
            [&] { return window->StatusPanels[0]->text() == "Connecting to 127.0.0.1."; }));
        bench.interfaceVoice->clear();
        window->StatusForm->Edit1->setFocus();
        QTest::keyClick(window->StatusForm->Edit1, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(bench.interfaceVoice->spokenTexts().contains("Окно Статус"));
        QSignalSpy ticks(window->Timer1, &QTimer::timeout);
        QVERIFY(ticks.wait(3000));
        QVERIFY(window->Connecting());
        QTest::keyClick(window->StatusForm->Edit1, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(!window->Connecting());
        QVERIFY(bench.interfaceVoice->spokenTexts().contains("Подключение отменено."));
        QTest::qWait(400);
        QVERIFY(boxes.texts.isEmpty() && !window->IRC->Connected());
    }

    // Every command without a connection says so; Query opens private windows; a nick chosen
    // waits for the next registration. Then, connected, each command sends its line.
    void commandsWithoutAndWithAConnection()
    {
        MainWindowBench bench("none");
        TForm1 *window = bench.start();
        window->OpenPrivateForm = [](const QString &nick) { return NewPrivateForm(nick); };
        InputBoxAnswers boxes;
        const QString notConnected = "Not connected to server.";
        for (QAction *action :
             {window->A_Whois, window->A_Who, window->A_Ban, window->A_Kick, window->A_Part}) {
            bench.interfaceVoice->clear();
            boxes.answer("bob");
            action->trigger();
            QVERIFY(bench.interfaceVoice->spokenTexts().contains(notConnected));
        }
        for (const char *answer : {"bob", "hi", "bob hi"})
            boxes.answer(QString::fromUtf8(answer));
        window->A_Message->trigger();
        window->A_Notice->trigger();
        // A raw line typed into the status window is refused the same way, and heard.
        bench.interfaceVoice->clear();
        window->StatusForm->Edit1->setFocus();
        QTest::keyClicks(window->StatusForm->Edit1, "LIST");
        QTest::keyClick(window->StatusForm->Edit1, Qt::Key_Return);
        QVERIFY(bench.interfaceVoice->spokenTexts().contains(notConnected));
        QVERIFY(boxes.allUsed());
        QCOMPARE(bench.statusText().count(notConnected), 8);

        // Query: twice the same nick makes two windows, from slot 1 on; Cancel opens none,
        // a name of blanks is refused aloud. (An unexpected box fails the test, never hangs it.)
        MessageBoxWatcher messages(true);
        boxes.titles.clear();
        for (const QString answer : {"alice", "alice", "bob|", "  "}) {
            boxes.answer(answer.section(u'|', 0, 0), !answer.endsWith(u'|'));
            window->A_Query->trigger();
        }
        QCOMPARE(boxes.titles.mid(0, 2), QStringList({"nick ?", "nick ?"}));
        QCOMPARE(FindChannelForm("alice"), 2);
        QCOMPARE(ChannelFormAt(1)->ChannelName, "alice");
        QVERIFY(WaitUntil([&] { return !messages.texts.isEmpty(); }));
        QVERIFY(messages.texts.front().startsWith(window->A_Query->text() + u'|'));
        QVERIFY(!ChannelFormAt(3));

        // The nick waits for the next registration, which still uses the stored nick.
        boxes.answer("later");
        window->A_Nick->trigger();
        QCOMPARE(window->IRC->Nick(), QByteArray("later"));
        ScriptedPeer peer;
        bench.setServer(peer.port());
        SetUserValue("Nick", "stored");
        window->A_Connect->trigger();
        QVERIFY(peer.waitForReceivedContains("USER "));
        QVERIFY(peer.received().startsWith("CAP LS 302\r\nNICK stored\r\n"));
        QVERIFY(WaitUntil([&] { return window->IRC->Connected(); }));
        // Runs a command with its answers; true when exactly the line went out, with the
        // titles of the boxes asked. A marker line afterwards shows nothing else came first.
        const auto run = [&](QAction *action, const QStringList &answers, const QByteArray &line,
                             const QStringList &titles = {}) {
            peer.clearReceived();
            boxes.titles.clear();
            for (const QString &text : answers)
                boxes.answer(text.section(u'|', 0, 0), !text.endsWith(u'|'));
            action->trigger();
            if (line.isEmpty()) {
                boxes.answer("marker");
                window->A_Who->trigger();
            }
            const QByteArray expected = line.isEmpty() ? "WHO marker\r\n" : line;
            return boxes.allUsed() && peer.waitForReceivedContains(expected) &&
                   peer.received() == expected && (titles.isEmpty() || boxes.titles == titles);
        };
        QVERIFY(run(window->A_Whois, {"bob"}, "WHOIS bob\r\n", {"whois "}));
        QVERIFY(run(window->A_Who, {"#a"}, "WHO #a\r\n", {"who "}));
        QVERIFY(run(window->A_Ban, {"#a *!*@bad.host"}, "BAN #a *!*@bad.host\r\n", {"ban "}));
        QVERIFY(run(window->A_Kick, {"#a bob go away"}, "kick #a bob go away\r\n", {"kick "}));
        QVERIFY(run(window->A_Part, {"#a"}, "PART #a :see you letter\r\n", {"part "}));
        QVERIFY(run(window->A_Nick, {"newnick"}, "NICK newnick\r\n", {"nick "}));
        QVERIFY(run(window->A_Message, {"bob", "hi  there "}, "PRIVMSG bob :hi  there \r\n",
                    {"Nick ?", "Message ?"}));
        QVERIFY(run(window->A_Notice, {"  bob  hello you"}, "NOTICE bob :hello you\r\n",
                    {"nick and message "}));
        QVERIFY(run(window->A_Whois, {""}, "WHOIS \r\n")); // the bare word, as typed
        // Cancel (a trailing "|") sends nothing, also at the second box.
        QVERIFY(run(window->A_Whois, {"bob|"}, ""));
        QVERIFY(run(window->A_Message, {"bob", "unsent|"}, ""));
        QVERIFY(run(window->A_Part, {"#gone|"}, ""));

        // The box says what it asks when it opens, and every typed character.
        bench.interfaceVoice->clear();
        QVERIFY(run(window->A_Whois, {"ann"}, "WHOIS ann\r\n"));
        const QStringList spoken = bench.interfaceVoice->spokenTexts();
        const qsizetype asked = spoken.indexOf("whois пуст");
        QVERIFY2(asked >= 0, qPrintable(spoken.join(u'|')));
        QCOMPARE(spoken.mid(asked + 1, 3), QStringList({"a", "n", "n"}));

        // A notice line without a target is refused aloud and sends nothing.
        messages.texts.clear();
        bench.interfaceVoice->clear();
        QVERIFY(run(window->A_Notice, {"   "}, ""));
        QVERIFY(WaitUntil([&] { return !messages.texts.isEmpty(); }));
        const QString refusal = messages.texts.front().section(u'|', 1);
        QCOMPARE(messages.texts.front(), window->A_Notice->text() + u'|' + refusal);
        QVERIFY(!refusal.isEmpty() && bench.interfaceVoice->spokenTexts().contains(refusal));
    }

    void connectDialogTakesTheKeyboard_data()
    {
        QTest::addColumn<QString>("way");
        for (const char *way : {"Ctrl+G", "menu item", "tool button"})
            QTest::newRow(way) << QString::fromLatin1(way);
    }
    void connectDialogTakesTheKeyboard()
    {
        QFETCH(QString, way);
        MainWindowBench bench("dialog");
        TForm1 *window = bench.start();
        // Every time: also after Cancel.
        for (int round = 0; round < 2; ++round) {
            window->Form2->Button2->click();
            QVERIFY(!window->Form2->isVisible());
            window->activateWindow();
            QTRY_VERIFY(window->isActiveWindow());
            bench.interfaceVoice->clear();
            if (way == QLatin1String("Ctrl+G"))
                QTest::keyClick(window, Qt::Key_G, Qt::ControlModifier);
            else if (way == QLatin1String("menu item"))
                window->findChild<QMenu *>("A_ServerMenu")->actions()[2]->trigger();
            else
                window->ToolButton5->click();
            QTRY_VERIFY(window->Form2->isActiveWindow());
            QVERIFY(window->Form2->isAncestorOf(QApplication::focusWidget()));
            // The announcement is heard whole: the focused field queues behind it.
            const QStringList heard = bench.interfaceVoice->speakAndStop();
            const QString dialog = "окно настройка соединения.";
            QCOMPARE(heard.count(dialog), 1);
            QVERIFY2(!heard.mid(heard.indexOf(dialog)).contains("<stop>"),
                     qPrintable(heard.join(u'|')));
        }
    }

    // Enter presses the focused button in a dialog, also where Enter has work of its own.
    void enterOnButtonsTilingAndCommands()
    {
        MainWindowBench bench("dialog");
        TForm1 *main = bench.start(), *window = main;
        main->DayTeam->AddLine("Welcome", Qt::black);
        const QList<QPair<QWidget *, QPushButton *>> buttons = {
            {main->Form2, main->Form2->Button2},
            {ServerOptionsForm(), ServerOptionsForm()->Button2},
            {FaworitsForm(), FaworitsForm()->Button5},
            {ServerListForm(), ServerListForm()->CloseButton},
            {main->DayTeam, main->DayTeam->VoxButton1}};
        for (const auto &[dialog, button] : buttons) {
            dialog->show();
            dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Return);
            QTRY_VERIFY2(!dialog->isVisible(), qPrintable(dialog->objectName()));
        }
        // Horizontally: full-width windows one above the other; vertically: side by side.
        window->MdiArea->addSubWindow(new QWidget)->show();
        window->A_TileHorizontal->trigger();
        for (QMdiSubWindow *sub : window->MdiArea->subWindowList())
            QCOMPARE(sub->width(), window->MdiArea->viewport()->width());
        window->A_TileVertical->trigger();
        for (QMdiSubWindow *sub : window->MdiArea->subWindowList())
            QCOMPARE(sub->height(), window->MdiArea->viewport()->height());

        // The make-channel dialog from the Commands menu.
        auto *make = window->findChild<QAction *>("A_MakeChannel");
        QVERIFY(make && window->Channels->menu()->actions().contains(make));
        QTimer::singleShot(0, window->Form5, [&] { window->Form5->reject(); });
        make->trigger();
        QVERIFY(!window->Form5->isVisible());
        QVERIFY(window->Form5->result() == QDialog::Rejected);
    }

    // A missing caption key reads "err-" + key in every window, never a built-in text.
    void captionGapsReadAsErrKey()
    {
        ChannelBench bench;
        const QStringList keys = {"CMLabel1",     "CSFGroupBox1", "CFVoxButton1", "CFAC_SpeakOff",
                                  "DTVoxButton1", "VoxCheckBox3", "A_Faworits"};
        QString text = QString::fromUtf8(ReadBytes(ConfigFilePath("caption.ini")));
        for (const QString &key : keys)
            text.replace(u'\n' + key + u'=', "\nGone" + key + u'=');
        QVERIFY(WriteBytes(ConfigFilePath("caption.ini"), text.toUtf8()));
        TForm1 *window = bench.start();
        TDayTeam day;
        day.AddLine("line", Qt::black);
        TChannelModeForm mode;
        mode.ConfigureComponents();
        TChannelSetupForm setup;
        setup.ConfigureComponents();
        auto *channel = qobject_cast<TChannelForm *>(window->ChannelForms[NewChannelForm("#c")]);
        channel->AC_Speak->trigger();
        const QStringList shown = {
            mode.Label1->text(),         setup.GroupBox1->title(),
            channel->VoxButton1->text(), channel->AC_Speak->text(),
            day.VoxButton1->text(),      window->Panel1->VoxCheckBox3->text(),
            window->A_Faworits->text()};
        for (qsizetype i = 0; i < keys.size(); ++i)
            QCOMPARE(shown[i], "err-" + keys[i]);

        // A channel header's time names no time zone.
        channel->Options.ShowNick = channel->Options.ShowTime = true;
        channel->Recive("bob", "hi", {"bob"});
        const QString header = ViewText(channel).section(u'\n', -2, -2);
        QVERIFY2(header.startsWith("bob (") &&
                     !header.contains(QDateTime::currentDateTime().timeZoneAbbreviation()),
                 qPrintable(header));
    }

    // A new installation logs its first connection; so does one made without log/.
    // Choosing a server keeps a port set by hand for a server the list does not know.
    void trafficLogAndConnectPort()
    {
        QVERIFY(QFileInfo(qEnvironmentVariable("TALVIN_SOURCE_DIR") + "/dist/log").isDir());
        MainWindowBench bench;
        QDir(bench.dir.filePath("log")).removeRecursively();
        TSessionLog log;
        log.CreateLogFile("irc.example.net");
        QVERIFY(QFile::exists(bench.dir.filePath("log/trafic.log")));

        for (const auto &[port, kept] : {std::pair{"7000", "7000"}, {"", "6667"}}) {
            bench.setServer("old.example", port);
            WriteConnectServer("irc.mine.example");
            QCOMPARE(GetConnectValue("Server") + ':' + GetConnectValue("Port"),
                     QString("irc.mine.example:") + kept);
        }
    }

    // Without any speech engine the start mode is still carried out; exceptions are logged
    // and survived; SIGTERM closes the normal way, waiting a bounded time for a server that
    // never answers the QUIT.
    void silentStartExceptionsAndTermination()
    {
        MainWindowBench bench("connect");
        ScriptedPeer peer;
        bench.setServer(peer.port());
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
        window->IRC->OnPingPong = [](TIrcClient *) { throw ETalvinError("ping"); };
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
    }

    // SASL as a user sets it up: the server options store it owner-only, connecting
    // identifies with it.
    void saslPlainFromTheServerOptions()
    {
        MainWindowBench bench;
        ScriptedPeer peer;
        bench.setServer(peer.port());
        TForm1 *window = bench.start();

        TServerOptionsForm *options = ServerOptionsForm();
        QTimer::singleShot(0, options, [&] {
            options->ServerEdit->setText("127.0.0.1");
            options->PortEdit->setText(QString::number(peer.port()));
            options->SaslBox->setCurrentText("PLAIN");
            options->SaslAccountEdit->setText("acc");
            options->SaslPasswordEdit->setText("пароль");
            options->Button1Click();
        });
        QVERIFY(options->ShowAdd());
        QCOMPARE(options->SaslAccountEdit->SpeechName(), QStringLiteral("Учётная запись SASL"));
        QCOMPARE(options->SaslPasswordEdit->echoMode(), QLineEdit::Password);
        const QString file = bench.dir.path() + "/config/servers.ini";
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                            QFileDevice::ReadOther | QFileDevice::WriteOther;
        QCOMPARE(QFileInfo(file).permissions() & others, QFileDevice::Permissions());
        LoadServerList();
        const ServerRecord *record = ServerAt(FindServer("127.0.0.1"));
        QVERIFY(record);
        QCOMPARE(record->SaslMechanism + record->SaslAccount + record->SaslPassword +
                     record->CodePage,
                 QStringLiteral("PLAINaccпарольUTF8"));

        window->A_Connect->trigger();
        QVERIFY(peer.waitForReceivedContains(" :Real name\r\n"));
        peer.sendLine(":s CAP * LS :sasl=PLAIN multi-prefix");
        QVERIFY(peer.waitForReceivedContains("CAP REQ :multi-prefix sasl\r\n"));
        peer.sendLine(":s CAP * ACK :multi-prefix sasl");
        QVERIFY(peer.waitForReceivedContains("AUTHENTICATE PLAIN\r\n"));
        peer.sendLine("AUTHENTICATE +");
        const QByteArray payload =
            (QByteArray("acc\0acc\0", 8) + QStringLiteral("пароль").toUtf8()).toBase64();
        QVERIFY(peer.waitForReceivedContains("AUTHENTICATE " + payload + "\r\n"));
    }

    // SASL at a real server with services (inspircd linked with atheme-services): the right
    // password of the server's entry logs in; a wrong one is said and shown, and registration
    // goes on without it.
    void saslAtARealServer()
    {
        if (!SaslServer::available())
            QSKIP("inspircd or atheme-services is not installed");
        SaslServer server;
        const QString error = server.start(), failed = "Вход по SASL не выполнен: SASL "
                                                       "authentication failed";
        QVERIFY2(error.isEmpty(), qPrintable(error));
        for (const auto &[password, shown, spoken] :
             {std::tuple{QByteArray(SaslServer::Password),
                         QString("SASL You are now logged in as tester"), QStringList()},
              {QByteArray("wrong"), "904 " + failed, QStringList{failed}}}) {
            MainWindowBench bench("connect");
            QVERIFY(WriteBytes(
                ConfigFilePath("servers.ini"),
                "[IRCServers]\nName1=127.0.0.1\nDesc1=t\nPort1=" + QByteArray::number(server.port) +
                    "\nCodePage1=UTF8\nSaslMechanism1=PLAIN\nSaslAccount1=tester\n"
                    "SaslPassword1=" +
                    password + '\n'));
            bench.setServer(server.port);
            TForm1 *window = bench.start();
            QVERIFY(
                WaitUntil([&] { return bench.statusText().contains("Welcome to the TestNet"); }));
            QCOMPARE(window->IRC->State(), stConnected);
            QVERIFY2(bench.statusText().contains(shown), qPrintable(bench.statusText()));
            QCOMPARE(bench.interfaceVoice->spokenTexts().filter("SASL"), spoken);
            QVERIFY(
                !bench.log().contains((QByteArray("tester\0tester\0", 14) + password).toBase64()));
        }
    }

    // A session against a real server with passwords and keys: the server gets them as typed,
    // the log, the status window, the transcripts and the speech only the mask. A favourites
    // file left readable by others is narrowed at start; closing the window quits.
    void secretsReachTheServerOnly()
    {
        const QList<QByteArray> secrets{"srv-pass-71", "chan-key-72", "fav-key-73",
                                        "ns-pass-74",  "new-key-75",  NgircdServer::OperPassword};
        NgircdServer server({secrets[0], {}});
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        RawIrcClient service; // takes the nick NickServ
        service.socket.connectToHost(server.host(), server.port());
        QVERIFY(service.socket.waitForConnected(5000));
        service.send("PASS srv-pass-71\r\nNICK NickServ\r\nUSER s 0 * :s\r\nJOIN #locked\r\n"
                     "MODE #locked +k chan-key-72");
        QVERIFY(service.waitFor("+k chan-key-72"));

        MainWindowBench bench("connect");
        bench.setServer(server.port());
        SetUserValue("Nick", "masker");
        SetFaworitValue("FaworPassword1", "fav-key-73");
        QFile faworits(ConfigFilePath("faworits.ini"));
        QVERIFY(faworits.setPermissions(faworits.permissions() | QFileDevice::ReadOther));
        for (const char *name : {"log.txt", "log/speech.txt"})
            QVERIFY(WriteBytes(bench.dir.filePath(name), ""));
        TForm1 *window = bench.createWindow();
        window->CreateApplicationWindows();
        window->IRC->Password = secrets[0];
        bench.showWindow();
        const auto statusHas = [&](const QString &text) {
            return WaitUntil([&] { return bench.statusText().contains(text); });
        };
        QVERIFY2(statusHas("JOINED #talvin"), qPrintable(bench.statusText()));
        QVERIFY(statusHas("config/faworits.ini could be read by other users"));
        QVERIFY(!(faworits.permissions() & QFileDevice::ReadOther));
        service.send("JOIN #talvin");
        QVERIFY(statusHas("JOIN NickServ #talvin"));

        // Typed raw into the status window; the last word read back with Ctrl+Left first.
        TVoxEdit *edit = window->StatusForm->Edit1;
        const auto type = [&](const QString &line) {
            edit->setFocus();
            QTest::keyClicks(edit, line);
            QTest::keyClick(edit, Qt::Key_Left, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Return);
        };
        edit->setSpeakMode(true); // every key read back, as in the input boxes
        type("privmsg nickserv :identify ns-pass-74");
        QVERIFY2(service.waitFor(":identify ns-pass-74\r\n"), service.received.constData());
        QVERIFY(bench.interfaceVoice->spokenTexts().count("звёздочка") == 10 &&
                bench.interfaceVoice->spokenTexts().contains("**********"));
        edit->setSpeakMode(false);
        type("JOIN #locked chan-key-72");
        QVERIFY(statusHas("JOINED #locked"));
        type("MODE #locked");
        const QRegularExpression lockedModes("MODE #locked\\[\\+\\w*k\\w* \\*{8}\\]");
        QVERIFY(WaitUntil([&] { return bench.statusText().contains(lockedModes); }));
        type("OPER testoper operpass");
        QVERIFY(WaitUntil([&] { return bench.log().contains(" 381 masker "); }));
        type("MODE #talvin +k new-key-75");
        QVERIFY(service.waitFor("MODE #talvin +k new-key-75"));
        QVERIFY(statusHas("MODE #talvin[+k ********]"));

        // A private window with the service shows the own text masked.
        TChannelForm *query = ChannelFormAt(NewPrivateForm("NickServ"));
        QTest::keyClicks(query->VoxEdit1, "GHOST masker ns-pass-74");
        QTest::keyClick(query->VoxEdit1, Qt::Key_Return);
        QVERIFY(service.waitFor("PRIVMSG NickServ :GHOST masker ns-pass-74\r\n"));
        QVERIFY(query->VoxRichEdit1->toPlainText().contains("GHOST masker ********"));

        window->close();
        const QByteArray log = bench.log();
        for (const char *line : {"< PASS ********\r\n", "< privmsg nickserv :identify ********\r\n",
                                 "< JOIN #locked ********\r\n", "< OPER testoper ********\r\n",
                                 "< MODE #talvin +k ********\r\n", " MODE #talvin +k ********\r\n"})
            QVERIFY2(log.contains(line), line);
        QStringList records{bench.statusText(), query->VoxRichEdit1->toPlainText(),
                            bench.interfaceVoice->spokenTexts().join('\n'),
                            bench.channelVoice->spokenTexts().join('\n')};
        for (const char *name : {"log.txt", "log/speech.txt", "log/trafic.log"})
            records.append(QString::fromLatin1(ReadBytes(bench.dir.filePath(name))));
        // Closing quits; the transcripts the user made were written.
        QVERIFY(!window->IRC->Connected() && log.contains("< QUIT :\r\n") &&
                log.contains("\r\n*** Disconnected with 127.0.0.1 at "));
        QVERIFY(records[4].contains("JOINED #talvin\r\n") &&
                records[4].endsWith("DISCONNECT 127.0.0.1\r\n") && !records[5].isEmpty());
        for (const QString &record : std::as_const(records))
            for (const QByteArray &secret : secrets)
                QVERIFY2(!record.contains(QString::fromLatin1(secret)), secret.constData());
    }

    // Every nick the client would try is taken: a few NICK lines, then the user hears why and
    // types a nick of their own.
    void everyNickTakenAsksTheUser()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        RawIrcClient holders[5];
        int held = 0;
        for (const char *nick : {"talvin", "alt", "talvin_", "alt_", "talvin__"})
            QVERIFY(holders[held++].connectTo(server, nick));
        MainWindowBench bench("none");
        TForm1 *main = bench.start();
        InputBoxAnswers boxes;
        boxes.answer("fresh");
        main->IRC->SetNick("talvin");
        main->IRC->AltNick = "alt";
        main->IRC->Host = server.host();
        main->IRC->Port = server.port();
        main->IRC->Connect();
        QVERIFY2(WaitUntil([&] { return main->IRC->State() == stConnected; }, 15000),
                 bench.log().constData());
        const QString why =
            "Ники заняты: talvin, alt, talvin_, alt_, talvin__. Введите другой ник.";
        QCOMPARE(boxes.titles, QStringList{"Новый ник|" + why});
        QCOMPARE(main->IRC->CurrentNick(), QByteArray("fresh"));
        QVERIFY(bench.statusText().contains(why) &&
                bench.interfaceVoice->spokenTexts().join(u'|').contains(why));
        QCOMPARE(bench.log().count("\n< NICK "), 6);
    }

    void damagedSettingsGiveDefaults_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("read"); // mode, limit, presence, review time, reader, words
        QTest::newRow("missing") << QByteArray() << "focused 5 recent 0 0 ";
        static const char garbage[] = "\xff\xfe\x00[Sp\x01\nBacklogLimit"; // a NUL inside
        QTest::newRow("garbage") << QByteArray(garbage, sizeof garbage - 1)
                                 << "focused 5 recent 0 0 ";
        QTest::newRow("bad values")
            << QByteArray("[Speech]\nDefaultSpeechMode=loud\nBacklogLimit=0\nPresenceSpeech=x\n"
                          "ReviewTime=maybe\nScreenReaderControls=1\n[Mentions]\nWords= ,tea,\n")
            << "focused 5 recent 0 1 tea";
        QTest::newRow("good") << QByteArray("[Speech]\nDefaultSpeechMode=Silent\nBacklogLimit=12\n"
                                            "PresenceSpeech=never\nReviewTime=-1\n")
                              << "silent 12 never 1 0 ";
    }
    void damagedSettingsGiveDefaults()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, read);
        QTemporaryDir dir;
        SetProgramDir(dir.path());
        QDir(dir.path()).mkpath("config");
        if (!file.isEmpty())
            QVERIFY(WriteBytes(ConfigFilePath("settings.ini"), file));
        ReloadSettings();
        const TTalvinSettings &s = Settings();
        QCOMPARE(QStringList({s.DefaultSpeechMode, QString::number(s.BacklogLimit),
                              s.PresenceSpeech, QString::number(s.ReviewTime),
                              QString::number(s.ScreenReaderControls), s.MentionWords.join(',')})
                     .join(' '),
                 read);
    }

    void settingsWalkedByKeysAndInForceAtOnce()
    {
        ChannelBench bench;
        TForm1 *window = bench.start();
        ReloadSettings();
        TRecordingSpeechEngine *voice = bench.interfaceVoice;
        auto press = [&](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            voice->clear();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
            return voice->spokenTexts().join('|');
        };
        press(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(window->SettingsForm && window->SettingsForm->SpeechMode->hasFocus());
        QStringList heard{voice->spokenTexts().join('|')};
        for (int control = 0; control < 6; ++control)
            heard << press(Qt::Key_Tab);
        QCOMPARE(heard,
                 QStringList({"Параметры|Режим чтения новых окон каналов: читать только в "
                              "активном окне",
                              "Сколько сообщений ждут чтения, прежде чем их заменит сводка: 5",
                              "Слова, которые делают сообщение упоминанием, через запятую: пуст",
                              "Чтение входов и выходов, пока окно не выбрало своё: входы и выходы "
                              "только тех, кто говорил",
                              "CheckBox Называть время при просмотре сообщений",
                              "CheckBox Элементы окон читает экранный диктор, а не Талвин",
                              "Button Закрыть"}));

        // Each change holds at once.
        TSettingsForm *form = window->SettingsForm;
        form->SpeechMode->setFocus();
        heard = QStringList{press(Qt::Key_Down)};
        form->BacklogLimit->setFocus();
        press(Qt::Key_Backspace);
        press(Qt::Key_2);
        form->MentionWords->setFocus();
        TypeText(form->MentionWords, "tea, milk");
        form->PresenceSpeech->setFocus();
        press(Qt::Key_Down);
        form->ReviewTime->setFocus();
        heard << press(Qt::Key_Space);
        QCOMPARE(heard, QStringList({"не читать", "CheckBox -1"}));
        QCOMPARE(window->ChannelQueue->Limit(), 2);
        QCOMPARE(HighlightWords(), QStringList({"tea", "milk"}));
        QCOMPARE(GetConfigValue("settings.ini", "Speech", "ReviewTime") + '|' +
                     GetConfigValue("settings.ini", "Mentions", "Words"),
                 "1|tea, milk");
        TChannelForm *channel = ChannelFormAt(NewChannelForm("#new"));
        QCOMPARE(SpeechModeOf(channel->Options), TWindowSpeechMode::Silent);
        QCOMPARE(channel->Presence->Setting(), TPresenceSpeech::Always);
        channel->Recive("bob", "hi");
        channel->VoxEdit1->setFocus();
        QTRY_VERIFY(channel->_Focused());
        bench.channelVoice->clear();
        QTest::keyClick(channel->VoxEdit1, Qt::Key_1, Qt::AltModifier);
        QVERIFY2(QRegularExpression("^bob hi  \\d+:\\d\\d:\\d\\d$")
                     .match(bench.channelTexts().value(0))
                     .hasMatch(),
                 qPrintable(bench.channelTexts().join('|')));
    }

    void tlsCheckBoxMovesThePort()
    {
        MainWindowBench bench("none");
        bench.start();
        TServerOptionsForm *options = ServerOptionsForm();
        TRecordingSpeechEngine *voice = bench.interfaceVoice;
        QStringList heard;
        QTimer::singleShot(0, options, [&] {
            options->ServerEdit->setText("irc.example.org");
            options->PortEdit->setFocus();
            // Each key is heard before the next: a later text would cut a pending one.
            for (QWidget *target : {(QWidget *)options->PortEdit, (QWidget *)options->TlsCheckBox,
                                    (QWidget *)options->TlsCheckBox}) {
                voice->clear();
                QTest::keyClick(target, target == options->PortEdit ? Qt::Key_Tab : Qt::Key_Space);
                QVERIFY(
                    WaitUntil([&] { return !voice->spokenTexts().filter("флажок").isEmpty(); }));
                heard << voice->spokenTexts().filter("флажок").last() + ' ' +
                             options->PortEdit->text();
            }
            options->Button1Click();
        });
        QVERIFY(options->ShowAdd());
        QCOMPARE(heard, QStringList({"флажок Защищённое соединение (TLS) 6667",
                                     "флажок отмечен 6697", "флажок снят 6667"}));
        LoadServerList();
        const ServerRecord *record = ServerAt(FindServer("irc.example.org"));
        QVERIFY(record && !record->Tls && record->Port == 6667);
    }

    void certificateQuestion_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("trusted");
        QTest::newRow("Escape") << QList<int>{Qt::Key_Escape} << false;
        QTest::newRow("Tab to Да, Space") << QList<int>{Qt::Key_Tab, Qt::Key_Space} << true;
    }
    void certificateQuestion()
    {
        QFETCH(QList<int>, keys);
        QFETCH(bool, trusted);
        MainWindowBench bench("none");
        ScriptedPeer peer;
        bench.setServer(peer.port());
        TForm1 *window = bench.start();
        const QString fingerprint = "AB:" + QString("01:").repeated(30) + "CD";
        QString heard;
        QTimer::singleShot(0, window, [&] {
            QVERIFY(WaitUntil([] {
                auto *box = qobject_cast<TVoxQuestionBox *>(QApplication::activeModalWidget());
                return box && box->isActiveWindow() && box->NoButton->hasFocus();
            }));
            heard = bench.interfaceVoice->spokenTexts().last();
            for (int key : keys)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        });
        window->CertificateRefused("127.0.0.1", peer.port(), "self-signed certificate",
                                   fingerprint);
        QCOMPARE(heard, "Сертификат сервера 127.0.0.1 не прошёл проверку: self-signed "
                        "certificate. Доверять этому сертификату для этого сервера? Нет");
        LoadServerList();
        const ServerRecord *record = ServerAt(FindServer("127.0.0.1"));
        QCOMPARE(record && record->Tls && record->Fingerprint == fingerprint, trusted);
        QCOMPARE(window->Connecting(), trusted); // again, over TLS with that fingerprint
    }

    // The wizard connects as every later start will: the list's entry for the chosen server
    // brings TLS, so the server's first byte is a TLS record, not a NICK line. Each step's
    // field hands the focus straight to the next one; the Back button is never heard.
    void wizardConnectsAsTheServerListSays()
    {
        MainWindowBench bench("master");
        ScriptedPeer peer;
        StoreServerFingerprint("127.0.0.1", peer.port(), "AB:CD");
        TMasterForm *wizard = bench.start()->MasterForm;
        QVERIFY(WaitUntil([&] { return wizard->isActiveWindow(); }));
        wizard->NameEdit->setText("Anna");
        wizard->EMailEdit->setText("anna@example.org");
        wizard->NickEdit->setText("anna");
        wizard->ServerBox->setCurrentText("127.0.0.1");
        for (int step = 1; step <= 6; ++step)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(peer.waitForReceived(1));
        QCOMPARE(peer.received().at(0), '\x16');
        QVERIFY(bench.interfaceVoice->spokenTexts().contains("кнопка < Назад") == false);
    }
};

int main(int argc, char **argv)
{
    TalvinApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_window.moc"
