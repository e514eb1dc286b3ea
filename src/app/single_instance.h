#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

// One running program per program directory: two clients writing the same configuration and
// logs would undo each other's changes. The first start listens on a local socket named after
// its directory; a later start finds it, asks it to come to the front, and ends.
class TSingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit TSingleInstance(const QString &home, QObject *parent = nullptr);
    ~TSingleInstance() override;

    // True when a running instance for the same directory answered the request to come to
    // the front.
    bool AskRunningToFront(int timeoutMs = 2000);
    // Starts listening for later starts. A socket left by a program that died is replaced.
    bool Listen();

    // Called in the running program each time another start hands over to it.
    std::function<void()> OnAnotherStart;

    QString ServerName() const { return m_name; }

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};
