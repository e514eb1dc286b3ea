// What the client answers on its own and how it names a failure: a CTCP PING echo stays
// one line whatever the query carried, and an errno without a socket number never takes
// the text of a real socket error.
#include "irc/irc_client.h"
#include "irc/socket_error.h"
#include "scripted_peer.h"

#include <QtTest>

#include <cerrno>
#include <cstring>

class TestIrcAnswers : public QObject
{
    Q_OBJECT

private slots:
    void pingEchoStaysOneLine_data()
    {
        QTest::addColumn<QByteArray>("args");
        QTest::addColumn<QByteArray>("echo");
        QTest::newRow("plain") << QByteArray("12 345") << QByteArray("12 345");
        QTest::newRow("CR LF") << QByteArray("12\r\nQUIT :x\r") << QByteArray("12QUIT :x");
        QTest::newRow("NUL") << QByteArray("12\0"
                                           "345",
                                           6)
                             << QByteArray("12345");
    }
    void pingEchoStaysOneLine()
    {
        QFETCH(QByteArray, args);
        QFETCH(QByteArray, echo);
        ScriptedPeer peer;
        TIrcClient client;
        client.SetNick("me");
        client.Host = QStringLiteral("127.0.0.1");
        client.Port = peer.port();
        client.Connect();
        QVERIFY(peer.waitForReceivedContains("USER "));
        peer.clearReceived();
        client.Dispatch(":bob!b@h PRIVMSG me :\x01PING " + args + '\x01');
        QVERIFY(peer.waitForReceivedContains("\r\n"));
        QCOMPARE(peer.received(), "NOTICE bob :\x01PING " + echo + "\x01\r\n");
    }

    void unmappedErrnoKeepsItsOwnText_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("refused") << int(ECONNREFUSED) << QStringLiteral("Connection refused.");
        QTest::newRow("no data") << int(ENODATA) << QString::fromLocal8Bit(strerror(ENODATA));
        QTest::newRow("no message") << int(ENOMSG) << QString::fromLocal8Bit(strerror(ENOMSG));
    }
    void unmappedErrnoKeepsItsOwnText()
    {
        QFETCH(int, error);
        QFETCH(QString, text);
        const QString message = SocketErrorMessage(SocketErrorFromErrno(error));
        QVERIFY2(message.endsWith(QStringLiteral("\r\n") + text), qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestIrcAnswers)
#include "test_irc_answers.moc"
