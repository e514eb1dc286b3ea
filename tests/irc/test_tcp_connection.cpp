// The line connection against an in-process peer: bytes on the wire, line cutting, limits,
// close detection, the reading thread's hand-off and its shutdown paths.
#include "irc/connection_intercept.h"
#include "irc/irc_read_thread.h"
#include "irc/socket_error.h"
#include "irc/socket_handler.h"
#include "irc/tcp_connection.h"

#include "scripted_peer.h"

#include <QTest>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// A client that writes down, in order, its notifications, its intercept's calls and (unless
// told not to) the lines the reading thread hands over.
class RecordingClient : public TTcpClient
{
public:
    RecordingClient()
    {
        Intercept = &hook;
        hook.OnConnect = [this](TConnectionIntercept *) { events << "intercept-connect"; };
        hook.OnDisconnect = [this](TConnectionIntercept *) { events << "intercept-disconnect"; };
        hook.OnReceive = [this](TConnectionIntercept *, QByteArray &chunk) {
            offUiThread |= QThread::currentThread() != qApp->thread();
            chunkSizes << int(chunk.size());
        };
        OnStatus = [this](TTcpConnection *, TConnectionStatus, const QString &text) {
            events << "status:" + text;
        };
        OnConnected = [this](TTcpConnection *) { events << "connected"; };
        OnDisconnected = [this](TTcpConnection *) { events << "disconnected"; };
        OnReadError = [this](TTcpConnection *, const QString &message) {
            errors << message;
            events << "error:" + message;
        };
    }
    ~RecordingClient() override
    {
        if (Intercept == &hook)
            Intercept = nullptr; // the hook is gone before the base class closes
    }

    void connectTo(const ScriptedPeer &peer, const QString &host = QStringLiteral("127.0.0.1"))
    {
        Host = host;
        Port = peer.port();
        Connect();
    }
    using TTcpConnection::StartReadThread;

    TConnectionIntercept hook;
    QByteArrayList lines;
    QStringList events;
    QStringList errors;
    QList<int> chunkSizes;
    bool recordLineEvents = true;
    bool offUiThread = false;
    std::function<void(QByteArray &)> onLine;

protected:
    void LineArrived(QByteArray &line) override
    {
        offUiThread |= QThread::currentThread() != qApp->thread();
        lines << line;
        if (recordLineEvents)
            events << "line:" + QString::fromLatin1(line);
        if (onLine)
            onLine(line);
    }
};

// The message of the socket error connect raises, or "connected".
QString ConnectError(RecordingClient &client)
{
    try {
        client.Connect();
    } catch (const ETalvinError &e) {
        return e.message();
    }
    return QStringLiteral("connected");
}

bool ThreadsEnded()
{
    return QTest::qWaitFor([] { return TIrcReadThread::RunningCount() == 0; }, 5000);
}

} // namespace

class TestTcpConnection : public QObject
{
    Q_OBJECT

private slots:
    // Each stage announced in order; bytes go out through the hook, which may replace them;
    // the close sequence; a handler set by the owner is kept and the connection opens again.
    void connectWriteAndDisconnect()
    {
        ScriptedPeer peer;
        RecordingClient client;
        client.connectTo(peer, QStringLiteral("LocalHost"));
        QVERIFY(peer.waitForClient());
        QCOMPARE(client.hook.Connection(), &client);
        // A literal address is not resolved: no "Resolving" stage.
        QCOMPARE(client.events, (QStringList{"status:Connecting to 127.0.0.1.", "intercept-connect",
                                             "status:Connected.", "connected"}));
        QCOMPARE(ConnectError(client), QStringLiteral("Already connected."));
        QVERIFY(client.Connected());

        client.Write(QByteArray());
        client.WriteLn("NICK talvin");
        client.Write("raw");
        QVERIFY(peer.waitForReceived(16));
        QCOMPARE(peer.received(), QByteArray("NICK talvin\r\nraw"));
        const QByteArray expected = "PRIVMSG #long :" + QByteArray(100000, 'z') + "\r\n";
        client.hook.OnSend = [&](TConnectionIntercept *, QByteArray &chunk) { chunk = expected; };
        peer.clearReceived();
        client.WriteLn("x");
        QVERIFY(peer.waitForReceived(expected.size()));
        QCOMPARE(peer.received(), expected);
        client.hook.OnSend = nullptr;

        client.events.clear();
        client.Disconnect();
        QCOMPARE(client.events, (QStringList{"status:Disconnecting.", "intercept-disconnect",
                                             "disconnected", "status:Disconnected."}));
        QCOMPARE(client.hook.Connection(), nullptr);
        QVERIFY(!client.IOHandler); // the one Connect created is freed
        QVERIFY(peer.waitForClientClosed());
        ScriptedPeer second;
        auto handler = std::make_shared<TSocketHandler>();
        client.IOHandler = handler;
        client.connectTo(second);
        client.WriteLn("again");
        QVERIFY(second.waitForReceived(7));
        client.Disconnect();
        QCOMPARE(client.IOHandler, handler);
        QVERIFY(!handler->Connected());
        QVERIFY_THROWS_EXCEPTION(ENotConnected, client.Write("x"));

        // A name is announced before it is looked up.
        RecordingClient named;
        named.Host = QStringLiteral("localhost.");
        named.Port = second.port();
        ConnectError(named); // resolvers differ on the trailing dot
        QCOMPARE(named.events.value(0), QStringLiteral("status:Resolving hostname localhost.."));
    }

