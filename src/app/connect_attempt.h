#pragma once

#include "irc/connection_status.h"
#include "irc/irc_client.h"
#include "irc/tls_session.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class TSocketHandler;

// Resolves and connects one socket on a worker thread, so the interface keeps answering
// keys, speaking and running its clock while the system looks the name up and the server
// answers. The results come back on the thread that owns the object. Cancel (or
// destroying the object) ends the wait: the worker gives up as soon as it can and nothing
// more is delivered.
class TConnectAttempt : public QObject
{
    Q_OBJECT
public:
    TConnectAttempt(const QString &host, int port, const QString &boundIP, int boundPort,
                    QObject *parent = nullptr);
    ~TConnectAttempt() override;

    // TLS over the connection, checked as the settings say; set before Start.
    bool UseTls = false;
    TTlsSettings Tls;

    void Start();
    void Cancel();

    // The stages "Resolving hostname ..." and "Connecting to ...".
    std::function<void(TConnectionStatus status, const QString &text)> OnStatus;
    // The connected socket, ready to be handed to the engine.
    std::function<void(std::shared_ptr<TSocketHandler> handler)> OnConnected;
    // The error's message.
    std::function<void(const QString &message)> OnFailed;
    // The server's certificate could not be verified: the reason and its fingerprint.
    std::function<void(const QString &reason, const QString &fingerprint)> OnCertificateRefused;

private:
    struct TShared;
    std::shared_ptr<TShared> m_shared;
    QString m_host;
    int m_port;
    QString m_boundIP;
    int m_boundPort;
};

// The program's IRC engine: a TIrcClient that can be given a socket connected elsewhere.
// Connect behaves as always (registration, events, errors); only the resolve-and-connect
// step takes the adopted socket instead of connecting on the calling thread.
class TTalvinIrcClient : public TIrcClient
{
    Q_OBJECT
public:
    // Paces its lines as servers expect of a client: 5 at once, then one every 2 seconds.
    explicit TTalvinIrcClient(QObject *parent = nullptr) : TIrcClient(parent)
    {
        SendQueue().IntervalMs = 2000;
    }

    // The next Connect uses this socket (once).
    void AdoptSocket(std::shared_ptr<TSocketHandler> handler) { m_adopted = std::move(handler); }

protected:
    void OpenSocket(int timeoutMs) override;

private:
    std::shared_ptr<TSocketHandler> m_adopted;
};
