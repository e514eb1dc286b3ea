// The main window's commands against a scripted server: the spoken input boxes answered
// with real key events, the exact lines they send, Cancel, the notice line's target, the
// private window of the query command and commands while not connected.
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
    void answer(const QString &text) { m_answers.push_back({text, true}); }
    void cancel(const QString &typed = QString()) { m_answers.push_back({typed, false}); }
    bool allUsed() const { return m_answers.empty(); }
    QStringList titles;

private:
    struct Answer
    {
        QString text;
        bool ok;
    };
    void poll()
    {
        auto *box = qobject_cast<TVoxInputBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->property("answered").toBool())
            return;
        if (m_answers.empty()) {
            // An unexpected box: closed so the test fails instead of hanging.
            titles.append(QStringLiteral("unexpected ") + box->windowTitle());
            box->setProperty("answered", true);
            box->reject();
            return;
        }
        // Typing starts once the edit has the focus, as a user's would.
        if (QApplication::focusWidget() != box->Edit1)
            return;
        box->setProperty("answered", true);
        const Answer answer = m_answers.front();
        m_answers.pop_front();
        titles.append(box->windowTitle());
        // A screen reader finds the edit labelled with the question.
        if (box->Edit1->accessibleName() != box->windowTitle().trimmed())
            titles.append(QStringLiteral("unlabelled edit"));
        for (const QChar ch : answer.text)
            QTest::sendKeyEvent(QTest::Click, box->Edit1, Qt::Key_unknown, QString(ch),
                                Qt::NoModifier);
        QTest::keyClick(box->Edit1, answer.ok ? Qt::Key_Return : Qt::Key_Escape);
    }

    std::deque<Answer> m_answers;
    QTimer m_timer;
};

} // namespace

class TestMainCommands : public QObject
{
    Q_OBJECT
private slots:
    void noticeLineSplitsTargetAndText_data();
    void noticeLineSplitsTargetAndText();
    void commandsSendTheirLinesByteForByte();
    void queryOpensPrivateWindowsAndRefusesNoNick();
    void commandsWhileDisconnectedAreReported();
};

void TestMainCommands::noticeLineSplitsTargetAndText_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("nick and text")
        << QByteArray("bob hi there") << QByteArray("bob") << QByteArray("hi there");
    QTest::newRow("blanks around the target")
        << QByteArray("  #a   hello  ") << QByteArray("#a") << QByteArray("hello  ");
    QTest::newRow("target alone") << QByteArray("bob") << QByteArray("bob") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("blanks only") << QByteArray("   ") << QByteArray() << QByteArray();
}

void TestMainCommands::noticeLineSplitsTargetAndText()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, text);
    const TNoticeLine notice = SplitNoticeLine(line);
    QCOMPARE(notice.Target, target);
    QCOMPARE(notice.Text, text);
}

