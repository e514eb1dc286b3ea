// The line connection against an in-process peer: bytes on the wire, line cutting, limits,
// close detection, the reading thread's hand-off and its shutdown paths.
#include "irc/connection_intercept.h"
#include "irc/irc_read_thread.h"
#include "irc/socket_error.h"
#include "irc/socket_handler.h"
#include "irc/tcp_connection.h"

#include "scripted_peer.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A client whose received lines are recorded, with the order of every notification, so
// tests can check what the reading thread delivered and where.
class RecordingClient : public TTcpClient
{
public:
    explicit RecordingClient(TConnectionIntercept *intercept = nullptr)
    {
        Intercept = intercept;
        OnStatus = [this](TTcpConnection *, TConnectionStatus status, const QString &text) {
            statuses << qMakePair(status, text);
            events << QStringLiteral("status:") + text;
        };
        OnConnected = [this](TTcpConnection *) { events << QStringLiteral("connected"); };
        OnDisconnected = [this](TTcpConnection *) { events << QStringLiteral("disconnected"); };
        OnReadError = [this](TTcpConnection *, const QString &message) {
            errors << message;
            events << QStringLiteral("error:") + message;
        };
    }

    using TTcpConnection::StartReadThread;
    using TTcpConnection::StopReadThread;

    QList<QByteArray> lines;
    QStringList events;
    QStringList errors;
    QList<QPair<TConnectionStatus, QString>> statuses;
    bool recordLineEvents = true;
    bool offUiThread = false;
    std::function<void(QByteArray &)> onLine;

protected:
    void LineArrived(QByteArray &line) override
    {
        if (QThread::currentThread() != qApp->thread())
            offUiThread = true;
        lines << line;
        if (recordLineEvents)
            events << QStringLiteral("line:") + QString::fromLatin1(line);
        if (onLine)
            onLine(line);
    }
};

// An intercept that logs into the client's event list.
struct RecordingIntercept : TConnectionIntercept
{
    QStringList *events = nullptr;
    QList<int> chunkSizes;
    bool receiveOffUiThread = false;

    RecordingIntercept()
    {
        OnConnect = [this](TConnectionIntercept *) { log(QStringLiteral("intercept-connect")); };
        OnDisconnect = [this](TConnectionIntercept *) {
            log(QStringLiteral("intercept-disconnect"));
        };
        OnReceive = [this](TConnectionIntercept *, QByteArray &chunk) {
            if (QThread::currentThread() != qApp->thread())
                receiveOffUiThread = true;
            chunkSizes << int(chunk.size());
        };
    }
    void log(const QString &text)
    {
        if (events)
            *events << text;
    }
};

QByteArray Repeat(char c, int n)
{
    return QByteArray(n, c);
}

} // namespace

class TestTcpConnection : public QObject
{
    Q_OBJECT

private slots:
    void socketErrorNumbersAndTexts();
    void connectAnnouncesStagesInOrder();
    void connectFailures();
    void connectTwiceRaisesAlreadyConnected();
    void connectBindsAndSetsSocketOptions();
    void connectToIpv6Literal();
    void readLnCutsLinesAtLf();
    void readLnContinuesAcrossChunks();
    void readLnLineLengthLimits();
    void readLnSplitsUnderMaSplit();
    void readLnTimeouts();
    void receiveHookAndAsciiFilter();
    void peerCloseWithDirectReads();
    void writeSendsBytesThroughTheHook();
    void writeWhenClosedRaisesNotConnected();
    void writeAfterPeerResetClosesAndRaises();
    void disconnectRunsTheCloseSequence();
    void readThreadDeliversLinesInOrderOnUiThread();
    void readThreadPeerCloseAfterLines();
    void readThreadPeerReset();
    void readThreadSkipsTooLongLines();
    void readThreadSurvivesHandlerErrors();
    void readThreadChunksAreBounded();
    void readThreadReportsTimeoutsAndGoesOn();
    void connectTimesOutWhenNobodyAnswers();
    void disconnectFromInsideDispatchDuringFlood();
    void disconnectFromOutsideDuringFlood();
    void destroyWhileConnectedAndFlooded();

private:
    static void connectTo(TTcpClient &client, const ScriptedPeer &peer)
    {
        client.Host = QStringLiteral("127.0.0.1");
        client.Port = peer.port();
        client.Connect();
    }
    static bool threadsEnded()
    {
        return QTest::qWaitFor([] { return TIrcReadThread::RunningCount() == 0; }, 5000);
    }
};

