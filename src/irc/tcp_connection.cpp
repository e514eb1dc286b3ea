#include "irc/tcp_connection.h"

#include "irc/connection_intercept.h"
#include "irc/irc_read_thread.h"
#include "irc/socket_error.h"
#include "irc/socket_handler.h"

#include <QPointer>
#include <QtGlobal>

namespace {

// Consumed bytes are dropped from the front of the buffer only when there are many of
// them and they are most of it, so a flood of short lines costs linear time.
constexpr qsizetype kCompactThreshold = 64 * 1024;

QString MessageOf(const std::exception &error)
{
    if (const auto *own = dynamic_cast<const ETalvinError *>(&error))
        return own->message();
    return QString::fromLocal8Bit(error.what());
}

} // namespace

TTcpConnection::TTcpConnection(QObject *parent) : QObject(parent)
{}

TTcpConnection::~TTcpConnection()
{
    StopReadThread();
    if (IOHandler)
        IOHandler->Close();
    if (Intercept)
        Intercept->ForgetConnection(this);
}

void TTcpConnection::DoStatus(TConnectionStatus status, const QString &arg)
{
    if (!OnStatus)
        return;
    QString text;
    switch (status) {
    case hsResolving:
        text = QStringLiteral("Resolving hostname %1.").arg(arg);
        break;
    case hsConnecting:
        text = QStringLiteral("Connecting to %1.").arg(arg);
        break;
    case hsConnected:
        text = QStringLiteral("Connected.");
        break;
    case hsDisconnecting:
        text = QStringLiteral("Disconnecting.");
        break;
    case hsDisconnected:
        text = QStringLiteral("Disconnected.");
        break;
    default:
        text = arg;
        break;
    }
    OnStatus(this, status, text);
}

bool TTcpConnection::SocketOpen() const
{
    return IOHandler && IOHandler->Connected();
}

void TTcpConnection::ResetConnection()
{
    m_buffer.clear();
    m_bufferStart = 0;
    m_scanPos = 0;
    m_closedGracefully = false;
    m_discardingLongLine = false;
}

void TTcpConnection::ConnectionOpened()
{
    if (Intercept)
        Intercept->Connect(this);
    DoStatus(hsConnected);
    if (OnConnected)
        OnConnected(this);
}

void TTcpConnection::DisconnectSocket()
{
    m_closedGracefully = true;
    const bool wasOpen = SocketOpen();
    // Nothing is left for the reading thread to read; it must not deliver anything more.
    StopReadThread();
    if (!wasOpen)
        return;
    // The socket is closed even when an intercept handler throws.
    struct TCloser
    {
        TSocketHandler *handler;
        ~TCloser() { handler->Close(); }
    } closer{IOHandler.get()};
    if (Intercept)
        Intercept->Disconnect();
}

void TTcpConnection::ConnectionLost()
{
    m_closedGracefully = true;
    CheckForDisconnect(false);
}

void TTcpConnection::Disconnect()
{
    StopReadThread();
    DoStatus(hsDisconnecting);
    DisconnectSocket();
    if (m_ownsHandler) {
        IOHandler.reset();
        m_ownsHandler = false;
    }
    if (OnDisconnected)
        OnDisconnected(this);
    DoStatus(hsDisconnected);
}

bool TTcpConnection::Connected()
{
    CheckForDisconnect(false);
    return SocketOpen();
}

void TTcpConnection::CheckForDisconnect(bool raiseIfLost, bool ignoreBuffer)
{
    bool lost;
    if (m_closedGracefully || !IOHandler) {
        if (SocketOpen()) {
            DisconnectSocket();
            DoStatus(hsDisconnected);
            if (OnDisconnected)
                OnDisconnected(this);
        }
        lost = true;
    } else {
        lost = !IOHandler->Connected();
    }
    if (lost && raiseIfLost && (m_bufferStart == m_buffer.size() || ignoreBuffer))
        throw EConnClosedGracefully(QStringLiteral("Connection Closed Gracefully."));
}

