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
    CheckForDisconnect();
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
    CheckForDisconnect();
    return SocketOpen();
}

void TTcpConnection::CheckForDisconnect()
{
    if ((m_closedGracefully || !IOHandler) && SocketOpen()) {
        DisconnectSocket();
        DoStatus(hsDisconnected);
        if (OnDisconnected)
            OnDisconnected(this);
    }
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

TTcpConnection::TTakeResult TTcpConnection::TakeLine(QByteArray &line)
{
    const qsizetype found = m_buffer.indexOf('\n', qMax(m_scanPos, m_bufferStart));
    const qsizetype length = (found < 0 ? m_buffer.size() : found) - m_bufferStart;
    m_scanPos = found < 0 ? m_buffer.size() : found;
    if (MaxLineLength > 0 && length > MaxLineLength)
        return TTakeResult::TooLong;
    if (found < 0)
        return TTakeResult::NeedMore;
    line = m_buffer.mid(m_bufferStart, length);
    if (line.endsWith('\r'))
        line.chop(1);
    ConsumeTo(found + 1);
    m_scanPos = m_bufferStart;
    return TTakeResult::Line;
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
    // The connection thread writes, so a server that stops reading cannot stop this thread;
    // a failed send reaches OnReadError and closes the connection from there.
    if (!m_readLink)
        StartReadThread(); // does nothing when a handler above has closed the connection
    if (!m_readLink)
        throw ENotConnected(QStringLiteral("Not Connected"));
    m_readLink->Post(out);
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
        const TTakeResult result = TakeLine(line);
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
        CheckForDisconnect();
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