void TestTcpConnection::socketErrorNumbersAndTexts()
{
    QCOMPARE(SocketErrorFromErrno(ECONNREFUSED), 10061);
    QCOMPARE(SocketErrorFromErrno(ECONNRESET), 10054);
    QCOMPARE(SocketErrorFromErrno(ECONNABORTED), 10053);
    QCOMPARE(SocketErrorFromErrno(EPIPE), 10058);
    QCOMPARE(SocketErrorFromErrno(ETIMEDOUT), 10060);
    QCOMPARE(SocketErrorFromErrno(EHOSTUNREACH), 10065);
    QCOMPARE(SocketErrorFromErrno(EADDRINUSE), 10048);
    QCOMPARE(SocketErrorMessage(10061),
             QStringLiteral("Socket Error # 10061\r\nConnection refused."));
    QCOMPARE(SocketErrorMessage(11001), QStringLiteral("Socket Error # 11001\r\nHost not found."));
    QCOMPARE(SocketErrorText(10035), QStringLiteral("Operation would block. "));
    QCOMPARE(SocketErrorText(10066), QStringLiteral("Directory not empty"));
    QCOMPARE(SocketErrorMessage(10099), QStringLiteral("Socket Error # 10099\r\n"));
    try {
        RaiseSocketError(10054);
        QFAIL("no exception");
    } catch (const ESocketError &e) {
        QCOMPARE(e.LastError(), 10054);
        QCOMPARE(e.message(), QStringLiteral("Socket Error # 10054\r\nConnection reset by peer."));
    }
}

void TestTcpConnection::connectAnnouncesStagesInOrder()
{
    ScriptedPeer peer;
    RecordingIntercept intercept;
    RecordingClient client(&intercept);
    intercept.events = &client.events;
    client.Host = QStringLiteral("LocalHost");
    client.Port = peer.port();
    client.Connect();
    QVERIFY(peer.waitForClient());
    QVERIFY(client.Connected());
    QCOMPARE(intercept.Connection(), &client);
    // A literal address is not resolved: no "Resolving" stage.
    QCOMPARE(client.events, (QStringList{"status:Connecting to 127.0.0.1.", "intercept-connect",
                                         "status:Connected.", "connected"}));
    QCOMPARE(client.statuses.first().first, hsConnecting);
    QCOMPARE(client.statuses.last().first, hsConnected);

    // A name is announced before it is looked up.
    RecordingClient named;
    named.Host = QStringLiteral("localhost.");
    named.Port = peer.port();
    try {
        named.Connect();
    } catch (const ESocketError &) {
        // Resolvers differ on the trailing dot; only the announcement matters here.
    }
    QVERIFY(!named.statuses.isEmpty());
    QCOMPARE(named.statuses.first().first, hsResolving);
    QCOMPARE(named.statuses.first().second, QStringLiteral("Resolving hostname localhost.."));
}

void TestTcpConnection::connectFailures()
{
    quint16 closedPort;
    {
        ScriptedPeer gone;
        closedPort = gone.port();
    }
    RecordingClient client;
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = closedPort;
    try {
        client.Connect();
        QFAIL("connect to a closed port succeeded");
    } catch (const ESocketError &e) {
        QCOMPARE(e.LastError(), 10061);
        QCOMPARE(e.message(), QStringLiteral("Socket Error # 10061\r\nConnection refused."));
    }
    QVERIFY(!client.Connected());
    QVERIFY(!client.events.contains(QStringLiteral("connected")));

    client.Host = QStringLiteral("no-such-host.invalid");
    client.statuses.clear();
    try {
        client.Connect();
        QFAIL("connect to an unknown host succeeded");
    } catch (const ESocketError &e) {
        QCOMPARE(e.LastError(), 11001);
        QCOMPARE(e.message(), QStringLiteral("Socket Error # 11001\r\nHost not found."));
    }
    QCOMPARE(client.statuses.size(), 1);
    QCOMPARE(client.statuses.first().second,
             QStringLiteral("Resolving hostname no-such-host.invalid."));

    // A port beyond 16 bits is refused rather than wrapped onto another port.
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = 65536 + 6667;
    try {
        client.Connect();
        QFAIL("connected to a wrapped port");
    } catch (const ESocketError &e) {
        QCOMPARE(e.message(), QStringLiteral("Socket Error # 10022\r\nInvalid argument."));
    }
}