QByteArray TTcpConnection::InputBuffer() const
{
    return m_buffer.mid(m_bufferStart);
}

void TTcpConnection::ConsumeTo(qsizetype newStart)
{
    m_bufferStart = newStart;
    if (m_bufferStart >= m_buffer.size()) {
        m_buffer.resize(0);
        m_bufferStart = 0;
        m_scanPos = 0;
    } else if (m_bufferStart > kCompactThreshold && m_bufferStart * 2 > m_buffer.size()) {
        m_buffer.remove(0, m_bufferStart);
        m_scanPos = qMax<qsizetype>(0, m_scanPos - m_bufferStart);
        m_bufferStart = 0;
    }
}

TTcpConnection::TTakeResult TTcpConnection::TakeLine(char terminator, int maxLength,
                                                     QByteArray &line)
{
    // The saved position only holds for the terminator it was found with.
    if (terminator != m_scanTerminator) {
        m_scanTerminator = terminator;
        m_scanPos = m_bufferStart;
    }
    const qsizetype from = qMax(m_scanPos, m_bufferStart);
    const qsizetype found = m_buffer.indexOf(terminator, from);
    const bool split = MaxLineAction == maSplit;
    if (found < 0) {
        m_scanPos = m_buffer.size();
        if (maxLength > 0 && m_buffer.size() - m_bufferStart > maxLength) {
            if (!split)
                return TTakeResult::TooLong;
            line = m_buffer.mid(m_bufferStart, maxLength);
            ConsumeTo(m_bufferStart + maxLength);
            return TTakeResult::Line;
        }
        return TTakeResult::NeedMore;
    }
    m_scanPos = found;
    const qsizetype length = found - m_bufferStart;
    if (maxLength > 0 && length > maxLength) {
        if (!split)
            return TTakeResult::TooLong;
        line = m_buffer.mid(m_bufferStart, maxLength);
        ConsumeTo(m_bufferStart + maxLength);
        return TTakeResult::Line;
    }
    line = m_buffer.mid(m_bufferStart, length);
    if (terminator == '\n' && line.endsWith('\r'))
        line.chop(1);
    ConsumeTo(found + 1);
    m_scanPos = m_bufferStart;
    return TTakeResult::Line;
}

void TTcpConnection::AcceptChunk(QByteArray chunk)
{
    if (Intercept)
        Intercept->Receive(chunk);
    if (ASCIIFilter) {
        for (char &c : chunk)
            c = static_cast<char>(static_cast<unsigned char>(c) & 0x7F);
    }
    m_buffer.append(chunk);
}

int TTcpConnection::ReadFromStack(bool raiseIfDisconnected, int timeoutMs, bool raiseOnTimeout)
{
    const int timeout = timeoutMs == -1 ? ReadTimeout : timeoutMs;
    if (!Connected()) {
        if (raiseIfDisconnected)
            throw ENotConnected(QStringLiteral("Not Connected"));
        return 0;
    }
    const std::shared_ptr<TSocketHandle> socket = IOHandler->Handle();
    const int ready = socket->WaitReadable(timeout);
    if (ready == 0) {
        if (raiseOnTimeout)
            throw EReadTimeout(QStringLiteral("Read Timeout"));
        return -1;
    }
    if (ready < 0)
        RaiseSocketError(SocketErrorFromErrno(-ready));

    QByteArray chunk(qMax(1, RecvBufferSize), Qt::Uninitialized);
    const int received = socket->Recv(chunk.data(), static_cast<int>(chunk.size()));
    if (received < 0) {
        const int code = SocketErrorFromErrno(-received);
        if (code != 10058 && code != 10053)
            RaiseSocketError(code);
        // The connection is gone: close it the way a peer close is closed, so the
        // notifications fire; the error is raised only when nothing is left to read.
        m_closedGracefully = true;
        CheckForDisconnect(false);
        if (m_bufferStart == m_buffer.size())
            RaiseSocketError(code);
        return 0;
    }
    if (received == 0) {
        m_closedGracefully = true;
    } else {
        chunk.resize(received);
        AcceptChunk(chunk);
    }
    CheckForDisconnect();
    return received;
}

