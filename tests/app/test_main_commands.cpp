// The main window's commands against a scripted server: the spoken input boxes answered
// with real key events, the exact lines they send, Cancel, refusals, the private windows of
// the query command and commands while not connected.
#include "app/main_commands.h"
#include "app/status_window.h"
#include "app/vox_input_box.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "speech/controls/vox_edit.h"

#include "main_window_bench.h"
#include "scripted_peer.h"

#include <QAction>
#include <QApplication>

#include <deque>

namespace {

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
            titles.append(QStringLiteral("unexpected ") + box->windowTitle());
            return box->reject();
        }
        const auto [text, ok] = m_answers.front();
        m_answers.pop_front();
        // A screen reader finds the edit labelled with the question.
        titles.append(box->Edit1->accessibleName() == box->windowTitle().trimmed()
                          ? box->windowTitle()
                          : QStringLiteral("unlabelled edit"));
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, box->Edit1, Qt::Key_unknown, QString(ch), {});
        QTest::keyClick(box->Edit1, ok ? Qt::Key_Return : Qt::Key_Escape);
    }

    std::deque<std::pair<QString, bool>> m_answers;
    QTimer m_timer;
};

} // namespace

class TestMainCommands : public QObject
{
    Q_OBJECT
private slots:
    void commandsSendTheirLinesByteForByte()
    {
        MainWindowBench bench;
        ScriptedPeer peer;
        bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()));
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
        TForm1 *window = bench.start();
        QVERIFY(peer.waitForReceivedContains("USER "));
        QVERIFY(WaitUntil([&] { return window->IRC->Connected(); }));
        InputBoxAnswers boxes;
        MessageBoxWatcher messages(true); // an unexpected box fails the test, never hangs it
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
                boxes.answer(QStringLiteral("marker"));
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
        const qsizetype asked = spoken.indexOf(QStringLiteral("whois пуст"));
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

        // Under KOI8 the typed Cyrillic goes out in KOI8-R.
        window->A_KOI8->trigger();
        QVERIFY(
            run(window->A_Message, {"bob", "привет"}, "PRIVMSG bob :\xD0\xD2\xC9\xD7\xC5\xD4\r\n"));
    }

    void withoutAConnection()
    {
        MainWindowBench bench;
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
        TForm1 *window = bench.start();
        window->OpenPrivateForm = [](const QString &nick) { return NewPrivateForm(nick); };
        InputBoxAnswers boxes;
        const QString notConnected = QStringLiteral("Not connected to server.");
        for (QAction *action :
             {window->A_Whois, window->A_Who, window->A_Ban, window->A_Kick, window->A_Part}) {
            bench.interfaceVoice->clear();
            boxes.answer(QStringLiteral("bob"));
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
        QTest::keyClicks(window->StatusForm->Edit1, QStringLiteral("LIST"));
        QTest::keyClick(window->StatusForm->Edit1, Qt::Key_Return);
        QVERIFY(bench.interfaceVoice->spokenTexts().contains(notConnected));
        QVERIFY(boxes.allUsed());
        QCOMPARE(bench.statusText().count(notConnected), 8);

        // Query: twice the same nick makes two windows, from slot 1 on; Cancel opens none,
        // a name of blanks is refused aloud.
        MessageBoxWatcher messages(true);
        boxes.titles.clear();
        for (const QString answer : {"alice", "alice", "bob|", "  "}) {
            boxes.answer(answer.section(u'|', 0, 0), !answer.endsWith(u'|'));
            window->A_Query->trigger();
        }
        QCOMPARE(boxes.titles.mid(0, 2), QStringList({"nick ?", "nick ?"}));
        QCOMPARE(FindChannelForm(QStringLiteral("alice")), 2);
        QCOMPARE(ChannelFormAt(1)->ChannelName, QStringLiteral("alice"));
        QVERIFY(WaitUntil([&] { return !messages.texts.isEmpty(); }));
        QVERIFY(messages.texts.front().startsWith(window->A_Query->text() + u'|'));
        QVERIFY(!ChannelFormAt(3));

        // The nick waits for the next registration, which still uses the stored nick.
        boxes.answer(QStringLiteral("later"));
        window->A_Nick->trigger();
        QCOMPARE(window->IRC->Nick(), QByteArray("later"));
        ScriptedPeer peer;
        bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()));
        SetUserValue(QStringLiteral("Nick"), QStringLiteral("stored"));
        window->A_Connect->trigger();
        QVERIFY(peer.waitForReceivedContains("USER "));
        QVERIFY(peer.received().startsWith("NICK stored\r\n"));
    }
};

QTEST_MAIN(TestMainCommands)
#include "test_main_commands.moc"
