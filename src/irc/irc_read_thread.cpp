#include "irc/irc_read_thread.h"

#include "irc/socket_error.h"
#include "irc/socket_handler.h"
#include "irc/tcp_connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// After a stop, bytes already handed over still go out for this long at most.
constexpr int kFlushAfterStopMs = 1000;

} // namespace

std::atomic<int> TIrcReadThread::s_running{0};

TReadThreadLink::TReadThreadLink() : wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{}

TReadThreadLink::~TReadThreadLink()
{
    if (wakeFd >= 0)
        ::close(wakeFd);
}

void TReadThreadLink::Post(const QByteArray &bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_outgoing.append(bytes);
    }
    Wake();
}

QByteArray TReadThreadLink::TakeOutgoing()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QByteArray taken;
    taken.swap(m_outgoing);
    return taken;
}

void TReadThreadLink::Wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
}

TIrcReadThread::TIrcReadThread(std::shared_ptr<TReadThreadLink> link,
                               std::shared_ptr<TSocketHandle> socket, int recvBufferSize,
                               int readTimeoutMs)
    : m_link(std::move(link)), m_socket(std::move(socket)),
      m_recvBufferSize(recvBufferSize > 0 ? recvBufferSize : 32768), m_readTimeoutMs(readTimeoutMs)
{
    // Counted from creation, so a thread that has not been scheduled yet is not missed.
    ++s_running;
    // From now on this thread writes the socket, and closes it when it ends.
    m_socket->AttachWriter();
}

TIrcReadThread::~TIrcReadThread()
{
    wait();
}

int TIrcReadThread::RunningCount()
{
    return s_running;
}

template <typename Fn> bool TIrcReadThread::HandOff(Fn &&fn)
{
    // The application object outlives every connection, so the call always has a live
    // target; the connection itself is looked up on the user-interface thread, where it
    // can be checked without a race. If the application goes away first, Qt releases the
    // waiting call.
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return false;
    std::shared_ptr<TReadThreadLink> link = m_link;
    QMetaObject::invokeMethod(
        app,
        [link, fn = std::forward<Fn>(fn)]() {
            if (link->stopped || !link->connection)
                return;
            fn(link->connection, link);
        },
        Qt::BlockingQueuedConnection);
    return true;
}

void TIrcReadThread::HandOffEnd(int errorCode)
{
    const QString error = errorCode ? SocketErrorMessage(errorCode) : QString();
    HandOff([error](TTcpConnection *c, const std::shared_ptr<TReadThreadLink> &l) {
        c->HandOffEnded(l, error);
    });
}

bool TIrcReadThread::WritePending(QByteArray &pending, bool report)
{
    while (!pending.isEmpty()) {
        const int n = m_socket->TrySend(pending.constData(), static_cast<int>(pending.size()));
        if (n == TSocketHandle::kWouldBlock)
            return true;
        if (n <= 0) {
            if (report)
                HandOffEnd(n < 0 ? SocketErrorFromErrno(-n) : 0);
            pending.clear();
            return false;
        }
        pending.remove(0, n);
    }
    return true;
}

void TIrcReadThread::run()
{
    QByteArray buffer(m_recvBufferSize, Qt::Uninitialized);
    QByteArray pending;
    QElapsedTimer quiet; // since the last received bytes, for ReadTimeout
    quiet.start();
    QElapsedTimer flushClock;
    short readWaits = POLLIN; // what the reading side waits for
    for (;;) {
        const bool stopping = m_link->stopped;
        pending.append(m_link->TakeOutgoing());
        if (stopping) {
            if (pending.isEmpty())
                break;
            if (!flushClock.isValid())
                flushClock.start();
            else if (flushClock.elapsed() >= kFlushAfterStopMs)
                break;
        }
        if (!pending.isEmpty() && !WritePending(pending, !stopping))
            break;

        const bool buffered = !stopping && m_socket->HasBuffered();
        pollfd fds[2] = {{m_socket->fd(), 0, 0}, {m_link->wakeFd, POLLIN, 0}};
        if (!stopping)
            fds[0].events |= readWaits;
        if (!pending.isEmpty())
            fds[0].events |= m_socket->SendWaits();
        int timeout = -1;
        if (buffered)
            timeout = 0;
        else if (stopping)
            timeout = static_cast<int>(qMax<qint64>(0, kFlushAfterStopMs - flushClock.elapsed()));
        else if (m_readTimeoutMs > 0)
            timeout = static_cast<int>(qMax<qint64>(0, m_readTimeoutMs - quiet.elapsed()));
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) {
            if (!stopping)
                HandOffEnd(SocketErrorFromErrno(errno));
            break;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_link->wakeFd, &count, sizeof count);
        }
        if (stopping || m_link->stopped)
            continue;
        if (ready == 0 && !buffered && m_readTimeoutMs > 0 && quiet.elapsed() >= m_readTimeoutMs) {
            quiet.restart();
            if (!HandOff([](TTcpConnection *c, const std::shared_ptr<TReadThreadLink> &l) {
                    c->HandOffError(l, QStringLiteral("Read Timeout"));
                }))
                break;
            continue;
        }
        if (!buffered && !(fds[0].revents & (readWaits | POLLERR | POLLHUP)))
            continue;
        const int received = m_socket->TryRecv(buffer.data(), m_recvBufferSize);
        if (received == TSocketHandle::kWouldBlock) {
            readWaits = m_socket->RecvWaits();
            continue;
        }
        readWaits = POLLIN;
        if (m_link->stopped)
            continue;
        if (received > 0) {
            quiet.restart();
            const QByteArray chunk(buffer.constData(), received);
            if (!HandOff([chunk](TTcpConnection *c, const std::shared_ptr<TReadThreadLink> &l) {
                    c->HandOffChunk(l, chunk);
                }))
                break;
            continue;
        }
        HandOffEnd(received < 0 ? SocketErrorFromErrno(-received) : 0);
        break;
    }
    m_socket->DetachWriter();
    m_socket.reset();
    --s_running;
}
