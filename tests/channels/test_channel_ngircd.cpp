// A channel window against a real ngircd with a second user in the channel, on a CP1251
// and then a KOI8-R server setting chosen through the main window's menu.
#include "channel_bench.h"

#include "irc/irc_client.h"
#include "ngircd_server.h"
#include "raw_irc_client.h"

#include <QLabel>
#include <QtTest>

class TestChannelNgircd : public QObject
{
    Q_OBJECT

private slots:
    void conversationWithAnotherUser()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ChannelBench bench;
        TForm1 *main = bench.start(false);
        main->IRC->SetNick("talvin");
        main->IRC->Host = server.host();
        main->IRC->Port = server.port();
        main->IRC->Connect();
        QTRY_COMPARE_WITH_TIMEOUT(int(main->IRC->State()), int(stConnected), 10000);
        main->IRC->Join("#room");
        QTRY_VERIFY(FindChannelForm("#room") >= 0);
        TChannelForm *form = ChannelFormAt(FindChannelForm("#room"));
        form->VoxEdit1->setFocus();
        QTRY_VERIFY(form->_Focused());
        RawIrcClient bob;
        QVERIFY(bob.connectTo(server, "bob"));
        bob.send("JOIN #room");
        QTRY_VERIFY(form->UserPresent("bob") > 0 && form->UserPresent("talvin") > 0);

        bench.channelVoice->clear();
        bob.send("PRIVMSG #room :hello from bob");
        QTRY_VERIFY(ViewText(form).endsWith(QStringLiteral("bob:\nhello from bob")));
        QCOMPARE(bench.channelTexts(), QStringList{QStringLiteral("bob hello from bob")});
        // After a nick change the messages keep coming, under the new nick.
        bob.send("NICK robert");
        QTRY_VERIFY(form->UserPresent("robert") > 0 && !form->UserPresent("bob"));
        bob.send("PRIVMSG #room :renamed");
        QTRY_VERIFY(ViewText(form).endsWith(QStringLiteral("robert:\nrenamed")));
        // What the user types reaches the other user whole; the keyboard language is said
        // once, before the first letter.
        bench.channelVoice->clear();
        TypeText(form->VoxEdit1, QStringLiteral("hi robert, how are you"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        QVERIFY2(bob.waitFor("PRIVMSG #room :hi robert, how are you\r\n"),
                 bob.received.right(300).constData());
        QCOMPARE(bench.channelVoice->spokenTexts().mid(0, 1), QStringList{"Английский"});
        QCOMPARE(bench.channelVoice->spokenTexts().count("Английский"), 1);
        // A private message opens a private window from slot 1.
        bob.send("PRIVMSG talvin :just you");
        QTRY_VERIFY(FindChannelForm("robert") >= 1);
        QTRY_VERIFY(ViewText(ChannelFormAt(FindChannelForm("robert"))).endsWith("just you"));

        // KOI8-R bytes under CP1251 are the CP1251 letters they happen to be ...
        const QByteArray koi8Greeting = "\xF0\xD2\xC9\xD7\xC5\xD4"; // "Привет"
        bob.send("PRIVMSG #room :" + koi8Greeting);
        QTRY_VERIFY(ViewText(form).endsWith(QStringLiteral("robert:\nрТЙЧЕФ")));
        // ... and under KOI8 they are Cyrillic, shown and spoken; the log keeps the bytes
        // as they came off the wire and went out.
        main->A_KOI8->trigger();
        QCOMPARE(main->StatusPanels[3]->text(), QStringLiteral("KOI8"));
        bench.channelVoice->clear();
        bob.send("PRIVMSG #room :" + koi8Greeting);
        QTRY_VERIFY(ViewText(form).endsWith(QStringLiteral("robert:\nПривет")));
        QCOMPARE(bench.channelTexts(), QStringList{QStringLiteral("robert Привет")});
        TypeText(form->VoxEdit1, QStringLiteral("Ёж Привет ok"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        const QByteArray sent = "PRIVMSG #room :\xB3\xD6 " + koi8Greeting + " ok\r\n";
        QVERIFY2(bob.waitFor(sent), bob.received.right(200).toHex(' ').constData());
        QVERIFY(bench.log().contains(" PRIVMSG #room :" + koi8Greeting + "\r\n"));
        QVERIFY(bench.log().contains("< " + sent));
        QVERIFY(!bench.log().contains("\xCF\xF0\xE8\xE2\xE5\xF2"));

        // The first joiner's operator action on the selected user.
        form->VoxListView1->setCurrentIndex(
            form->UserTable()->index(form->UserPresent("robert") - 1, 0));
        form->KickExecute();
        QVERIFY(bob.waitFor("KICK #room robert :"));
        QTRY_COMPARE(form->UserPresent("robert"), 0);
    }
};

QTEST_MAIN(TestChannelNgircd)
#include "test_channel_ngircd.moc"
