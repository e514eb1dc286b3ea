#pragma once

#include <QByteArray>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>

class TTcpConnection;
class TSocketHandle;

// What a connection thread and its connection share. Only the user-interface thread writes
// `connection`; `stopped` is set there and read by both sides. Outgoing bytes are handed
// over under the mutex, and an event descriptor wakes the thread for them and for the stop.
struct TReadThreadLink
{
    TReadThreadLink();
    ~TReadThreadLink();
    TReadThreadLink(const TReadThreadLink &) = delete;
    TReadThreadLink &operator=(const TReadThreadLink &) = delete;

    // Appends bytes to be written and wakes the thread (user-interface thread).
    void Post(const QByteArray &bytes);
    // Takes everything posted so far (connection thread).
    QByteArray TakeOutgoing();
    // Wakes the thread from its wait.
    void Wake();

    TTcpConnection *connection = nullptr;
    std::atomic<bool> stopped{false};
    int wakeFd = -1;

private:
    std::mutex m_mutex;
    QByteArray m_outgoing;
};

// The thread of one connection: it both reads and writes the socket, so the user-interface
// thread never waits for the network. It waits on the socket and on its wake descriptor;
// received chunks of up to RecvBufferSize go to the user-interface thread with a blocking
// queued call, where the connection cuts them into lines and calls LineArrived for each
// (the thread reads nothing further until that call has returned, so lines stay in order);
// outgoing bytes the connection posts are written as the socket takes them. A server that
// stops reading only makes the outgoing bytes wait here. A close by the peer, a receive or
// send error is handed over the same way as the chunks, so the close notifications keep
// their order behind the lines.
//
// Created running by TTcpConnection::StartReadThread; stopped by StopReadThread, which
// never waits for it. After the stop it delivers nothing more, writes what it was still
// given (for at most a second: the QUIT before a close must reach the server), shuts the
// socket down if the connection closed it meanwhile, and frees itself (deleteLater).
class TIrcReadThread : public QThread
{
    Q_OBJECT
public:
    TIrcReadThread(std::shared_ptr<TReadThreadLink> link, std::shared_ptr<TSocketHandle> socket,
                   int recvBufferSize, int readTimeoutMs);
    ~TIrcReadThread() override;

    // Number of connection threads whose loop has not ended yet (all connections
    // together). Tests use it to see that a stopped thread really ends.
    static int RunningCount();

protected:
    void run() override;

private:
    // Runs fn on the user-interface thread and waits for it. False when no application
    // object exists to run it.
    template <typename Fn> bool HandOff(Fn &&fn);
    // Hands the end of the connection over (error empty for the peer's close).
    void HandOffEnd(int errorCode);
    // Writes what the socket takes of pending; false (after handing the error over) when
    // the send failed.
    bool WritePending(QByteArray &pending, bool report);

    std::shared_ptr<TReadThreadLink> m_link;
    std::shared_ptr<TSocketHandle> m_socket;
    int m_recvBufferSize;
    int m_readTimeoutMs;
    static std::atomic<int> s_running;
};
