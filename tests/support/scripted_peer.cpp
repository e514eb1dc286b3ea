#include "scripted_peer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

ScriptedPeer::ScriptedPeer()
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::listen(m_listenFd, 8) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        qWarning("ScriptedPeer: cannot listen on loopback: %s", strerror(errno));
        return;
    }
    m_port = ntohs(address.sin_port);
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("ScriptedPeer: pipe failed");
        return;
    }
    m_thread = std::thread([this] { run(); });
}

ScriptedPeer::~ScriptedPeer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    wake();
    if (m_thread.joinable())
        m_thread.join();
    if (m_clientFd >= 0)
        ::close(m_clientFd);
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    for (int fd : m_wakePipe)
        if (fd >= 0)
            ::close(fd);
}

void ScriptedPeer::wake()
{
    if (m_wakePipe[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wakePipe[1], &c, 1);
    }
}

template <typename Pred> bool ScriptedPeer::waitFor(Pred pred, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (pred())
                return true;
        }
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents();
        QThread::msleep(1);
    }
}

bool ScriptedPeer::hasClient() const
{
    std::lock_guard lock(m_mutex);
    return m_accepted;
}

bool ScriptedPeer::waitForClient(int timeoutMs)
{
    return waitFor([this] { return m_accepted; }, timeoutMs);
}

QByteArray ScriptedPeer::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

void ScriptedPeer::clearReceived()
{
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

bool ScriptedPeer::waitForReceived(qsizetype count, int timeoutMs)
{
    return waitFor([this, count] { return m_received.size() >= count; }, timeoutMs);
}

bool ScriptedPeer::waitForReceivedContains(const QByteArray &text, int timeoutMs)
{
    return waitFor([this, &text] { return m_received.contains(text); }, timeoutMs);
}

void ScriptedPeer::send(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_outgoing.push_back(bytes);
    }
    wake();
}

void ScriptedPeer::sendLine(const QByteArray &line)
{
    send(line + "\r\n");
}

bool ScriptedPeer::waitForSent(int timeoutMs)
{
    return waitFor([this] { return m_outgoing.empty() || m_sendingDone; }, timeoutMs);
}

void ScriptedPeer::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closeRequest = TCloseRequest::Graceful;
    }
    wake();
}

void ScriptedPeer::abort()
{
    {
        std::lock_guard lock(m_mutex);
        m_closeRequest = TCloseRequest::Abort;
    }
    wake();
}

bool ScriptedPeer::waitForClientClosed(int timeoutMs)
{
    return waitFor([this] { return m_clientClosed; }, timeoutMs);
}

void ScriptedPeer::run()
{
    char buffer[65536];
    // Accept one client.
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        while (::read(m_wakePipe[0], buffer, sizeof buffer) > 0) {
        }
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
        }
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                std::lock_guard lock(m_mutex);
                m_clientFd = fd;
                m_accepted = true;
                break;
            }
        }
    }

    bool reading = true;
    for (;;) {
        bool wantWrite;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
            // Close once everything queued before the request has gone out.
            if (!m_sendingDone && m_outgoing.empty() && m_closeRequest != TCloseRequest::None) {
                if (m_closeRequest == TCloseRequest::Graceful) {
                    ::shutdown(m_clientFd, SHUT_WR);
                } else {
                    linger hard{1, 0};
                    ::setsockopt(m_clientFd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                    ::close(m_clientFd);
                    m_clientFd = -1;
                    reading = false;
                }
                m_sendingDone = true;
            }
            wantWrite = !m_sendingDone && !m_outgoing.empty();
        }
        pollfd fds[2] = {
            {m_clientFd, static_cast<short>((reading ? POLLIN : 0) | (wantWrite ? POLLOUT : 0)), 0},
            {m_wakePipe[0], POLLIN, 0}};
        if (m_clientFd < 0)
            fds[0].fd = -1;
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        while (::read(m_wakePipe[0], buffer, sizeof buffer) > 0) {
        }
        if (reading && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::recv(m_clientFd, buffer, sizeof buffer, 0);
            std::lock_guard lock(m_mutex);
            if (n > 0) {
                m_received.append(buffer, n);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                m_clientClosed = true;
                reading = false;
            }
        }
        if (wantWrite && (fds[0].revents & (POLLOUT | POLLERR))) {
            std::lock_guard lock(m_mutex);
            while (!m_outgoing.empty()) {
                const QByteArray &front = m_outgoing.front();
                const ssize_t n =
                    ::send(m_clientFd, front.constData() + m_outgoingOffset,
                           static_cast<size_t>(front.size() - m_outgoingOffset), MSG_NOSIGNAL);
                if (n < 0) {
                    if (errno != EAGAIN && errno != EINTR)
                        m_sendingDone = true; // the client is gone
                    break;
                }
                m_outgoingOffset += n;
                if (m_outgoingOffset < front.size())
                    break;
                m_outgoing.pop_front();
                m_outgoingOffset = 0;
            }
        }
    }
}