void TestMainCommands::commandsSendTheirLinesByteForByte()
{
    MainWindowBench bench;
    ScriptedPeer peer;
    bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()));
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
    TForm1 *window = bench.start();
    QVERIFY(peer.waitForReceivedContains("USER "));
    QVERIFY(WaitUntil([&] { return window->IRC->Connected(); }));
    peer.sendLine(":irc.test 001 tester :Welcome");
    QVERIFY(WaitUntil([&] { return bench.statusText().contains(QStringLiteral("Welcome")); }));

    InputBoxAnswers boxes;
    // Each command, its answers, the title of each box and the one line it sends.
    struct Case
    {
        QAction *action;
        QStringList answers;
        QStringList titles;
        QByteArray line;
    };
    const QList<Case> cases = {
        {window->A_Whois, {"bob"}, {"whois "}, "WHOIS bob\r\n"},
        {window->A_Who, {"#a"}, {"who "}, "WHO #a\r\n"},
        {window->A_Ban, {"#a *!*@bad.host"}, {"ban "}, "BAN #a *!*@bad.host\r\n"},
        {window->A_Kick, {"#a bob go away"}, {"kick "}, "kick #a bob go away\r\n"},
        {window->A_Part, {"#a"}, {"part "}, "PART #a :see you letter\r\n"},
        {window->A_Nick, {"newnick"}, {"nick "}, "NICK newnick\r\n"},
        {window->A_Message,
         {"bob", "hi  there "},
         {"Nick ?", "Message ?"},
         "PRIVMSG bob :hi  there \r\n"},
        {window->A_Notice, {"bob  hello you"}, {"nick and message "}, "NOTICE bob :hello you\r\n"},
        // Confirmed empty: the bare command word with its blank, as typed.
        {window->A_Whois, {""}, {"whois "}, "WHOIS \r\n"},
    };
    for (const Case &c : cases) {
        peer.clearReceived();
        boxes.titles.clear();
        for (const QString &text : c.answers)
            boxes.answer(text);
        c.action->trigger();
        QVERIFY(boxes.allUsed());
        QCOMPARE(boxes.titles, c.titles);
        QVERIFY2(peer.waitForReceivedContains(c.line), c.line.constData());
        QCOMPARE(peer.received(), c.line);
    }

    // The box says what it asks when it opens, and every typed character.
    bench.interfaceVoice->clear();
    peer.clearReceived();
    boxes.answer(QStringLiteral("ann"));
    window->A_Whois->trigger();
    QVERIFY(peer.waitForReceivedContains("WHOIS ann\r\n"));
    const QStringList spoken = bench.interfaceVoice->spokenTexts();
    const qsizetype asked = spoken.indexOf(QStringLiteral("whois пуст"));
    QVERIFY2(asked >= 0, qPrintable(spoken.join(QLatin1Char('|'))));
    QCOMPARE(spoken.mid(asked + 1, 3),
             QStringList({QStringLiteral("a"), QStringLiteral("n"), QStringLiteral("n")}));

    // Cancel sends nothing, also at the second box of the message command; a marker line
    // afterwards shows nothing came before it.
    peer.clearReceived();
    boxes.cancel(QStringLiteral("bob"));
    window->A_Whois->trigger();
    boxes.answer(QStringLiteral("bob"));
    boxes.cancel(QStringLiteral("unsent"));
    window->A_Message->trigger();
    boxes.cancel();
    window->A_Notice->trigger();
    boxes.cancel(QStringLiteral("#gone"));
    window->A_Part->trigger();
    QVERIFY(boxes.allUsed());
    boxes.answer(QStringLiteral("marker"));
    window->A_Who->trigger();
    QVERIFY(peer.waitForReceivedContains("WHO marker\r\n"));
    QCOMPARE(peer.received(), QByteArray("WHO marker\r\n"));

    // A notice line without a target is refused aloud and sends nothing.
    MessageBoxWatcher messages(true);
    bench.interfaceVoice->clear();
    peer.clearReceived();
    boxes.answer(QStringLiteral("   "));
    window->A_Notice->trigger();
    QVERIFY(WaitUntil([&] { return !messages.texts.isEmpty(); }));
    QVERIFY(messages.texts.front().startsWith(window->A_Notice->text() + QLatin1Char('|')));
    const QString refusal = messages.texts.front().section(QLatin1Char('|'), 1);
    QVERIFY(!refusal.isEmpty());
    QVERIFY2(bench.interfaceVoice->spokenTexts().contains(refusal),
             qPrintable(bench.interfaceVoice->spokenTexts().join(QLatin1Char('|'))));
    boxes.answer(QStringLiteral("marker"));
    window->A_Who->trigger();
    QVERIFY(peer.waitForReceivedContains("WHO marker\r\n"));
    QCOMPARE(peer.received(), QByteArray("WHO marker\r\n"));

    // Under KOI8 the typed Cyrillic goes out in KOI8-R.
    window->A_KOI8->trigger();
    peer.clearReceived();
    boxes.answer(QStringLiteral("bob"));
    boxes.answer(QStringLiteral("привет"));
    window->A_Message->trigger();
    QVERIFY(peer.waitForReceivedContains("\r\n"));
    QCOMPARE(peer.received(), QByteArray("PRIVMSG bob :\xD0\xD2\xC9\xD7\xC5\xD4\r\n"));
    window->A_CP1251->trigger();
    peer.clearReceived();
    window->SendMessage(QStringLiteral("bob"), QStringLiteral("привет"));
    QVERIFY(peer.waitForReceivedContains("\r\n"));
    QCOMPARE(peer.received(), QByteArray("PRIVMSG bob :\xEF\xF0\xE8\xE2\xE5\xF2\r\n"));
}

