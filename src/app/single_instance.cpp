#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

const QByteArray kToFront = "to-front\n";
const QByteArray kAnswer = "ok\n";

} // namespace

TSingleInstance::TSingleInstance(const QString &home, QObject *parent) : QObject(parent)
{
    // The socket lives in the user's private runtime directory where there is one; its name
    // stands for the program directory, so two homes can run side by side.
    const QByteArray key = QDir(home).canonicalPath().toUtf8();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(key.isEmpty() ? home.toUtf8() : key, QCryptographicHash::Sha1)
            .toHex()
            .left(16));
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    m_name = dir + QStringLiteral("/talvin-") + hash + QStringLiteral(".sock");
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::AskRunningToFront(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kToFront);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Only an answer proves the other side is a live program and not a stale socket file
    // that some other process happens to hold.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readLine() == kAnswer;
}

bool TSingleInstance::Listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Nobody answered on it (AskRunningToFront came first), so the file is a leftover.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) {
            qWarning("Single-instance socket %s: %s", qUtf8Printable(m_name),
                     qUtf8Printable(m_server->errorString()));
            return false;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                const bool toFront = socket->readLine() == kToFront;
                socket->write(kAnswer);
                socket->flush();
                socket->disconnectFromServer();
                if (toFront && OnAnotherStart)
                    OnAnotherStart();
            });
        }
    });
    return true;
}
