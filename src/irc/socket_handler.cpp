#include "irc/socket_handler.h"

#include "irc/socket_error.h"

#include <QElapsedTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Connect waits in short steps so that a cancel request (or the time-out) is seen soon.
constexpr int kConnectStepMs = 125;

struct TAddress
{
    sockaddr_storage storage{};
    socklen_t length = 0;
};

// Fills address from a numeric IPv4 or IPv6 literal; false when text is neither.
bool ParseLiteral(const QString &text, int port, TAddress &address)
{
    const QByteArray bytes = text.toLatin1();
    auto *v4 = reinterpret_cast<sockaddr_in *>(&address.storage);
    if (inet_pton(AF_INET, bytes.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        address.length = sizeof(sockaddr_in);
        return true;
    }
    QByteArray v6text = bytes;
    if (v6text.startsWith('[') && v6text.endsWith(']'))
        v6text = v6text.mid(1, v6text.size() - 2);
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(&address.storage);
    if (inet_pton(AF_INET6, v6text.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        address.length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

QString AddressText(const TAddress &address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.storage.ss_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(&address.storage);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    } else {
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&address.storage);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    }
    return QString::fromLatin1(text);
}

// Name lookup; IPv4 answers are preferred because the texts shown carry dotted addresses.
bool Resolve(const QString &host, int port, TAddress &address)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *results = nullptr;
    if (getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &results) != 0 || !results)
        return false;
    const addrinfo *chosen = results;
    for (const addrinfo *ai = results; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET) {
            chosen = ai;
            break;
        }
    }
    std::memcpy(&address.storage, chosen->ai_addr, chosen->ai_addrlen);
    address.length = chosen->ai_addrlen;
    if (address.storage.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in *>(&address.storage)->sin_port =
            htons(static_cast<uint16_t>(port));
    else
        reinterpret_cast<sockaddr_in6 *>(&address.storage)->sin6_port =
            htons(static_cast<uint16_t>(port));
    freeaddrinfo(results);
    return true;
}

// Closes the descriptor and throws the socket error for errnoValue.
[[noreturn]] void FailAndClose(int fd, int errnoValue)
{
    ::close(fd);
    RaiseSocketError(SocketErrorFromErrno(errnoValue));
}

} // namespace

TSocketHandle::TSocketHandle(int fd) : m_fd(fd)
{
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

TSocketHandle::~TSocketHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TSocketHandle::Shutdown(int how)
{
    // The closing alert tells the server the session ended on purpose.
    if (m_tls && how == SHUT_RDWR)
        m_tls->Close();
    ::shutdown(m_fd, how);
}

bool TSocketHandle::HasBuffered() const
{
    return m_tls && m_tls->HasPending();
}

int TSocketHandle::WaitReadable(int timeoutMs) const
{
    if (HasBuffered())
        return 1;
    pollfd p{m_fd, POLLIN, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs > 0 ? timeoutMs : -1);
        if (r > 0)
            return 1;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return -errno;
    }
}

int TSocketHandle::TryRecv(char *buffer, int size)
{
    if (m_tls)
        return m_tls->Read(buffer, size, kWouldBlock, m_recvWaits);
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, static_cast<size_t>(size), 0);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            m_recvWaits = POLLIN;
            return kWouldBlock;
        }
        if (errno != EINTR)
            return -errno;
    }
}

int TSocketHandle::TrySend(const char *data, int size)
{
    if (m_tls)
        return m_tls->Write(data, size, kWouldBlock, m_sendWaits);
    for (;;) {
        const ssize_t n = ::send(m_fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            m_sendWaits = POLLOUT;
            return kWouldBlock;
        }
        if (errno != EINTR)
            return -errno;
    }
}

