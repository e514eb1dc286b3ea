// The channel and private windows against a scripted server: what is shown, spoken and sent,
// which window takes the traffic, the user table and actions, the two dialogs, joins and quits
// heard or not, net splits; the keys (typing, review, speech modes and keys, mentions, the
// activity key). Against a real ngircd with a second user: code pages chosen from the menu (a
// Cyrillic channel name in the lines the program words, the CTCP TIME answer), a message too
// long for one line, and a server that comes back, joined again into the window left open.
#include "main_window_bench.h"
#include "raw_irc_client.h"

#include "app/codepage.h"
#include "app/keyboard_language.h"
#include "base/exception.h"
#include "channels/channel_keys.h"
#include "channels/channel_list_form.h"
#include "channels/channel_list_hooks.h"
#include "channels/channel_list_request_form.h"
#include "channels/channel_mode_form.h"
#include "channels/channel_setup_form.h"
#include "channels/mentions_form.h"
#include "channels/net_split.h"
#include "channels/presence_notes.h"

#include <QClipboard>
#include <QInputMethod>
#include <QLabel>
#include <QMdiArea>
#include <QTextBlock>
#include <QtTest>

class TestChannelForm : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ChannelBench> bench;
    std::unique_ptr<ScriptedPeer> peer;
    TForm1 *main = nullptr;
    QStringList changes; // what a user table told its view, in order

    void feed(const QByteArray &line) { bench->feed(line); }
    void feed(std::initializer_list<const char *> lines)
    {
        for (const char *line : lines)
            bench->feed(line);
    }
    TChannelForm *window(const QString &name) { return ChannelFormAt(FindChannelForm(name)); }

    TChannelForm *join(const QByteArray &channel)
    {
        TChannelForm *form = bench->join(channel);
        sent(); // the mode request on joining
        return form;
    }

    // Everything sent since the last call; a marker line makes sure nothing is on its way.
    QByteArray sent()
    {
        main->IRC->Raw("PING :mark");
        if (!peer->waitForReceivedContains("PING :mark"))
            return "<no mark>";
        const QByteArray bytes = peer->received().chopped(12);
        peer->clearReceived();
        return bytes;
    }

    // Types a line key by key and presses Enter; what went out.
    QByteArray say(TChannelForm *form, const QString &text)
    {
        sent();
        TypeText(form->VoxEdit1, text);
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        return sent();
    }

    // The user's cell in the list: column 0 the nick, column 1 the count.
    QModelIndex row(TChannelForm *form, const QString &nick, int column = 0)
    {
        const int entry = form->UserPresent(nick);
        return entry ? form->UserTable()->index(entry - 1, column) : QModelIndex();
    }

    // "nick" or "nick:count", top to bottom.
    static QStringList rows(TChannelForm *form)
    {
        QStringList out;
        const QAbstractItemModel *model = form->VoxListView1->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString count = model->index(r, 1).data().toString();
            out << model->index(r, 0).data().toString() + (count.isEmpty() ? "" : ":" + count);
        }
        return out;
    }

    // Records every change the table tells its view.
    void watch(TChannelForm *form)
    {
        changes.clear();
        QAbstractItemModel *model = form->VoxListView1->model();
        const auto range = [](int a, int b) { return QString("%1-%2").arg(a).arg(b); };
        connect(model, &QAbstractItemModel::modelReset, this, [this] { changes << "reset"; });
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [=, this](const QModelIndex &, int a, int b) { changes << "+" + range(a, b); });
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [=, this](const QModelIndex &, int a, int b) { changes << "-" + range(a, b); });
        connect(model, &QAbstractItemModel::dataChanged, this,
                [=, this](const QModelIndex &a, const QModelIndex &b) {
                    changes << QString::number(a.row()) + ":" + range(a.column(), b.column());
                });
    }

    // The keys' window: #c joined with three users listed, its input line holding the keyboard.
    TChannelForm *typing = nullptr;
    bool joinTyping()
    {
        typing = join("#c");
        typing->UpdateUserList({"alice", "bob", "Alex"});
        return Focus(typing);
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
        QTest::keyClick(typing->VoxEdit1, key, modifiers);
    }

    // The program in #room at a fresh real server, and bob there too.
    std::unique_ptr<NgircdServer> server;
    RawIrcClient bob;
    TChannelForm *room = nullptr;
    bool joinRoom()
    {
        server = std::make_unique<NgircdServer>();
        bench.reset(); // the scripted session is not needed here
        bench = std::make_unique<ChannelBench>();
        if (!server->start() || !(room = bench->joinAt(*server, "#room")) ||
            !bob.connectTo(*server, "bob"))
            return false;
        main = bench->window.get();
        bob.send("JOIN #room");
        return QTest::qWaitFor(
            [this] { return room->UserPresent("bob") && room->UserPresent("talvin"); });
    }