    // A port beyond 16 bits is refused rather than wrapped onto a listening one.
    void connectFailures_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("error");
        QTest::newRow("refused") << "127.0.0.1" << int(ScriptedPeer().port())
                                 << "Socket Error # 10061\r\nConnection refused.";
        QTest::newRow("unknown host")
            << "no-such-host.invalid" << 6667 << "Socket Error # 11001\r\nHost not found.";
        QTest::newRow("port > 65535")
            << "127.0.0.1" << 65536 << "Socket Error # 10022\r\nInvalid argument.";
    }
    void connectFailures()
    {
        QFETCH(QString, host);
        QFETCH(int, port);
        ScriptedPeer listening;
        RecordingClient client;
        client.Host = host;
        client.Port = port == 65536 ? port + listening.port() : port;
        QTEST(ConnectError(client), "error");
        QVERIFY(!client.Connected());
        QVERIFY(!client.events.contains("connected"));
    }

    // An errno without a socket error number keeps its own text, never a socket error's.
    void unmappedErrnoKeepsItsOwnText()
    {
        for (int error : {ENODATA, ENOMSG}) {
            const QString text = SocketErrorMessage(SocketErrorFromErrno(error));
            QVERIFY2(text.endsWith("\r\n" + QString::fromLocal8Bit(strerror(error))),
                     qPrintable(text));
        }
    }

    void readThreadDeliversLinesInOrderOnUiThread()
    {
        ScriptedPeer peer;
        RecordingClient client;
        client.recordLineEvents = false;
        client.RecvBufferSize = 1000;
        client.ReadTimeout = 30;
        client.connectTo(peer);
        client.StartReadThread();
        // Time-outs are reported and reading goes on.
        QTRY_COMPARE_WITH_TIMEOUT(client.errors.value(0), QStringLiteral("Read Timeout"), 5000);
        QByteArray flood;
        const int count = 5000;
        for (int i = 0; i < count; ++i)
            flood += "line " + QByteArray::number(i) + (i % 2 ? "\r\n" : "\n");
        // Sent in uneven pieces so lines straddle chunks.
        for (qsizetype at = 0; at < flood.size(); at += 7777)
            peer.send(flood.mid(at, 7777));
        QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), count, 10000);
        for (int i = 0; i < count; ++i)
            QCOMPARE(client.lines.at(i), "line " + QByteArray::number(i));
        QVERIFY(!client.offUiThread);
        for (int size : client.chunkSizes)
            QVERIFY(size <= 1000);
        client.Disconnect();
        QVERIFY(ThreadsEnded());
    }

    // The peer ends the connection while the reading thread runs: every complete line
    // first, then the close (a reset also reported), the unfinished line never.
    void readThreadNoticesThePeersClose_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::addColumn<QStringList>("expected");
        const QStringList lines = {"line:l1", "line:l2", "line:"};
        const QStringList closing = {"intercept-disconnect", "status:Disconnected.",
                                     "disconnected"};
        QTest::newRow("close") << false << lines + closing;
        QTest::newRow("reset") << true
                               << lines +
                                      QStringList{"error:Socket Error # 10054\r\nConnection "
                                                  "reset by peer."} +
                                      closing;
    }
    void readThreadNoticesThePeersClose()
    {
        QFETCH(bool, reset);
        ScriptedPeer peer;
        RecordingClient client;
        client.connectTo(peer);
        client.StartReadThread();
        client.events.clear();
        peer.send("l1\r\nl2\n\n");
        QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), 3, 5000);
        peer.send("partial");
        reset ? peer.abort() : peer.close();
        QTRY_VERIFY_WITH_TIMEOUT(client.events.contains("disconnected"), 5000);
        QVERIFY(ThreadsEnded());
        QVERIFY(!client.ReadThreadRunning() && !client.Connected());
        QTEST(client.events, "expected");
        // Disconnecting afterwards does not touch the ended thread or repeat the close.
        client.Disconnect();
        QCOMPARE(client.events.count("intercept-disconnect"), 1);
    }

    // Lines end at LF, with one CR before it taken off; lines longer than the limit (the CR
    // counts) and failing handlers are reported, and reading goes on.
    void readThreadCutsLinesReportsErrorsAndGoesOn()
    {
        ScriptedPeer peer;
        RecordingClient client;
        client.recordLineEvents = false;
        client.onLine = [](QByteArray &line) {
            if (line == "bad")
                throw ETalvinError(QStringLiteral("List index out of bounds (5)"));
            if (line == "worse")
                throw std::runtime_error("plain failure");
        };
        client.connectTo(peer);
        client.StartReadThread();
        QCOMPARE(client.MaxLineLength, 16384);
        // Too-long lines with their LF in the same chunk, then one whose LF comes later.
        peer.send("a\r\r\n" + QByteArray(16384, 'x') + "\n" + QByteArray(16383, 'z') + "\r\n" +
                  QByteArray(16384, 'c') + "\r\nthr\ree\n\n\nbad\nworse\n" +
                  QByteArray(20000, 'y'));
        QVERIFY(peer.waitForSent());
        QTRY_COMPARE_WITH_TIMEOUT(client.errors.size(), 4, 5000);
        peer.send(QByteArray(20000, 'y'));
        QVERIFY(peer.waitForSent());
        peer.send("yyy\r\nb\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), 9, 5000);
        QByteArrayList lines; // long ones as their first byte and length
        for (const QByteArray &line : client.lines)
            lines << (line.size() > 9 ? line.left(1) + QByteArray::number(line.size()) : line);
        QCOMPARE(lines, (QByteArrayList{"a\r", "x16384", "z16383", "thr\ree", "", "", "bad",
                                        "worse", "b"}));
        QCOMPARE(client.errors,
                 (QStringList{"Max line length exceeded.", "List index out of bounds (5)",
                              "plain failure", "Max line length exceeded."}));
        // A failing receive hook is reported too, and the chunk is still read.
        client.hook.OnReceive = [](TConnectionIntercept *, QByteArray &) {
            throw ETalvinError(QStringLiteral("hook failed"));
        };
        peer.send("c\n");
        QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), 10, 5000);
        QCOMPARE(client.errors.last(), QStringLiteral("hook failed"));
        client.hook.OnReceive = nullptr;
        QVERIFY(client.Connected());
        client.Disconnect();
        QVERIFY(ThreadsEnded());
    }

    // Disconnect from a line handler, from outside, and destruction, each during a flood:
    // no line is handed over after the stop, the thread ends, the peer sees the close.
    void stopsDuringAFlood_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("disconnect in handler") << 0;
        QTest::newRow("disconnect from outside") << 1;
        QTest::newRow("destroyed") << 2;
    }
    void stopsDuringAFlood()
    {
        QFETCH(int, how);
        ScriptedPeer peer;
        TConnectionIntercept outside;
        auto client = std::make_unique<RecordingClient>();
        if (how == 2)
            client->Intercept = &outside;
        client->recordLineEvents = false;
        int afterStop = 0;
        bool stopped = false;
        client->onLine = [&](QByteArray &) {
            afterStop += stopped;
            if (how == 0 && client->lines.size() == 100) {
                client->Disconnect();
                stopped = true;
            }
        };
        client->connectTo(peer);
        client->StartReadThread();
        QByteArray flood;
        for (int i = 0; i < 100000; ++i)
            flood += ":nick!u@h PRIVMSG #c :" + QByteArray::number(i) + "\r\n";
        peer.send(flood);
        QTRY_VERIFY_WITH_TIMEOUT(stopped || client->lines.size() > 1000, 5000);
        if (how == 1) {
            client->Disconnect(); // the reading thread is most likely waiting on us now
            stopped = true;
        }
        const qsizetype seen = client->lines.size();
        if (how == 2) {
            outside.OnDisconnect = [&](TConnectionIntercept *) { ++afterStop; };
            client.reset(); // silently: no intercept call, and it forgets the connection
            QCOMPARE(outside.Connection(), nullptr);
        }
        QVERIFY(ThreadsEnded());
        QVERIFY(peer.waitForClientClosed());
        QTest::qWait(50);
        QCOMPARE(afterStop, 0);
        if (how < 2) {
            QCOMPARE(client->lines.size(), seen);
            QCOMPARE(client->lines.last(), ":nick!u@h PRIVMSG #c :" + QByteArray::number(seen - 1));
            QCOMPARE(client->events.count("intercept-disconnect"), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestTcpConnection)
#include "test_tcp_connection.moc"
