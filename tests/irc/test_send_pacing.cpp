// The paced send queue with an injected clock, and writing off the caller's thread: a
// server that stops reading must not stop the program.
#include "scripted_peer.h"

#include "irc/irc_client.h"
#include "irc/irc_read_thread.h"
#include "irc/send_queue.h"

#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class TestSendPacing : public QObject
{
    Q_OBJECT

private slots:
    // Script tokens: uX / aX / !X push line X as the user's, automatic or urgent; @T moves
    // the clock to T ms and takes what is due, noted as "T:X"; ? notes MsUntilNext.
    void pacing_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("sent");
        QTest::newRow("a pasted text: five at once, then one every 2 s")
            << "u1 u2 u3 u4 u5 u6 u7 u8 @0 ? @1999 @2000 ? @3999 @4000 @6000 ?"
            << "0:1 0:2 0:3 0:4 0:5 ?2000 2000:6 ?2000 4000:7 6000:8 ?-1";
        QTest::newRow("PONG is never held back, and counts")
            << "u1 u2 u3 u4 u5 u6 @0 !P ? @10 ? @2000 @4000"
            << "0:1 0:2 0:3 0:4 0:5 ?0 10:P ?3990 4000:6";
        QTest::newRow("QUIT overtakes waiting lines") << "u1 u2 u3 u4 u5 u6 u7 @0 !Q @1 @2000 @4000"
                                                      << "0:1 0:2 0:3 0:4 0:5 1:Q 4000:6";
        QTest::newRow("automatic answers wait behind the user's lines")
            << "aA uB uC uD uE uF uG @0 @2000 @4000"
            << "0:B 0:C 0:D 0:E 0:F 2000:G 4000:A";
        QTest::newRow("a quiet spell gives a full burst again")
            << "u1 u2 u3 u4 u5 @0 u6 u7 u8 u9 uX uY @10000 @11999 @12000"
            << "0:1 0:2 0:3 0:4 0:5 10000:6 10000:7 10000:8 10000:9 10000:X 12000:Y";
    }

    void pacing()
    {
        QFETCH(QString, script);
        QFETCH(QString, sent);
        qint64 now = 0;
        TSendQueue queue([&now] { return now; });
        QStringList log;
        for (const QString &token : script.split(QLatin1Char(' '))) {
            const QByteArray rest = token.mid(1).toLatin1();
            switch (token[0].toLatin1()) {
            case 'u':
                queue.Push(rest, TSendPriority::User);
                break;
            case 'a':
                queue.Push(rest, TSendPriority::Automatic);
                break;
            case '!':
                queue.Push(rest, TSendPriority::Urgent);
                break;
            case '?':
                log << QStringLiteral("?%1").arg(queue.MsUntilNext());
                break;
            case '@':
                now = rest.toLongLong();
                for (const QByteArray &line : queue.TakeDue())
                    log << QStringLiteral("%1:%2").arg(now).arg(QString::fromLatin1(line));
                break;
            }
        }
        QCOMPARE(log.join(QLatin1Char(' ')), sent);
    }

    void serverThatStopsReadingFreezesNothing()
    {
        // A listening socket that never accepts: the kernel completes the connection, then
        // its buffers fill and every further send would block.
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), length) == 0);
        QVERIFY(::listen(listener, 1) == 0);
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);

        TIrcClient client;
        client.Host = QStringLiteral("127.0.0.1");
        client.Port = ntohs(address.sin_port);
        int sent = 0;
        client.OnSend = [&](TIrcClient *, const QByteArray &) { ++sent; };
        client.Connect();
        const QByteArray text(400, 'x');
        for (int i = 0; i < 50000; ++i) // 20 MB: far more than the kernel buffers hold
            client.Say("#c", text);
        QCOMPARE(sent, 50000 + 2);

        // The event loop still runs, and the close does not wait for the stuck server.
        bool ticked = false;
        QTimer::singleShot(10, this, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        client.Disconnect(true);
        QVERIFY(!client.Connected());
        QTRY_COMPARE_WITH_TIMEOUT(TIrcReadThread::RunningCount(), 0, 5000);
        ::close(listener);
    }

    void silenceSendsPingThenCountsAsLost()
    {
        ScriptedPeer server;
        TIrcClient client;
        qint64 now = 0;
        client.SilenceWatch() = TSilenceWatch([&now] { return now; });
        client.Host = QStringLiteral("127.0.0.1");
        client.Port = server.port();
        bool lost = false;
        client.OnDisconnected = [&](TTcpConnection *) { lost = true; };
        bool answered = false;
        client.OnReceive = [&](TIrcClient *, QByteArray &line) {
            answered |= line.contains("PONG");
        };
        client.Connect();
        server.sendLine(":irc 001 Nick :welcome");
        QTRY_COMPARE(client.State(), stConnected);
        now += 119999;
        client.CheckSilence();
        now += 1;
        client.CheckSilence();
        QVERIFY(server.waitForReceivedContains("PING :irc\r\n"));
        server.sendLine(":irc PONG irc :irc"); // an answer starts the count again
        QTRY_VERIFY(answered);
        now += 60000;
        client.CheckSilence();
        QVERIFY(client.Connected());
        now += 120000;
        client.CheckSilence(); // a second PING, never answered
        now += 60000;
        client.CheckSilence();
        QVERIFY(lost && !client.Connected());
    }
};

QTEST_GUILESS_MAIN(TestSendPacing)
#include "test_send_pacing.moc"