void TestMainCommands::queryOpensPrivateWindowsAndRefusesNoNick()
{
    MainWindowBench bench;
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
    TForm1 *window = bench.start();
    window->OpenPrivateForm = [](const QString &nick) { return NewPrivateForm(nick); };
    InputBoxAnswers boxes;

    // Twice the same nick: two windows, from slot 1 on.
    boxes.answer(QStringLiteral("alice"));
    window->A_Query->trigger();
    boxes.answer(QStringLiteral("alice"));
    window->A_Query->trigger();
    QCOMPARE(boxes.titles, QStringList({"nick ?", "nick ?"}));
    QList<int> taken;
    for (int slot = 0; slot < TForm1::ChannelFormCount; ++slot)
        if (TChannelForm *form = ChannelFormAt(slot); form && form->ChannelName == "alice")
            taken.append(slot);
    QCOMPARE(taken, QList<int>({1, 2}));

    // Cancel opens nothing; a name of blanks is refused aloud.
    MessageBoxWatcher messages(true);
    boxes.cancel(QStringLiteral("bob"));
    window->A_Query->trigger();
    boxes.answer(QStringLiteral("  "));
    window->A_Query->trigger();
    QVERIFY(WaitUntil([&] { return !messages.texts.isEmpty(); }));
    QVERIFY(messages.texts.front().startsWith(window->A_Query->text() + QLatin1Char('|')));
    QVERIFY(!ChannelFormAt(3));
    QCOMPARE(FindChannelForm(QStringLiteral("bob")), -1);
}

void TestMainCommands::commandsWhileDisconnectedAreReported()
{
    MainWindowBench bench;
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
    TForm1 *window = bench.start();
    QVERIFY(!window->IRC->Connected());
    InputBoxAnswers boxes;

    const QString notConnected = QStringLiteral("Not connected to server.");
    int reports = 0;
    for (QAction *action :
         {window->A_Whois, window->A_Who, window->A_Ban, window->A_Kick, window->A_Part}) {
        bench.interfaceVoice->clear();
        boxes.answer(QStringLiteral("bob"));
        action->trigger();
        QVERIFY(bench.interfaceVoice->spokenTexts().contains(notConnected));
        ++reports;
    }
    boxes.answer(QStringLiteral("bob"));
    boxes.answer(QStringLiteral("hi"));
    window->A_Message->trigger();
    boxes.answer(QStringLiteral("bob hi"));
    window->A_Notice->trigger();
    reports += 2;
    QVERIFY(boxes.allUsed());
    QCOMPARE(bench.statusText().count(notConnected), reports);

    // A raw line typed into the status window is refused the same way, and heard.
    bench.interfaceVoice->clear();
    window->StatusForm->Edit1->setFocus();
    QTest::keyClicks(window->StatusForm->Edit1, QStringLiteral("LIST"));
    QTest::keyClick(window->StatusForm->Edit1, Qt::Key_Return);
    QVERIFY(bench.interfaceVoice->spokenTexts().contains(notConnected));
    QCOMPARE(bench.statusText().count(notConnected), reports + 1);

    // The nick waits for the next registration instead.
    bench.interfaceVoice->clear();
    boxes.answer(QStringLiteral("later"));
    window->A_Nick->trigger();
    QCOMPARE(window->IRC->Nick(), QByteArray("later"));
    QVERIFY(!bench.interfaceVoice->spokenTexts().contains(notConnected));

    // ... and the next connection registers with the stored nick all the same.
    ScriptedPeer peer;
    bench.setServer(QStringLiteral("127.0.0.1"), QString::number(peer.port()));
    SetUserValue(QStringLiteral("Nick"), QStringLiteral("stored"));
    window->A_Connect->trigger();
    QVERIFY(peer.waitForReceivedContains("USER "));
    QVERIFY(peer.received().startsWith("NICK stored\r\n"));
}

QTEST_MAIN(TestMainCommands)
#include "test_main_commands.moc"
