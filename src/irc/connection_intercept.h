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
// handler is simply not raised.
//
// One further intercept may be chained behind this one (Intercept); the owner of the
// intercepts keeps them alive while a connection uses them.
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

    // The intercept behind this one, or null.
    TConnectionIntercept *Intercept = nullptr;

    // The connection this intercept is attached to while it is open, else null.
    TTcpConnection *Connection() const { return m_connection; }

    // Called by the connection after its socket has connected: records the connection,
    // raises OnConnect, then passes the call on to the chained intercept.
    virtual void Connect(TTcpConnection *connection);
    // Called when the connection closes: the chained intercept first, then OnDisconnect,
    // then the connection is forgotten.
    virtual void Disconnect();
    // A received chunk: the chained intercept first, then OnReceive.
    virtual void Receive(QByteArray &chunk);
    // Bytes about to be sent: OnSend first, then the chained intercept.
    virtual void Send(QByteArray &chunk);

private:
    friend class TTcpConnection;
    // A connection that is destroyed while open leaves without events; this chain must not
    // keep pointing at it.
    void ForgetConnection(TTcpConnection *connection)
    {
        if (m_connection == connection)
            m_connection = nullptr;
        if (Intercept)
            Intercept->ForgetConnection(connection);
    }

    TTcpConnection *m_connection = nullptr;
};
