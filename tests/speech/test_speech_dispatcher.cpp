// speech-dispatcher through a private daemon with a null sound output: two voices on two
// connections, their end notifications, Stop, and the listing of voices.

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

class TestSpeechDispatcher : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_address;
    QString m_pidFile;

    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    void writeFile(const QString &relative, const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(relative));
        file.write(text);
    }

    std::unique_ptr<TSpeech> voice(int number)
    {
        auto engine = TSpeechDispatcherEngine::connect(m_address, 10000);
        if (!engine)
            return nullptr;
        auto speech = std::make_unique<TSpeech>(std::move(engine));
        speech->SetVoiceNumber(number);
        return speech;
    }

    void stopDaemon()
    {
        // Read only now: the daemon writes the file in steps while it starts.
        QFile file(m_pidFile);
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
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("speech-dispatcher"));
        if (daemon.isEmpty())
            QSKIP("speech-dispatcher is not installed (packages speech-dispatcher, "
                  "speech-dispatcher-espeak-ng)");

        // A configuration of our own: the system one waits for a sound card that a build
        // machine does not have. ALSA's null device swallows the sound.
        writeFile(QStringLiteral("home/.asoundrc"),
                  "pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
        writeFile(QStringLiteral("home/.config/speech-dispatcher/speechd.conf"),
                  "LogLevel 3\n"
                  "AudioOutputMethod \"alsa\"\n"
                  "DefaultModule espeak-ng\n"
                  "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
                  "AddModule \"dummy\" \"sd_dummy\" \"\"\n");
        QDir().mkpath(path(QStringLiteral("run")));
        QFile::setPermissions(path(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QString socket = path(QStringLiteral("run/speechd.sock"));
        const QString pidFile = path(QStringLiteral("run/speechd.pid"));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("run")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("home/.config")));
        process.setProcessEnvironment(env);
        // Its log goes to a file: a pipe would break when this QProcess goes away.
        process.setStandardOutputFile(path(QStringLiteral("run/daemon.log")));
        process.setStandardErrorFile(path(QStringLiteral("run/daemon.log")), QIODevice::Append);
        // -t: the daemon ends by itself 30 seconds after its last client, whatever happens
        // to this test.
        process.start(daemon, {"-d", "-t", "30", "-S", socket, "-P", pidFile});
        if (!process.waitForFinished(10000) || process.exitCode() != 0)
            QSKIP("speech-dispatcher did not start on this machine");
        if (!QTest::qWaitFor([&] { return QFile::exists(socket) && QFile::exists(pidFile); },
                             10000))
            QSKIP("speech-dispatcher started but opened no socket");
        m_pidFile = pidFile;
        m_address = "unix_socket:" + socket.toUtf8();
    }

    void voicesListedOncePerVoice()
    {
        auto speech = voice(1);
        QVERIFY(speech);
        const QStringList names = speech->EngineNames();
        QVERIFY2(names.contains(QStringLiteral("speech-dispatcher espeak-ng: Russian")),
                 qPrintable(names.mid(0, 10).join(", ")));
        // One entry per voice, not every variant of it.
        QVERIFY2(names.size() < 1000, qPrintable(QString::number(names.size())));
        QVERIFY(!names.contains(QStringLiteral("speech-dispatcher espeak-ng: Russian+Andy")));
        QVERIFY(std::none_of(names.begin(), names.end(),
                             [](const QString &n) { return n.contains("dummy"); }));
        speech->SelectEngine(QStringLiteral("speech-dispatcher espeak-ng: Russian"));
        QCOMPARE(speech->EngineInfo().Dialect, QStringLiteral("ru"));
        QCOMPARE(speech->EngineInfo().MaxSpeed, 200u);
        QCOMPARE(speech->EngineInfo().MinSpeed, 0u);
        QCOMPARE(speech->Speed(), 100u);
    }

    void defaultVoiceUsesTheUsersDaemon()
    {
        // As the program starts: no address given, libspeechd's default from the
        // environment, both engines listed, Russian first.
        qputenv("SPEECHD_ADDRESS", m_address);
        TSpeech speech;
        qunsetenv("SPEECHD_ADDRESS");
        QCOMPARE(speech.EngineNames().value(0),
                 QStringLiteral("speech-dispatcher espeak-ng: Russian"));
        QVERIFY(speech.EngineNames().contains(QStringLiteral("espeak-ng Russian (ru)")));
    }

    void waveFilesWrittenByEspeakInTheVoicesLanguage()
    {
        // As the program builds a voice: speech-dispatcher first, espeak-ng second.
        std::vector<std::unique_ptr<ISpeechEngine>> engines;
        engines.push_back(TSpeechDispatcherEngine::connect(m_address, 10000));
        QVERIFY(engines.back());
        engines.push_back(std::make_unique<TEspeakEngine>());
        TSpeech speech(std::move(engines));
        QCOMPARE(speech.EngineNames().first(),
                 QStringLiteral("speech-dispatcher espeak-ng: Russian"));
        QVERIFY(speech.EngineNames().indexOf(QStringLiteral("espeak-ng Russian (ru)")) < 5);

        speech.SelectEngine(QStringLiteral("speech-dispatcher espeak-ng: Russian"));
        int stops = 0;
        speech.OnStop = [&](TSpeech *) { ++stops; };
        speech.SetOutput(soFile);
        speech.SetFilename(path(QStringLiteral("voice.wav")));
        speech.Speak(QStringLiteral("Запись в файл."));
        QTRY_COMPARE_WITH_TIMEOUT(stops, 1, 20000);
        QFile wave(path(QStringLiteral("voice.wav")));
        QVERIFY(wave.open(QIODevice::ReadOnly));
        QVERIFY(wave.read(4) == "RIFF");
        QVERIFY(wave.size() > 10000);
    }

    void twoVoicesBothFinish()
    {
        auto one = voice(1);
        auto two = voice(2);
        QVERIFY(one && two);
        one->SelectEngine(QStringLiteral("speech-dispatcher espeak-ng: Russian"));
        two->SelectEngine(QStringLiteral("speech-dispatcher espeak-ng: Russian"));
        two->SetSpeed(150);
        QStringList events;
        for (TSpeech *speech : {one.get(), two.get()}) {
            speech->OnStart = [&events](TSpeech *s) {
                events << QStringLiteral("start %1").arg(s->VoiceNumber());
            };
            speech->OnStop = [&events](TSpeech *s) {
                events << QStringLiteral("stop %1").arg(s->VoiceNumber());
            };
        }
        one->Speak(QStringLiteral("Первый голос."));
        two->Speak(QStringLiteral("Второй голос."));
        QTRY_VERIFY2_WITH_TIMEOUT(events.contains("stop 1") && events.contains("stop 2"),
                                  qPrintable(events.join(", ")), 20000);
        QVERIFY(events.indexOf("start 1") < events.indexOf("stop 1"));
        QVERIFY(events.indexOf("start 2") < events.indexOf("stop 2"));
    }

    void stopCancelsWhatIsQueued()
    {
        auto speech = voice(1);
        QVERIFY(speech);
        speech->SelectEngine(QStringLiteral("speech-dispatcher espeak-ng: Russian"));
        int starts = 0;
        int stops = 0;
        speech->OnStart = [&](TSpeech *) { ++starts; };
        speech->OnStop = [&](TSpeech *) { ++stops; };
        const QString text =
            QStringLiteral("Это длинная строка канала, которую никто не дослушает.");
        for (int i = 0; i < 10; ++i)
            speech->Speak(text);
        // Once the daemon speaks the first, the rest wait in its queue: Stop drops them.
        QTRY_VERIFY_WITH_TIMEOUT(starts >= 1, 20000);
        speech->Stop();
        speech->Speak(QStringLiteral("После остановки."));
        // The text after Stop is heard; most of the ten never were.
        QTRY_VERIFY_WITH_TIMEOUT(starts >= 2 && stops == starts, 20000);
        QTest::qWait(500);
        qInfo("%d of 11 texts started", starts);
        QVERIFY2(starts < 8, qPrintable(QString::number(starts)));
        QCOMPARE(stops, starts);
    }

    void daemonGoneMidSessionHandsOverToEspeak()
    {
        // Runs last: it ends the daemon. The voice then speaks with espeak-ng, including
        // the texts the daemon took but never said.
        std::vector<std::unique_ptr<ISpeechEngine>> engines;
        engines.push_back(TSpeechDispatcherEngine::connect(m_address, 10000));
        QVERIFY(engines.back());
        engines.push_back(std::make_unique<TEspeakEngine>());
        TSpeech speech(std::move(engines));
        speech.SelectEngine(QStringLiteral("speech-dispatcher espeak-ng: Russian"));
        int stops = 0;
        speech.OnStop = [&](TSpeech *) { ++stops; };
        speech.Speak(QStringLiteral("Раз."));
        QTRY_COMPARE_WITH_TIMEOUT(stops, 1, 20000);
        stopDaemon();
        QTest::ignoreMessage(QtWarningMsg,
                             "speech-dispatcher stopped answering; speaking with espeak-ng");
        speech.Speak(QStringLiteral("Два."));
        QTRY_COMPARE_WITH_TIMEOUT(stops, 2, 20000);
        speech.Speak(QStringLiteral("Три."));
        QTRY_COMPARE_WITH_TIMEOUT(stops, 3, 20000);
    }

    void cleanupTestCase() { stopDaemon(); }
};

QTEST_GUILESS_MAIN(TestSpeechDispatcher)
#include "test_speech_dispatcher.moc"
