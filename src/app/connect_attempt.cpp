#include "app/connect_attempt.h"

#include "irc/socket_handler.h"

#include <QMetaObject>

#include <exception>
#include <mutex>
#include <thread>

struct TConnectAttempt::TShared
{
    std::mutex mutex;
    // Cleared by Cancel and the destructor; the worker posts results only while set, under
    // the mutex, so nothing reaches an object that has gone.
    bool alive = true;
    std::shared_ptr<TSocketHandler> handler = std::make_shared<TSocketHandler>();
};

TConnectAttempt::TConnectAttempt(const QString &host, int port, const QString &boundIP,
                                 int boundPort, QObject *parent)
    : QObject(parent), m_shared(std::make_shared<TShared>()), m_host(host), m_port(port),
      m_boundIP(boundIP), m_boundPort(boundPort)
{}

TConnectAttempt::~TConnectAttempt()
{
    Cancel();
}

void TConnectAttempt::Cancel()
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->alive = false;
    m_shared->handler->CancelConnect();
}

void TConnectAttempt::Start()
{
    std::shared_ptr<TShared> shared = m_shared;
    TConnectAttempt *self = this;
    const QString host = m_host;
    const QString boundIP = m_boundIP;
    const int port = m_port;
    const int boundPort = m_boundPort;
    shared->handler->UseTls = UseTls;
    shared->handler->Tls = Tls;
    std::thread worker([shared, self, host, port, boundIP, boundPort] {
        auto post = [shared, self](std::function<void()> call) {
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->alive)
                QMetaObject::invokeMethod(self, std::move(call), Qt::QueuedConnection);
        };
        shared->handler->OnStatus = [post, self](TConnectionStatus status, const QString &text) {
            post([self, status, text] {
                if (self->OnStatus)
                    self->OnStatus(status, text);
            });
        };
        try {
            shared->handler->ConnectTo(host, port, boundIP, boundPort, -1);
            shared->handler->OnStatus = nullptr;
            std::shared_ptr<TSocketHandler> handler = shared->handler;
            post([self, handler] {
                if (self->OnConnected)
                    self->OnConnected(handler);
            });
        } catch (const ECertificateRefused &error) {
            shared->handler->OnStatus = nullptr;
            const QString reason = error.message();
            const QString fingerprint = error.Fingerprint();
            post([self, reason, fingerprint] {
                if (self->OnCertificateRefused)
                    self->OnCertificateRefused(reason, fingerprint);
            });
        } catch (const std::exception &error) {
            shared->handler->OnStatus = nullptr;
            const QString message = QString::fromStdString(error.what());
            post([self, message] {
                if (self->OnFailed)
                    self->OnFailed(message);
            });
        }
    });
    // The worker holds what it uses; a cancelled lookup may outlive this object and ends
    // on its own when the system answers.
    worker.detach();
}

void TTalvinIrcClient::OpenSocket(int timeoutMs)
{
    if (!m_adopted) {
        TIrcClient::OpenSocket(timeoutMs);
        return;
    }
    // Take over the connected socket; the stage announcements already went out while the
    // worker connected it.
    m_adopted->OnStatus = IOHandler->OnStatus;
    IOHandler = std::move(m_adopted);
    m_adopted.reset();
    m_ownsHandler = true;
}
