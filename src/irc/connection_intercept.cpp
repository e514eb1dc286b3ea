#include "irc/connection_intercept.h"

void TConnectionIntercept::Connect(TTcpConnection *connection)
{
    m_connection = connection;
    if (OnConnect)
        OnConnect(this);
}

void TConnectionIntercept::Disconnect()
{
    if (OnDisconnect)
        OnDisconnect(this);
    m_connection = nullptr;
}

void TConnectionIntercept::Receive(QByteArray &chunk)
{
    if (OnReceive)
        OnReceive(this, chunk);
}

void TConnectionIntercept::Send(QByteArray &chunk)
{
    if (OnSend)
        OnSend(this, chunk);
}
