// The traffic log file and the status transcript, byte for byte.
#include "app/session_log.h"
#include "config/config_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSessionLog : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        SetProgramDir(m_dir->path());
        QDir::setCurrent(m_dir->path());
    }

    void entriesAreOnDiskAtOnceAndBlocksAppend()
    {
        QDir(m_dir->path()).mkpath(QStringLiteral("log"));
        TSessionLog log;
        log.AddToLog("dropped: no log open");
        log.CreateLogFile(QStringLiteral("irc.example.net"));
        QVERIFY(log.IsOpen());
        log.AddToLog(QByteArray("> :srv 001 me :\xc7\xe4\xf0\xe0\xe2\xf1\xf2\xe2\xf3\xe9"));
        // Already on disk while the log is still open.
        QCOMPARE(read().split('\n').size(), 3);
        log.AddToLog("< NICK me");
        log.DestroyLogFile(QStringLiteral("irc.example.net"));
        QVERIFY(!log.IsOpen());
        log.AddToLog("dropped again");
        log.CreateLogFile(QStringLiteral("second.example.net"));
        log.DestroyLogFile(QStringLiteral("second.example.net"));

        const QList<QByteArray> lines = read().split('\n');
        QCOMPARE(lines.size(), 7);
        QVERIFY(lines[0].startsWith("*** Connected to irc.example.net at "));
        QCOMPARE(lines[1], QByteArray("> :srv 001 me :\xc7\xe4\xf0\xe0\xe2\xf1\xf2\xe2\xf3\xe9\r"));
        QCOMPARE(lines[2], QByteArray("< NICK me\r"));
        QVERIFY(lines[3].startsWith("*** Disconnected with irc.example.net at "));
        QVERIFY(lines[4].startsWith("*** Connected to second.example.net at "));
        QVERIFY(lines[5].startsWith("*** Disconnected with second.example.net at "));
        QCOMPARE(lines[6], QByteArray());
    }

    void missingLogDirectoryLosesEntriesQuietly()
    {
        TSessionLog log;
        log.CreateLogFile(QStringLiteral("h"));
        QVERIFY(!log.IsOpen());
        log.AddToLog("x");
        log.DestroyLogFile(QStringLiteral("h"));
        QVERIFY(!QFile::exists(TSessionLog::LogFilePath()));
    }

    void transcriptOnlyWhenTheUserMadeIt()
    {
        AppendToStatusTranscript(QStringLiteral("JOINED #talvin"));
        QVERIFY(!QFile::exists(QStringLiteral("log.txt")));
        QFile file(QStringLiteral("log.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        AppendToStatusTranscript(QStringLiteral("JOINED #talvin"));
        AppendToStatusTranscript(QStringLiteral("Привет"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("JOINED #talvin\r\n\xcf\xf0\xe8\xe2\xe5\xf2\r\n"));
    }

private:
    QByteArray read() const
    {
        QFile file(TSessionLog::LogFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestSessionLog)
#include "test_session_log.moc"
