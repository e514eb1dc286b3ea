// Which window takes the traffic: a channel joined again after a kick, private messages in
// dialogue mode, private notices, STATUSMSG, a full window table and a closing window.
#include "channel_bench.h"

#include "app/codepage.h"
#include "irc/irc_client.h"
#include "scripted_peer.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

class TestWindowRouting : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ChannelBench> bench;
    std::unique_ptr<ScriptedPeer> peer;
    TForm1 *main = nullptr;

    void feed(const QByteArray &line) { main->IRC->Dispatch(line); }
    TChannelForm *window(const QString &name) { return ChannelFormAt(FindChannelForm(name)); }

    // Everything sent since the last call, once a marker line has gone out after it.
    QByteArray sentSoFar()
    {
        main->IRC->Raw("PING :mark");
        if (!peer->waitForReceivedContains("PING :mark\r\n"))
            return QByteArray("<no mark>");
        QByteArray bytes = peer->received();
        bytes.chop(QByteArray("PING :mark\r\n").size());
        peer->clearReceived();
        return bytes;
    }

private slots:
    void init()
    {
        bench = std::make_unique<ChannelBench>();
        peer = std::make_unique<ScriptedPeer>();
        main = bench->start();
        main->IRC->SetNick("me");
        main->IRC->Host = QStringLiteral("127.0.0.1");
        main->IRC->Port = peer->port();
        main->IRC->Connect();
        QVERIFY(peer->waitForClient());
        feed(":irc.test 001 me :Welcome");
        QVERIFY(peer->waitForReceivedContains("USER"));
        sentSoFar();
    }
    void cleanup()
    {
        bench.reset();
        peer.reset();
    }

    // After a kick and a rejoin, the new window takes the channel's traffic even in a
    // lower slot; the old one opens from its own button and closes without a PART.
    void rejoinedChannelOwnsItsTraffic()
    {
        feed(":me!u@h JOIN #pad");
        feed(":me!u@h JOIN #x");
        QPointer<TChannelForm> old = ChannelFormAt(1);
        QVERIFY(old && old->ChannelName == QStringLiteral("#x"));
        feed(":op!o@h KICK #x me :out");
        QPointer<TChannelForm> pad = window(QStringLiteral("#pad"));
        pad->AC_PartChannel->trigger();
        QVERIFY(WaitUntil([&] { return pad.isNull(); }));
        feed(":me!u@h PART #pad");
        feed(":me!u@h JOIN #x");
        TChannelForm *live = ChannelFormAt(0);
        QVERIFY(live && live != old && live->ChannelName == QStringLiteral("#x"));
        sentSoFar();

        feed(":bob!b@h PRIVMSG #x :hello");
        QVERIFY(ViewText(live).endsWith(QStringLiteral("bob:\nhello")));
        QVERIFY(!ViewText(old).contains(QStringLiteral("hello")));

        for (TChannelForm *form : {live, old.data(), live}) {
            QTest::mouseClick(form->WatchButton(), Qt::LeftButton);
            QCOMPARE(main->MdiArea->activeSubWindow(), form->SubWindow());
        }

        old->AC_PartChannel->trigger();
        QVERIFY(WaitUntil([&] { return old.isNull(); }));
        QCOMPARE(sentSoFar(), QByteArray());
        QCOMPARE(window(QStringLiteral("#x")), live);
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
        sentSoFar();
        for (int i = 1; i <= 50; ++i)
            feed(":bob!u@h PRIVMSG me :m" + QByteArray::number(i));
        feed(":eve!u@h PRIVMSG me :hi");
        feed(":bob!u@h NOTICE me :an answer of his own");
        const QByteArray reply = "Это автоответ. me сейчас не может ответить, напишите, "
                                 "пожалуйста, позже.";
        const QByteArray once = "NOTICE bob :" + reply + "\r\nNOTICE eve :" + reply + "\r\n";
        QCOMPARE(DecodeEngineText(sentSoFar()), QString::fromUtf8(once));
        const QString bobView = ViewText(window(QStringLiteral("bob")));
        for (const char *text : {"\nm1\n", "\nm50\n", "an answer of his own"})
            QVERIFY2(bobView.contains(QLatin1String(text)), text);
        now += 60000; // a minute later
        feed(":bob!u@h PRIVMSG me :later");
        QCOMPARE(DecodeEngineText(sentSoFar()), QString::fromUtf8("NOTICE bob :" + reply + "\r\n"));
    }

    // Traffic that had no window before: each reaches one and is heard.
    void privateTrafficAlwaysReachesAWindow()
    {
        feed(":me!u@h JOIN #x");
        TChannelForm *channel = window(QStringLiteral("#x"));
        channel->VoxEdit1->setFocus();
        QVERIFY(WaitUntil([&] { return channel->_Focused(); }));
        feed(":op!o@h PRIVMSG @#x :to the ops");
        feed(":v!o@h PRIVMSG +#x :to the voiced");
        QVERIFY(ViewText(channel).endsWith(QStringLiteral("to the ops\nv:\nto the voiced")));

        feed(":NickServ!s@services NOTICE me :identify please");
        QVERIFY(bench->statusText().contains(QStringLiteral("NOTICE NickServ identify please")));
        feed(":dave!d@h PRIVMSG me :hello");
        QPointer<TChannelForm> dave = window(QStringLiteral("dave"));
        feed(":dave!d@h NOTICE me :noticed");
        QVERIFY(ViewText(dave).endsWith(QStringLiteral("dave\nnoticed")));

        dave->AC_PartChannel->trigger();
        feed(":dave!d@h PRIVMSG me :late");
        QVERIFY(window(QStringLiteral("dave")) != dave);
        QVERIFY(ViewText(window(QStringLiteral("dave"))).endsWith(QStringLiteral("late")));
        if (dave)
            dave->PersonalRecive(QStringLiteral("dave"), QStringLiteral("later"));
        QVERIFY(bench->statusText().contains(QStringLiteral("PRIVMSG dave later")));

        std::vector<std::unique_ptr<QWidget>> taken;
        for (int slot = 1; slot < TForm1::ChannelFormCount; ++slot) {
            if (!main->ChannelForms[slot]) {
                taken.push_back(std::make_unique<QWidget>());
                main->ChannelForms[slot] = taken.back().get();
            }
        }
        feed(":zed!z@h PRIVMSG me :no room");
        QVERIFY(bench->statusText().contains(QStringLiteral("PRIVMSG zed no room")));
        const QStringList heard = bench->channelTexts();
        for (const char *text : {"op to the ops", "NickServ identify please", "zed no room"})
            QVERIFY2(heard.contains(QString::fromUtf8(text)), qPrintable(heard.join('|')));
    }
};

QTEST_MAIN(TestWindowRouting)
#include "test_window_routing.moc"
