// A channel window against a real ngircd with a second user in the channel, on a CP1251 and
// then a KOI8-R server setting chosen through the main window's menu; under KOI8-R a Cyrillic
// channel name goes out in the server's code page in the lines the program words for the
// user (join, op, deop, kick) and in the CTCP TIME answer.
#include "channel_bench.h"

#include "app/codepage.h"
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
        // A locale whose short date has a Cyrillic letter ("г." for the year).
        QLocale::setDefault(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ChannelBench bench;
        TForm1 *main = bench.start(false);
        main->IRC->SetNick("talvin");
        main->IRC->Host = server.host();
        main->IRC->Port = server.port();
        main->IRC->SendQueue().IntervalMs = 0; // the lines themselves, not their pacing
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
        QTRY_VERIFY(ViewText(form).endsWith("bob:\nhello from bob"));
        QCOMPARE(bench.channelTexts(), QStringList{"bob hello from bob"});
        // After a nick change the messages keep coming, under the new nick.
        bob.send("NICK robert");
        QTRY_VERIFY(form->UserPresent("robert") > 0 && !form->UserPresent("bob"));
        bob.send("PRIVMSG #room :renamed");
        QTRY_VERIFY(ViewText(form).endsWith("robert:\nrenamed"));
        // What the user types reaches the other user whole; the keyboard language is said
        // once, before the first letter.
        bench.channelVoice->clear();
        TypeText(form->VoxEdit1, "hi robert, how are you");
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
        QTRY_VERIFY(ViewText(form).endsWith("robert:\nрТЙЧЕФ"));
        // ... and under KOI8 they are Cyrillic, shown and spoken; the log keeps the bytes
        // as they came off the wire and went out.
        main->A_KOI8->trigger();
        QCOMPARE(main->StatusPanels[3]->text(), "KOI8");
        bench.channelVoice->clear();
        bob.send("PRIVMSG #room :" + koi8Greeting);
        QTRY_VERIFY(ViewText(form).endsWith("robert:\nПривет"));
        QCOMPARE(bench.channelTexts(), QStringList{"robert Привет"});
        TypeText(form->VoxEdit1, "Ёж Привет ok");
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        const QByteArray sent = "PRIVMSG #room :\xB3\xD6 " + koi8Greeting + " ok\r\n";
        QVERIFY2(bob.waitFor(sent), bob.received.right(200).toHex(' ').constData());
        QVERIFY(bench.log().contains(" PRIVMSG #room :" + koi8Greeting + "\r\n"));
        QVERIFY(bench.log().contains("< " + sent));
        QVERIFY(!bench.log().contains("\xCF\xF0\xE8\xE2\xE5\xF2"));

        // A Cyrillic channel joined with the name as the program keeps it (the channel list
        // and the favourites do so); the first joiner's operator actions on the chosen user.
        const QString name = "#канал";
        const QByteArray wire = EncodeText(name, TextEncoding::Koi8r);
        main->IRC->Join(EncodeEngineText(name));
        QTRY_VERIFY(FindChannelForm(name) >= 0);
        TChannelForm *cyrillic = ChannelFormAt(FindChannelForm(name));
        bob.send("JOIN " + wire);
        QTRY_VERIFY(cyrillic->UserPresent("robert") > 0);
        cyrillic->VoxListView1->setCurrentIndex(
            cyrillic->UserTable()->index(cyrillic->UserPresent("robert") - 1, 0));
        cyrillic->OpExecute();
        QVERIFY2(bob.waitFor(" MODE " + wire + " +o robert\r\n"),
                 bob.received.right(200).toHex(' ').constData());
        cyrillic->DeopExecute();
        QVERIFY(bob.waitFor(" MODE " + wire + " -o robert\r\n"));
        cyrillic->KickExecute();
        QVERIFY(bob.waitFor(" KICK " + wire + " robert :"));
        QTRY_COMPARE(cyrillic->UserPresent("robert"), 0);

        bob.send("PRIVMSG talvin :\x01TIME\x01");
        const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        QVERIFY(date.contains(QChar(u'г')));
        QVERIFY2(bob.waitFor("\x01TIME Local time is " + EncodeText(date, TextEncoding::Koi8r)),
                 bob.received.right(120).toHex(' ').constData());
        QLocale::setDefault(QLocale::system());
    }
};

QTEST_MAIN(TestChannelNgircd)
#include "test_channel_ngircd.moc"