QByteArray TTcpConnection::ReadLn(char terminator, int timeoutMs, int maxLength)
{
    if (terminator == '\0')
        terminator = '\n';
    if (maxLength == -1)
        maxLength = MaxLineLength;
    QByteArray line;
    for (;;) {
        switch (TakeLine(terminator, maxLength, line)) {
        case TTakeResult::Line:
            return line;
        case TTakeResult::TooLong:
            throw EReadLnMaxLineLengthExceeded(QStringLiteral("Max line length exceeded."));
        case TTakeResult::NeedMore:
            break;
        }
        CheckForDisconnect(true, true);
        if (ReadFromStack(true, timeoutMs, timeoutMs == -1) <= 0)
            return QByteArray();
    }
}

void TTcpConnection::Write(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (!Connected())
        throw ENotConnected(QStringLiteral("Not Connected"));
    QByteArray out = bytes;
    if (Intercept)
        Intercept->Send(out);
    if (m_readLink) {
        // The connection thread writes, so a server that stops reading cannot stop this
        // thread; a failed send reaches OnReadError and closes the connection from there.
        m_readLink->Post(out);
        return;
    }
    const std::shared_ptr<TSocketHandle> socket = IOHandler->Handle();
    qsizetype sent = 0;
    while (sent < out.size()) {
        const int piece = static_cast<int>(qMin<qsizetype>(out.size() - sent, 1 << 30));
        const int n = socket->Send(out.constData() + sent, piece);
        if (n < 0) {
            const int code = SocketErrorFromErrno(-n);
            if (code == 10058 || code == 10053 || code == 10054) {
                // The peer is gone: report the close like any other before the error, so
                // the session does not go on believing it is connected.
                m_closedGracefully = true;
                CheckForDisconnect(false);
            }
            RaiseSocketError(code);
        }
        if (n == 0) {
            m_closedGracefully = true;
            CheckForDisconnect(true, true);
        }
        sent += n;
        CheckForDisconnect(true, true);
    }
}

void TTcpConnection::WriteLn(const QByteArray &line)
{
    Write(line + "\r\n");
}

void TTcpConnection::LineArrived(QByteArray &)
{}

