// The default speech path: the shipped settings take speech-dispatcher's own voice when the
// daemon answers and espeak-ng otherwise, without changing the file; an engine that cannot
// be heard (a sound device that does not open, a daemon that stops answering) hands its
// texts and the voice to the other engine and says so.

#include "config/config_files.h"
#include "speech/espeak_engine.h"
#include "speech/recording_speech_engine.h"
#include "speech/speech_config.h"
#include "speech/speech_dispatcher_engine.h"
#include "speech/tspeech.h"

#include "file_bytes.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QString DaemonsOwnVoice = QStringLiteral("speech-dispatcher default voice (ru)");

// A voice over the engine under test with a recording engine beside it to take over.
std::unique_ptr<TSpeech> voiceWithStandIn(std::unique_ptr<ISpeechEngine> engine,
                                          TRecordingSpeechEngine **standIn)
{
    std::vector<std::unique_ptr<ISpeechEngine>> engines;
    engines.push_back(std::move(engine));
    auto recording = std::make_unique<TRecordingSpeechEngine>();
    *standIn = recording.get();
    engines.push_back(std::move(recording));
    return std::make_unique<TSpeech>(std::move(engines));
}

} // namespace

class TestSpeechHandover : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_address;
    pid_t m_daemon = 0;

private slots:
    void initTestCase()
    {
        if (!TEspeakEngine::available())
            QSKIP("libespeak-ng has no voice data on this machine (package espeak-ng-data)");
        // No sound server, and an ALSA default device on a card that does not exist.
        WriteBytes(m_dir.filePath("home/.asoundrc"), "pcm.!default { type hw card 31 }\n");
        qputenv("HOME", m_dir.filePath("home").toUtf8());
        qputenv("PULSE_SERVER", "unix:" + m_dir.filePath("no-pulse").toUtf8());

        // A private speech-dispatcher whose own module writes to ALSA's null device.
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("speech-dispatcher"));
        if (daemon.isEmpty())
            return;
        const QString home = m_dir.filePath("daemon");
        WriteBytes(home + "/.asoundrc",
                   "pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
        WriteBytes(home + "/.config/speech-dispatcher/speechd.conf",
                   "AudioOutputMethod \"alsa\"\nDefaultModule espeak-ng\n"
                   "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n");
        QDir().mkpath(home + "/run");
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + "/run");
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + "/.config");
        process.setProcessEnvironment(env);
        process.setStandardOutputFile(home + "/run/daemon.log");
        process.start(daemon,
                      {"-d", "-t", "30", "-S", home + "/run/sd.sock", "-P", home + "/run/sd.pid"});
        if (!process.waitForFinished(10000) ||
            !QTest::qWaitFor([&] { return QFile::exists(home + "/run/sd.sock"); }, 10000))
            return;
        // The daemon is the process serving our socket (its pid file is written late).
        for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            if (ReadBytes("/proc/" + pid + "/cmdline").contains((home + "/run/sd.sock").toUtf8()))
                m_daemon = pid.toInt();
        }
        if (m_daemon <= 0)
            return;
        m_address = "unix_socket:" + (home + "/run/sd.sock").toUtf8();
    }

    void cleanupTestCase()
    {
        if (m_daemon > 0) {
            ::kill(m_daemon, SIGCONT);
            ::kill(m_daemon, SIGTERM);
        }
    }

    void soundDeviceThatCannotPlayHandsOver()
    {
        TRecordingSpeechEngine *standIn = nullptr;
        auto speech = voiceWithStandIn(std::make_unique<TEspeakEngine>(), &standIn);
        speech->SelectEngine(QStringLiteral("espeak-ng Russian (ru)"));
        QStringList warnings;
        int started = 0;
        speech->OnWarning = [&](TSpeech *, qint32, const QString &text) { warnings << text; };
        speech->OnStart = [&](TSpeech *) { ++started; };
        QTest::ignoreMessage(QtWarningMsg, "espeak-ng: the sound device cannot play; the text "
                                           "is handed over");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("took the voice over"));
        speech->Speak(QStringLiteral("Первая фраза."));
        QTRY_COMPARE_WITH_TIMEOUT(standIn->spokenTexts(),
                                  QStringList{QStringLiteral("Первая фраза.")}, 20000);
        speech->Speak(QStringLiteral("Вторая."));
        QCOMPARE(standIn->spokenTexts().last(), QStringLiteral("Вторая."));
        // Nothing was reported as spoken by the device that could not play it.
        QCOMPARE(started, 0);
        QCOMPARE(warnings.size(), 1);
    }

    void shippedSettingsTakeTheDaemonsOwnVoiceAndStayAsTheyAre()
    {
        if (m_address.isEmpty())
            QSKIP("speech-dispatcher is not installed or did not start");
        QTemporaryDir program;
        SetProgramDir(program.path());
        const QString file = ConfigFilePath(QStringLiteral("speech.ini"));
        WriteBytes(
            file, ReadBytes(qEnvironmentVariable("TALVIN_SOURCE_DIR") + "/dist/config/speech.ini"));
        const QByteArray before = ReadBytes(file);
        for (bool daemon : {true, false}) {
            std::vector<std::unique_ptr<ISpeechEngine>> engines1, engines2;
            if (daemon) {
                engines1.push_back(TSpeechDispatcherEngine::connect(m_address, 10000));
                engines2.push_back(TSpeechDispatcherEngine::connect(m_address, 10000));
            }
            engines1.push_back(std::make_unique<TEspeakEngine>());
            engines2.push_back(std::make_unique<TEspeakEngine>());
            TSpeech speech1(std::move(engines1)), speech2(std::move(engines2));
            ConfigureSpeech(&speech1, &speech2);
            const QString wanted =
                daemon ? DaemonsOwnVoice : QStringLiteral("espeak-ng Russian (ru)");
            QCOMPARE(speech1.EngineInfo().ModeName, wanted);
            QCOMPARE(speech2.EngineInfo().ModeName, wanted);
            SaveSpeechConfiguration();
            QCOMPARE(ReadBytes(file), before);
        }
    }

    void daemonThatStopsAnsweringHandsOver()
    {
        if (m_address.isEmpty())
            QSKIP("speech-dispatcher is not installed or did not start");
        TRecordingSpeechEngine *standIn = nullptr;
        auto speech =
            voiceWithStandIn(TSpeechDispatcherEngine::connect(m_address, 10000), &standIn);
        speech->SelectEngine(DaemonsOwnVoice);
        speech->Speak(QStringLiteral("Пока слышно."));
        QTest::qWait(300);
        // Stopped, not gone: the connection stays open and no reply ever comes.
        ::kill(m_daemon, SIGSTOP);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("has not answered for 4 s"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("took the voice over"));
        speech->Speak(QStringLiteral("Первое."));
        speech->Speak(QStringLiteral("Второе."));
        QTRY_COMPARE_WITH_TIMEOUT(
            standIn->spokenTexts(),
            QStringList({QStringLiteral("Первое."), QStringLiteral("Второе.")}), 15000);
        speech->Speak(QStringLiteral("Третье."));
        QCOMPARE(standIn->spokenTexts().last(), QStringLiteral("Третье."));
        ::kill(m_daemon, SIGCONT);
    }
};

QTEST_GUILESS_MAIN(TestSpeechHandover)
#include "test_speech_handover.moc"
