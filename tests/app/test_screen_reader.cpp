// A screen reader beside the program: how it is noticed, the question asked once, and the
// controls falling silent while the screen reader reads them.
#include "app/screen_reader_choice.h"
#include "config/config_files.h"
#include "speech/controls/vox_controls.h"
#include "speech/recording_speech_engine.h"
#include "speech/screen_reader.h"

#include <QApplication>
#include <QDBusConnection>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtConcurrent>

// What the desktop's accessibility bus launcher answers about its screen reader switch.
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
        QFile::copy(QStringLiteral("/bin/sleep"), dir.filePath(name));
        QProcess reader;
        reader.start(dir.filePath(name), {QStringLiteral("30")});
        QVERIFY(reader.waitForStarted());
        QVERIFY(ScreenReader::ProcessRunning({name}));
        reader.kill();
        reader.waitForFinished();
        QVERIFY(!ScreenReader::ProcessRunning({name}));

        // A bus of our own that starts no services: the system's accessibility launcher
        // would otherwise be started to answer for its name.
        QFile config(dir.filePath("bus.conf"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                     "<auth>EXTERNAL</auth><policy context='default'><allow own='*'/>"
                     "<allow send_destination='*' eavesdrop='true'/><allow eavesdrop='true'/>"
                     "</policy></busconfig>");
        config.close();
        QProcess daemon;
        daemon.start("dbus-daemon",
                     {"--config-file=" + config.fileName(), "--nofork", "--print-address"});
        QVERIFY(daemon.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(daemon.readLine().trimmed());
        QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("client"));
        // Asked from another thread: the launcher's answer comes through this one.
        auto ask = [&client] {
            QFuture<bool> answer =
                QtConcurrent::run([&client] { return ScreenReader::BusSaysEnabled(client, 2000); });
            while (!answer.isFinished())
                QTest::qWait(5);
            return answer.result();
        };
        QVERIFY(!ask()); // no launcher on the bus
        FakeA11yStatus status;
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("launcher"));
        QVERIFY(bus.registerService(QStringLiteral("org.a11y.Bus")));
        QVERIFY(bus.registerObject(QStringLiteral("/org/a11y/bus"), &status,
                                   QDBusConnection::ExportAllProperties));
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
        QTest::addColumn<int>("answerKey"); // 0: no question expected
        QTest::addColumn<QString>("keptAfter");
        QTest::newRow("asked, yes") << "" << true << int(Qt::Key_Tab) << "1";
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
        QFETCH(int, answerKey);
        QFETCH(QString, keptAfter);
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("config"));
        SetProgramDir(dir.path());
        if (!kept.isEmpty())
            SetConfigValue("settings.ini", "Speech", "ScreenReaderControls", kept);
        auto voice = MakeRecordedVoice();
        QWidget window;
        auto *first = new TVoxCheckBox(&window);
        auto *second = new TVoxCheckBox(&window);
        for (TVoxCheckBox *check : {first, second}) {
            check->setSpeech(voice.speech.get());
            check->setText(QStringLiteral("Флажок"));
        }
        first->move(0, 40);
        window.show();
        bool asked = false;
        QTimer::singleShot(0, [&] {
            QWidget *box = QApplication::activeModalWidget();
            if (!(asked = box != nullptr) || !QTest::qWaitForWindowActive(box))
                return;
            if (answerKey == Qt::Key_Tab) // "Нет" has the focus; Tab goes to "Да"
                QTest::keyClick(box->focusWidget(), Qt::Key_Tab);
            QTest::keyClick(box->focusWidget(),
                            answerKey == Qt::Key_Tab ? Qt::Key_Return : Qt::Key(answerKey));
        });
        SettleScreenReaderChoice(voice.speech.get(), &window, [runs] { return runs; });
        QCOMPARE(asked, answerKey != 0);
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
