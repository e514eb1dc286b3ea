#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

// Debian's inspircd linked with atheme-services on free 127.0.0.1 ports: a real server that
// identifies clients with SASL PLAIN. The services know one account, "tester" with the
// password "secretpw" (hashed in sasl_server/services.db). Both programs die with the object
// or with the test process.
class SaslServer
{
public:
    static constexpr const char *Password = "secretpw";
    static bool available() { return QFile::exists(Ircd) && QFile::exists(Services); }
    ~SaslServer()
    {
        for (QProcess &process : m_processes)
            process.kill(), process.waitForFinished();
    }
    // Starts both and waits until the services have linked (a few seconds). Empty when
    // they have; else what went wrong, with the programs' output and the server's log.
    QString start()
    {
        const QByteArray portText = QByteArray::number(port = freePort());
        const QByteArray link = QByteArray::number(freePort());
        // The configurations next to this file, with the ports and this folder filled in.
        for (const char *name : {"inspircd.conf", "atheme.conf", "services.db"}) {
            QFile from(QStringLiteral(TALVIN_TEST_SUPPORT_DIR "/sasl_server/") + name);
            QFile to(m_dir.filePath(name));
            if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly) ||
                to.write(from.readAll()
                             .replace("@PORT@", portText)
                             .replace("@LINK@", link)
                             .replace("@DIR@", m_dir.path().toUtf8())) < 0)
                return "cannot write " + to.fileName();
        }
        for (QProcess &process : m_processes) {
            process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
            process.setProcessChannelMode(QProcess::MergedChannels);
            process.setStandardOutputFile(m_dir.filePath("output.txt"), QIODevice::Append);
        }
        // As root inspircd starts only when told that it is meant.
        QStringList ircd{"--nofork", "--nopid", "--config", m_dir.filePath("inspircd.conf")};
        m_processes[0].start(Ircd, geteuid() == 0 ? ircd << "--runasroot" : ircd);
        m_processes[1].start(Services, {"-n", "-c", m_dir.filePath("atheme.conf"), "-D",
                                        m_dir.path(), "-p", m_dir.filePath("atheme.pid")});
        // The services retry the link every second until the server listens.
        // (The log wraps the linked server's name in bold marks.)
        for (QDeadlineTimer deadline(10000); !deadline.hasExpired(); QThread::msleep(50))
            if (log("ircd.log").contains("end of netburst from"))
                return QString();
        return QString::fromUtf8("not linked: " + log("output.txt") + log("ircd.log"));
    }
    quint16 port = 0; // for clients

private:
    static constexpr const char *Ircd = "/usr/sbin/inspircd";
    static constexpr const char *Services = "/usr/bin/atheme-services";
    static quint16 freePort()
    {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
    }
    QByteArray log(const char *name) const
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QProcess m_processes[2]; // the server, the services
};