void TTcpConnection::StartReadThread()
{
    StopReadThread();
    if (!SocketOpen())
        return;
    m_discardingLongLine = false;
    auto link = std::make_shared<TReadThreadLink>();
    link->connection = this;
    m_readLink = link;
    auto *thread = new TIrcReadThread(link, IOHandler->Handle(), RecvBufferSize, ReadTimeout);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void TTcpConnection::StopReadThread()
{
    if (!m_readLink)
        return;
    m_readLink->stopped = true;
    m_readLink->connection = nullptr;
    // Wakes the thread from its wait; it still writes what it was given.
    m_readLink->Wake();
    m_readLink.reset();
}

void TTcpConnection::ReportReadError(const QString &message)
{
    try {
        if (OnReadError)
            OnReadError(this, message);
        else
            qWarning("Connection read error: %s", qUtf8Printable(message));
    } catch (const std::exception &error) {
        qWarning("Error while reporting a read error: %s", qUtf8Printable(MessageOf(error)));
    } catch (...) {
        qWarning("Unknown error while reporting a read error");
    }
}

void TTcpConnection::DispatchBufferedLines(const std::shared_ptr<TReadThreadLink> &link)
{
    // Handlers run below may disconnect or even destroy this connection: the link says
    // whether to go on, the guard whether this object still exists.
    const QPointer<TTcpConnection> self(this);
    QByteArray line;
    while (!link->stopped) {
        const TTakeResult result = TakeLine('\n', MaxLineLength, line);
        if (result == TTakeResult::NeedMore)
            return;
        if (result == TTakeResult::TooLong) {
            // Skip the line, not the connection: drop its bytes up to the next LF.
            const qsizetype end = m_buffer.indexOf('\n', qMax(m_scanPos, m_bufferStart));
            if (end >= 0) {
                ConsumeTo(end + 1);
                m_scanPos = m_bufferStart;
            } else {
                ConsumeTo(m_buffer.size());
                m_discardingLongLine = true;
            }
            ReportReadError(QStringLiteral("Max line length exceeded."));
            if (!self)
                return;
            continue;
        }
        QString error;
        try {
            LineArrived(line);
            continue;
        } catch (const std::exception &e) {
            error = MessageOf(e);
        } catch (...) {
            error = QStringLiteral("Unknown error");
        }
        if (!self)
            return;
        ReportReadError(error);
        if (!self)
            return;
    }
}

void TTcpConnection::HandOffChunk(const std::shared_ptr<TReadThreadLink> &link,
                                  const QByteArray &chunk)
{
    const QPointer<TTcpConnection> self(this);
    QByteArray bytes = chunk;
    QString error;
    try {
        if (Intercept)
            Intercept->Receive(bytes);
    } catch (const std::exception &e) {
        error = MessageOf(e);
    } catch (...) {
        error = QStringLiteral("Unknown error");
    }
    if (!self)
        return;
    if (!error.isEmpty()) {
        // The chunk is kept as the handler left it: losing received lines would be worse.
        ReportReadError(error);
        if (!self)
            return;
    }
    if (link->stopped)
        return;
    if (ASCIIFilter) {
        for (char &c : bytes)
            c = static_cast<char>(static_cast<unsigned char>(c) & 0x7F);
    }
    if (m_discardingLongLine) {
        const qsizetype end = bytes.indexOf('\n');
        if (end < 0)
            return;
        bytes.remove(0, end + 1);
        m_discardingLongLine = false;
    }
    m_buffer.append(bytes);
    DispatchBufferedLines(link);
}

void TTcpConnection::HandOffEnded(const std::shared_ptr<TReadThreadLink> &link,
                                  const QString &error)
{
    const QPointer<TTcpConnection> self(this);
    if (!error.isEmpty()) {
        ReportReadError(error);
        if (!self || link->stopped)
            return;
    }
    // Complete lines have all been dispatched; a last line without its LF stays behind.
    m_closedGracefully = true;
    QString handlerError;
    try {
        CheckForDisconnect(false);
        return;
    } catch (const std::exception &e) {
        handlerError = MessageOf(e);
    } catch (...) {
        handlerError = QStringLiteral("Unknown error");
    }
    if (self)
        ReportReadError(handlerError);
}

void TTcpConnection::HandOffError(const std::shared_ptr<TReadThreadLink> &link,
                                  const QString &message)
{
    if (!link->stopped)
        ReportReadError(message);
}

TTcpClient::TTcpClient(QObject *parent) : TTcpConnection(parent)
{}

void TTcpClient::Connect(int timeoutMs)
{
    if (SocketOpen())
        throw EAlreadyConnected(QStringLiteral("Already connected."));
    StopReadThread();
    if (!IOHandler) {
        IOHandler = std::make_shared<TSocketHandler>();
        m_ownsHandler = true;
    }
    IOHandler->OnStatus = [this](TConnectionStatus status, const QString &text) {
        if (OnStatus)
            OnStatus(this, status, text);
    };
    ResetConnection();
    OpenSocket(timeoutMs);
    ConnectionOpened();
}

void TTcpClient::OpenSocket(int timeoutMs)
{
    IOHandler->ConnectTo(Host, Port, BoundIP, BoundPort, timeoutMs);
}