void TestTcpConnection::connectTwiceRaisesAlreadyConnected()
{
    ScriptedPeer peer;
    RecordingClient client;
    connectTo(client, peer);
    try {
        client.Connect();
        QFAIL("second connect succeeded");
    } catch (const EAlreadyConnected &e) {
        QCOMPARE(e.message(), QStringLiteral("Already connected."));
    }
    QVERIFY(client.Connected());
}

void TestTcpConnection::connectBindsAndSetsSocketOptions()
{
    ScriptedPeer peer;
    RecordingClient client;
    // A local port nobody uses right now.
    quint16 localPort;
    {
        ScriptedPeer probe;
        localPort = probe.port();
    }
    client.BoundIP = QStringLiteral("127.0.0.1");
    client.BoundPort = localPort;
    client.IOHandler = std::make_shared<TSocketHandler>();
    client.IOHandler->UseNagle = false;
    connectTo(client, peer);
    const int fd = client.IOHandler->Handle()->fd();
    sockaddr_in local{};
    socklen_t length = sizeof local;
    QCOMPARE(::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length), 0);
    QCOMPARE(ntohs(local.sin_port), localPort);
    int noDelay = 0;
    length = sizeof noDelay;
    QCOMPARE(::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &length), 0);
    QVERIFY(noDelay != 0);

    // An address that is not this machine's cannot be bound.
    RecordingClient stranger;
    stranger.BoundIP = QStringLiteral("192.0.2.1");
    stranger.Host = QStringLiteral("127.0.0.1");
    stranger.Port = peer.port();
    try {
        stranger.Connect();
        QFAIL("bound to a foreign address");
    } catch (const ESocketError &e) {
        QCOMPARE(e.LastError(), 10049);
    }
}

void TestTcpConnection::connectToIpv6Literal()
{
    const int listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), length) != 0) {
        if (listener >= 0)
            ::close(listener);
        QSKIP("no IPv6 loopback here");
    }
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    RecordingClient client;
    client.Host = QStringLiteral("::1");
    client.Port = ntohs(address.sin6_port);
    client.Connect();
    QVERIFY(client.Connected());
    QCOMPARE(client.statuses.first().second, QStringLiteral("Connecting to ::1."));
    const int accepted = ::accept(listener, nullptr, nullptr);
    QVERIFY(accepted >= 0);
    QCOMPARE(::send(accepted, "six\r\n", 5, 0), ssize_t(5));
    QCOMPARE(client.ReadLn(), QByteArray("six"));
    ::close(accepted);
    ::close(listener);
}

void TestTcpConnection::readLnCutsLinesAtLf()
{
    ScriptedPeer peer;
    RecordingClient client;
    connectTo(client, peer);
    peer.send("one\r\ntwo\nthr\ree\r\n\r\n\nlast\r\r\n");
    QCOMPARE(client.ReadLn(), QByteArray("one"));
    QCOMPARE(client.ReadLn(), QByteArray("two"));
    QCOMPARE(client.ReadLn(), QByteArray("thr\ree"));
    QCOMPARE(client.ReadLn(), QByteArray(""));
    QCOMPARE(client.ReadLn(), QByteArray(""));
    // Only one CR before the LF belongs to the terminator.
    QCOMPARE(client.ReadLn(), QByteArray("last\r"));
    // Another terminator: the CR is then an ordinary byte.
    peer.send("a\r;b;");
    QCOMPARE(client.ReadLn(';'), QByteArray("a\r"));
    QCOMPARE(client.ReadLn(';'), QByteArray("b"));
    QVERIFY(client.InputBuffer().isEmpty());
    // A search for one terminator that came up empty does not hide another one.
    peer.send("x;y");
    QVERIFY(peer.waitForSent());
    QCOMPARE(client.ReadLn('\n', 100), QByteArray());
    QCOMPARE(client.ReadLn(';'), QByteArray("x"));
}

