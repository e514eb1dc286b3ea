// A handler that reconnects while a line is being handled (as one that pumps events may):
// the line is finished on the connection it came from, with the records it holds, and the
// new connection starts once it is done.
#include "scripted_peer.h"

#include "irc/irc_client.h"

#include <QTest>

class TestIrcReconnectDispatch : public QObject
{
    Q_OBJECT

private slots:
    void reconnectWaitsForTheLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("oldServerGets"); // after the line, on the old link
        QTest::newRow("ctcp answer")
            << QByteArray(":bob!u@h PRIVMSG me :\x01VERSION\x01")
            << QByteArray("NOTICE bob :\x01VERSION Talvin IRC engine\x01\r\n");
        QTest::newRow("own nick") << QByteArray(":me!u@h NICK other") << QByteArray();
        QTest::newRow("other nick") << QByteArray(":bob!u@h NICK bobby") << QByteArray();
        QTest::newRow("own part") << QByteArray(":me!u@h PART #c") << QByteArray();
        QTest::newRow("quit") << QByteArray(":bob!u@h QUIT :bye") << QByteArray();
        QTest::newRow("channel mode") << QByteArray(":bob!u@h MODE #c +o bob") << QByteArray();
        QTest::newRow("ping") << QByteArray("PING :x") << QByteArray("PONG :x\r\n");
    }

    void reconnectWaitsForTheLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, oldServerGets);
        ScriptedPeer oldServer, newServer;
        TIrcClient client;
        client.SetNick("me");
        client.Host = QStringLiteral("127.0.0.1");
        client.Port = oldServer.port();
        client.Connect();
        for (const char *setup : {":irc 001 me :hi", ":me!u@h JOIN #c", ":irc 353 me = #c :me bob"})
            client.Dispatch(setup);
        QVERIFY(oldServer.waitForReceivedContains("MODE #c \r\n"));
        oldServer.clearReceived();

        // Every event the line can raise reconnects, as the user's choice in a pumped
        // event loop would.
        int reconnects = 0;
        auto reconnect = [&](auto &&...) {
            client.Port = newServer.port();
            client.Connect();
            ++reconnects;
            QCOMPARE(client.State(), stConnected); // still the old connection
        };
        client.OnCTCPQuery = reconnect, client.OnNickChanged = reconnect;
        client.OnNickChange = reconnect, client.OnParted = reconnect, client.OnQuit = reconnect;
        client.OnChannelMode = reconnect, client.OnPingPong = reconnect;
        client.Dispatch(line);

        QCOMPARE(reconnects, 1);
        QVERIFY(newServer.waitForReceivedContains("USER "));
        QVERIFY(newServer.received().startsWith("NICK me\r\n"));
        QCOMPARE(client.State(), stRegistering);
        QCOMPARE(client.CurrentNick(), QByteArray("me"));
        QCOMPARE(client.Channels().Count(), 0);
        QCOMPARE(client.Users().Count(), 1);
        QCOMPARE(client.Users()[0]->Nick, QByteArray("me"));
        if (!oldServerGets.isEmpty())
            QVERIFY(oldServer.waitForReceivedContains(oldServerGets));
        QVERIFY(!oldServer.received().contains("NICK"));
        QVERIFY(!newServer.received().contains(oldServerGets.isEmpty() ? "PONG" : oldServerGets));
    }
};

QTEST_GUILESS_MAIN(TestIrcReconnectDispatch)
#include "test_irc_reconnect_dispatch.moc"
