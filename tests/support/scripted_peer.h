#pragma once

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// An in-process loopback TCP server for byte-level tests of the connection and the
// protocol engine. It listens on 127.0.0.1 (free port) as soon as it is constructed, so a
// client may connect with a blocking connect on the test's own thread: the kernel's
// backlog completes the handshake and the peer's thread accepts the one client.
//
// Everything the client sends is recorded. Bytes to send and the close requests are queued
// and written by the peer's own thread, in order, so a test can queue a flood and then
// process events while the client reads it. The wait functions keep processing Qt events
// (posted events included) so hand-offs to the test thread are served while waiting.
class ScriptedPeer
{
public:
    ScriptedPeer();
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer &) = delete;
    ScriptedPeer &operator=(const ScriptedPeer &) = delete;

    // The listening port on 127.0.0.1; 0 if listening failed.
    quint16 port() const { return m_port; }

    // True once a client has been accepted.
    bool hasClient() const;
    bool waitForClient(int timeoutMs = 5000);

    // Every byte received from the client so far.
    QByteArray received() const;
    // Forgets what has been received so far.
    void clearReceived();
    // Waits until at least count bytes have been received in total.
    bool waitForReceived(qsizetype count, int timeoutMs = 5000);
    // Waits until the received bytes contain text.
    bool waitForReceivedContains(const QByteArray &text, int timeoutMs = 5000);

    // Queues bytes for the client (sent as soon as it is accepted and can take them).
    void send(const QByteArray &bytes);
    // Queues line + CR LF.
    void sendLine(const QByteArray &line);
    // Waits until everything queued has been handed to the kernel.
    bool waitForSent(int timeoutMs = 5000);

    // After the queued bytes: ends the peer's sending side with a FIN (the client sees an
    // orderly close); the peer keeps recording what the client sends.
    void close();
    // After the queued bytes: closes with a reset (RST), as a crashed peer would.
    void abort();

    // Waits until the client has closed its side (a receive returned nothing).
    bool waitForClientClosed(int timeoutMs = 5000);

private:
    enum class TCloseRequest { None, Graceful, Abort };

    void run();
    void wake();
    template <typename Pred> bool waitFor(Pred pred, int timeoutMs);

    int m_listenFd = -1;
    int m_clientFd = -1;
    int m_wakePipe[2] = {-1, -1};
    quint16 m_port = 0;

    mutable std::mutex m_mutex;
    QByteArray m_received;
    std::deque<QByteArray> m_outgoing;
    qsizetype m_outgoingOffset = 0; // bytes of m_outgoing.front() already sent
    TCloseRequest m_closeRequest = TCloseRequest::None;
    bool m_accepted = false;
    bool m_clientClosed = false;
    bool m_sendingDone = false; // our side has closed or failed; nothing more goes out
    bool m_stop = false;

    std::thread m_thread;
};