void TestTcpConnection::readLnContinuesAcrossChunks()
{
    ScriptedPeer peer;
    RecordingIntercept intercept;
    RecordingClient client(&intercept);
    connectTo(client, peer);
    peer.send("PRIVMSG #a :hel");
    QVERIFY(peer.waitForSent());
    // An explicit time-out that runs out gives an empty line and keeps the bytes.
    QCOMPARE(client.ReadLn('\n', 200), QByteArray());
    QCOMPARE(client.InputBuffer(), QByteArray("PRIVMSG #a :hel"));
    peer.send("lo\r");
    QVERIFY(peer.waitForSent());
    QCOMPARE(client.ReadLn('\n', 200), QByteArray());
    peer.send("\nnext\n");
    QCOMPARE(client.ReadLn(), QByteArray("PRIVMSG #a :hello"));
    QCOMPARE(client.ReadLn(), QByteArray("next"));
    QVERIFY(intercept.chunkSizes.size() >= 3);
}

void TestTcpConnection::readLnLineLengthLimits()
{
    ScriptedPeer peer;
    RecordingClient client;
    connectTo(client, peer);
    QCOMPARE(client.MaxLineLength, 16384);
    QCOMPARE(client.MaxLineAction, maException);

    peer.send(Repeat('a', 16384) + "\n" + Repeat('b', 16383) + "\r\n");
    QCOMPARE(client.ReadLn(), Repeat('a', 16384));
    QCOMPARE(client.ReadLn(), Repeat('b', 16383));

    // One byte more: the CR before the LF counts.
    peer.send(Repeat('c', 16384) + "\r\n");
    QVERIFY_THROWS_EXCEPTION(EReadLnMaxLineLengthExceeded, client.ReadLn());
    try {
        client.ReadLn();
    } catch (const EReadLnMaxLineLengthExceeded &e) {
        QCOMPARE(e.message(), QStringLiteral("Max line length exceeded."));
    }
    // The buffer is left as it was; a larger explicit maximum takes the line.
    QCOMPARE(client.ReadLn('\n', -1, 20000), Repeat('c', 16384));

    // Without any LF, more than the maximum already raises.
    peer.send(Repeat('d', 16385));
    QVERIFY(peer.waitForSent());
    QVERIFY_THROWS_EXCEPTION(EReadLnMaxLineLengthExceeded, client.ReadLn());

    // 0 means no limit.
    peer.send("\n" + Repeat('e', 70000) + "\n");
    client.MaxLineLength = 0;
    QCOMPARE(client.ReadLn(), Repeat('d', 16385));
    QCOMPARE(client.ReadLn(), Repeat('e', 70000));
}

void TestTcpConnection::readLnSplitsUnderMaSplit()
{
    ScriptedPeer peer;
    RecordingClient client;
    client.MaxLineAction = maSplit;
    client.MaxLineLength = 10;
    connectTo(client, peer);
    peer.send("0123456789abcde\nshort\n");
    QCOMPARE(client.ReadLn(), QByteArray("0123456789"));
    QCOMPARE(client.ReadLn(), QByteArray("abcde"));
    QCOMPARE(client.ReadLn(), QByteArray("short"));
}

void TestTcpConnection::readLnTimeouts()
{
    ScriptedPeer peer;
    RecordingClient client;
    client.ReadTimeout = 50;
    connectTo(client, peer);
    try {
        client.ReadLn();
        QFAIL("no time-out");
    } catch (const EReadTimeout &e) {
        QCOMPARE(e.message(), QStringLiteral("Read Timeout"));
    }
    QCOMPARE(client.ReadLn('\n', 50), QByteArray());
    QVERIFY(client.Connected());
}

void TestTcpConnection::receiveHookAndAsciiFilter()
{
    ScriptedPeer peer;
    TConnectionIntercept intercept;
    // The hook may change the size of a chunk; lines are cut from what it leaves.
    intercept.OnReceive = [](TConnectionIntercept *, QByteArray &chunk) {
        chunk.replace("x", "yy\n");
    };
    RecordingClient client(&intercept);
    connectTo(client, peer);
    peer.send("axb\n");
    QCOMPARE(client.ReadLn(), QByteArray("ayy"));
    QCOMPARE(client.ReadLn(), QByteArray("b"));

    intercept.OnReceive = nullptr;
    client.ASCIIFilter = true;
    peer.send("\xC1\xE2\xFF\n");
    QCOMPARE(client.ReadLn(), QByteArray("\x41\x62\x7F"));
}

