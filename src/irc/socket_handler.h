#pragma once

#include "irc/connection_status.h"
#include "irc/tls_session.h"

#include <QString>

#include <poll.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// One open socket descriptor, shared between the connection (user-interface thread) and
// its connection thread. Closing the connection only shuts the socket down; the descriptor
// is released when the last holder lets go, so a thread that is still inside poll() never
// sees its descriptor number reused by another socket.
//
// The descriptor is non-blocking: the connection thread reads and writes it without ever
// blocking on either direction. Recv and Send wait (for the user-interface thread's own
// reads and writes while no connection thread runs).
class TSocketHandle
{
public:
    // The descriptor is made non-blocking here.
    explicit TSocketHandle(int fd);
    ~TSocketHandle();
    TSocketHandle(const TSocketHandle &) = delete;
    TSocketHandle &operator=(const TSocketHandle &) = delete;

    // TryRecv and TrySend: nothing can move now; wait for RecvWaits() or SendWaits()
    // and try again.
    static constexpr int kWouldBlock = -0x10000;

    int fd() const { return m_fd; }

    // shutdown(2) with SHUT_RD, SHUT_WR or SHUT_RDWR; wakes any thread blocked reading.
    void Shutdown(int how);

    // Waits until the socket is readable (or shut down, or failed). timeoutMs <= 0 waits
    // without limit. Returns 1 readable, 0 expired, -errno on failure.
    int WaitReadable(int timeoutMs) const;

    // Received bytes already taken off the socket but not yet read (an encrypted layer
    // holds them); poll() does not see them.
    bool HasBuffered() const;

    // Non-blocking receive: bytes received, 0 when the peer has closed, kWouldBlock, or
    // -errno (EINTR is retried internally).
    int TryRecv(char *buffer, int size);
    // Non-blocking send without SIGPIPE: bytes sent, kWouldBlock, or -errno.
    int TrySend(const char *data, int size);
    // The poll(2) events (POLLIN or POLLOUT) the last kWouldBlock of each waits for; an
    // encrypted layer may need to read before it can write, or the other way round.
    short RecvWaits() const { return m_recvWaits; }
    short SendWaits() const { return m_sendWaits; }

    // Waiting forms of the two: block until at least one byte moved (or the peer closed,
    // or an error).
    int Recv(char *buffer, int size);
    int Send(const char *data, int size);

    // Closing while a connection thread still writes: the thread sends what it was given
    // and shuts the socket down when it ends; without a thread the socket is shut down now.
    void RequestClose();
    void AttachWriter();
    void DetachWriter();

    // The TLS layer every read and write passes through; null for plain TCP.
    void SetTls(std::unique_ptr<TTlsSession> tls) { m_tls = std::move(tls); }
    const TTlsSession *Tls() const { return m_tls.get(); }

private:
    int m_fd;
    std::unique_ptr<TTlsSession> m_tls;
    short m_recvWaits = POLLIN;
    short m_sendWaits = POLLOUT;
    std::mutex m_closeMutex;
    bool m_writerAttached = false;
    bool m_closeRequested = false;
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
    // TLS over the connection: the handshake is part of ConnectTo, which then throws
    // ECertificateRefused for a certificate that neither verifies nor carries the accepted
    // fingerprint, or ETlsError. Tls.HostName defaults to the host ConnectTo is given.
    bool UseTls = false;
    TTlsSettings Tls;

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
