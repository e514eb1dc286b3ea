// The channel and private windows against a scripted server: what is shown, spoken and
// sent, the user table, the user actions and the two dialogs.
#include "channel_bench.h"

#include "app/codepage.h"
#include "base/exception.h"
#include "channels/channel_mode_form.h"
#include "channels/channel_setup_form.h"
#include "channels/channel_text.h"
#include "irc/irc_client.h"
#include "scripted_peer.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

class TestChannelForm : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ChannelBench> bench;
    std::unique_ptr<ScriptedPeer> peer;
    TForm1 *main = nullptr;

    // Connected as "me", registered, nothing received yet.
    void connectClient()
    {
        main->IRC->SetNick("me");
        main->IRC->Host = QStringLiteral("127.0.0.1");
        main->IRC->Port = peer->port();
        main->IRC->Connect();
        QVERIFY(peer->waitForClient());
        peer->sendLine(":irc.test 001 me :Welcome");
        QTRY_COMPARE(int(main->IRC->State()), int(stConnected));
        QVERIFY(peer->waitForReceivedContains("USER"));
        peer->clearReceived();
    }

    void feed(const QByteArray &line) { main->IRC->Dispatch(line); }

    TChannelForm *join(const QByteArray &channel)
    {
        feed(":me!u@h JOIN " + channel);
        const int slot = FindChannelForm(QString::fromLatin1(channel));
        TChannelForm *form = ChannelFormAt(slot);
        if (form)
            form->VoxEdit1->setFocus();
        return form;
    }

    // Everything sent after a marker line made sure nothing is still on its way.
    QByteArray sentSoFar()
    {
        main->IRC->Raw("PING :mark");
        if (!peer->waitForReceivedContains("PING :mark"))
            return QByteArray("<no mark>");
        QByteArray bytes = peer->received();
        bytes.chop(QByteArray("PING :mark\r\n").size());
        peer->clearReceived();
        return bytes;
    }

    // The user's cell in the list: column 0 the nick, column 1 the count.
    QModelIndex row(TChannelForm *form, const QString &nick, int column = 0)
    {
        const int entry = form->UserPresent(nick);
        return entry ? form->UserTable()->index(entry - 1, column) : QModelIndex();
    }