void TestTcpConnection::peerCloseWithDirectReads()
{
    ScriptedPeer peer;
    RecordingIntercept intercept;
    RecordingClient client(&intercept);
    intercept.events = &client.events;
    connectTo(client, peer);
    client.events.clear();
    peer.send("first\r\nunfinished");
    peer.close();
    QCOMPARE(client.ReadLn(), QByteArray("first"));
    // The close arrives while the rest waits for its LF: the read ends with an empty line
    // and the close is noticed once.
    QCOMPARE(client.ReadLn(), QByteArray());
    QVERIFY(client.ClosedGracefully());
    QCOMPARE(client.events,
             (QStringList{"intercept-disconnect", "status:Disconnected.", "disconnected"}));
    QVERIFY(!client.Connected());
    try {
        client.ReadLn();
        QFAIL("read after close");
    } catch (const EConnClosedGracefully &e) {
        QCOMPARE(e.message(), QStringLiteral("Connection Closed Gracefully."));
    }
    QCOMPARE(client.events.size(), 3);
    // A later disconnect does not report the close a second time to the intercept.
    client.Disconnect();
    QCOMPARE(client.events.count(QStringLiteral("intercept-disconnect")), 1);
}

void TestTcpConnection::writeSendsBytesThroughTheHook()
{
    ScriptedPeer peer;
    TConnectionIntercept intercept;
    RecordingClient client(&intercept);
    connectTo(client, peer);
    QVERIFY(peer.waitForClient());

    client.Write(QByteArray());
    client.WriteLn("NICK talvin");
    client.Write("raw");
    QVERIFY(peer.waitForReceived(16));
    QCOMPARE(peer.received(), QByteArray("NICK talvin\r\nraw"));

    // A hook that replaces the bytes with a longer text: the longer text goes out whole.
    TConnectionIntercept behind;
    QList<QByteArray> seenBehind;
    behind.OnSend = [&](TConnectionIntercept *, QByteArray &chunk) { seenBehind << chunk; };
    intercept.Intercept = &behind;
    intercept.OnSend = [](TConnectionIntercept *, QByteArray &chunk) {
        chunk = "PRIVMSG #long :" + Repeat('z', 100000) + "\r\n";
    };
    peer.clearReceived();
    client.WriteLn("x");
    const QByteArray expected = "PRIVMSG #long :" + Repeat('z', 100000) + "\r\n";
    QVERIFY(peer.waitForReceived(expected.size()));
    QCOMPARE(peer.received(), expected);
    // The chained intercept sees the bytes after the first one rewrote them.
    QCOMPARE(seenBehind, QList<QByteArray>{expected});
}

void TestTcpConnection::writeWhenClosedRaisesNotConnected()
{
    RecordingClient never;
    // Nothing to send is not an error even when closed.
    never.Write(QByteArray());
    try {
        never.WriteLn("PING x");
        QFAIL("write on a connection never opened");
    } catch (const ENotConnected &e) {
        QCOMPARE(e.message(), QStringLiteral("Not Connected"));
    }
    // A read first checks for a lost connection, which a connection never opened counts as.
    QVERIFY_THROWS_EXCEPTION(EConnClosedGracefully, never.ReadLn());

    ScriptedPeer peer;
    RecordingClient client;
    connectTo(client, peer);
    client.Disconnect();
    QVERIFY_THROWS_EXCEPTION(ENotConnected, client.Write("x"));
}

