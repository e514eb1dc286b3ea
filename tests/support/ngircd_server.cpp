#include "ngircd_server.h"

#include "file_bytes.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

const char kNgircd[] = "/usr/sbin/ngircd";

// A port nobody listens on right now (the system's choice for an ephemeral bind).
quint16 FreePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

bool Accepts(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(100);
}

} // namespace

NgircdServer::~NgircdServer()
{
    stop();
}

QByteArray NgircdServer::configText() const
{
    QByteArray text = "[Global]\n\tName = " + QByteArray(ServerName) +
                      "\n\tInfo = Talvin test server\n\tListen = 127.0.0.1\n\tPorts = " +
                      QByteArray::number(m_port) + "\n\tMotdPhrase = \"hello\"\n";
    if (!m_options.password.isEmpty())
        text += "\tPassword = " + m_options.password + "\n";
    return text + m_options.extraGlobal +
           "\n[Limits]\n\tMaxConnectionsIP = 0\n\tMaxJoins = 0\n\tMaxListSize = 0\n"
           "\tMaxNickLength = 30\n\tMaxPenaltyTime = 0\n\tPingTimeout = 300\n"
           "[Options]\n\tDNS = no\n\tIdent = no\n\tPAM = no\n"
           "[Operator]\n\tName = " +
           QByteArray(OperName) + "\n\tPassword = " + QByteArray(OperPassword) + "\n";
}

bool NgircdServer::start()
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (startOnce())
            return true;
        stop();
    }
    return false;
}

bool NgircdServer::restart()
{
    const quint16 port = m_port;
    stop();
    return startOnce(port);
}

bool NgircdServer::startOnce(quint16 port)
{
    m_port = port ? port : FreePort();
    m_dir = std::make_unique<QTemporaryDir>();
    // Started as root, ngircd drops to "nobody", which must still be able to read its
    // configuration (it reads it again on a rehash).
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                             QFile::ExeOther);
    const QString confPath = m_dir->filePath(QStringLiteral("ngircd.conf"));
    QFile conf(confPath);
    if (m_port == 0 || !conf.open(QIODevice::WriteOnly) || conf.write(configText()) < 0) {
        m_error = QStringLiteral("no free port, or cannot write %1").arg(confPath);
        return false;
    }
    conf.close();
    conf.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    m_process = std::make_unique<QProcess>();
    // A log file rather than a pipe: a pipe nobody reads would fill and stall the server.
    m_logPath = m_dir->filePath(QStringLiteral("ngircd.log"));
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_logPath);
    // ngircd runs under a small shell guard that kills it as soon as our end of the guard's
    // standard input closes: on stop(), and also when the test process dies (a crash, a
    // ctest time-out), so no server outlives its test. (A parent-death signal would not do:
    // it is cleared when ngircd changes to the "nobody" user.) The guard ends with ngircd,
    // so a server that fails at start is still seen as ended.
    static const char kGuard[] = "exec 3<&0\n\"$0\" -n -f \"$1\" </dev/null &\npid=$!\n"
                                 "(read line <&3; kill -9 $pid 2>/dev/null) &\nwait $pid\n";
    m_process->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLatin1(kGuard),
                                                 QString::fromLatin1(kNgircd), confPath});
    // A missing ngircd ends the guard at once, with the shell's complaint in the log.
    QDeadlineTimer deadline(5000);
    while (m_process->waitForStarted(5000) && !deadline.hasExpired()) {
        if (Accepts(m_port))
            return true;
        QThread::msleep(10);
    }
    m_error = QStringLiteral("ngircd does not accept on port %1: %2")
                  .arg(m_port)
                  .arg(QString::fromLocal8Bit(ReadBytes(m_logPath)));
    return false;
}

void NgircdServer::stop()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->closeWriteChannel();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    m_process.reset();
}
