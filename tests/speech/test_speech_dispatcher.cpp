// speech-dispatcher through a private daemon with a null sound output: the listing of
// voices, the user's daemon at start-up, two voices on two connections with their end
// notifications, Stop, and the hand-over to espeak-ng when the daemon goes away.

#include "speech/espeak_engine.h"
#include "speech/speech_dispatcher_engine.h"
#include "speech/tspeech.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QString Russian = "speech-dispatcher espeak-ng: Russian";

} // namespace

class TestSpeechDispatcher : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_address;

    void writeFile(const QString &relative, const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(m_dir.filePath(relative)).path());
        QFile file(m_dir.filePath(relative));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    // A voice on its own connection, with the daemon's Russian voice selected and espeak-ng
    // behind it as the program builds one.
    std::unique_ptr<TSpeech> voice(int number, QStringList *events = nullptr)
    {
        std::vector<std::unique_ptr<ISpeechEngine>> engines;
        engines.push_back(TSpeechDispatcherEngine::connect(m_address, 10000));
        if (!engines.back())
            return nullptr;
        engines.push_back(std::make_unique<TEspeakEngine>());
        auto speech = std::make_unique<TSpeech>(std::move(engines));
        speech->SetVoiceNumber(number);
        speech->SelectEngine(Russian);
        if (events) {
            speech->OnStart = [events](TSpeech *s) {
                *events << QString("start %1").arg(s->VoiceNumber());
            };
            speech->OnStop = [events](TSpeech *s) {
                *events << QString("stop %1").arg(s->VoiceNumber());
            };
        }
        return speech;
    }

    void stopDaemon()
    {
        // Read only now: the daemon writes the file in steps while it starts.
        QFile file(m_dir.filePath("run/speechd.pid"));
        const pid_t pid = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : 0;
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            if (!QTest::qWaitFor([pid] { return ::kill(pid, 0) != 0; }, 5000))
                qWarning("speech-dispatcher %d still running; it ends itself in 30 s", pid);
        }
    }