void TestTcpConnection::writeAfterPeerResetClosesAndRaises()
{
    ScriptedPeer peer;
    RecordingIntercept intercept;
    RecordingClient client(&intercept);
    intercept.events = &client.events;
    connectTo(client, peer);
    QVERIFY(peer.waitForClient());
    peer.abort();
    QVERIFY(peer.waitForSent());
    QTest::qWait(50);
    client.events.clear();
    bool raised = false;
    // The first send after a reset may still be accepted by the kernel; the next fails.
    for (int i = 0; i < 5 && !raised; ++i) {
        try {
            client.WriteLn("PRIVMSG #a :hi");
        } catch (const ESocketError &e) {
            raised = true;
            QVERIFY2(e.LastError() == 10054 || e.LastError() == 10058, qPrintable(e.message()));
        }
        QTest::qWait(10);
    }
    QVERIFY(raised);
    // The failure closed the connection with the usual notifications.
    QCOMPARE(client.events,
             (QStringList{"intercept-disconnect", "status:Disconnected.", "disconnected"}));
    QVERIFY(!client.Connected());
    QVERIFY_THROWS_EXCEPTION(ENotConnected, client.Write("x"));
}

void TestTcpConnection::disconnectRunsTheCloseSequence()
{
    ScriptedPeer peer;
    RecordingIntercept intercept;
    RecordingClient client(&intercept);
    intercept.events = &client.events;
    connectTo(client, peer);
    QVERIFY(client.IOHandler);
    client.events.clear();
    client.Disconnect();
    QCOMPARE(client.events, (QStringList{"status:Disconnecting.", "intercept-disconnect",
                                         "disconnected", "status:Disconnected."}));
    QCOMPARE(intercept.Connection(), nullptr);
    QVERIFY(!client.Connected());
    // The handler Connect created is freed; the peer sees the close.
    QVERIFY(!client.IOHandler);
    QVERIFY(peer.waitForClientClosed());

    // A handler set by the owner is kept, and the connection can be opened again.
    ScriptedPeer second;
    auto handler = std::make_shared<TSocketHandler>();
    handler->UseNagle = false;
    client.IOHandler = handler;
    connectTo(client, second);
    QVERIFY(second.waitForClient());
    client.WriteLn("again");
    QVERIFY(second.waitForReceived(7));
    client.Disconnect();
    QCOMPARE(client.IOHandler, handler);
    QVERIFY(!handler->Connected());
}

void TestTcpConnection::readThreadDeliversLinesInOrderOnUiThread()
{
    ScriptedPeer peer;
    RecordingIntercept intercept;
    RecordingClient client(&intercept);
    client.recordLineEvents = false;
    connectTo(client, peer);
    client.StartReadThread();
    QVERIFY(client.ReadThreadRunning());
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
    QVERIFY(!intercept.receiveOffUiThread);
    client.Disconnect();
    QVERIFY(threadsEnded());
}

void TestTcpConnection::readThreadPeerCloseAfterLines()
{
    ScriptedPeer peer;
    RecordingIntercept intercept;
    RecordingClient client(&intercept);
    intercept.events = &client.events;
    connectTo(client, peer);
    client.StartReadThread();
    client.events.clear();
    peer.send("l1\r\nl2\n\npartial");
    peer.close();
    QTRY_VERIFY_WITH_TIMEOUT(client.events.contains(QStringLiteral("disconnected")), 5000);
    // Every complete line first, the close after them, the unfinished line never.
    QCOMPARE(client.events, (QStringList{"line:l1", "line:l2", "line:", "intercept-disconnect",
                                         "status:Disconnected.", "disconnected"}));
    QVERIFY(threadsEnded());
    QVERIFY(!client.ReadThreadRunning());
    QVERIFY(!client.Connected());
    // Disconnecting afterwards does not touch the ended thread or repeat the close.
    client.Disconnect();
    QCOMPARE(client.events.count(QStringLiteral("intercept-disconnect")), 1);
}

void TestTcpConnection::readThreadPeerReset()
{
    ScriptedPeer peer;
    RecordingIntercept intercept;
    RecordingClient client(&intercept);
    intercept.events = &client.events;
    connectTo(client, peer);
    client.StartReadThread();
    client.events.clear();
    peer.send("before\n");
    QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), 1, 5000);
    peer.abort();
    QTRY_VERIFY_WITH_TIMEOUT(client.events.contains(QStringLiteral("disconnected")), 5000);
    // The reset is reported, and the connection is closed rather than left half alive.
    QCOMPARE(client.events,
             (QStringList{"line:before", "error:Socket Error # 10054\r\nConnection reset by peer.",
                          "intercept-disconnect", "status:Disconnected.", "disconnected"}));
    QVERIFY(!client.Connected());
    QVERIFY(threadsEnded());
}

