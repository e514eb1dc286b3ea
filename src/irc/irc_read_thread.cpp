#include "irc/irc_read_thread.h"

#include "irc/socket_error.h"
#include "irc/socket_handler.h"
#include "irc/tcp_connection.h"

#include <QCoreApplication>
#include <QMetaObject>

std::atomic<int> TIrcReadThread::s_running{0};

TIrcReadThread::TIrcReadThread(std::shared_ptr<TReadThreadLink> link,
                               std::shared_ptr<TSocketHandle> socket, int recvBufferSize,
                               int readTimeoutMs)
    : m_link(std::move(link)), m_socket(std::move(socket)),
      m_recvBufferSize(recvBufferSize > 0 ? recvBufferSize : 32768), m_readTimeoutMs(readTimeoutMs)
{
    // Counted from creation, so a thread that has not been scheduled yet is not missed.
    ++s_running;
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

void TIrcReadThread::run()
{
    QByteArray buffer(m_recvBufferSize, Qt::Uninitialized);
    while (!m_link->stopped) {
        const int ready = m_socket->WaitReadable(m_readTimeoutMs);
        if (m_link->stopped)
            break;
        if (ready == 0) {
            if (!HandOff([](TTcpConnection *c, const std::shared_ptr<TReadThreadLink> &l) {
                    c->HandOffError(l, QStringLiteral("Read Timeout"));
                }))
                break;
            continue;
        }
        int received;
        if (ready < 0)
            received = ready;
        else
            received = m_socket->Recv(buffer.data(), m_recvBufferSize);
        if (m_link->stopped)
            break;
        if (received > 0) {
            const QByteArray chunk(buffer.constData(), received);
            if (!HandOff([chunk](TTcpConnection *c, const std::shared_ptr<TReadThreadLink> &l) {
                    c->HandOffChunk(l, chunk);
                }))
                break;
            continue;
        }
        const QString error =
            received < 0 ? SocketErrorMessage(SocketErrorFromErrno(-received)) : QString();
        HandOff([error](TTcpConnection *c, const std::shared_ptr<TReadThreadLink> &l) {
            c->HandOffEnded(l, error);
        });
        break;
    }
    m_socket.reset();
    --s_running;
}
