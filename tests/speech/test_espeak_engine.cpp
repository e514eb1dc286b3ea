// Real espeak-ng through TSpeech: a Russian sentence to a sane wave file, faster and quieter
// when asked, two voices at once each with its own speed, markup read as text, Stop, an
// unwritable file; ALSA's null device standing in for a sound card; and start-up without a
// working speech-dispatcher (a dead address, a daemon that never answers).

#include "speech/espeak_engine.h"
#include "speech/speech_dispatcher_engine.h"
#include "speech/tspeech.h"

#include "file_bytes.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>

namespace {

const QString Russian = "espeak-ng Russian (ru)";
const QByteArray NullSound = "pcm.!default { type null }\nctl.!default { type hw card 0 }\n";
const QString Sentence = "Привет, мир. Талвин читает сообщения канала вслух.";

struct Wave
{
    bool valid = false;
    int rate = 0;
    double seconds = 0, rms = 0; // of samples scaled to -1..1
};

Wave readWave(const QString &path)
{
    Wave wave;
    const QByteArray bytes = ReadBytes(path);
    const char *data = bytes.constData();
    const auto u32 = [data](int at) { return qFromLittleEndian<quint32>(data + at); };
    if (bytes.size() < 44 || !bytes.startsWith("RIFF") || bytes.mid(8, 8) != "WAVEfmt " ||
        bytes.mid(36, 4) != "data" || u32(40) != quint32(bytes.size() - 44) ||
        u32(4) != 36 + u32(40) || u32(20) != 0x10001 || qFromLittleEndian<quint16>(data + 34) != 16)
        return wave; // not PCM, mono, 16 bits
    wave.rate = int(u32(24));
    const qsizetype count = u32(40) / 2;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += std::pow(qFromLittleEndian<qint16>(data + 44 + 2 * i) / 32768.0, 2);
    wave.seconds = wave.rate ? double(count) / wave.rate : 0;
    wave.rms = count ? std::sqrt(sum / count) : 0;
    wave.valid = wave.rate > 0;
    return wave;
}

bool hasDispatcherVoices(const TSpeech &speech)
{
    return !speech.EngineNames().filter(QRegularExpression("^speech-dispatcher")).isEmpty();
}

} // namespace

class TestEspeakEngine : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // A Russian voice writing files; counts the ends of speech it reports.
    std::unique_ptr<TSpeech> fileVoice(int *stops)
    {
        auto speech = std::make_unique<TSpeech>(std::make_unique<TEspeakEngine>());
        speech->SelectEngine(Russian);
        speech->SetOutput(soFile);
        speech->OnStop = [stops](TSpeech *) { ++*stops; };
        return speech;
    }
    Wave speakToFile(TSpeech &speech, int *stops, const QString &name,
                     const QString &text = Sentence)
    {
        const int before = *stops;
        speech.SetFilename(m_dir.filePath(name));
        speech.Speak(text);
        if (!QTest::qWaitFor([&] { return *stops == before + 1; }, 20000))
            qWarning("no end of speech reported");
        return readWave(m_dir.filePath(name));
    }

