// The typing and review keys of a channel window, pressed as real keys: what the input
// line holds afterwards and what each voice says, in order.
#include "channel_bench.h"

#include "channels/channel_keys.h"
#include "irc/irc_client.h"
#include "scripted_peer.h"

#include <QClipboard>
#include <QtTest>

class TestChannelKeys : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChannelBench> bench;
    std::unique_ptr<ScriptedPeer> peer;
    TChannelForm *form = nullptr;

    void feed(const QByteArray &line) { bench->window->IRC->Dispatch(line); }
    QString lastInterface() const
    {
        const QStringList texts = bench->interfaceVoice->spokenTexts();
        return texts.isEmpty() ? QString() : texts.last();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(form->VoxEdit1, key, modifiers);
    }

private slots:
    void init()
    {
        bench = std::make_unique<ChannelBench>();
        peer = std::make_unique<ScriptedPeer>();
        QVERIFY(bench->startRegistered(*peer));
        feed(":me!u@h JOIN #c");
        form = ChannelFormAt(FindChannelForm("#c"));
        QVERIFY(form);
        form->VoxEdit1->setFocus();
        QTRY_VERIFY(form->_Focused());
        form->UpdateUserList({"alice", "bob", "Alex"});
    }
    void cleanup()
    {
        bench.reset();
        peer.reset();
    }

    void tabCompletesNicks_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("tabs");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("first match at the start") << "al" << 1 << "alice: "
                                                  << "alice";
        QTest::newRow("next on Tab again") << "AL" << 2 << "Alex: "
                                           << "Alex";
        QTest::newRow("round and round") << "al" << 3 << "alice: "
                                         << "alice";
        QTest::newRow("inside a line") << "hi b" << 1 << "hi bob "
                                       << "bob";
    }
    void tabCompletesNicks()
    {
        QFETCH(QString, typed);
        QFETCH(int, tabs);
        TypeText(form->VoxEdit1, typed);
        for (int i = 0; i < tabs; ++i)
            key(Qt::Key_Tab);
        QFETCH(QString, line);
        QFETCH(QString, spoken);
        QCOMPARE(form->VoxEdit1->text(), line);
        QCOMPARE(lastInterface(), spoken);
        QVERIFY(form->VoxEdit1->hasFocus());
    }
    void tabWithoutAMatchMovesOn()
    {
        TypeText(form->VoxEdit1, "zz");
        key(Qt::Key_Tab);
        QCOMPARE(form->VoxEdit1->text(), QStringLiteral("zz"));
        QTRY_VERIFY(!form->VoxEdit1->hasFocus());
    }
    void upAndDownRecallSentLines()
    {
        for (const char *line : {"one", "/msg NickServ IDENTIFY hunter2"}) {
            TypeText(form->VoxEdit1, line);
            key(Qt::Key_Return);
        }
        TypeText(form->VoxEdit1, "dra");
        QStringList lines;
        for (Qt::Key k : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down}) {
            key(k);
            lines << form->VoxEdit1->text() + "|" + lastInterface();
        }
        QCOMPARE(
            lines,
            QStringList({"/msg NickServ IDENTIFY hunter2|/msg NickServ IDENTIFY *******", "one|one",
                         "one|one", "/msg NickServ IDENTIFY hunter2|/msg NickServ IDENTIFY *******",
                         "dra|dra"}));
    }
    void reviewKeysReadCopyAndWalkWithoutTouchingTheLine()
    {
        for (const char *text : {"first", "second", "third"})
            feed(QByteArray(":bob!u@h PRIVMSG #c :") + text);
        TypeText(form->VoxEdit1, "typing");
        form->VoxEdit1->setCursorPosition(2);
        bench->channelVoice->clear();
        const QList<QPair<Qt::Key, Qt::KeyboardModifiers>> keys = {
            {Qt::Key_1, Qt::AltModifier},
            {Qt::Key_3, Qt::AltModifier},
            {Qt::Key_3, Qt::AltModifier},
            {Qt::Key_0, Qt::AltModifier},
            {Qt::Key_Up, Qt::AltModifier | Qt::ShiftModifier},
            {Qt::Key_Up, Qt::AltModifier | Qt::ShiftModifier},
            {Qt::Key_Home, Qt::AltModifier | Qt::ShiftModifier},
            {Qt::Key_Up, Qt::AltModifier | Qt::ShiftModifier},
            {Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier},
            {Qt::Key_End, Qt::AltModifier | Qt::ShiftModifier}};
        for (const auto &[k, modifiers] : keys)
            key(k, modifiers);
        QCOMPARE(
            bench->channelVoice->speakAndStop(),
            QStringList({"<stop>",      "bob third",  "<stop>",        "bob first", "<stop>",
                         "скопировано", "<stop>",     "нет сообщения", "<stop>",    "bob third",
                         "<stop>",      "bob second", "<stop>",        "bob first", "<stop>",
                         "bob first",   "<stop>",     "bob second",    "<stop>",    "bob third"}));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("first"));
        QCOMPARE(form->VoxEdit1->text(), QStringLiteral("typing"));
        QCOMPARE(form->VoxEdit1->cursorPosition(), 2);
    }
};

QTEST_MAIN(TestChannelKeys)
#include "test_channel_keys.moc"