private slots:
    void init()
    {
        bench = std::make_unique<ChannelBench>();
        peer = std::make_unique<ScriptedPeer>();
        QVERIFY(bench->startRegistered(*peer));
        main = bench->window.get();
        QVERIFY(peer->waitForReceivedContains("USER"));
        peer->clearReceived();
    }
    void cleanup()
    {
        bob.socket.abort();
        bob.received.clear();
        bench.reset();
        peer.reset();
        server.reset();
        QLocale::setDefault(QLocale::system());
    }

    void messagesAreShownAndSpokenOnlyWhereTheUserIs()
    {
        TChannelForm *other = join("#a");
        TChannelForm *form = join("#c");
        QTRY_VERIFY(form->_Focused());
        // Shown, maximised and activated at once: its name is heard once.
        QCOMPARE(bench->interfaceVoice->spokenTexts().count("#c"), 1);
        bench->channelVoice->clear();
        // Right after joining nobody is listed yet: the message is shown all the same.
        feed(":bob!u@h PRIVMSG #c :\x03"
             "12hello\x02 there");
        feed(":bob!u@h PRIVMSG #c :\x01"
             "ACTION waves\x01");
        // STATUSMSG targets reach the channel.
        feed({":op!o@h PRIVMSG @#c :to the ops", ":v!o@h PRIVMSG +#c :to the voiced"});
        QCOMPARE(ViewText(form), "*** me вошёл на канал #c\nbob:\nhello\x02 there\nbob:\n* waves\n"
                                 "op:\nto the ops\nv:\nto the voiced");
        QCOMPARE(bench->channelTexts().first(), "bob hello\x20 there");
        QVERIFY(bench->channelTexts().contains("op to the ops"));
        QVERIFY(!form->Unread && !bench->sounds.played.contains("message"));
        // Elsewhere: no speech, a sound, and the window's button turns red until clicked.
        bench->channelVoice->clear();
        feed(":bob!u@h PRIVMSG #a :psst");
        QVERIFY(other->Unread && bench->channelTexts().isEmpty());
        QCOMPARE(bench->sounds.played.count("message"), 1);
        QCOMPARE(other->WatchButton()->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
        other->WatchButton()->click();
        QTRY_VERIFY(!other->Unread);
        // Channel names differing in case are one window; a newer window takes the traffic.
        TChannelForm *later = join("#A");
        feed(":bob!u@h PRIVMSG #a :later");
        QVERIFY(ViewText(later).endsWith("later"));
        QVERIFY(ViewText(other).endsWith("psst"));
        // Event lines reach one window or all; the focused one speaks them.
        main->SetChannelEvent("#C", "topic set");
        main->SetAllChannelEvent("DISCONNECT");
        QVERIFY(ViewText(form).endsWith("*** topic set\n*** DISCONNECT"));
        QVERIFY(ViewText(later).endsWith("later\n*** DISCONNECT"));
        QTRY_VERIFY(later->_Focused());
        bench->interfaceVoice->clear();
        main->SetChannelEvent("#a", "spoken event");
        QVERIFY(bench->interfaceVoice->spokenTexts().contains("spoken event"));
    }

    // After a kick and a rejoin, the new window takes the channel's traffic even in a
    // lower slot; the old one opens from its own button and closes without a PART.
    void rejoinedChannelOwnsItsTraffic()
    {
        QPointer<TChannelForm> pad = join("#pad");
        QPointer<TChannelForm> old = join("#x");
        QCOMPARE(ChannelFormAt(1), old.data());
        feed(":op!o@h KICK #x me :out");
        pad->AC_PartChannel->trigger();
        QTRY_VERIFY(pad.isNull());
        feed(":me!u@h PART #pad");
        TChannelForm *live = join("#x");
        QVERIFY(live && live != old && live == ChannelFormAt(0));
        feed(":bob!b@h PRIVMSG #x :hello");
        QVERIFY(ViewText(live).endsWith("bob:\nhello") && !ViewText(old).contains("hello"));
        for (TChannelForm *form : {live, old.data(), live}) {
            QTest::mouseClick(form->WatchButton(), Qt::LeftButton);
            QCOMPARE(main->MdiArea->activeSubWindow(), form->SubWindow());
        }
        old->AC_PartChannel->trigger();
        QTRY_VERIFY(old.isNull());
        QCOMPARE(sent(), QByteArray());
        QCOMPARE(window("#x"), live);
    }

    void userTableFollowsNamesNicksAndLeavers()
    {
        // Nicks are found in any case; renaming onto a stale entry leaves one row.
        TChannelForm *other = join("#d");
        other->UpdateUserList({"Bob", "ANNA", "bob", "Борис"});
        QCOMPARE(rows(other), QStringList({"Bob", "ANNA", "Борис"}));
        QCOMPARE(other->UserPresent("BOB") + other->UserPresent("борис"), 1 + 3);
        other->RenameUser("anna", "bob");
        QCOMPARE(rows(other), QStringList({"bob", "Борис"}));
        TChannelForm *form = join("#c");
        feed({":irc.test 353 me = #c :me @bob carol", ":irc.test 366 me #c :End of NAMES list"});
        QCOMPARE(form->UserCount(), 3);
        form->VoxListView1->setCurrentIndex(row(form, "bob"));
        form->IgnorExecute();
        feed(":bob!u@h NICK robert");
        // Still ignored under the new nick, until ignored again.
        feed(":robert!u@h PRIVMSG #c :not heard");
        form->IgnorExecute();
        feed(":robert!u@h PRIVMSG #c :welcome back");
        QVERIFY(ViewText(form).endsWith("robert:\nwelcome back"));
        QVERIFY(!ViewText(form).contains("not heard"));
        feed({":carol!u@h QUIT :bye", ":me!u@h NICK me2"});
        QVERIFY(form->UserCount() == 2 && form->UserPresent("me2") && form->UserPresent("robert"));
        // No fixed limit; removing a row never moves another entry's count.
        QStringList names;
        for (int i = 0; i < 300; ++i)
            names << QString("user%1").arg(i);
        form->UpdateUserList(names);
        QCOMPARE(form->UserCount(), 302);
        feed(":user299!u@h PRIVMSG #c :late");
        form->DeleteFromUserList("user0");
        QCOMPARE(row(form, "user299", 1).data().toString(), "1");
    }

    // Lines fed one by one; the rows after them | each change the view was told of.
    void eachEventTouchesOneRow_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("expected");
        const QByteArray n = ":irc.test 353 me = #c :me @bob +carol\n",
                         e = ":irc.test 366 me #c :E\n";
        // The names reply fills the table once, when it is complete.
        QTest::newRow("names") << n + n + e << "me bob carol | reset";
        QTest::newRow("join, part, quit, kick")
            << n + e +
                   ":dave!u@h JOIN #c\n:bob!u@h PART #c\n:carol!u@h QUIT :bye\n"
                   ":me!u@h KICK #c dave :out"
            << "me | reset +3-3 -1-1 -1-1 -1-1";
        // A nick change keeps the row in place with its count; a member's mode changes no row.
        QTest::newRow("nick, message, mode")
            << n + e +
                   ":bob!u@h PRIVMSG #c :hi\n:bob!u@h NICK Robert\n"
                   ":me!u@h MODE #c +o carol\n:Robert!u@h PRIVMSG #c :again"
            << "me Robert:2 carol | reset 1:1-1 1:0-0 1:1-1";
        // A second names reply adds only who is missing, in one insertion.
        QTest::newRow("names again")
            << n + e + ":irc.test 353 me = #c :me bob erin carol frank\n" + e
            << "me bob carol erin frank | reset +3-4";
        // A member heard before the names reply ends is listed at once; an outsider is not.
        QTest::newRow("early speaker")
            << ":irc.test 353 me = #c :me bob\n:bob!u@h PRIVMSG #c :first\n"
               ":zed!u@h PRIVMSG #c :outside\n" +
                   e
            << "bob:1 me | +0-0 0:1-1 +1-1";
    }
    void eachEventTouchesOneRow()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, expected);
        TChannelForm *form = join("#c");
        watch(form);
        for (const QByteArray &line : lines.split('\n'))
            if (!line.isEmpty())
                feed(line);
        QCOMPARE(rows(form).join(u' ') + " | " + changes.join(u' '), expected);
    }

    // Joins and leaves are heard by the setting and how recently the user spoke (within ten
    // minutes); a quit reason is a net split only when it names two different servers.
    void presenceSettingsAndSplitReasons()
    {
        const qint64 now = 100 * 60000, minute = 60000;
        QVERIFY(SpeakPresence(TPresenceSpeech::RecentSpeakers, now - 10 * minute, now));
        QVERIFY(!SpeakPresence(TPresenceSpeech::RecentSpeakers, now - 11 * minute, now));
        QStringList splits;
        for (const char *reason :
             {"irc.a.net irc.b.net", "*.net *.split", "Quit: irc.a.net irc.b.net",
              "irc.a.net irc.a.net", "gone home", "irc.a.net  irc.b.net"}) {
            const auto found = NetSplitServers(reason);
            splits << (found ? found->Near + '|' + found->Far : QString());
        }
        QCOMPARE(splits, QStringList({"irc.a.net|irc.b.net", "*.net|*.split", "", "", "", ""}));
    }

    // What the channel voice says in which order; the key that goes round the settings says
    // each and keeps it by the window's name.
    void presenceSpokenAndSplitsGathered()
    {
        TPresenceNotes::QuietMs = 100;
        TChannelForm *form = join("#c");
        QTRY_VERIFY(form->_Focused());
        bench->channelVoice->clear();
        for (const char *nick : {"bob", "carol", "dave", "erin", "frank"})
            feed(QByteArray(":") + nick + "!u@h JOIN #c");
        feed(":bob!u@h PRIVMSG #c :hi");
        feed(":bob!u@h PART #c");   // spoke: heard
        feed(":zed!u@h QUIT :bye"); // not in the channel: nowhere
        feed(":frank!u@h QUIT :bye");
        for (const char *nick : {"carol", "dave", "erin"})
            feed(QByteArray(":") + nick + "!u@h QUIT :irc.a.net irc.b.net");
        QTRY_VERIFY(ViewText(form).contains("разрыв"));
        for (const char *nick : {"carol", "dave"})
            feed(QByteArray(":") + nick + "!u@h JOIN #c");
        QTRY_VERIFY(ViewText(form).contains("вернулись"));
        QCOMPARE(ViewText(form).split('\n').mid(1),
                 QStringList({"*** bob вошел в #c", "*** carol вошел в #c", "*** dave вошел в #c",
                              "*** erin вошел в #c", "*** frank вошел в #c", "bob:", "hi",
                              "*** bob вышел #c", "*** frank вышел из сети (bye)",
                              "*** разрыв сети между irc.a.net и irc.b.net: ушли 3 пользователя "
                              "(carol, dave, erin)",
                              "*** после разрыва сети между irc.a.net и irc.b.net вернулись 2 "
                              "пользователя (carol, dave)"}));
        QCOMPARE(bench->channelTexts(),
                 QStringList({"bob hi", "bob вышел  c",
                              "разрыв сети между irc a net и irc b net: ушли 3 пользователя",
                              "после разрыва сети между irc a net и irc b net вернулись 2 "
                              "пользователя"}));
        QStringList heard;
        for (int press = 0; press < 3; ++press) {
            bench->interfaceVoice->clear();
            QTest::keyClick(form->VoxEdit1, Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
            heard << bench->interfaceVoice->spokenTexts().last()
                  << GetConfigValue("windows.ini", "PresenceSpeech", "%23c");
            bench->channelVoice->clear();
            feed(":x" + QByteArray::number(press) + "!u@h JOIN #c");
            QTRY_VERIFY(ViewText(form).contains("x" + QString::number(press) + " вошел"));
            heard << bench->channelTexts().join('|');
        }
        QCOMPARE(heard, QStringList({"читать все входы и выходы", "always", "x0 вошел в  c",
                                     "не читать входы и выходы", "never", "",
                                     "входы и выходы только тех, кто говорил", "recent", ""}));
    }

    void typedLinesGoOutByteForByte()
    {
        TChannelForm *form = join("#c");
        QCOMPARE(say(form, "привет all"),
                 QByteArray("PRIVMSG #c :\xef\xf0\xe8\xe2\xe5\xf2 all\r\n"));
        QVERIFY(form->VoxEdit1->text().isEmpty() && ViewText(form).endsWith("me:\nпривет all"));
        // A "/" line goes out raw, without the "/".
        TypeText(form->VoxEdit1, "/MODE #c +t");
        QTest::keyClick(form->VoxEdit1, Qt::Key_Enter);
        QCOMPARE(sent(), QByteArray("MODE #c +t\r\n"));
        form->VoxEdit1->setText("by button"); // the Send button acts as Enter
        form->VoxButton1->click();
        QCOMPARE(sent(), QByteArray("PRIVMSG #c :by button\r\n"));
        // Raw lines are converted too, under KOI8-R.
        main->SetCodePage(CodePageKoi8);
        QCOMPARE(say(form, "/TOPIC #c :мир"), QByteArray("TOPIC #c :\xcd\xc9\xd2\r\n"));
        main->SetCodePage(CodePageWin1251);
        // Keyboard conversion retypes Cyrillic keys.
        main->KeyboardConversion = true;
        QCOMPARE(say(form, "йцу1x"), QByteArray("PRIVMSG #c :\xfb\xf7\xe5.x\r\n"));
        main->KeyboardConversion = false;
        // Enter on an empty line says what to do and sends nothing.
        MessageBoxWatcher boxes;
        QCOMPARE(say(form, QString()), QByteArray());
        QTRY_COMPARE(boxes.texts, QStringList{"message|type you message first"});
    }

    void privateWindows()
    {
        TChannelForm *channel = join("#c");
        QTRY_VERIFY(channel->_Focused());
        TypeText(channel->VoxEdit1, "half a li");
        bench->interfaceVoice->clear();
        feed(":bob!u@h PRIVMSG me :hi there");
        // Opened behind the current window: its name is heard, none of the focus moves.
        QCOMPARE(bench->interfaceVoice->spokenTexts(), QStringList{"bob"});
        const int slot = FindChannelForm("bob");
        QVERIFY(slot >= 1);
        TChannelForm *form = ChannelFormAt(slot);
        QCOMPARE(ViewText(form), "bob\nhi there");
        // It opens unread and silent (speech starts off), and leaves the typing alone.
        QVERIFY(form->Unread && bench->channelTexts().isEmpty());
        QVERIFY(channel->_Focused() && channel->VoxEdit1->hasFocus());
        QCOMPARE(say(channel, "ne"), QByteArray("PRIVMSG #c :half a line\r\n"));
        feed(":BOB!u@h PRIVMSG me :again");
        QCOMPARE(FindChannelForm("bob"), slot);
        // It follows its partner's nick; notices from the partner land there too.
        feed(":bob!u@h NICK robert");
        QCOMPARE(FindChannelForm("robert"), slot);
        feed(":robert!d@h NOTICE me :noticed");
        QVERIFY(ViewText(form).endsWith("robert\nnoticed"));
        QVERIFY(Focus(form));
        QCOMPARE(say(form, "hello"), QByteArray("PRIVMSG robert :hello\r\n"));
        // Speech on, focused: nick and text; not focused: a sound and the nick alone.
        form->AC_Speak->trigger();
        bench->channelVoice->clear();
        feed(":robert!u@h PRIVMSG me :spoken");
        QCOMPARE(bench->channelTexts(), QStringList{"robert spoken"});
        QVERIFY(Focus(channel));
        bench->channelVoice->clear();
        feed(":robert!u@h PRIVMSG me :unseen");
        QCOMPARE(bench->channelTexts(), QStringList{"robert"});
        QVERIFY(bench->sounds.played.contains("pmessage"));
        // Dialogue mode (Shift+F5) tells the partner.
        QVERIFY(Focus(form));
        sent();
        QTest::keyClick(form->VoxEdit1, Qt::Key_F5, Qt::ShiftModifier);
        QCOMPARE(sent(), EncodeEngineText("PRIVMSG robert :Включен режим диалога. me сейчас вас "
                                          "не слышит.\r\n"));
        // Closing a private window sends nothing; its button goes with it; a message after
        // that opens a new window.
        QPointer<QToolButton> button = form->WatchButton();
        QPointer<TChannelForm> closing = form;
        form->SubWindow()->close();
        // A window on its way out hands what still reaches it to the status window.
        QVERIFY(closing);
        closing->PersonalRecive("robert", "later", true);
        QVERIFY(bench->statusText().contains("NOTICE robert later"));
        QTRY_VERIFY(!button);
        QCOMPARE(FindChannelForm("robert"), -1);
        QCOMPARE(sent(), QByteArray());
        feed(":robert!d@h PRIVMSG me :late");
        QVERIFY(ViewText(window("robert")).endsWith("late"));
        // A notice from anybody else goes to the status window, and is heard.
        feed(":NickServ!s@services NOTICE me :identify please");
        QVERIFY(bench->statusText().contains("NOTICE NickServ identify please"));
        QVERIFY(bench->channelTexts().contains("NickServ identify please"));
    }

    // Every message is shown; the automatic reply is one NOTICE per partner a minute.
    void dialogueModeShowsAllAndRepliesOnce()
    {
        qint64 now = 1000000;
        main->IRC->CtcpAnswerLimiter().Clock = [&] { return now; };
        for (const QByteArray nick : {"bob", "eve"}) {
            feed(':' + nick + "!u@h PRIVMSG me :start");
            window(QString::fromLatin1(nick))->AC_DialogMode->trigger();
        }
        sent();
        for (int i = 1; i <= 50; ++i)
            feed(":bob!u@h PRIVMSG me :m" + QByteArray::number(i));
        feed({":eve!u@h PRIVMSG me :hi", ":bob!u@h NOTICE me :an answer of his own"});
        const QString reply = "Это автоответ. me сейчас не может ответить, напишите, "
                              "пожалуйста, позже.\r\n";
        QCOMPARE(DecodeEngineText(sent()), "NOTICE bob :" + reply + "NOTICE eve :" + reply);
        const QString bobView = ViewText(window("bob"));
        for (const char *text : {"\nm1\n", "\nm50\n", "an answer of his own"})
            QVERIFY2(bobView.contains(QLatin1String(text)), text);
        now += 60000; // a minute later
        feed(":bob!u@h PRIVMSG me :later");
        QCOMPARE(DecodeEngineText(sent()), "NOTICE bob :" + reply);
    }

    // Closing a joined channel's window parts; after a kick or a part, nothing is sent.
    void closingWindowsPartsOnlyWhenJoined()
    {
        QTest::keyClick(join("#c")->VoxEdit1, Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
        QTRY_COMPARE(FindChannelForm("#c"), -1);
        QCOMPARE(sent(), QByteArray("PART #c\r\n"));
        TChannelForm *form = join("#k");
        feed(":op!u@h KICK #k me :out");
        QCOMPARE(window("#k"), form);
        form->SubWindow()->close();
        join("#d");
        feed(":me!u@h PART #d");
        QTRY_VERIFY(FindChannelForm("#k") == -1 && FindChannelForm("#d") == -1);
        QCOMPARE(sent(), QByteArray());
    }

    void userListActionsSendTheirLines()
    {
        TChannelForm *form = join("#c");
        feed({":irc.test 353 me = #c :@me bob", ":irc.test 366 me #c :End"});
        MessageBoxWatcher boxes;
        form->VoxListView1->clearSelection();
        form->QueryExecute();
        QTRY_COMPARE(boxes.texts, QStringList{"User|Select user nick in list"});
        form->OpExecute();
        QCOMPARE(sent(), QByteArray());
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        form->VoxListView1->setFocus();
        QTRY_VERIFY(form->VoxListView1->hasFocus());
        // Each move says the list's name and the nick.
        const QString name = form->VoxListView1->SpeechName();
        for (const Qt::Key key : {Qt::Key_End, Qt::Key_Home, Qt::Key_Down})
            QTest::keyClick(form->VoxListView1, key);
        const QStringList said = bench->interfaceVoice->spokenTexts();
        QCOMPARE(said.mid(said.size() - 3),
                 QStringList({name + " bob", name + " me", name + " bob"}));
        QCOMPARE(form->SelectedNick(), "bob");
        QTest::keyClick(form->VoxListView1, Qt::Key_O, Qt::ControlModifier);
        form->UM_Deop->trigger();
        QTest::keyClick(form->VoxListView1, Qt::Key_Delete);
        QTest::keyClick(form->VoxListView1, Qt::Key_Delete, Qt::ShiftModifier);
        form->UM_Voice->trigger(); // not offered: sends nothing
        QCOMPARE(sent(), QByteArray("MODE #c +o bob\r\nMODE #c -o bob\r\nKICK #c bob :\r\n"
                                    "KICK #c bob :so reson...\r\n"));
        // Query (Ctrl+C, the menu) opens a new private window every time.
        QTest::keyClick(form->VoxListView1, Qt::Key_C, Qt::ControlModifier);
        const int first = FindChannelForm("bob");
        form->VoxListView1->setFocus();
        form->UM_Query->trigger();
        QVERIFY(first >= 1 && FindChannelForm("bob") > first);
        QCOMPARE(sent(), QByteArray());
    }

    void modeDialogSendsModeAndTopic()
    {
        join("#c");
        feed({":irc.test 324 me #c +nt", ":irc.test 332 me #c :old topic"});
        TChannelModeForm *dialog = ChannelModeForm();
        QVERIFY(dialog->Prepare("#c"));
        // Nothing changed: every mode not ticked still goes as a removal, no TOPIC.
        QCOMPARE(dialog->Preview->text(), "/MODE #c +tn -imlps");
        dialog->VoxButton1->click();
        QCOMPARE(sent(), QByteArray("MODE #c +tn -imlps\r\n"));
        QVERIFY(dialog->Prepare("#c"));
        dialog->VoxCheckBox5->click();
        dialog->LimitEdit->setText("25");
        dialog->KeyEdit->setText("sesame");
        QCOMPARE(dialog->Preview->text(), "/MODE #c +tnl 25 -impsk sesame");
        dialog->VoxCheckBox6->click();
        dialog->TopicEdit->setText("a topic of several words");
        dialog->VoxButton1->click();
        QCOMPARE(sent(), QByteArray("MODE #c +tnlk 25 sesame -imps\r\n"
                                    "TOPIC #c :a topic of several words\r\n"));
        // A key that is not ticked is also taken off on its own line.
        QVERIFY(dialog->Prepare("#c"));
        dialog->KeyEdit->setText("old");
        dialog->VoxButton1->click();
        QCOMPARE(sent(), QByteArray("MODE #c +tn -imlpsk old\r\nMODE #c -k old\r\n"));
        QVERIFY(!dialog->Prepare("bob")); // no record, no dialog (a private window)
    }

    void setupDialogChangesTheWindowOptions()
    {
        TChannelForm *form = join("#c");
        const TChannelOptions before = form->Options;
        QTRY_VERIFY(form->_Focused());
        // Ctrl+Alt+A opens it; Cancel changes nothing.
        QTimer::singleShot(0, this, [&] { ChannelSetupForm()->VoxButton2->click(); });
        QTest::keyClick(form->VoxEdit1, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(form->Options == before);
        // OK: no nick header, no speech of the nick.
        QTimer::singleShot(0, this, [&] {
            ChannelSetupForm()->VoxCheckBox[7]->click();
            ChannelSetupForm()->VoxCheckBox[4]->click();
            ChannelSetupForm()->VoxButton1->click();
        });
        ShowChannelSetup(form->Slot);
        QVERIFY(!form->Options.ShowNick && !form->Options.SpeakNick);
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main) && Focus(form));
        bench->channelVoice->clear();
        feed(":bob!u@h PRIVMSG #c :plain");
        QVERIFY(ViewText(form).endsWith("#c\nplain"));
        QCOMPARE(bench->channelTexts(), QStringList{"plain"});
        ShowChannelSetup(77); // an empty slot opens nothing
    }

    // Every control a user can reach says its name.
    void controlsAreNamed()
    {
        TChannelForm *first = join("#a");
        QCOMPARE(first->VoxEdit1->accessibleName(), GetCaption("CFVoxEdit1"));
        QCOMPARE(first->WatchButton()->accessibleName(), "#a");
        ChannelModeForm()->ConfigureComponents();
        ChannelSetupForm()->ConfigureComponents();
        for (QWidget *top :
             {static_cast<QWidget *>(first), static_cast<QWidget *>(ChannelModeForm()),
              static_cast<QWidget *>(ChannelSetupForm())}) {
            QVERIFY(!top->accessibleName().isEmpty());
            for (QWidget *w : top->findChildren<QWidget *>())
                QVERIFY2(w->focusPolicy() == Qt::NoFocus || !w->accessibleName().isEmpty(),
                         qPrintable(w->objectName()));
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
        // A private message with no slot left is shown in the status window and heard.
        feed(":bob!u@h PRIVMSG me :no room");
        QCOMPARE(FindChannelForm("bob"), -1);
        QVERIFY(bench->statusText().contains("PRIVMSG bob no room"));
        QVERIFY(bench->channelTexts().contains("bob no room"));
    }

    // A flood is taken a bounded batch per turn and the view keeps the newest lines, with a
    // note on top; the input line still works.
    void floodKeepsTheViewCapped()
    {
        TChannelForm *form = join("#flood");
        form->Options.SpeechOn = false;
        const int total = 23000; // the view keeps 20,000 lines and trims past 22,000
        for (int i = 0; i < total; ++i)
            form->LinesAdd(QString("line %1").arg(i));
        QCoreApplication::processEvents();
        QTextDocument *doc = form->VoxRichEdit1->document();
        QVERIFY(doc->blockCount() <= TChannelForm::LinesPerTurn + 2);
        const QString last = QString("line %1").arg(total - 1);
        QTRY_VERIFY_WITH_TIMEOUT(doc->lastBlock().text() == last, 30000);
        QVERIFY(doc->blockCount() <= 22001);
        QCOMPARE(doc->firstBlock().text(), TChannelForm::TrimNote);
        QCOMPARE(say(form, "still here"), QByteArray("PRIVMSG #flood :still here\r\n"));
    }

    // The channel-list action opens the request dialog (a damaged minimum in caption.ini
    // reads as 0); a LIST reply fills the browser and writes "1.lst".
    void channelListJoinedToTheMainWindow()
    {
        SetCaption("CLUpDown3", "many");
        AttachChannelList(main);
        main->A_ChannelList->trigger();
        QTRY_VERIFY(ChannelListForm()->isVisible());
        QCOMPARE(ChannelListForm()->MinimumUsers(), 0);
        ChannelListForm()->hide();
        for (const QByteArray line : {"321 me Channel :Users  Name", "322 me #one 3 :first topic",
                                      "322 me #two 1 :", "323 me :End of LIST"})
            feed(":irc.test " + line);
        QCOMPARE(Form3()->FullList.Count(), 2);
        QVERIFY(QFile::exists(ProgramDir() + "/1.lst"));
        Form3()->close();
    }

    // Typed, Tab presses, the line afterwards and what is said; without a match the line
    // stays and Tab moves on.
    void tabCompletesNicks_data()
    {
        QTest::addColumn<QString>("row");
        for (const char *row : {"al|1|alice: |alice", "AL|2|Alex: |Alex", "al|3|alice: |alice",
                                "hi b|1|hi bob |bob", "zz|1|zz|"})
            QTest::newRow(row) << QString::fromLatin1(row);
    }
    void tabCompletesNicks()
    {
        QVERIFY(joinTyping());
        QFETCH(QString, row);
        const QStringList part = row.split(u'|');
        TypeText(typing->VoxEdit1, part[0]);
        for (int i = 0; i < part[1].toInt(); ++i)
            key(Qt::Key_Tab);
        QCOMPARE(typing->VoxEdit1->text(), part[2]);
        if (!part[3].isEmpty())
            QCOMPARE(lastInterface(), part[3]);
        QTRY_COMPARE(typing->VoxEdit1->hasFocus(), !part[3].isEmpty());
    }
    void upAndDownRecallSentLines()
    {
        QVERIFY(joinTyping());
        for (const char *line : {"one", "/msg NickServ IDENTIFY hunter2"}) {
            TypeText(typing->VoxEdit1, line);
            key(Qt::Key_Return);
        }
        TypeText(typing->VoxEdit1, "dra");
        QStringList lines;
        for (Qt::Key k : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down}) {
            key(k);
            lines << typing->VoxEdit1->text() + "|" + lastInterface();
        }
        QCOMPARE(
            lines,
            QStringList({"/msg NickServ IDENTIFY hunter2|/msg NickServ IDENTIFY *******", "one|one",
                         "one|one", "/msg NickServ IDENTIFY hunter2|/msg NickServ IDENTIFY *******",
                         "dra|dra"}));
    }
    void reviewKeysReadCopyAndWalkWithoutTouchingTheLine()
    {
        QVERIFY(joinTyping());
        for (const char *text : {"first", "second", "third"})
            feed(QByteArray(":bob!u@h PRIVMSG #c :") + text);
        TypeText(typing->VoxEdit1, "typing");
        typing->VoxEdit1->setCursorPosition(2);
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
        QCOMPARE(QGuiApplication::clipboard()->text() + '|' + typing->VoxEdit1->text() + '|' +
                     QString::number(typing->VoxEdit1->cursorPosition()),
                 "first|typing|2");
    }

    void ctrlAltSGoesRoundTheModesAndKeepsThem()
    {
        QVERIFY(joinTyping());
        TChannelForm *quiet = bench->join("#q");
        QStringList heard;
        for (int round = 0; round < 3; ++round) {
            QVERIFY(Focus(typing));
            bench->interfaceVoice->clear();
            key(Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
            heard << lastInterface();
            // Each mode heard from the other window: spoken, or only while focused.
            bench->channelVoice->clear();
            QVERIFY(Focus(quiet));
            feed(":bob!u@h PRIVMSG #c :away " + QByteArray::number(round));
            heard << bench->channelTexts().join('|');
        }
        QCOMPARE(heard, QStringList({"не читать", "", "читать всегда", "bob away 1",
                                     "читать только в активном окне", ""}));
        QCOMPARE(bench->sounds.played.count("message"), 1);
        // Kept by name: the channel joined again in any letter case speaks as left.
        QVERIFY(Focus(typing));
        key(Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(GetConfigValue("windows.ini", "SpeechMode", "%23c"), QStringLiteral("silent"));
        QVERIFY(!ChannelFormAt(NewChannelForm("#C"))->Options.SpeechOn);
    }
    void mainSpeechKeysMuteStopAndDrop()
    {
        QVERIFY(joinTyping());
        bench->channelVoice->clear();
        bench->interfaceVoice->clear();
        // As the window gets it once the line is decoded.
        typing->Recive("bob",
                       QString::fromUtf8("see https://www.example.org/x?y=1 \u200bnow!!!!!"));
        key(Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
        feed(":bob!u@h PRIVMSG #c :unheard");
        key(Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
        feed(":bob!u@h PRIVMSG #c :heard");
        key(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(bench->channelVoice->speakAndStop(),
                 QStringList(
                     {"bob see example org now     ", "<stop>", "bob heard", "<stop>", "<stop>"}));
        QCOMPARE(bench->interfaceVoice->speakAndStop(),
                 QStringList({"<stop>", "каналы молчат", "<stop>", "каналы читаются", "<stop>",
                              "очередь сброшена", "<stop>"}));
    }

    void mentionsAreHeardListedAndJumpedTo()
    {
        QVERIFY(joinTyping());
        for (const char *channel : {"#a", "#b"})
            bench->join(channel);
        QVERIFY(Focus(typing));
        bench->channelVoice->clear();
        bench->sounds.played.clear();
        feed({":bob!u@h PRIVMSG #a :hello world", ":bob!u@h PRIVMSG #b :hey ME, look",
              ":bob!u@h PRIVMSG #b :bobby meh", ":eve!u@h PRIVMSG me :psst"});
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
        QVERIFY(joinTyping());
        const auto type = [&](const QString &text) {
            bench->channelVoice->clear();
            TypeText(typing->VoxEdit1, text);
            return bench->channelVoice->spokenTexts().join(u'|');
        };
        // A letter only Ukrainian has switches; shared letters keep Ukrainian.
        QStringList heard;
        for (const char *text : {"при1", "hi", "ів", "ы"})
            heard << type(QString::fromUtf8(text));
        QCOMPARE(heard, QStringList({"Русский", "Английский", "Украинский", "Русский"}));
        QCOMPARE(typing->VoxEdit1->text(), "при1hiівы");
        TKeyboardLanguage *language = bench->window->KeyboardLanguage;
        QCOMPARE(language->LastKeyboardLanguage, int(QLocale::Russian));
        // An input method that reports layout switches is believed over the letters.
        language->InputMethodLocale = [] { return QLocale(QLocale::German); };
        emit QGuiApplication::inputMethod()->localeChanged();
        QCOMPARE(type("жж"), "Язык неизвестен");
    }

    void conversationWithAnotherUser()
    {
        QVERIFY(joinRoom());
        // A locale whose short date has a Cyrillic letter ("г." for the year).
        QLocale::setDefault(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
        room->VoxEdit1->setFocus();
        QTRY_VERIFY(room->_Focused());
        // KOI8-R bytes under CP1251 are the CP1251 letters they happen to be ...
        const QByteArray koi8Greeting = "\xF0\xD2\xC9\xD7\xC5\xD4"; // "Привет"
        bob.send("PRIVMSG #room :" + koi8Greeting);
        QTRY_VERIFY(ViewText(room).endsWith("bob:\nрТЙЧЕФ"));
        // ... and under KOI8 they are Cyrillic, shown and spoken; the log keeps the bytes
        // as they came off the wire and went out.
        main->A_KOI8->trigger();
        QCOMPARE(main->StatusPanels[3]->text(), "KOI8");
        bench->channelVoice->clear();
        bob.send("PRIVMSG #room :" + koi8Greeting);
        QTRY_VERIFY(ViewText(room).endsWith("bob:\nПривет"));
        QCOMPARE(bench->channelTexts(), QStringList{"bob Привет"});
        TypeText(room->VoxEdit1, "Ёж Привет ok");
        QTest::keyClick(room->VoxEdit1, Qt::Key_Return);
        const QByteArray sent = "PRIVMSG #room :\xB3\xD6 " + koi8Greeting + " ok\r\n";
        QVERIFY2(bob.waitFor(sent), bob.received.right(200).toHex(' ').constData());
        QVERIFY(bench->log().contains(" PRIVMSG #room :" + koi8Greeting + "\r\n"));
        QVERIFY(bench->log().contains("< " + sent));
        QVERIFY(!bench->log().contains("\xCF\xF0\xE8\xE2\xE5\xF2"));

        // A Cyrillic channel joined with the name as the program keeps it (the channel list
        // and the favourites do so); the first joiner's operator actions on the chosen user.
        const QString name = "#канал";
        const QByteArray wire = EncodeText(name, TextEncoding::Koi8r);
        main->IRC->Join(EncodeEngineText(name));
        QTRY_VERIFY(FindChannelForm(name) >= 0);
        TChannelForm *cyrillic = ChannelFormAt(FindChannelForm(name));
        bob.send("JOIN " + wire);
        QTRY_VERIFY(cyrillic->UserPresent("bob") > 0);
        cyrillic->VoxListView1->setCurrentIndex(
            cyrillic->UserTable()->index(cyrillic->UserPresent("bob") - 1, 0));
        cyrillic->OpExecute();
        QVERIFY2(bob.waitFor(" MODE " + wire + " +o bob\r\n"),
                 bob.received.right(200).toHex(' ').constData());
        cyrillic->DeopExecute();
        QVERIFY(bob.waitFor(" MODE " + wire + " -o bob\r\n"));
        cyrillic->KickExecute();
        QVERIFY(bob.waitFor(" KICK " + wire + " bob :"));
        QTRY_COMPARE(cyrillic->UserPresent("bob"), 0);

        bob.send("PRIVMSG talvin :\x01TIME\x01");
        const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        QVERIFY(date.contains(QChar(u'г')));
        QVERIFY2(bob.waitFor("\x01TIME Local time is " + EncodeText(date, TextEncoding::Koi8r)),
                 bob.received.right(120).toHex(' ').constData());
    }

    void utf8ChannelWithLegacyUser()
    {
        QVERIFY(joinRoom());
        main->A_UTF8->trigger();
        QCOMPARE(main->StatusPanels[3]->text(), QStringLiteral("UTF8"));
        const QString hello = QStringLiteral("Привет, ёж");
        bob.send("PRIVMSG #room :" + EncodeText(hello, TextEncoding::Cp1251)); // fallback
        QTRY_VERIFY(ViewText(room).endsWith("bob:\n" + hello));
        TypeText(room->VoxEdit1, QStringLiteral("Ёж ok"));
        QTest::keyClick(room->VoxEdit1, Qt::Key_Return);
        QVERIFY(bob.waitFor("PRIVMSG #room :" + QStringLiteral("Ёж ok").toUtf8() + "\r\n"));

        // 300 two-byte letters in words of five: more than one line can carry.
        const QString longText = QStringLiteral("жжжжж ").repeated(60) + QStringLiteral("конец");
        bob.received.clear();
        main->IRC->Say("#room", longText.toUtf8());
        QVERIFY(bob.waitFor(QStringLiteral("конец").toUtf8() + "\r\n"));
        QStringList parts;
        for (const QByteArray &line : bob.received.trimmed().split('\n')) {
            QVERIFY2(line.size() + 1 <= 512, line.constData());
            parts << QString::fromUtf8(line.mid(line.indexOf(" :") + 2).trimmed());
        }
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts.join(u' '), longText);
    }

    // The program says so, reconnects by itself and joins again into the same window;
    // Ctrl+R while it waits stops the reconnection.
    void serverRestartRejoinsTheSameWindow()
    {
        QVERIFY(joinRoom());
        main->ReconnectDelay.FirstMs = 300; // the waits themselves are not under test here
        const int slot = FindChannelForm("#room");
        QVERIFY(server->restart());
        // The server's confirmation of the join lands in the same window, not a new one.
        QTRY_VERIFY_WITH_TIMEOUT(ViewText(room)
                                     .section(QStringLiteral("снова вход в канал #room"), 1)
                                     .contains(QStringLiteral("вошёл на канал #room")),
                                 15000);
        QTRY_VERIFY_WITH_TIMEOUT(room->UserPresent("talvin") > 0, 10000);
        QCOMPARE(ChannelFormAt(FindChannelForm("#room")), room);
        QCOMPARE(FindChannelForm("#room"), slot);
        QVERIFY(!main->Reconnecting());
        // Lost again, and this time the user says no more.
        main->ReconnectDelay.FirstMs = 60000;
        server->stop();
        QTRY_VERIFY_WITH_TIMEOUT(main->Reconnecting(), 10000);
        main->ConnectAction(); // Ctrl+R
        QVERIFY(!main->Reconnecting() && !main->IRC->Connected());
    }
};

QTEST_MAIN(TestChannelForm)
#include "test_channel_form.moc"
