#pragma once

#include "irc/connection_status.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

// One open socket descriptor, shared between the connection (user-interface thread) and
// its reading thread. Closing the connection only shuts the socket down; the descriptor is
// released when the last holder lets go, so a reading thread that is still inside poll()
// or recv() never sees its descriptor number reused by another socket.
class TSocketHandle
{
public:
    explicit TSocketHandle(int fd) : m_fd(fd) {}
    ~TSocketHandle();
    TSocketHandle(const TSocketHandle &) = delete;
    TSocketHandle &operator=(const TSocketHandle &) = delete;

    int fd() const { return m_fd; }

    // shutdown(2) with SHUT_RD, SHUT_WR or SHUT_RDWR; wakes any thread blocked reading.
    void Shutdown(int how);

    // Waits until the socket is readable (or shut down, or failed). timeoutMs <= 0 waits
    // without limit. Returns 1 readable, 0 expired, -errno on failure.
    int WaitReadable(int timeoutMs) const;

    // recv(2): bytes received, 0 when the peer has closed, -errno on failure (EINTR is
    // retried internally).
    int Recv(char *buffer, int size) const;

    // send(2) without SIGPIPE: bytes sent or -errno (EINTR retried).
    int Send(const char *data, int size) const;

private:
    int m_fd;
};

// Opens and closes the TCP socket of a connection: name lookup, binding, connecting, and
// the status announcements of those stages.
class TSocketHandler
{
public:
    using TStatusHandler = std::function<void(TConnectionStatus status, const QString &text)>;

    TSocketHandler() = default;
    ~TSocketHandler();
    TSocketHandler(const TSocketHandler &) = delete;
    TSocketHandler &operator=(const TSocketHandler &) = delete;

    // When false the socket gets TCP_NODELAY.
    bool UseNagle = true;

    // Receives hsResolving and hsConnecting with their finished texts. The connection wires
    // this to its own OnStatus.
    TStatusHandler OnStatus;

    // Resolves and connects; throws ESocketError (11001 "Host not found." for a name that
    // cannot be resolved) or EConnectTimeout. "localhost" in any case means 127.0.0.1;
    // dotted IPv4 and IPv6 literals are used as given, anything else is announced with
    // hsResolving and looked up. timeoutMs of -1 or 0 waits until the system answers; a
    // positive value raises "Connect timed out." when it runs out. Blocks the caller.
    void ConnectTo(const QString &host, int port, const QString &boundIP, int boundPort,
                   int timeoutMs = -1);

    // Asks a ConnectTo that is waiting (on another thread) to give up; it then throws
    // ESocketError 10004 "Interrupted system call.". Safe from any thread.
    void CancelConnect() { m_cancel = true; }

    // True from a successful ConnectTo until Close.
    bool Connected() const { return m_handle != nullptr; }

    // Shuts the socket down in both directions (a blocked reader wakes) and lets go of it.
    void Close();

    // The open socket, or null.
    std::shared_ptr<TSocketHandle> Handle() const { return m_handle; }

    // The dotted address the last ConnectTo connected to.
    const QString &PeerAddress() const { return m_peerAddress; }

private:
    std::shared_ptr<TSocketHandle> m_handle;
    QString m_peerAddress;
    std::atomic<bool> m_cancel{false};
};
