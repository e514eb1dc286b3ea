// A channel window against a real ngircd with a second user in the channel: on a CP1251 and
// then a KOI8-R server setting chosen through the main window's menu (under KOI8-R a Cyrillic
// channel name goes out in the server's code page in the lines the program words for the
// user: join, op, deop, kick, and the CTCP TIME answer); on a UTF-8 setting with a
// Windows-1251 user and a message too long for one line; and a server that goes away and
// comes back on the same port, the channel joined again into the window that stayed open.
#include "channel_bench.h"

#include "app/codepage.h"
#include "irc/irc_client.h"
#include "raw_irc_client.h"

#include <QLabel>
#include <QtTest>

class TestChannelNgircd : public QObject
{
    Q_OBJECT

    std::unique_ptr<NgircdServer> server;
    std::unique_ptr<ChannelBench> bench;
    RawIrcClient bob;
    TForm1 *main = nullptr;
    TChannelForm *form = nullptr; // #room

private slots:
    // The program in #room at a fresh server, and bob there too.
    void init()
    {
        server = std::make_unique<NgircdServer>();
        QVERIFY2(server->start(), qPrintable(server->errorString()));
        bench = std::make_unique<ChannelBench>();
        QVERIFY((form = bench->joinAt(*server, "#room")));
        main = bench->window.get();
        QVERIFY(bob.connectTo(*server, "bob"));
        bob.send("JOIN #room");
        QTRY_VERIFY(form->UserPresent("bob") > 0 && form->UserPresent("talvin") > 0);
    }
    void cleanup()
    {
        bob.socket.abort();
        bob.received.clear();
        bench.reset();
        server.reset();
        QLocale::setDefault(QLocale::system());
    }

    void conversationWithAnotherUser()
    {
        // A locale whose short date has a Cyrillic letter ("г." for the year).
        QLocale::setDefault(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
        form->VoxEdit1->setFocus();
        QTRY_VERIFY(form->_Focused());
        // KOI8-R bytes under CP1251 are the CP1251 letters they happen to be ...
        const QByteArray koi8Greeting = "\xF0\xD2\xC9\xD7\xC5\xD4"; // "Привет"
        bob.send("PRIVMSG #room :" + koi8Greeting);
        QTRY_VERIFY(ViewText(form).endsWith("bob:\nрТЙЧЕФ"));
        // ... and under KOI8 they are Cyrillic, shown and spoken; the log keeps the bytes
        // as they came off the wire and went out.
        main->A_KOI8->trigger();
        QCOMPARE(main->StatusPanels[3]->text(), "KOI8");
        bench->channelVoice->clear();
        bob.send("PRIVMSG #room :" + koi8Greeting);
        QTRY_VERIFY(ViewText(form).endsWith("bob:\nПривет"));
        QCOMPARE(bench->channelTexts(), QStringList{"bob Привет"});
        TypeText(form->VoxEdit1, "Ёж Привет ok");
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
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
        main->A_UTF8->trigger();
        QCOMPARE(main->StatusPanels[3]->text(), QStringLiteral("UTF8"));
        const QString hello = QStringLiteral("Привет, ёж");
        bob.send("PRIVMSG #room :" + EncodeText(hello, TextEncoding::Cp1251)); // fallback
        QTRY_VERIFY(ViewText(form).endsWith("bob:\n" + hello));
        TypeText(form->VoxEdit1, QStringLiteral("Ёж ok"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
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
        main->ReconnectDelay.FirstMs = 300; // the waits themselves are not under test here
        const int slot = FindChannelForm("#room");
        QVERIFY(server->restart());
        // The server's confirmation of the join lands in the same window, not a new one.
        QTRY_VERIFY_WITH_TIMEOUT(ViewText(form)
                                     .section(QStringLiteral("снова вход в канал #room"), 1)
                                     .contains(QStringLiteral("вошёл на канал #room")),
                                 15000);
        QTRY_VERIFY_WITH_TIMEOUT(form->UserPresent("talvin") > 0, 10000);
        QCOMPARE(ChannelFormAt(FindChannelForm("#room")), form);
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

QTEST_MAIN(TestChannelNgircd)
#include "test_channel_ngircd.moc"
