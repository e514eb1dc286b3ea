#pragma once

#include <QThread>

#include <atomic>
#include <memory>

class TTcpConnection;
class TSocketHandle;

// What a reading thread and its connection share. Only the user-interface thread writes
// `connection`; `stopped` is set there and read by both sides.
struct TReadThreadLink
{
    TTcpConnection *connection = nullptr;
    std::atomic<bool> stopped{false};
};

// The reading thread of one connection. It waits on the socket, receives chunks of up to
// the connection's RecvBufferSize and hands each one to the user-interface thread with a
// blocking queued call, where the connection cuts it into lines and calls LineArrived for
// each; the thread reads nothing further until that call has returned. A close by the
// peer or a receive error is handed over the same way, so the close notifications keep
// their order behind the lines.
//
// Created running by TTcpConnection::StartReadThread; stopped by StopReadThread, which
// never waits for it. It frees itself (deleteLater) when its loop has ended. A hand-off
// that arrives after the stop, or after the connection is gone, is dropped on the
// user-interface thread.
class TIrcReadThread : public QThread
{
    Q_OBJECT
public:
    TIrcReadThread(std::shared_ptr<TReadThreadLink> link, std::shared_ptr<TSocketHandle> socket,
                   int recvBufferSize, int readTimeoutMs);
    ~TIrcReadThread() override;

    // Number of reading threads whose loop has not ended yet (all connections together).
    // Tests use it to see that a stopped thread really ends.
    static int RunningCount();

protected:
    void run() override;

private:
    // Runs fn on the user-interface thread and waits for it. False when no application
    // object exists to run it.
    template <typename Fn> bool HandOff(Fn &&fn);

    std::shared_ptr<TReadThreadLink> m_link;
    std::shared_ptr<TSocketHandle> m_socket;
    int m_recvBufferSize;
    int m_readTimeoutMs;
    static std::atomic<int> s_running;
};