void TestTcpConnection::readThreadSkipsTooLongLines()
{
    ScriptedPeer peer;
    RecordingClient client;
    connectTo(client, peer);
    client.StartReadThread();
    // A too-long line with its LF in the same chunk.
    peer.send("a\n" + Repeat('x', 20000) + "\nb\n");
    QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), 2, 5000);
    QCOMPARE(client.lines, (QList<QByteArray>{"a", "b"}));
    QCOMPARE(client.errors, QStringList{"Max line length exceeded."});

    // One whose LF comes chunks later: everything up to it is skipped, the next line counts.
    peer.send(Repeat('y', 20000));
    QVERIFY(peer.waitForSent());
    QTRY_COMPARE_WITH_TIMEOUT(client.errors.size(), 2, 5000);
    peer.send(Repeat('y', 20000));
    QVERIFY(peer.waitForSent());
    peer.send("yyy\r\nc\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), 3, 5000);
    QCOMPARE(client.lines.last(), QByteArray("c"));
    QCOMPARE(client.errors.size(), 2);
    QVERIFY(client.Connected());
    QVERIFY(client.ReadThreadRunning());
    client.Disconnect();
    QVERIFY(threadsEnded());
}

void TestTcpConnection::readThreadSurvivesHandlerErrors()
{
    ScriptedPeer peer;
    RecordingClient client;
    client.onLine = [](QByteArray &line) {
        if (line == "bad")
            throw ETalvinError(QStringLiteral("List index out of bounds (5)"));
        if (line == "worse")
            throw std::runtime_error("plain failure");
    };
    connectTo(client, peer);
    client.StartReadThread();
    peer.send("one\nbad\ntwo\nworse\nthree\n");
    QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), 5, 5000);
    QCOMPARE(client.errors, (QStringList{"List index out of bounds (5)", "plain failure"}));
    // Reading goes on after the errors.
    peer.send("four\n");
    QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), 6, 5000);
    // A failing receive hook is reported too, and the chunk is still read.
    TConnectionIntercept intercept;
    intercept.OnReceive = [](TConnectionIntercept *, QByteArray &) {
        throw ETalvinError(QStringLiteral("hook failed"));
    };
    client.Intercept = &intercept;
    peer.send("five\n");
    QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), 7, 5000);
    QCOMPARE(client.errors.last(), QStringLiteral("hook failed"));
    client.Intercept = nullptr;
    client.Disconnect();
    QVERIFY(threadsEnded());
}

void TestTcpConnection::readThreadChunksAreBounded()
{
    ScriptedPeer peer;
    RecordingIntercept intercept;
    RecordingClient client(&intercept);
    QCOMPARE(client.RecvBufferSize, 32768);
    client.RecvBufferSize = 100;
    connectTo(client, peer);
    client.StartReadThread();
    peer.send(Repeat('q', 999) + "\n");
    QTRY_COMPARE_WITH_TIMEOUT(client.lines.size(), 1, 5000);
    QVERIFY(intercept.chunkSizes.size() >= 10);
    for (int size : intercept.chunkSizes)
        QVERIFY(size <= 100);
    client.Disconnect();
    QVERIFY(threadsEnded());
}

void TestTcpConnection::readThreadReportsTimeoutsAndGoesOn()
{
    ScriptedPeer peer;
    RecordingClient client;
    client.ReadTimeout = 30;
    connectTo(client, peer);
    client.StartReadThread();
    QTRY_VERIFY_WITH_TIMEOUT(client.errors.contains(QStringLiteral("Read Timeout")), 5000);
    peer.send("still reading\n");
    QTRY_COMPARE_WITH_TIMEOUT(client.lines, QList<QByteArray>{"still reading"}, 5000);
    QVERIFY(client.Connected());
    client.Disconnect();
    QVERIFY(threadsEnded());
}

