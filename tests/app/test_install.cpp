// Installing and starting like a desktop program: the program directory made from the
// template, one running program per directory, and the Debian package started from a scratch
// root against a real server.
#include "app/single_instance.h"
#include "config/program_home.h"
#include "ngircd_server.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

namespace {

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void homeIsMadeFromTemplateWithoutTouchingUserFiles()
    {
        QTemporaryDir dir;
        const QString templ = dir.filePath(QStringLiteral("share/talvin"));
        const QString home = dir.filePath(QStringLiteral("home/talvin"));
        WriteFile(templ + QStringLiteral("/config/caption.ini"), "new template\n");
        WriteFile(templ + QStringLiteral("/config/send.wav"), "RIFF");
        WriteFile(templ + QStringLiteral("/help/Status.txt"), "help\n");
        QDir().mkpath(templ + QStringLiteral("/log"));
        QFile::setPermissions(templ + QStringLiteral("/config/send.wav"), QFileDevice::ReadOwner);
        // The user's edited file is older than the template's and must survive.
        WriteFile(home + QStringLiteral("/config/caption.ini"), "user's edit\n");

        const ProgramHomeResult result = PrepareProgramHome(templ, home);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(ReadFile(home + QStringLiteral("/config/caption.ini")),
                 QByteArray("user's edit\n"));
        QCOMPARE(ReadFile(home + QStringLiteral("/help/Status.txt")), QByteArray("help\n"));
        QVERIFY(QFileInfo(home + QStringLiteral("/log")).isDir());
        QVERIFY(QFileInfo(home + QStringLiteral("/config/send.wav")).isWritable());
        QStringList added = result.added;
        added.sort();
        QCOMPARE(added, QStringList({QStringLiteral("config/send.wav"),
                                     QStringLiteral("help/Status.txt")}));
        // A second start adds nothing.
        QVERIFY(PrepareProgramHome(templ, home).added.isEmpty());
    }

    void homeFollowsOptionThenEnvironment_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("talvinHome");
        QTest::addColumn<QByteArray>("dataHome");
        QTest::addColumn<QString>("expected");
        QTest::newRow("option wins") << "/o/t" << QByteArray("/e/t") << QByteArray("/x") << "/o/t";
        QTest::newRow("TALVIN_HOME") << "" << QByteArray("/e/t") << QByteArray("/x") << "/e/t";
        QTest::newRow("XDG_DATA_HOME") << "" << QByteArray() << QByteArray("/x") << "/x/talvin";
        QTest::newRow("relative XDG ignored")
            << "" << QByteArray() << QByteArray("rel") << QDir::homePath() + "/.local/share/talvin";
    }
    void homeFollowsOptionThenEnvironment()
    {
        QFETCH(QString, option);
        QFETCH(QByteArray, talvinHome);
        QFETCH(QByteArray, dataHome);
        QFETCH(QString, expected);
        qputenv("TALVIN_HOME", talvinHome);
        qputenv("XDG_DATA_HOME", dataHome);
        QCOMPARE(ResolveProgramHome(option), expected);
        qunsetenv("TALVIN_HOME");
        qunsetenv("XDG_DATA_HOME");
    }

    void secondStartHandsOverToTheRunningOne()
    {
        QTemporaryDir home;
        // A stale socket file from a program that died must neither answer nor block.
        TSingleInstance running(home.path());
        WriteFile(running.ServerName(), "stale");
        QVERIFY(!TSingleInstance(home.path()).AskRunningToFront(500));
        QVERIFY(running.Listen());
        int calls = 0;
        running.OnAnotherStart = [&] { ++calls; };
        QFuture<bool> second =
            QtConcurrent::run([&] { return TSingleInstance(home.path()).AskRunningToFront(); });
        QTRY_VERIFY(second.isFinished());
        QVERIFY(second.result());
        QCOMPARE(calls, 1);
        QTemporaryDir other;
        QVERIFY(!TSingleInstance(other.path()).AskRunningToFront(500));
    }
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"
