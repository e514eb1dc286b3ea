#pragma once

#include "irc/connection_status.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class TConnectionIntercept;
class TSocketHandler;
struct TReadThreadLink;

// A line-oriented TCP connection: input buffer, line cutting, writing, close detection and
// status notifications. It lives on the user-interface thread and every public operation
// is called there. Its connection thread (StartReadThread) does the socket's work: it
// receives raw chunks and writes the bytes Write posts to it. Each chunk
// is handed to the user-interface thread with a blocking queued call, where it passes the
// intercept, is appended to the input buffer and cut into lines, each of which goes to
// LineArrived. So everything below, the intercept's events and the close notifications
// included, runs on the user-interface thread, one line at a time, in arrival order, and
// that thread never waits for the network.
//
// Settings are public members named as users of the engine know them. Events are
// std::function slots holding one handler each; an empty slot is not raised.
class TTcpConnection : public QObject
{
    Q_OBJECT
public:
    using TStatusEvent = std::function<void(TTcpConnection *sender, TConnectionStatus status,
                                            const QString &statusText)>;
    using TNotifyEvent = std::function<void(TTcpConnection *sender)>;
    using TErrorEvent = std::function<void(TTcpConnection *sender, const QString &message)>;

    explicit TTcpConnection(QObject *parent = nullptr);
    // Stops the reading thread (without waiting for it) and closes the socket silently:
    // no events are raised from a destructor.
    ~TTcpConnection() override;

    // ---- Settings ----
    // Local address to bind (empty: any); TIrcClient also puts it in the USER line.
    QString BoundIP;
    // Local port to bind (0: any).
    int BoundPort = 0;
    // Longest line taken, its LF not counted (a CR before it is); longer lines are skipped
    // and reported. 0 means no limit.
    int MaxLineLength = 16384;
    // Wait limit for incoming bytes in ms; 0 waits without limit.
    int ReadTimeout = 0;
    // Largest chunk taken from the socket in one receive.
    int RecvBufferSize = 32768;
    // Optional byte-stream hook; not owned.
    TConnectionIntercept *Intercept = nullptr;
    // Socket handler. When none is set, Connect creates one and Disconnect frees it; one set
    // by the owner (for its UseNagle setting) is kept.
    std::shared_ptr<TSocketHandler> IOHandler;

    // ---- Events ----
    // Each connection stage: texts as listed with TConnectionStatus.
    TStatusEvent OnStatus;
    // After a successful Connect.
    TNotifyEvent OnConnected;
    // When the socket has been closed, by Disconnect or on noticing the peer's close.
    TNotifyEvent OnDisconnected;
    // An error met while the reading thread delivers bytes, with the exception's message:
    // a too-long line ("Max line length exceeded.", the line is skipped
    // up to its LF), an exception thrown by a handler while a line was dispatched (the rest
    // of that line's handling is lost; later lines go on), an exception thrown by the
    // intercept's OnReceive (the chunk is still read), or "Read Timeout" when ReadTimeout
    // is set. Reading goes on after all of these. A receive error such as a reset is
    // reported here too ("Socket Error # 10054\r\nConnection reset by peer."), and then
    // the connection is closed with the usual notifications. When unbound the message goes
    // to the Qt warning log so it is never lost.
    TErrorEvent OnReadError;

    // ---- Operations ----
    // Closes the connection: stops the reading thread, "Disconnecting.", the intercept's
    // disconnect and the socket close (both only when the socket is still open, so a
    // connection the peer already closed does not report its close twice), frees a handler
    // Connect created, OnDisconnected, "Disconnected.".
    virtual void Disconnect();

    // Runs CheckForDisconnect, then answers whether the socket is open.
    bool Connected();

    // Sends the bytes (through the intercept's OnSend, which may replace them). Nothing is
    // sent for an empty array. Throws ENotConnected "Not Connected" when closed. The bytes
    // are handed to the connection thread (started here when none runs) and this returns at
    // once, so a server that stops reading never stops the caller; a failed send is reported
    // through OnReadError, then the connection closes.
    void Write(const QByteArray &bytes);
    // Write of the bytes followed by CR LF, in one send.
    void WriteLn(const QByteArray &line);

    // Notices a lost connection: when the peer has closed (or there is no handler) and the
    // socket is still open, closes it with the intercept's OnDisconnect, "Disconnected." and
    // OnDisconnected.
    void CheckForDisconnect();