private slots:
    void init()
    {
        bench = std::make_unique<ChannelBench>();
        peer = std::make_unique<ScriptedPeer>();
        main = bench->start();
        connectClient();
    }
    void cleanup()
    {
        bench.reset();
        peer.reset();
    }

    void channelMessageIsShownAndSpokenWithTheNick()
    {
        TChannelForm *form = join("#c");
        QVERIFY(form);
        QCOMPARE(form->Slot, 0);
        QCOMPARE(form->windowTitle(), QStringLiteral("#c"));
        QTRY_VERIFY(form->_Focused());
        bench->channelVoice->clear();
        // Right after joining nobody is listed yet: the message is shown all the same.
        feed(":bob!u@h PRIVMSG #c :\x03"
             "12hello\x02 there");
        QCOMPARE(ViewText(form), QStringLiteral("*** me вошёл на канал #c\nbob:\nhello\x02 there"));
        QCOMPARE(bench->channelTexts(), QStringList{QStringLiteral("bob hello\x20 there")});
        const QTextDocument *doc = form->VoxRichEdit1->document();
        const QTextCharFormat header = doc->findBlockByNumber(1).begin().fragment().charFormat();
        QCOMPARE(header.foreground().color(), QColor(255, 0, 0));
        QCOMPARE(header.fontWeight(), int(QFont::Bold));
        const QTextCharFormat event = doc->findBlockByNumber(0).begin().fragment().charFormat();
        QCOMPARE(event.foreground().color(), QColor(0, 128, 0));
        QVERIFY(!form->Unread);
        QVERIFY(!bench->sounds.played.contains(QStringLiteral("message")));
    }

    void actionsAreShownLikeMessages()
    {
        TChannelForm *form = join("#c");
        feed(":bob!u@h PRIVMSG #c :\x01"
             "ACTION waves\x01");
        QVERIFY(ViewText(form).endsWith(QStringLiteral("bob:\n* waves")));
        feed(":bob!u@h PRIVMSG me :\x01"
             "ACTION nods\x01");
        TChannelForm *query = ChannelFormAt(FindChannelForm("bob"));
        QVERIFY(query);
        QCOMPARE(ViewText(query), QStringLiteral("bob\n* nods"));
    }

    void unfocusedWindowTurnsItsButtonRedAndSounds()
    {
        TChannelForm *first = join("#a");
        TChannelForm *second = join("#b");
        QVERIFY(first && second);
        QTRY_VERIFY(second->_Focused());
        bench->channelVoice->clear();
        feed(":bob!u@h PRIVMSG #a :psst");
        QVERIFY(first->Unread);
        QCOMPARE(first->WatchButton()->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
        QVERIFY(bench->sounds.played.contains(QStringLiteral("message")));
        QVERIFY(bench->channelTexts().isEmpty());
        QVERIFY(ViewText(first).endsWith(QStringLiteral("bob:\npsst")));
        // Its button brings it forward and clears the mark.
        first->WatchButton()->click();
        QTRY_VERIFY(!first->Unread);
        QCOMPARE(first->WatchButton()->palette().color(QPalette::ButtonText), QColor(0, 0, 0));
    }

    void namesNickAndQuitKeepTheUserTableInStep()
    {
        TChannelForm *form = join("#c");
        feed(":irc.test 353 me = #c :me @bob carol");
        feed(":irc.test 366 me #c :End of NAMES list");
        QCOMPARE(form->UserCount(), 3);
        QVERIFY(form->UserPresent("bob") && form->UserPresent("carol") && form->UserPresent("me"));
        feed(":bob!u@h PRIVMSG #c :one");
        QCOMPARE(row(form, "bob", 1).data().toString(), QStringLiteral("1"));
        form->VoxListView1->setCurrentIndex(row(form, "bob"));
        form->IgnorExecute();
        feed(":bob!u@h NICK robert");
        QCOMPARE(form->UserPresent("bob"), 0);
        const QModelIndex moved = row(form, "robert");
        QVERIFY(moved.isValid());
        QCOMPARE(moved.data().toString(), QStringLiteral("robert"));
        QCOMPARE(row(form, "robert", 1).data().toString(), QStringLiteral("1"));
        QCOMPARE(moved.data(Qt::UserRole).toInt(), TChannelForm::ImageIgnored);
        // Still ignored under the new nick.
        feed(":robert!u@h PRIVMSG #c :not heard");
        QVERIFY(!ViewText(form).contains(QStringLiteral("not heard")));
        feed(":carol!u@h QUIT :bye");
        QCOMPARE(form->UserPresent("carol"), 0);
        QCOMPARE(form->UserCount(), 2);
        QCOMPARE(form->VoxListView1->model()->rowCount(), 2);
        feed(":dave!u@h JOIN #c");
        QVERIFY(form->UserPresent("dave"));
        feed(":dave!u@h PART #c");
        QCOMPARE(form->UserPresent("dave"), 0);
        feed(":eve!u@h JOIN #c");
        feed(":me!u@h KICK #c eve :out");
        QCOMPARE(form->UserPresent("eve"), 0);
        // Own nick change follows too.
        feed(":me!u@h NICK me2");
        QVERIFY(form->UserPresent("me2"));
        QCOMPARE(form->UserPresent("me"), 0);
    }

    void userTableHasNoFixedLimit()
    {
        TChannelForm *form = join("#big");
        QStringList names;
        for (int i = 0; i < 300; ++i)
            names << QStringLiteral("user%1").arg(i);
        form->UpdateUserList(names);
        QCOMPARE(form->UserCount(), 300);
        feed(":user299!u@h PRIVMSG #big :late");
        QCOMPARE(row(form, "user299", 1).data().toString(), QStringLiteral("1"));
        // Removing a row never moves another entry's count or mark.
        form->DeleteFromUserList("user0");
        QCOMPARE(row(form, "user299", 1).data().toString(), QStringLiteral("1"));
        QCOMPARE(form->VoxListView1->model()->rowCount(), 299);
    }

    void ignoreTogglesTheMarkAndDropsMessages()
    {
        TChannelForm *form = join("#c");
        form->UpdateUserList({"bob"});
        form->VoxListView1->setCurrentIndex(row(form, "bob"));
        form->IgnorExecute();
        QCOMPARE(row(form, "bob").data(Qt::UserRole).toInt(), TChannelForm::ImageIgnored);
        feed(":bob!u@h PRIVMSG #c :spam");
        QVERIFY(!ViewText(form).contains(QStringLiteral("spam")));
        form->IgnorExecute();
        QCOMPARE(row(form, "bob").data(Qt::UserRole).toInt(), TChannelForm::ImageUser);
        feed(":bob!u@h PRIVMSG #c :welcome back");
        QVERIFY(ViewText(form).contains(QStringLiteral("welcome back")));
    }

    void enterSendsTheLineByteForByte()
    {
        TChannelForm *form = join("#c");
        sentSoFar();
        TypeText(form->VoxEdit1, QStringLiteral("привет all"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        QCOMPARE(sentSoFar(), QByteArray("PRIVMSG #c :\xef\xf0\xe8\xe2\xe5\xf2 all\r\n"));
        QVERIFY(form->VoxEdit1->text().isEmpty());
        // Own text is shown with a blue header.
        QVERIFY(ViewText(form).endsWith(QStringLiteral("me:\nпривет all")));
        const QTextDocument *doc = form->VoxRichEdit1->document();
        const QTextCharFormat header =
            doc->findBlockByNumber(doc->blockCount() - 2).begin().fragment().charFormat();
        QCOMPARE(header.foreground().color(), QColor(0, 0, 255));

        // A "/" line goes out raw, without the "/"; it is green while typed.
        TypeText(form->VoxEdit1, QStringLiteral("/MODE #c +t"));
        QCOMPARE(form->VoxEdit1->palette().color(QPalette::Text), QColor(0, 128, 0));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Enter);
        QCOMPARE(sentSoFar(), QByteArray("MODE #c +t\r\n"));

        // The Send button acts as Enter.
        form->VoxEdit1->setText(QStringLiteral("by button"));
        form->VoxButton1->click();
        QCOMPARE(sentSoFar(), QByteArray("PRIVMSG #c :by button\r\n"));

        // KOI8-R server: the text is converted on its way out.
        main->CodePage = CodePageKoi8;
        TypeText(form->VoxEdit1, QStringLiteral("мир"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        QCOMPARE(sentSoFar(), QByteArray("PRIVMSG #c :\xcd\xc9\xd2\r\n"));
        // A raw line is converted the same way, so Cyrillic in it reaches the server readable.
        TypeText(form->VoxEdit1, QStringLiteral("/TOPIC #c :мир"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        QCOMPARE(sentSoFar(), QByteArray("TOPIC #c :\xcd\xc9\xd2\r\n"));
        main->CodePage = CodePageWin1251;

        // Enter on an empty line says what to do and sends nothing.
        MessageBoxWatcher boxes;
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        QTRY_COMPARE(boxes.texts, QStringList{QStringLiteral("message|type you message first")});
        QCOMPARE(sentSoFar(), QByteArray());
    }

    void typingInTheConversationGoesToTheInputLine()
    {
        TChannelForm *form = join("#c");
        form->VoxEdit1->setText(QStringLiteral("from view"));
        form->VoxRichEdit1->setFocus();
        sentSoFar();
        QTest::keyClick(form->VoxRichEdit1, Qt::Key_X);
        QVERIFY(form->VoxEdit1->hasFocus());
        QCOMPARE(form->VoxEdit1->text(), QStringLiteral("from view"));
        form->VoxRichEdit1->setFocus();
        QTest::keyClick(form->VoxRichEdit1, Qt::Key_Return);
        QCOMPARE(sentSoFar(), QByteArray("PRIVMSG #c :from view\r\n"));
    }

    void keyboardLanguageIsAnnouncedOnceWhileTyping()
    {
        // A bench of its own: the language has not been announced yet.
        bench.reset();
        peer.reset();
        bench = std::make_unique<ChannelBench>();
        peer = std::make_unique<ScriptedPeer>();
        main = bench->start(false);
        connectClient();
        TChannelForm *form = join("#c");
        bench->channelVoice->clear();
        TypeText(form->VoxEdit1, QStringLiteral("abc"));
        QCOMPARE(bench->channelVoice->spokenTexts(), QStringList{QStringLiteral("Английский")});
        form->VoxRichEdit1->setFocus();
        QTest::keyClick(form->VoxRichEdit1, Qt::Key_D);
        TypeText(form->VoxEdit1, QStringLiteral("ж"));
        QCOMPARE(bench->channelVoice->spokenTexts(),
                 (QStringList{QStringLiteral("Английский"), QStringLiteral("Русский")}));
    }

    void keyboardConversionUsesTheTable()
    {
        QCOMPARE(ConvertKey(QChar(u'й')), QChar(u'ы'));
        QCOMPARE(ConvertKey(QChar(u'Х')), QChar(u'Ё'));
        QCOMPARE(ConvertKey(QChar(u'.')), QChar(u'ь'));
        QCOMPARE(ConvertKey(QChar(u'3')), QChar(u'!'));
        QCOMPARE(ConvertKey(QChar(u'z')), QChar(u'z'));
        TChannelForm *form = join("#c");
        main->KeyboardConversion = true;
        TypeText(form->VoxEdit1, QStringLiteral("йцу1x"));
        QCOMPARE(form->VoxEdit1->text(), QStringLiteral("ыче.x"));
        main->KeyboardConversion = false;
        form->VoxEdit1->clear();
        TypeText(form->VoxEdit1, QStringLiteral("йцу"));
        QCOMPARE(form->VoxEdit1->text(), QStringLiteral("йцу"));
    }

    void privateMessagesOpenAWindowFromSlotOne()
    {
        feed(":bob!u@h PRIVMSG me :hi there");
        const int slot = FindChannelForm("bob");
        QVERIFY(slot >= 1);
        TChannelForm *form = ChannelFormAt(slot);
        QVERIFY(form->PrivateDialogue);
        QVERIFY(!form->VoxListView1->isVisibleTo(form));
        QCOMPARE(ViewText(form), QStringLiteral("bob\nhi there"));
        const QTextBlock text = form->VoxRichEdit1->document()->findBlockByNumber(1);
        QVERIFY(text.blockFormat().textIndent() > 0);
        // Speech starts off in a private window.
        QVERIFY(bench->channelTexts().isEmpty());
        // A second message goes to the same window.
        feed(":BOB!u@h PRIVMSG me :again");
        QCOMPARE(FindChannelForm("bob"), slot);
        QVERIFY(ViewText(form).endsWith(QStringLiteral("again")));

        // Own messages are sent and shown.
        sentSoFar();
        form->VoxEdit1->setFocus();
        TypeText(form->VoxEdit1, QStringLiteral("hello bob"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        QCOMPARE(sentSoFar(), QByteArray("PRIVMSG bob :hello bob\r\n"));
        QVERIFY(ViewText(form).endsWith(QStringLiteral("me\nhello bob")));

        // With speech on, focused: nick and text on the channel voice.
        form->AC_Speak->trigger();
        QCOMPARE(form->AC_Speak->text(), GetCaption(QStringLiteral("CFAC_SpeakOn")));
        QTRY_VERIFY(form->_Focused());
        bench->channelVoice->clear();
        feed(":bob!u@h PRIVMSG me :spoken");
        QCOMPARE(bench->channelTexts(), QStringList{QStringLiteral("bob spoken")});
        // Not focused: a sound and the nick alone.
        TChannelForm *other = join("#elsewhere");
        QTRY_VERIFY(other->_Focused());
        bench->channelVoice->clear();
        bench->sounds.played.clear();
        feed(":bob!u@h PRIVMSG me :unseen");
        QCOMPARE(bench->channelTexts(), QStringList{QStringLiteral("bob")});
        QVERIFY(bench->sounds.played.contains(QStringLiteral("pmessage")));
        QVERIFY(form->Unread);
        sentSoFar();

        // Closing a private window sends nothing.
        form->SubWindow()->close();
        QTRY_COMPARE(FindChannelForm("bob"), -1);
        QCOMPARE(sentSoFar(), QByteArray());
    }

    void incomingPrivateMessageLeavesTheFocusWhereTheUserTypes()
    {
        TChannelForm *channel = join("#c");
        QTRY_VERIFY(channel->_Focused());
        TypeText(channel->VoxEdit1, QStringLiteral("half a li"));
        feed(":bob!u@h PRIVMSG me :psst");
        TChannelForm *query = ChannelFormAt(FindChannelForm("bob"));
        QVERIFY(query);
        QVERIFY(query->Unread);
        QVERIFY(channel->_Focused());
        QVERIFY(channel->VoxEdit1->hasFocus());
        TypeText(channel->VoxEdit1, QStringLiteral("ne"));
        sentSoFar();
        QTest::keyClick(channel->VoxEdit1, Qt::Key_Return);
        QCOMPARE(sentSoFar(), QByteArray("PRIVMSG #c :half a line\r\n"));
    }

    void dialogueModeAnswersOnItsOwn()
    {
        feed(":bob!u@h PRIVMSG me :hi");
        TChannelForm *form = ChannelFormAt(FindChannelForm("bob"));
        form->VoxEdit1->setFocus();
        QTRY_VERIFY(form->_Focused());
        sentSoFar();
        bench->channelVoice->clear();
        QTest::keyClick(form->VoxEdit1, Qt::Key_F5, Qt::ShiftModifier);
        QVERIFY(form->DialogMode);
        QCOMPARE(sentSoFar(),
                 EncodeEngineText(QStringLiteral(
                     "PRIVMSG bob :Включен режим диалога. me сейчас вас не слышит.\r\n")));
        QCOMPARE(bench->channelTexts(), QStringList{QStringLiteral("Включен режим диалога  ")});
        const QString before = ViewText(form);
        feed(":bob!u@h PRIVMSG me :are you there");
        QCOMPARE(sentSoFar(), EncodeEngineText(QStringLiteral("PRIVMSG bob :") +
                                               GetMessageText("mes6") + QStringLiteral("me") +
                                               GetMessageText("mes7") + QStringLiteral("\r\n")));
        QCOMPARE(ViewText(form), before);
        QTest::keyClick(form->VoxEdit1, Qt::Key_F5, Qt::ShiftModifier);
        QVERIFY(!form->DialogMode);
        QCOMPARE(sentSoFar(),
                 EncodeEngineText(QStringLiteral(
                     "PRIVMSG bob :Выключен режим диалога. me сейчас слышит вас.\r\n")));
    }

    void closingAJoinedChannelWindowParts()
    {
        TChannelForm *form = join("#c");
        sentSoFar();
        QTest::keyClick(form->VoxEdit1, Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
        QTRY_COMPARE(FindChannelForm("#c"), -1);
        QCOMPARE(sentSoFar(), QByteArray("PART #c\r\n"));
        QVERIFY(!main->ChannelForms[0]);
    }

    void partedAndKickedWindows()
    {
        TChannelForm *form = join("#c");
        feed(":op!u@h KICK #c me :out");
        QCOMPARE(ChannelFormAt(FindChannelForm("#c")), form);
        // After the kick there is nothing to leave.
        sentSoFar();
        form->SubWindow()->close();
        QTRY_COMPARE(FindChannelForm("#c"), -1);
        QCOMPARE(sentSoFar(), QByteArray());
        join("#d");
        sentSoFar();
        feed(":me!u@h PART #d");
        QTRY_COMPARE(FindChannelForm("#d"), -1);
        QCOMPARE(sentSoFar(), QByteArray());
    }

    void namesDifferingInCaseAreOneWindow()
    {
        TChannelForm *form = join("#Talvin");
        feed(":bob!u@h PRIVMSG #talvin :same");
        QVERIFY(ViewText(form).endsWith(QStringLiteral("same")));
        // A second window of the same name takes the traffic from then on.
        TChannelForm *later = join("#talvin");
        QVERIFY(later != form);
        feed(":bob!u@h PRIVMSG #TALVIN :later");
        QVERIFY(ViewText(later).endsWith(QStringLiteral("later")));
        QVERIFY(!ViewText(form).contains(QStringLiteral("later")));
    }

    void eventLinesReachOneOrEveryWindow()
    {
        TChannelForm *a = join("#a");
        TChannelForm *b = join("#b");
        main->SetChannelEvent("#A", "topic set");
        QVERIFY(ViewText(a).endsWith(QStringLiteral("*** topic set")));
        QVERIFY(!ViewText(b).contains(QStringLiteral("topic set")));
        main->SetAllChannelEvent("DISCONNECT");
        QVERIFY(ViewText(a).endsWith(QStringLiteral("*** DISCONNECT")));
        QVERIFY(ViewText(b).endsWith(QStringLiteral("*** DISCONNECT")));
        // Focused with speech on: the event is spoken on the interface voice.
        QTRY_VERIFY(b->_Focused());
        bench->interfaceVoice->clear();
        main->SetChannelEvent("#b", "spoken event");
        QVERIFY(bench->interfaceVoice->spokenTexts().contains(QStringLiteral("spoken event")));
        // Without show events nothing is added.
        b->Options.ShowEvents = false;
        main->SetChannelEvent("#b", "hidden");
        QVERIFY(!ViewText(b).contains(QStringLiteral("hidden")));
    }

    void userListActionsSendTheirLines()
    {
        TChannelForm *form = join("#c");
        feed(":irc.test 353 me = #c :@me bob");
        feed(":irc.test 366 me #c :End");
        sentSoFar();
        MessageBoxWatcher boxes;
        form->VoxListView1->clearSelection();
        form->QueryExecute();
        QTRY_COMPARE(boxes.texts, QStringList{QStringLiteral("User|Select user nick in list")});
        form->OpExecute();
        QCOMPARE(sentSoFar(), QByteArray());

        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        form->VoxListView1->setFocus();
        QTRY_VERIFY(form->VoxListView1->hasFocus());
        form->VoxListView1->setCurrentIndex(row(form, "bob"));
        QTest::keyClick(form->VoxListView1, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(sentSoFar(), QByteArray("MODE #c +o bob\r\n"));
        form->UM_Deop->trigger();
        QCOMPARE(sentSoFar(), QByteArray("MODE #c -o bob\r\n"));
        QTest::keyClick(form->VoxListView1, Qt::Key_Delete);
        QCOMPARE(sentSoFar(), QByteArray("KICK #c bob :\r\n"));
        QTest::keyClick(form->VoxListView1, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(sentSoFar(), QByteArray("KICK #c bob :so reson...\r\n"));
        QVERIFY(!form->UM_Ban->isEnabled());
        QVERIFY(!form->UM_Whois->isVisible());
        QVERIFY(!form->UM_Info->isVisible());
        QVERIFY(!form->UM_Slap->isVisible());
        form->UM_Voice->trigger();
        QCOMPARE(sentSoFar(), QByteArray());

        // Query opens a new private window every time.
        QTest::keyClick(form->VoxListView1, Qt::Key_C, Qt::ControlModifier);
        const int first = FindChannelForm("bob");
        QVERIFY(first >= 1);
        form->VoxListView1->setFocus();
        form->UM_Query->trigger();
        const int second = FindChannelForm("bob");
        QVERIFY(second > first);
        // Enter on a row does the same.
        form->VoxListView1->setFocus();
        QTest::keyClick(form->VoxListView1, Qt::Key_Return);
        QVERIFY(FindChannelForm("bob") > second);
        QCOMPARE(sentSoFar(), QByteArray());
    }

    void modeDialogSendsModeAndTopic()
    {
        join("#c");
        feed(":irc.test 324 me #c +nt");
        feed(":irc.test 332 me #c :old topic");
        sentSoFar();
        TChannelModeForm *dialog = ChannelModeForm();
        QVERIFY(dialog->Prepare("#c"));
        QVERIFY(dialog->VoxCheckBox1->isChecked());
        QVERIFY(dialog->VoxCheckBox2->isChecked());
        for (TVoxCheckBox *box : {dialog->VoxCheckBox3, dialog->VoxCheckBox4, dialog->VoxCheckBox5,
                                  dialog->VoxCheckBox6, dialog->VoxCheckBox7, dialog->VoxCheckBox8})
            QVERIFY(!box->isChecked());
        QCOMPARE(dialog->Preview->text(), QStringLiteral("/MODE #c +tn -imlps"));
        // Nothing changed: every mode not ticked still goes as a removal, no TOPIC.
        dialog->VoxButton1->click();
        QCOMPARE(sentSoFar(), QByteArray("MODE #c +tn -imlps\r\n"));

        QVERIFY(dialog->Prepare("#c"));
        dialog->VoxCheckBox5->click();
        dialog->LimitEdit->setText(QStringLiteral("25"));
        QCOMPARE(dialog->Preview->text(), QStringLiteral("/MODE #c +tnl 25 -imps"));
        dialog->KeyEdit->setText(QStringLiteral("sesame"));
        QCOMPARE(dialog->Preview->text(), QStringLiteral("/MODE #c +tnl 25 -impsk sesame"));
        dialog->VoxCheckBox6->click();
        QCOMPARE(dialog->Preview->text(), QStringLiteral("/MODE #c +tnlk 25 sesame -imps"));
        dialog->TopicEdit->setText(QStringLiteral("a topic of several words"));
        dialog->VoxButton1->click();
        QCOMPARE(sentSoFar(), QByteArray("MODE #c +tnlk 25 sesame -imps\r\n"
                                         "TOPIC #c :a topic of several words\r\n"));

        // A key that is not ticked is also taken off on its own line.
        QVERIFY(dialog->Prepare("#c"));
        dialog->KeyEdit->setText(QStringLiteral("old"));
        dialog->VoxButton1->click();
        QCOMPARE(sentSoFar(), QByteArray("MODE #c +tn -imlpsk old\r\nMODE #c -k old\r\n"));

        // No record, no dialog (a private window).
        QVERIFY(!dialog->Prepare("bob"));
    }

    void modeDialogOpensFromTheWindowAndCancelSendsNothing()
    {
        TChannelForm *form = join("#c");
        sentSoFar();
        bool shown = false;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = ChannelModeForm();
            shown = dialog->isVisible();
            QVERIFY(dialog->windowTitle().endsWith(QStringLiteral(" #c")));
            dialog->VoxButton2->click();
        });
        QTest::keyClick(form->VoxEdit1, Qt::Key_M, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(shown);
        QCOMPARE(sentSoFar(), QByteArray());
    }

    void setupDialogChangesTheWindowOptions()
    {
        TChannelForm *form = join("#c");
        const TChannelOptions before = form->Options;
        QVERIFY(before.ShowNick && before.ShowText && before.ShowEvents && before.SpeechOn &&
                before.SoundNotSpoken && before.SpeakNick && before.SpeakOutgoing);
        QVERIFY(!before.ShowTime && !before.ShowIncoming && !before.SpeakNotFocused);
        // Cancel changes nothing.
        QTRY_VERIFY(form->_Focused());
        bool opened = false;
        QTimer::singleShot(0, this, [&] {
            opened = ChannelSetupForm()->isVisible();
            ChannelSetupForm()->VoxCheckBox[7]->click();
            ChannelSetupForm()->VoxButton2->click();
        });
        QTest::keyClick(form->VoxEdit1, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(opened);
        QVERIFY(form->Options == before);
        // OK: no nick header, no speech of the nick.
        QTimer::singleShot(0, this, [&] {
            TChannelSetupForm *setup = ChannelSetupForm();
            QVERIFY(setup->VoxCheckBox[7]->isChecked());
            setup->VoxCheckBox[7]->click();
            setup->VoxCheckBox[4]->click();
            setup->VoxButton1->click();
        });
        ShowChannelSetup(form->Slot);
        QVERIFY(!form->Options.ShowNick);
        QVERIFY(!form->Options.SpeakNick);
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        form->VoxEdit1->setFocus();
        QTRY_VERIFY(form->_Focused());
        bench->channelVoice->clear();
        feed(":bob!u@h PRIVMSG #c :plain");
        QVERIFY(ViewText(form).endsWith(QStringLiteral("#c\nplain")));
        QCOMPARE(bench->channelTexts(), QStringList{QStringLiteral("plain")});
        // Speech off through its shortcut: nothing more is spoken.
        QTest::keyClick(form->VoxEdit1, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(!form->Options.SpeechOn);
        QCOMPARE(form->AC_Speak->text(), GetCaption(QStringLiteral("CFAC_SpeakOff")));
        feed(":bob!u@h PRIVMSG #c :quiet");
        QCOMPARE(bench->channelTexts(), QStringList{QStringLiteral("plain")});
        // Show time: the header carries the time in brackets.
        form->Options.ShowNick = true;
        form->Options.ShowTime = true;
        feed(":bob!u@h PRIVMSG #c :timed");
        const QString view = ViewText(form);
        const QString header = view.section(QLatin1Char('\n'), -2, -2);
        QVERIFY2(QRegularExpression(QStringLiteral("^bob \\(.+\\):$")).match(header).hasMatch(),
                 qPrintable(header));
        // An empty slot opens nothing.
        ShowChannelSetup(77);
    }

    void everyControlHasAnAccessibleName()
    {
        TChannelForm *form = join("#c");
        QCOMPARE(form->accessibleName(), QStringLiteral("#c"));
        QCOMPARE(form->VoxEdit1->accessibleName(), GetCaption(QStringLiteral("CFVoxEdit1")));
        QCOMPARE(form->VoxListView1->accessibleName(),
                 GetCaption(QStringLiteral("CFVoxListView1")));
        QCOMPARE(form->VoxButton1->accessibleName(), GetCaption(QStringLiteral("CFVoxButton1")));
        QVERIFY(!form->VoxRichEdit1->accessibleName().isEmpty());
        QCOMPARE(form->WatchButton()->accessibleName(), QStringLiteral("#c"));
        TChannelModeForm *mode = ChannelModeForm();
        mode->ConfigureComponents();
        QVERIFY(mode->accessibleName().startsWith(GetCaption(QStringLiteral("CMCaption"))));
        for (QWidget *w : mode->findChildren<QWidget *>()) {
            if (w->focusPolicy() != Qt::NoFocus)
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
        TChannelSetupForm *setup = ChannelSetupForm();
        setup->ConfigureComponents();
        QCOMPARE(setup->accessibleName(), GetCaption(QStringLiteral("CSFCaption")));
        for (QWidget *w : setup->findChildren<QWidget *>()) {
            if (w->focusPolicy() != Qt::NoFocus)
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
    }

    void slotsRunOutWithAnError()
    {
        // Slots 1 to 100 taken: a private window cannot open, a channel window takes 0.
        std::vector<std::unique_ptr<QWidget>> fillers;
        for (int slot = 1; slot < TForm1::ChannelFormCount; ++slot) {
            fillers.push_back(std::make_unique<QWidget>());
            main->ChannelForms[slot] = fillers.back().get();
        }
        QVERIFY_THROWS_EXCEPTION(ETalvinError, NewPrivateForm("bob"));
        QCOMPARE(NewChannelForm("#last"), 0);
        QVERIFY_THROWS_EXCEPTION(ETalvinError, NewChannelForm("#more"));
        // A private message with no slot left is dropped, the program goes on.
        feed(":bob!u@h PRIVMSG me :no room");
        QCOMPARE(FindChannelForm("bob"), -1);
        fillers.clear();
    }

    void watchButtonLivesAndDiesWithItsWindow()
    {
        TChannelForm *form = join("#c");
        QPointer<QToolButton> button = form->WatchButton();
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("#c"));
        QVERIFY(main->WatchBar->isAncestorOf(button));
        form->SubWindow()->close();
        QTRY_VERIFY(!button);
    }

    void activationReloadsTheCaptions()
    {
        TChannelForm *first = join("#a");
        join("#b");
        SetCaption(QStringLiteral("CFVoxButton1"), QStringLiteral("Послать"));
        bench->interfaceVoice->clear();
        first->WatchButton()->click();
        QTRY_COMPARE(first->VoxButton1->text(), QStringLiteral("Послать"));
        QVERIFY(bench->interfaceVoice->spokenTexts().contains(QStringLiteral("#a")));
    }

    void privateWindowFollowsItsPartnersNick()
    {
        feed(":bob!u@h PRIVMSG me :hi");
        const int slot = FindChannelForm("bob");
        TChannelForm *form = ChannelFormAt(slot);
        feed(":bob!u@h NICK robert");
        QCOMPARE(FindChannelForm("robert"), slot);
        QCOMPARE(form->windowTitle(), QStringLiteral("robert"));
        QCOMPARE(form->WatchButton()->text(), QStringLiteral("robert"));
        feed(":robert!u@h PRIVMSG me :renamed");
        QVERIFY(ViewText(form).endsWith(QStringLiteral("renamed")));
        sentSoFar();
        form->VoxEdit1->setText(QStringLiteral("ok"));
        form->VoxButton1->click();
        QCOMPARE(sentSoFar(), QByteArray("PRIVMSG robert :ok\r\n"));
    }

    void windowMenuInItsOrder()
    {
        TChannelForm *form = join("#c");
        const QList<QAction *> items = form->PopupMenu1->actions();
        QCOMPARE(items.size(), 10);
        QCOMPARE(items[0], form->AC_PartChannel);
        QCOMPARE(form->PopupMenu1->defaultAction(), form->AC_PartChannel);
        QCOMPARE(items[1], main->A_Nick);
        QCOMPARE(items[2], form->AC_ChannelMode);
        QVERIFY(items[3]->isSeparator());
        QCOMPARE(items[4], form->AC_ChannelSetup);
        QCOMPARE(items[5], main->A_SetSpeakPanel);
        QCOMPARE(items[6], form->AC_Speak);
        QVERIFY(!items[7]->isVisible());
        QVERIFY(items[8]->isSeparator());
        const QList<QAction *> pages = items[9]->menu()->actions();
        QCOMPARE(pages, (QList<QAction *>{main->A_CP1251, main->A_KOI8, main->A_OEM}));
    }

    void aHundredThousandLinesKeepTheViewCapped()
    {
        TChannelForm *form = join("#flood");
        form->Options.SpeechOn = false;
        const int total = 100000;
        for (int i = 0; i < total; ++i)
            form->LinesAdd(QStringLiteral("line %1").arg(i));
        // The event loop takes them a bounded batch per turn.
        QCoreApplication::processEvents();
        QTextDocument *doc = form->VoxRichEdit1->document();
        QVERIFY(doc->blockCount() <= TChannelForm::LinesPerTurn + 2);
        QTRY_VERIFY_WITH_TIMEOUT(doc->lastBlock().text() == QStringLiteral("line 99999"), 50000);
        QVERIFY(doc->blockCount() <= TChannelForm::ViewLineLimit + TChannelForm::ViewLineSlack + 1);
        QCOMPARE(doc->firstBlock().text(), TChannelForm::TrimNote);
        QVERIFY(doc->findBlockByNumber(1).text().startsWith(QStringLiteral("line ")));
        // The input line still takes keys and sends.
        sentSoFar();
        form->VoxEdit1->setFocus();
        TypeText(form->VoxEdit1, QStringLiteral("still here"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        QCOMPARE(sentSoFar(), QByteArray("PRIVMSG #flood :still here\r\n"));
    }
};

QTEST_MAIN(TestChannelForm)
#include "test_channel_form.moc"
