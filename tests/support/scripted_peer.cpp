#include "scripted_peer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool SendAll(int fd, const QByteArray &bytes)
{
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n =
            ::send(fd, bytes.constData() + at, size_t(bytes.size() - at), MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR)
            return false;
        at += qMax<ssize_t>(n, 0);
    }
    return true;
}

} // namespace

ScriptedPeer::ScriptedPeer()
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    auto *raw = reinterpret_cast<sockaddr *>(&address);
    socklen_t length = sizeof address;
    if (m_listenFd < 0 || ::bind(m_listenFd, raw, length) != 0 || ::listen(m_listenFd, 8) != 0 ||
        ::getsockname(m_listenFd, raw, &length) != 0) {
        qWarning("ScriptedPeer: cannot listen on loopback: %s", strerror(errno));
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

ScriptedPeer::~ScriptedPeer()
{
    // Shutting the sockets down wakes the blocked accept, send and receive.
    request([this] {
        m_stop = true;
        if (m_clientFd >= 0)
            ::shutdown(m_clientFd, SHUT_RDWR);
    });
    if (m_listenFd >= 0)
        ::shutdown(m_listenFd, SHUT_RDWR);
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

bool ScriptedPeer::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!locked(done)) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents();
        QThread::msleep(1);
    }
    return true;
}

// The peer's thread: accepts the one client, starts recording what it sends, then carries
// out the queued sends and close requests in order.
void ScriptedPeer::serve()
{
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    std::unique_lock lock(m_mutex);
    if (fd < 0 || m_stop) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    m_clientFd = fd;
    m_accepted = true;
    std::thread reader([this, fd] { receive(fd); });
    for (;;) {
        m_wake.wait(lock,
                    [this] { return m_stop || !m_outgoing.empty() || m_close != Close::None; });
        if (m_stop)
            break;
        if (!m_outgoing.empty() && !m_sendingDone) {
            const QByteArray bytes = m_outgoing.front();
            lock.unlock();
            const bool sent = SendAll(fd, bytes);
            lock.lock();
            m_sendingDone = !sent; // the client is gone
            m_outgoing.pop_front();
            continue;
        }
        m_outgoing.clear();
        if (m_close == Close::Graceful && !m_sendingDone) {
            ::shutdown(fd, SHUT_WR);
        } else if (m_close == Close::Abort && !m_sendingDone) {
            // Stop the reader first: the socket is closed here, with a reset.
            ::shutdown(fd, SHUT_RD);
            lock.unlock();
            reader.join();
            lock.lock();
            const linger hard{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            ::close(fd);
            m_clientFd = -1;
        }
        m_sendingDone = true;
        m_close = Close::None;
    }
    lock.unlock();
    if (reader.joinable())
        reader.join();
    if (m_clientFd >= 0)
        ::close(m_clientFd);
}

void ScriptedPeer::receive(int fd)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        std::lock_guard lock(m_mutex);
        if (n > 0) {
            m_received.append(buffer, n);
        } else if (n == 0 || errno != EINTR) {
            m_closed = true;
            return;
        }
    }
}