namespace {

// Waits without limit for what a non-blocking call asked for; false on a poll failure.
bool WaitFor(int fd, short events)
{
    pollfd p{fd, events, 0};
    for (;;) {
        if (::poll(&p, 1, -1) >= 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

int TSocketHandle::Recv(char *buffer, int size)
{
    for (;;) {
        const int n = TryRecv(buffer, size);
        if (n != kWouldBlock)
            return n;
        if (!WaitFor(m_fd, m_recvWaits))
            return -errno;
    }
}

int TSocketHandle::Send(const char *data, int size)
{
    for (;;) {
        const int n = TrySend(data, size);
        if (n != kWouldBlock)
            return n;
        if (!WaitFor(m_fd, m_sendWaits))
            return -errno;
    }
}

void TSocketHandle::RequestClose()
{
    std::lock_guard<std::mutex> lock(m_closeMutex);
    m_closeRequested = true;
    if (!m_writerAttached)
        Shutdown(SHUT_RDWR);
}

void TSocketHandle::AttachWriter()
{
    std::lock_guard<std::mutex> lock(m_closeMutex);
    m_writerAttached = true;
}

void TSocketHandle::DetachWriter()
{
    std::lock_guard<std::mutex> lock(m_closeMutex);
    m_writerAttached = false;
    if (m_closeRequested)
        Shutdown(SHUT_RDWR);
}

TSocketHandler::~TSocketHandler()
{
    Close();
}

void TSocketHandler::ConnectTo(const QString &host, int port, const QString &boundIP, int boundPort,
                               int timeoutMs)
{
    m_cancel = false;
    Close();

    // A port outside 16 bits would silently wrap to another port.
    if (port < 0 || port > 65535 || boundPort < 0 || boundPort > 65535)
        RaiseSocketError(SocketErrorFromErrno(EINVAL));

    TAddress address;
    const QString target = host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
                               ? QStringLiteral("127.0.0.1")
                               : host;
    if (!ParseLiteral(target, port, address)) {
        if (OnStatus)
            OnStatus(hsResolving, QStringLiteral("Resolving hostname %1.").arg(target));
        if (!Resolve(target, port, address))
            RaiseSocketError(kHostNotFound);
    }
    m_peerAddress = AddressText(address);
    if (OnStatus)
        OnStatus(hsConnecting, QStringLiteral("Connecting to %1.").arg(m_peerAddress));

    const int fd = ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        RaiseSocketError(SocketErrorFromErrno(errno));
    if (!UseNagle) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    if (!boundIP.isEmpty() || boundPort != 0) {
        TAddress local;
        const QString localText =
            boundIP.isEmpty() ? (address.storage.ss_family == AF_INET ? QStringLiteral("0.0.0.0")
                                                                      : QStringLiteral("::"))
                              : boundIP;
        if (!ParseLiteral(localText, boundPort, local) ||
            local.storage.ss_family != address.storage.ss_family)
            FailAndClose(fd, EADDRNOTAVAIL);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&local.storage), local.length) != 0)
            FailAndClose(fd, errno);
    }

    // The connect is made non-blocking and waited for in steps, so the caller still blocks
    // until the system answers but a time-out or a cancel request can end the wait.
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address.storage), address.length) != 0) {
        if (errno != EINPROGRESS && errno != EINTR)
            FailAndClose(fd, errno);
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            if (m_cancel)
                FailAndClose(fd, EINTR);
            int step = kConnectStepMs;
            if (timeoutMs > 0) {
                const qint64 left = timeoutMs - clock.elapsed();
                if (left <= 0) {
                    ::close(fd);
                    throw EConnectTimeout(QStringLiteral("Connect timed out."));
                }
                step = static_cast<int>(qMin<qint64>(step, left));
            }
            pollfd p{fd, POLLOUT, 0};
            const int r = ::poll(&p, 1, step);
            if (r < 0 && errno != EINTR)
                FailAndClose(fd, errno);
            if (r > 0)
                break;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            FailAndClose(fd, errno);
        if (error != 0)
            FailAndClose(fd, error);
    }
    auto handle = std::make_shared<TSocketHandle>(fd);
    if (UseTls) {
        if (OnStatus)
            OnStatus(hsStatusText, QStringLiteral("Negotiating TLS with %1.").arg(host));
        TTlsSettings settings = Tls;
        if (settings.HostName.isEmpty())
            settings.HostName = host;
        handle->SetTls(TTlsSession::Handshake(fd, settings, m_cancel));
    }
    m_handle = std::move(handle);
}

void TSocketHandler::Close()
{
    if (m_handle) {
        m_handle->RequestClose();
        m_handle.reset();
    }
}
