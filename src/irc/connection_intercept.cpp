#include "irc/connection_intercept.h"

void TConnectionIntercept::Connect(TTcpConnection *connection)
{
    m_connection = connection;
    if (OnConnect)
        OnConnect(this);
    if (Intercept)
        Intercept->Connect(connection);
}

void TConnectionIntercept::Disconnect()
{
    if (Intercept)
        Intercept->Disconnect();
    if (OnDisconnect)
        OnDisconnect(this);
    m_connection = nullptr;
}

void TConnectionIntercept::Receive(QByteArray &chunk)
{
    if (Intercept)
        Intercept->Receive(chunk);
    if (OnReceive)
        OnReceive(this, chunk);
}

void TConnectionIntercept::Send(QByteArray &chunk)
{
    if (OnSend)
        OnSend(this, chunk);
    if (Intercept)
        Intercept->Send(chunk);
}
