#pragma once

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// An in-process loopback TCP server for byte-level tests: it listens on a free 127.0.0.1 port
// once constructed (a blocking connect on the test's thread completes in the kernel's
// backlog) and records everything its one client sends. Sends and closes are queued and
// carried out in order by its own thread, so a test can queue a flood and process events
// while the client reads it; the waits keep processing Qt events.
class ScriptedPeer
{
    template <typename F> auto locked(F f) const
    {
        std::lock_guard lock(m_mutex);
        return f();
    }

public:
    ScriptedPeer();
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer &) = delete;
    ScriptedPeer &operator=(const ScriptedPeer &) = delete;

    // The listening port on 127.0.0.1; 0 if listening failed.
    quint16 port() const { return m_port; }
    bool hasClient() const
    {
        return locked([this] { return m_accepted; });
    }
    bool waitForClient(int ms = 5000)
    {
        return waitFor([this] { return m_accepted; }, ms);
    }

    // Every byte received from the client so far; clearReceived() forgets them.
    QByteArray received() const
    {
        return locked([this] { return m_received; });
    }
    void clearReceived()
    {
        locked([this] { m_received.clear(); });
    }
    bool waitForReceived(qsizetype count, int ms = 5000)
    {
        return waitFor([this, count] { return m_received.size() >= count; }, ms);
    }
    bool waitForReceivedContains(const QByteArray &text, int ms = 5000)
    {
        return waitFor([this, &text] { return m_received.contains(text); }, ms);
    }

    // Queues bytes for the client (sent once it is accepted and can take them); sendLine()
    // adds CR LF. waitForSent() waits until everything queued is handed to the kernel.
    void send(const QByteArray &bytes)
    {
        request([&] { m_outgoing.push_back(bytes); });
    }
    void sendLine(const QByteArray &line) { send(line + "\r\n"); }
    bool waitForSent(int ms = 5000)
    {
        return waitFor([this] { return m_outgoing.empty(); }, ms);
    }

    // After the queued bytes: close() ends the sending side with a FIN (the client sees an
    // orderly close, and what it sends is still recorded); abort() resets (RST), as a
    // crashed peer would.
    void close()
    {
        request([this] { m_close = Close::Graceful; });
    }
    void abort()
    {
        request([this] { m_close = Close::Abort; });
    }

    // Waits until the peer's receiving side has ended: the client closed (or we reset).
    bool waitForClientClosed(int ms = 5000)
    {
        return waitFor([this] { return m_closed; }, ms);
    }

private:
    enum class Close { None, Graceful, Abort };

    template <typename F> void request(F f)
    {
        locked(f);
        m_wake.notify_all();
    }
    bool waitFor(const std::function<bool()> &done, int timeoutMs);
    void serve();
    void receive(int fd);

    int m_listenFd = -1;
    int m_clientFd = -1;
    quint16 m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    QByteArray m_received;
    std::deque<QByteArray> m_outgoing;
    Close m_close = Close::None;
    bool m_accepted = false;
    bool m_closed = false;
    bool m_sendingDone = false; // our side has closed or failed; nothing more goes out
    bool m_stop = false;
    std::thread m_thread;
};