void TestTcpConnection::connectTimesOutWhenNobodyAnswers()
{
    // A listener whose accept queue is full: the system drops further handshakes, so a
    // connect waits until its time-out.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QCOMPARE(::bind(listener, reinterpret_cast<sockaddr *>(&address), length), 0);
    QCOMPARE(::listen(listener, 0), 0);
    QCOMPARE(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length), 0);
    QList<int> fillers;
    for (int i = 0; i < 4; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr *>(&address), length);
        fillers << fd;
    }
    QTest::qWait(50);
    RecordingClient client;
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = ntohs(address.sin_port);
    bool timedOut = false;
    try {
        client.Connect(300);
    } catch (const EConnectTimeout &e) {
        timedOut = true;
        QCOMPARE(e.message(), QStringLiteral("Connect timed out."));
    } catch (const ETalvinError &e) {
        QFAIL(qPrintable(e.message()));
    }
    for (int fd : fillers)
        ::close(fd);
    ::close(listener);
    if (!timedOut)
        QSKIP("this system completed the handshake despite the full queue");
    QVERIFY(!client.Connected());
}

void TestTcpConnection::disconnectFromInsideDispatchDuringFlood()
{
    ScriptedPeer peer;
    RecordingIntercept intercept;
    RecordingClient client(&intercept);
    intercept.events = &client.events;
    client.recordLineEvents = false;
    int afterDisconnect = 0;
    bool disconnected = false;
    client.onLine = [&](QByteArray &) {
        if (disconnected)
            ++afterDisconnect;
        if (client.lines.size() == 100) {
            client.Disconnect();
            disconnected = true;
        }
    };
    connectTo(client, peer);
    client.StartReadThread();
    QByteArray flood;
    for (int i = 0; i < 20000; ++i)
        flood += ":nick!u@h PRIVMSG #c :flood line " + QByteArray::number(i) + "\r\n";
    peer.send(flood);
    QTRY_VERIFY_WITH_TIMEOUT(disconnected, 5000);
    QVERIFY(threadsEnded());
    QTest::qWait(50);
    QCOMPARE(afterDisconnect, 0);
    QCOMPARE(client.lines.size(), 100);
    QCOMPARE(client.events.count(QStringLiteral("intercept-disconnect")), 1);
    QVERIFY(!client.Connected());
    QVERIFY(peer.waitForClientClosed());
}

void TestTcpConnection::disconnectFromOutsideDuringFlood()
{
    ScriptedPeer peer;
    RecordingClient client;
    client.recordLineEvents = false;
    connectTo(client, peer);
    client.StartReadThread();
    QByteArray flood;
    for (int i = 0; i < 200000; ++i)
        flood += "PING :" + QByteArray::number(i) + "\r\n";
    peer.send(flood);
    QTRY_VERIFY_WITH_TIMEOUT(client.lines.size() > 1000, 5000);
    // The reading thread is most likely waiting on this thread right now.
    client.Disconnect();
    const qsizetype seen = client.lines.size();
    QVERIFY(threadsEnded());
    QTest::qWait(50);
    QCOMPARE(client.lines.size(), seen);
    QVERIFY(peer.waitForClientClosed());
    // Lines arrived in order up to the stop.
    QCOMPARE(client.lines.last(), "PING :" + QByteArray::number(seen - 1));
}

void TestTcpConnection::destroyWhileConnectedAndFlooded()
{
    ScriptedPeer peer;
    bool intercepted = false;
    TConnectionIntercept intercept;
    intercept.OnDisconnect = [&](TConnectionIntercept *) { intercepted = true; };
    auto client = std::make_unique<RecordingClient>(&intercept);
    client->recordLineEvents = false;
    connectTo(*client, peer);
    client->StartReadThread();
    QByteArray flood;
    for (int i = 0; i < 100000; ++i)
        flood += "NOTICE x :" + QByteArray::number(i) + "\n";
    peer.send(flood);
    QTRY_VERIFY_WITH_TIMEOUT(client->lines.size() > 10, 5000);
    client.reset();
    QVERIFY(threadsEnded());
    QVERIFY(peer.waitForClientClosed());
    // Destruction is silent, and the intercept no longer points at the connection.
    QVERIFY(!intercepted);
    QCOMPARE(intercept.Connection(), nullptr);
}

QTEST_GUILESS_MAIN(TestTcpConnection)
#include "test_tcp_connection.moc"
