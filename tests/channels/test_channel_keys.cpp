// The keys of a channel window and of the main window, pressed as real keys: typing and
// review (what the input line holds afterwards and what each voice says, in order), the
// keyboard language, the
// speech modes per window and the speech keys (what each voice says and what is kept on
// disk), mentions and the activity key (what is heard, in which order, and which window
// takes the keyboard).
#include "channel_bench.h"

#include "app/keyboard_language.h"
#include "channels/channel_keys.h"
#include "channels/mentions_form.h"
#include "irc/irc_client.h"
#include "speech/controls/vox_list_box.h"

#include <QClipboard>
#include <QInputMethod>
#include <QtTest>

class TestChannelKeys : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChannelBench> bench;
    std::unique_ptr<ScriptedPeer> peer;
    TChannelForm *form = nullptr;

    void feed(const QByteArray &line) { bench->feed(line); }
    bool focus(TChannelForm *to)
    {
        to->VoxEdit1->setFocus();
        return QTest::qWaitFor([to] { return to->_Focused(); });
    }
    QStringList said(TRecordingSpeechEngine *voice)
    {
        QStringList texts = voice->speakAndStop();
        voice->clear();
        return texts;
    }
    QString press(Qt::Key k)
    {
        bench->interfaceVoice->clear();
        QTest::keyClick(QApplication::focusWidget(), k, Qt::ControlModifier | Qt::ShiftModifier);
        return lastInterface();
    }
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
        QVERIFY((form = bench->join("#c")));
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
        // Alt and a digit reads a message back (again: copies it); Alt+Shift walks them.
        for (const Qt::Key k : {Qt::Key_1, Qt::Key_3, Qt::Key_3, Qt::Key_0})
            key(k, Qt::AltModifier);
        for (const Qt::Key k :
             {Qt::Key_Up, Qt::Key_Up, Qt::Key_Home, Qt::Key_Up, Qt::Key_Down, Qt::Key_End})
            key(k, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(
            bench->channelVoice->speakAndStop(),
            QStringList({"<stop>",      "bob third",  "<stop>",        "bob first", "<stop>",
                         "скопировано", "<stop>",     "нет сообщения", "<stop>",    "bob third",
                         "<stop>",      "bob second", "<stop>",        "bob first", "<stop>",
                         "bob first",   "<stop>",     "bob second",    "<stop>",    "bob third"}));
        QCOMPARE(QGuiApplication::clipboard()->text() + '|' + form->VoxEdit1->text() + '|' +
                     QString::number(form->VoxEdit1->cursorPosition()),
                 "first|typing|2");
    }

    void ctrlAltSGoesRoundTheModesAndKeepsThem()
    {
        TChannelForm *quiet = bench->join("#q");
        QStringList heard;
        for (int round = 0; round < 3; ++round) {
            QVERIFY(focus(form));
            bench->interfaceVoice->clear();
            key(Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
            heard << lastInterface();
            // Each mode heard from the other window: spoken, or only while focused.
            bench->channelVoice->clear();
            QVERIFY(focus(quiet));
            feed(":bob!u@h PRIVMSG #c :away " + QByteArray::number(round));
            heard << bench->channelTexts().join('|');
        }
        QCOMPARE(heard, QStringList({"не читать", "", "читать всегда", "bob away 1",
                                     "читать только в активном окне", ""}));
        QCOMPARE(bench->sounds.played.count("message"), 1);
        // Kept by name: the channel joined again in any letter case speaks as left.
        QVERIFY(focus(form));
        key(Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(GetConfigValue("windows.ini", "SpeechMode", "%23c"), QStringLiteral("silent"));
        QVERIFY(!ChannelFormAt(NewChannelForm("#C"))->Options.SpeechOn);
    }
    void mainSpeechKeysMuteStopAndDrop()
    {
        bench->channelVoice->clear();
        bench->interfaceVoice->clear();
        // As the window gets it once the line is decoded.
        form->Recive("bob", QString::fromUtf8("see https://www.example.org/x?y=1 \u200bnow!!!!!"));
        key(Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
        feed(":bob!u@h PRIVMSG #c :unheard");
        key(Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
        feed(":bob!u@h PRIVMSG #c :heard");
        key(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(said(bench->channelVoice), QStringList({"bob see example org now     ", "<stop>",
                                                         "bob heard", "<stop>", "<stop>"}));
        QCOMPARE(said(bench->interfaceVoice),
                 QStringList({"<stop>", "каналы молчат", "<stop>", "каналы читаются", "<stop>",
                              "очередь сброшена", "<stop>"}));
    }

    void mentionsAreHeardListedAndJumpedTo()
    {
        for (const char *channel : {"#a", "#b"})
            bench->join(channel);
        QVERIFY(focus(form));
        bench->channelVoice->clear();
        bench->sounds.played.clear();
        feed(":bob!u@h PRIVMSG #a :hello world");
        feed(":bob!u@h PRIVMSG #b :hey ME, look");
        feed(":bob!u@h PRIVMSG #b :bobby meh");
        feed(":eve!u@h PRIVMSG me :psst");
        // Only the mention is heard from the windows in the background, with its own sound.
        QCOMPARE(bench->channelTexts(), QStringList{"bob hey ME  look"});
        QCOMPARE(bench->sounds.played, QStringList({"message", "mention", "message"}));
        QStringList heard;
        for (int i = 0; i < 4; ++i)
            heard << press(Qt::Key_J);
        QCOMPARE(heard, QStringList({"eve, новых сообщений: 1", "#b, новых сообщений: 2",
                                     "#a, новых сообщений: 1", "новых сообщений нет"}));
        // The mentions window: the newest mention selected; Enter goes to its window.
        press(Qt::Key_N);
        TVoxListBox *list = MentionsForm()->VoxListBox1;
        QTRY_VERIFY(list->hasFocus());
        QVERIFY(list->currentItem()->text().endsWith("#b bob: hey ME, look"));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(ChannelFormAt(FindChannelForm("#b"))->_Focused());
    }

    // Said on the channel voice as the user types, once per change of language.
    void keyboardLanguageSaidOncePerChange()
    {
        const auto type = [&](const QString &text) {
            bench->channelVoice->clear();
            TypeText(form->VoxEdit1, text);
            return bench->channelVoice->spokenTexts().join(u'|');
        };
        // A letter only Ukrainian has switches; shared letters keep Ukrainian.
        QStringList heard;
        for (const char *text : {"при1", "hi", "ів", "ы"})
            heard << type(QString::fromUtf8(text));
        QCOMPARE(heard, QStringList({"Русский", "Английский", "Украинский", "Русский"}));
        QCOMPARE(form->VoxEdit1->text(), "при1hiівы");
        TKeyboardLanguage *language = bench->window->KeyboardLanguage;
        QCOMPARE(language->LastKeyboardLanguage, int(QLocale::Russian));
        // An input method that reports layout switches is believed over the letters.
        language->InputMethodLocale = [] { return QLocale(QLocale::German); };
        emit QGuiApplication::inputMethod()->localeChanged();
        QCOMPARE(type("жж"), "Язык неизвестен");
    }
};

QTEST_MAIN(TestChannelKeys)
#include "test_channel_keys.moc"
