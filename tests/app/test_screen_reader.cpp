// A screen reader beside the program: how it is noticed, the question asked once, and the
// controls falling silent while the screen reader reads them.
#include "app/screen_reader_choice.h"
#include "config/config_files.h"
#include "speech/controls/vox_controls.h"
#include "speech/recording_speech_engine.h"
#include "speech/screen_reader.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtConcurrent>

// The desktop's accessibility bus launcher, as far as its screen reader switch goes.
class FakeA11yStatus : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.a11y.Status")
    Q_PROPERTY(bool ScreenReaderEnabled MEMBER enabled)
public:
    bool enabled = false;
};

class TestScreenReader : public QObject
{
    Q_OBJECT
private slots:
    void detection()
    {
        QTemporaryDir dir;
        const QString name = QStringLiteral("tsr%1").arg(QCoreApplication::applicationPid());
        QFile::copy("/bin/sleep", dir.filePath(name));
        QProcess reader;
        reader.start(dir.filePath(name), {"30"});
        QVERIFY(reader.waitForStarted() && ScreenReader::ProcessRunning({name}));
        reader.kill();
        QVERIFY(reader.waitForFinished() && !ScreenReader::ProcessRunning({name}));

        // A bus of our own that starts no services (the system's launcher would answer).
        QFile config(dir.filePath("bus.conf"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>"
                     "EXTERNAL</auth><policy context='default'><allow own='*'/><allow "
                     "send_destination='*' eavesdrop='true'/><allow eavesdrop='true'/></policy>"
                     "</busconfig>");
        config.close();
        QProcess daemon;
        daemon.start("dbus-daemon",
                     {"--config-file=" + config.fileName(), "--nofork", "--print-address"});
        QVERIFY(daemon.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(daemon.readLine().trimmed());
        QDBusConnection client = QDBusConnection::connectToBus(address, "client");
        // Asked from another thread: the launcher answers through this one.
        auto ask = [&client] {
            QFuture<bool> answer =
                QtConcurrent::run([&client] { return ScreenReader::BusSaysEnabled(client, 2000); });
            return QTest::qWaitFor([&] { return answer.isFinished(); }) && answer.result();
        };
        QVERIFY(!ask()); // no launcher on the bus
        FakeA11yStatus status;
        QDBusConnection bus = QDBusConnection::connectToBus(address, "launcher");
        QVERIFY(bus.registerService("org.a11y.Bus"));
        QVERIFY(bus.registerObject("/org/a11y/bus", &status, QDBusConnection::ExportAllProperties));
        QVERIFY(!ask());
        status.enabled = true;
        QVERIFY(ask());
        daemon.kill();
        daemon.waitForFinished();
    }

    void question_data()
    {
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<int>("answer"); // the key that answers; 0: no question expected
        QTest::addColumn<QString>("keptAfter");
        QTest::newRow("asked, Tab to yes") << "" << true << int(Qt::Key_Tab) << "1";
        QTest::newRow("asked, Escape is no") << "" << true << int(Qt::Key_Escape) << "0";
        QTest::newRow("damaged value asks again") << "x" << true << int(Qt::Key_Escape) << "0";
        QTest::newRow("no screen reader") << "" << false << 0 << "";
        QTest::newRow("kept yes") << "1" << true << 0 << "1";
        QTest::newRow("kept no") << "0" << true << 0 << "0";
    }
    void question()
    {
        QFETCH(QString, kept);
        QFETCH(bool, runs);
        QFETCH(int, answer);
        QFETCH(QString, keptAfter);
        QTemporaryDir dir;
        QDir(dir.path()).mkpath("config");
        SetProgramDir(dir.path());
        if (!kept.isEmpty())
            SetConfigValue("settings.ini", "Speech", "ScreenReaderControls", kept);
        auto voice = MakeRecordedVoice();
        QWidget window;
        auto *first = new TVoxCheckBox(&window), *second = new TVoxCheckBox(&window);
        first->setSpeech(voice.speech.get());
        second->setSpeech(voice.speech.get());
        window.show();
        bool asked = false;
        QTimer::singleShot(0, [&] {
            QWidget *box = QApplication::activeModalWidget();
            if (!(asked = box) || !QTest::qWaitForWindowActive(box))
                return;
            if (answer == Qt::Key_Tab) // from "Нет", which has the focus, to "Да"
                QTest::keyClick(box->focusWidget(), Qt::Key_Tab);
            QTest::keyClick(box->focusWidget(),
                            answer == Qt::Key_Tab ? Qt::Key_Return : Qt::Key(answer));
        });
        SettleScreenReaderChoice(voice.speech.get(), &window, [runs] { return runs; });
        QCOMPARE(asked, answer != 0);
        QCOMPARE(voice.recording->spokenTexts().join('|').contains("экранный диктор"), asked);
        const QString after = GetConfigValue("settings.ini", "Speech", "ScreenReaderControls");
        QCOMPARE(IsConfigValue(after) ? after : QString(), keptAfter);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        first->setFocus();
        voice.recording->clear();
        QTest::keyClick(first, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), second);
        QCOMPARE(voice.recording->spokenTexts().isEmpty(), keptAfter == "1");
    }
};

QTEST_MAIN(TestScreenReader)
#include "test_screen_reader.moc"
