#pragma once

#include <QByteArray>

#include <functional>

class TTcpConnection;

// Hook on a connection's byte stream. The main window counts received bytes and plays its
// sounds here, and it hangs its closing work on OnDisconnect because that is the one
// notification that fires on every close (own or the peer's).
//
// All four events run on the user-interface thread (received chunks are handed over by the
// reading thread before they are cut into lines). Each event holds one handler; an empty
// handler is simply not raised. Its owner keeps it alive while a connection uses it.
class TConnectionIntercept
{
public:
    using TNotifyEvent = std::function<void(TConnectionIntercept *sender)>;
    // The handler may rewrite the chunk, its size included; what it leaves is what counts.
    using TStreamEvent = std::function<void(TConnectionIntercept *sender, QByteArray &chunk)>;

    virtual ~TConnectionIntercept() = default;

    TNotifyEvent OnConnect;
    TNotifyEvent OnDisconnect;
    TStreamEvent OnReceive;
    TStreamEvent OnSend;

    // The connection this intercept is attached to while it is open, else null.
    TTcpConnection *Connection() const { return m_connection; }

    // Called by the connection after its socket has connected: records the connection and
    // raises OnConnect.
    virtual void Connect(TTcpConnection *connection);
    // Called when the connection closes: OnDisconnect, then the connection is forgotten.
    virtual void Disconnect();
    // A received chunk: OnReceive.
    virtual void Receive(QByteArray &chunk);
    // Bytes about to be sent: OnSend.
    virtual void Send(QByteArray &chunk);

private:
    friend class TTcpConnection;
    // A connection that is destroyed while open leaves without events; the intercept must not
    // keep pointing at it.
    void ForgetConnection(TTcpConnection *connection)
    {
        if (m_connection == connection)
            m_connection = nullptr;
    }

    TTcpConnection *m_connection = nullptr;
};