private slots:
    void initTestCase()
    {
        if (!TEspeakEngine::available())
            QSKIP("libespeak-ng has no voice data on this machine (package espeak-ng-data)");
        // Before anything opens a sound device: ALSA reads ~/.asoundrc once.
        QVERIFY(WriteBytes(m_dir.filePath(".asoundrc"), NullSound));
        qputenv("HOME", m_dir.path().toUtf8());
        qputenv("PULSE_SERVER", "unix:" + m_dir.filePath("no-pulse").toUtf8());
    }

    void russianVoicesLeadTheList()
    {
        TSpeech speech(std::make_unique<TEspeakEngine>());
        const QStringList names = speech.EngineNames();
        // Russian voices lead (a voice whose stored name is not installed falls back to the
        // first or third entry); the rest follow by name.
        QCOMPARE(names.value(0), Russian);
        QVERIFY(names.value(1).startsWith("espeak-ng Russian") && names.size() > 50);
        QVERIFY(std::is_sorted(names.begin() + 2, names.end()));
        speech.SelectEngine("espeak-ng russian (RU)");
        QCOMPARE(speech.EngineInfo().Dialect, "ru");
        QCOMPARE(speech.EngineInfo().MaxSpeed, 450u);
        QCOMPARE(speech.Speed(), 175u);
    }

    void russianSentenceToWaveFiles()
    {
        int stops = 0;
        auto speech = fileVoice(&stops);
        const Wave normal = speakToFile(*speech, &stops, "normal.wav");
        QVERIFY(normal.valid && normal.rate == 22050);
        QVERIFY2(normal.seconds > 1.5 && normal.seconds < 10 && normal.rms > 0.02,
                 qPrintable(QString("%1 s, rms %2").arg(normal.seconds).arg(normal.rms)));
        speech->SetVolume(20); // faster: twoVoicesKeepTheirOwnSpeed
        const Wave quiet = speakToFile(*speech, &stops, "quiet.wav");
        QVERIFY2(quiet.rms < normal.rms * 0.5, qPrintable(QString::number(quiet.rms)));
        // With markup obeyed, the tags would be silent; read as text they take time.
        const Wave plain = speakToFile(*speech, &stops, "plain.wav", "a");
        const Wave tags =
            speakToFile(*speech, &stops, "tags.wav", "<speak><break time=\"1ms\"/>a</speak>");
        QVERIFY(tags.seconds > plain.seconds + 0.5);

        speech->SetFilename(m_dir.filePath("no/such/dir/out.wav"));
        try {
            speech->Speak(Sentence);
            QFAIL("no error");
        } catch (const ESpeechException &e) {
            QCOMPARE(e.message(), "msgCannotOpenFile");
        }
    }

    void twoVoicesKeepTheirOwnSpeed()
    {
        // One synthesizer serves both voices; each text must still get its own voice's
        // settings when the two speak at once.
        int stops = 0;
        auto slow = fileVoice(&stops);
        auto fast = fileVoice(&stops);
        slow->SetSpeed(80);
        fast->SetSpeed(450);
        for (int i = 0; i < 3; ++i) {
            slow->SetFilename(m_dir.filePath(QString("slow%1.wav").arg(i)));
            slow->Speak(Sentence);
            fast->SetFilename(m_dir.filePath(QString("fast%1.wav").arg(i)));
            fast->Speak(Sentence);
        }
        QTRY_COMPARE_WITH_TIMEOUT(stops, 6, 30000);
        for (int i = 0; i < 3; ++i) {
            const Wave s = readWave(m_dir.filePath(QString("slow%1.wav").arg(i)));
            const Wave f = readWave(m_dir.filePath(QString("fast%1.wav").arg(i)));
            QVERIFY2(s.valid && f.valid && f.seconds * 2 < s.seconds,
                     qPrintable(QString("%1 vs %2").arg(f.seconds).arg(s.seconds)));
        }
    }

    void stopDiscardsQueuedTexts()
    {
        int stops = 0;
        auto speech = fileVoice(&stops);
        for (int i = 0; i < 20; ++i) {
            speech->SetFilename(m_dir.filePath(QString("q%1.wav").arg(i)));
            speech->Speak(Sentence);
        }
        speech->Stop();
        // The text after Stop is still spoken, and most of the twenty never were.
        speech->SetFilename(m_dir.filePath("after.wav"));
        speech->Speak("после остановки");
        QTRY_VERIFY_WITH_TIMEOUT(readWave(m_dir.filePath("after.wav")).seconds > 0.3, 20000);
        QTest::qWait(100);
        QVERIFY2(stops < 20, qPrintable(QString::number(stops)));
    }

    void soundDevicePlaysTextsInTurn()
    {
        // Open, write in pieces, drain and release the device for each text, with its
        // notifications; the caller never waits.
        TSpeech speech(std::make_unique<TEspeakEngine>());
        speech.SelectEngine(Russian);
        QStringList events;
        speech.OnStart = [&](TSpeech *) { events << "start"; };
        speech.OnStop = [&](TSpeech *) { events << "stop"; };
        for (int i = 0; i < 3; ++i)
            speech.Speak(QString("Сообщение номер %1.").arg(i + 1));
        QTRY_COMPARE_WITH_TIMEOUT(events.size(), 6, 20000);
        QCOMPARE(events, QStringList({"start", "stop", "start", "stop", "start", "stop"}));
        events.clear();
        speech.Stop();
        speech.Speak("После остановки.");
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList({"start", "stop"}), 20000);
    }

    void deadDispatcherAddressFallsBackToEspeak()
    {
        qputenv("SPEECHD_ADDRESS",
                "unix_socket:" + m_dir.filePath("no/such/dir/speechd.sock").toUtf8());
        // libspeechd may first try to start a daemon there; either way it is given up.
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression("speech-dispatcher (not reachable|did not answer within 2000 ms)"));
        TSpeech first;
        QVERIFY(first.Inited() && !hasDispatcherVoices(first));
        QCOMPARE(first.EngineNames().value(0), Russian);
        first.SelectEngine(Russian);
        first.Speak("Говорит запасной голос.");
        // The second voice does not try the dead address again (no second warning).
        TSpeech second;
        QCOMPARE(second.EngineNames(), first.EngineNames());
    }

    void silentDispatcherIsGivenUp()
    {
        // A socket that accepts connections (the kernel queues them) but never answers, like
        // a daemon stuck on a missing sound card.
        const QByteArray path = m_dir.filePath("silent.sock").toUtf8();
        const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof(address.sun_path));
        QVERIFY(::bind(silent, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 &&
                ::listen(silent, 16) == 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("did not answer within 300 ms"));
        QVERIFY(!TSpeechDispatcherEngine::connect("unix_socket:" + path, 300));
        QVERIFY(
            !TSpeechDispatcherEngine::connect("unix_socket:" + path, 60000)); // remembered, no wait
        // The same through the default address, as the program starts.
        qputenv("SPEECHD_ADDRESS", "unix_socket:" + path);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("did not answer within 2000 ms"));
        TSpeech speech;
        QVERIFY(!hasDispatcherVoices(speech) && speech.EngineNames().contains(Russian));
        ::close(silent);
    }
};

QTEST_GUILESS_MAIN(TestEspeakEngine)
#include "test_espeak_engine.moc"
