// Installing and starting like a desktop program: the program directory made from the
// template, where it is, and one running program per directory.
#include "app/single_instance.h"
#include "config/program_home.h"
#include "file_bytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void homeIsMadeFromTemplateWithoutTouchingUserFiles()
    {
        QTemporaryDir dir;
        const QString templ = dir.filePath("share/talvin");
        const QString home = dir.filePath("home/talvin");
        for (const auto &[name, bytes] : {std::pair{"caption.ini", "new template\n"},
                                          {"send.wav", "RIFF"},
                                          {"../help/Status.txt", "help\n"}})
            QVERIFY(WriteBytes(templ + "/config/" + name, bytes));
        QDir().mkpath(templ + "/log");
        QFile::setPermissions(templ + "/config/send.wav", QFileDevice::ReadOwner);
        // The user's edited file is older than the template's and must survive.
        WriteBytes(home + "/config/caption.ini", "user's edit\n");

        const ProgramHomeResult result = PrepareProgramHome(templ, home);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(ReadBytes(home + "/config/caption.ini") + ReadBytes(home + "/help/Status.txt"),
                 "user's edit\nhelp\n");
        QVERIFY(QFileInfo(home + "/log").isDir());
        QVERIFY(QFileInfo(home + "/config/send.wav").isWritable());
        QStringList added = result.added;
        added.sort();
        QCOMPARE(added, QStringList({"config/send.wav", "help/Status.txt"}));
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
        WriteBytes(running.ServerName(), "stale");
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