private slots:
    void initTestCase()
    {
        const QString daemon = QStandardPaths::findExecutable("speech-dispatcher");
        if (daemon.isEmpty())
            QSKIP("speech-dispatcher is not installed (packages speech-dispatcher, "
                  "speech-dispatcher-espeak-ng)");
        // A configuration of our own: the system one waits for a sound card that a build
        // machine does not have. ALSA's null device swallows the sound.
        writeFile("home/.asoundrc",
                  "pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
        writeFile("home/.config/speech-dispatcher/speechd.conf",
                  "LogLevel 3\nAudioOutputMethod \"alsa\"\nDefaultModule espeak-ng\n"
                  "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\nAddModule "
                  "\"dummy\" \"sd_dummy\" \"\"\n");
        QDir().mkpath(m_dir.filePath("run"));
        QFile::setPermissions(m_dir.filePath("run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString socket = m_dir.filePath("run/speechd.sock");
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.filePath("home"));
        env.insert("XDG_RUNTIME_DIR", m_dir.filePath("run"));
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("home/.config"));
        process.setProcessEnvironment(env);
        // Its log goes to a file: a pipe would break when this QProcess goes away.
        process.setStandardOutputFile(m_dir.filePath("run/daemon.log"));
        process.setStandardErrorFile(m_dir.filePath("run/daemon.log"), QIODevice::Append);
        // -t: the daemon ends by itself 30 seconds after its last client, whatever happens.
        process.start(daemon,
                      {"-d", "-t", "30", "-S", socket, "-P", m_dir.filePath("run/speechd.pid")});
        if (!process.waitForFinished(10000) || process.exitCode() != 0)
            QSKIP("speech-dispatcher did not start on this machine");
        if (!QTest::qWaitFor(
                [&] {
                    return QFile::exists(socket) &&
                           QFile::exists(m_dir.filePath("run/speechd.pid"));
                },
                10000))
            QSKIP("speech-dispatcher started but opened no socket");
        m_address = "unix_socket:" + socket.toUtf8();
    }

    void voicesListedOnceEachAndFilesWrittenByEspeak()
    {
        auto speech = voice(1);
        QVERIFY(speech);
        const QStringList names = speech->EngineNames();
        // The daemon's voices first, one entry per voice (not every variant), no dummy.
        QCOMPARE(names.value(0), Russian);
        QVERIFY2(names.size() < 1000 && !names.contains(Russian + "+Andy") &&
                     names.filter("dummy").isEmpty(),
                 qPrintable(QString::number(names.size())));
        QVERIFY(names.indexOf("espeak-ng Russian (ru)") > 0);
        QCOMPARE(speech->EngineInfo().Dialect, "ru");
        QCOMPARE(speech->EngineInfo().MaxSpeed, 200u);
        QCOMPARE(speech->Speed(), 100u);

        // Files are written by espeak-ng in the voice's language.
        int stops = 0;
        speech->OnStop = [&](TSpeech *) { ++stops; };
        speech->SetOutput(soFile);
        speech->SetFilename(m_dir.filePath("voice.wav"));
        speech->Speak("Запись в файл.");
        QTRY_COMPARE_WITH_TIMEOUT(stops, 1, 20000);
        QFile wave(m_dir.filePath("voice.wav"));
        QVERIFY(wave.open(QIODevice::ReadOnly) && wave.read(4) == "RIFF" && wave.size() > 10000);

        // As the program starts: no address given, libspeechd's default from the environment.
        qputenv("SPEECHD_ADDRESS", m_address);
        TSpeech standard;
        qunsetenv("SPEECHD_ADDRESS");
        QCOMPARE(standard.EngineNames().value(0), Russian);
    }

    void twoVoicesBothFinishAndStopCancelsTheQueue()
    {
        QStringList events;
        auto one = voice(1, &events);
        auto two = voice(2, &events);
        QVERIFY(one && two);
        two->SetSpeed(150);
        one->Speak("Первый голос.");
        two->Speak("Второй голос.");
        QTRY_VERIFY2_WITH_TIMEOUT(events.contains("stop 1") && events.contains("stop 2"),
                                  qPrintable(events.join(", ")), 20000);
        QVERIFY(events.indexOf("start 1") < events.indexOf("stop 1"));
        QVERIFY(events.indexOf("start 2") < events.indexOf("stop 2"));

        events.clear();
        for (int i = 0; i < 10; ++i)
            one->Speak("Это длинная строка канала, которую никто не дослушает.");
        // Once the daemon speaks the first, the rest wait in its queue: Stop drops them.
        QTRY_VERIFY_WITH_TIMEOUT(events.contains("start 1"), 20000);
        one->Stop();
        one->Speak("После остановки.");
        // The text after Stop is heard; most of the ten never were.
        QTRY_VERIFY_WITH_TIMEOUT(events.count("start 1") >= 2 &&
                                     events.count("stop 1") == events.count("start 1"),
                                 20000);
        QTest::qWait(500);
        QVERIFY2(events.count("start 1") < 8, qPrintable(events.join(", ")));
        QCOMPARE(events.count("stop 1"), events.count("start 1"));
    }

    void daemonGoneMidSessionHandsOverToEspeak()
    {
        // Runs last: it ends the daemon. The voice then speaks with espeak-ng, including the
        // texts the daemon took but never said.
        QStringList events;
        auto speech = voice(1, &events);
        QVERIFY(speech);
        speech->Speak("Раз.");
        QTRY_COMPARE_WITH_TIMEOUT(events.count("stop 1"), 1, 20000);
        stopDaemon();
        QTest::ignoreMessage(QtWarningMsg,
                             "speech-dispatcher stopped answering; speaking with espeak-ng");
        speech->Speak("Два.");
        QTRY_COMPARE_WITH_TIMEOUT(events.count("stop 1"), 2, 20000);
        speech->Speak("Три.");
        QTRY_COMPARE_WITH_TIMEOUT(events.count("stop 1"), 3, 20000);
    }

    void cleanupTestCase() { stopDaemon(); }
};

QTEST_GUILESS_MAIN(TestSpeechDispatcher)
#include "test_speech_dispatcher.moc"