    // True once the peer has closed (or a receive or send returned nothing); cleared by
    // Connect.
    bool ClosedGracefully() const { return m_closedGracefully; }

    // True while a reading thread is attached to this connection.
    bool ReadThreadRunning() const { return m_readLink != nullptr; }

protected:
    // One received line, on the user-interface thread, once per line in arrival order,
    // while the reading thread waits. The line may be rewritten in place. An exception
    // thrown here is reported through OnReadError and reading goes on. The base does
    // nothing.
    virtual void LineArrived(QByteArray &line);

    // Starts the reading thread for the open socket (TIrcClient does so after its connect).
    // A thread already running is stopped first. Does nothing when not connected.
    void StartReadThread();
    // Stops the connection thread if one runs: it delivers nothing more, is woken from its
    // wait, writes what it was still given and frees itself when it has left its loop. Never waits
    // for it, so it is safe from inside LineArrived and while the thread is itself waiting for the
    // user-interface thread.
    void StopReadThread();

    // Announces a stage through OnStatus with its fixed text ("%s" filled with arg).
    void DoStatus(TConnectionStatus status, const QString &arg = QString());

    // Marks the connection closed, runs the intercept's disconnect and closes the socket.
    void DisconnectSocket();

    // Empties the input buffer and clears ClosedGracefully (Connect does this).
    void ResetConnection();

    // Used by TTcpClient::Connect after the socket has connected: the intercept's connect,
    // "Connected.", OnConnected.
    void ConnectionOpened();

    // True when the handler exists and its socket is open.
    bool SocketOpen() const;

    // Closes the connection as lost, as if the peer had closed it: the intercept's
    // disconnect, "Disconnected.", OnDisconnected.
    void ConnectionLost();

    // Reports an error through OnReadError (or the warning log when unbound); never throws.
    void ReportReadError(const QString &message);

    // The handler Connect created (freed by Disconnect) or the owner's.
    bool m_ownsHandler = false;

private:
    friend class TIrcReadThread;

    enum class TTakeResult { Line, NeedMore, TooLong };

    // Looks for a line up to its LF in the buffer from the saved scan position.
    TTakeResult TakeLine(QByteArray &line);
    void ConsumeTo(qsizetype newStart);

    // Called on the user-interface thread by the reading thread's hand-off.
    void HandOffChunk(const std::shared_ptr<TReadThreadLink> &link, const QByteArray &chunk);
    void HandOffEnded(const std::shared_ptr<TReadThreadLink> &link, const QString &error);
    void HandOffError(const std::shared_ptr<TReadThreadLink> &link, const QString &message);
    void DispatchBufferedLines(const std::shared_ptr<TReadThreadLink> &link);

    QByteArray m_buffer;         // received bytes; the unread part starts at m_bufferStart
    qsizetype m_bufferStart = 0; // consumed bytes are dropped in batches, not one line at a time
    qsizetype m_scanPos = 0;     // no LF lies in [m_bufferStart, m_scanPos)
    bool m_closedGracefully = false;
    bool m_discardingLongLine = false; // reading thread: skipping a too-long line up to its LF
    std::shared_ptr<TReadThreadLink> m_readLink;
};

// A TCP connection that opens itself to Host:Port.
class TTcpClient : public TTcpConnection
{
    Q_OBJECT
public:
    explicit TTcpClient(QObject *parent = nullptr);

    // Server name or dotted address; "localhost" in any case means 127.0.0.1.
    QString Host;
    // Server port. 0 here; TIrcClient sets 6667 in its constructor.
    int Port = 0;

    // Opens the connection: EAlreadyConnected when open; creates a handler when none is
    // set; resets the buffer; resolves (hsResolving), connects (hsConnecting), then the
    // intercept's connect, "Connected." and OnConnected. Blocks the calling thread until
    // the system answers; timeoutMs -1 or 0 waits without limit, a positive value raises
    // EConnectTimeout "Connect timed out." when it runs out. Errors reach the caller
    // (ESocketError with the numbered texts).
    virtual void Connect(int timeoutMs = -1);

protected:
    // The resolve-and-connect step of Connect: IOHandler->ConnectTo(Host, Port, BoundIP,
    // BoundPort, timeoutMs). An owner that opens the socket elsewhere (off the user-interface
    // thread, so the interface stays responsive) overrides it to hand over that socket.
    virtual void OpenSocket(int timeoutMs);
};
