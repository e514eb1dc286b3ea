// Real espeak-ng synthesis to wave files through TSpeech: a Russian sentence gives a
// sane, audible file; a higher speed a shorter one; an unwritable file is refused.

#include "speech/espeak_engine.h"
#include "speech/tspeech.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>

namespace {

struct Wave
{
    bool valid = false;
    int rate = 0;
    int channels = 0;
    int bits = 0;
    double seconds = 0;
    double rms = 0; // of samples scaled to -1..1
};

quint32 le(const QByteArray &bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

Wave readWave(const QString &path)
{
    Wave wave;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return wave;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 44 || !bytes.startsWith("RIFF") || bytes.mid(8, 8) != "WAVEfmt " ||
        bytes.mid(36, 4) != "data")
        return wave;
    wave.channels = int(le(bytes, 22, 2));
    wave.rate = int(le(bytes, 24, 4));
    wave.bits = int(le(bytes, 34, 2));
    const quint32 dataBytes = le(bytes, 40, 4);
    if (dataBytes != quint32(bytes.size() - 44) || le(bytes, 4, 4) != 36 + dataBytes)
        return wave;
    const qsizetype count = dataBytes / 2;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const double sample = qint16(le(bytes, int(44 + 2 * i), 2)) / 32768.0;
        sum += sample * sample;
    }
    wave.seconds = wave.rate ? double(count) / wave.rate : 0;
    wave.rms = count ? std::sqrt(sum / count) : 0;
    wave.valid = true;
    return wave;
}

} // namespace

class TestEspeakEngine : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    const QString m_sentence = QStringLiteral("Привет, мир. Талвин читает сообщения канала вслух.");

    // Speaks into the file and waits until the engine reports the end.
    Wave speakToFile(TSpeech &speech, const QString &name)
    {
        int stops = 0;
        speech.OnStop = [&](TSpeech *) { ++stops; };
        speech.SetOutput(soFile);
        speech.SetFilename(m_dir.filePath(name));
        speech.Speak(m_sentence);
        if (!QTest::qWaitFor([&] { return stops == 1; }, 20000))
            qWarning("no end of speech reported");
        return readWave(m_dir.filePath(name));
    }

private slots:
    void initTestCase()
    {
        if (!TEspeakEngine::available())
            QSKIP("libespeak-ng has no voice data on this machine (package espeak-ng-data)");
    }

    void russianVoiceListed()
    {
        TSpeech speech(std::make_unique<TEspeakEngine>());
        QVERIFY(speech.EngineNames().contains(QStringLiteral("espeak-ng Russian (ru)")));
        QVERIFY(speech.EngineNames().size() > 50);
        // Russian voices lead (a voice whose stored name is not installed falls back to
        // the first or third entry); the rest follow by name.
        QCOMPARE(speech.EngineNames().first(), QStringLiteral("espeak-ng Russian (ru)"));
        const QStringList rest = speech.EngineNames().mid(2);
        QVERIFY(std::all_of(speech.EngineNames().begin(), speech.EngineNames().begin() + 2,
                            [](const QString &n) { return n.startsWith("espeak-ng Russian"); }));
        QVERIFY(std::is_sorted(rest.begin(), rest.end()));
        speech.SelectEngine(QStringLiteral("espeak-ng russian (RU)"));
        QCOMPARE(speech.EngineInfo().EngineID, QStringLiteral("espeak-ng"));
        QCOMPARE(speech.EngineInfo().Dialect, QStringLiteral("ru"));
        QCOMPARE(speech.EngineInfo().MinSpeed, 80u);
        QCOMPARE(speech.EngineInfo().MaxSpeed, 450u);
        QCOMPARE(speech.EngineInfo().MaxPitch, quint16(100));
        QCOMPARE(speech.Speed(), 175u);
        QCOMPARE(speech.Pitch(), quint16(50));
        QCOMPARE(speech.Volume(), 100u);
    }

    void russianSentenceToWaveFile()
    {
        TSpeech speech(std::make_unique<TEspeakEngine>());
        speech.SelectEngine(QStringLiteral("espeak-ng Russian (ru)"));
        const Wave normal = speakToFile(speech, QStringLiteral("normal.wav"));
        QVERIFY(normal.valid);
        QCOMPARE(normal.channels, 1);
        QCOMPARE(normal.bits, 16);
        QCOMPARE(normal.rate, 22050);
        QVERIFY2(normal.seconds > 1.5 && normal.seconds < 10,
                 qPrintable(QString::number(normal.seconds)));
        QVERIFY2(normal.rms > 0.02, qPrintable(QString::number(normal.rms)));

        speech.SetSpeed(350);
        const Wave fast = speakToFile(speech, QStringLiteral("fast.wav"));
        QVERIFY(fast.valid);
        QVERIFY2(fast.seconds < normal.seconds * 0.75,
                 qPrintable(QStringLiteral("%1 vs %2").arg(fast.seconds).arg(normal.seconds)));

        speech.SetSpeed(175);
        speech.SetVolume(20);
        const Wave quiet = speakToFile(speech, QStringLiteral("quiet.wav"));
        QVERIFY(quiet.valid);
        QVERIFY2(quiet.rms < normal.rms * 0.5,
                 qPrintable(QStringLiteral("%1 vs %2").arg(quiet.rms).arg(normal.rms)));
    }

    void twoVoicesKeepTheirOwnSpeed()
    {
        // One synthesizer serves both voices; each text must still get its own voice's
        // settings when the two speak at once.
        TSpeech slow(std::make_unique<TEspeakEngine>());
        TSpeech fast(std::make_unique<TEspeakEngine>());
        int stops = 0;
        for (TSpeech *speech : {&slow, &fast}) {
            speech->SelectEngine(QStringLiteral("espeak-ng Russian (ru)"));
            speech->SetOutput(soFile);
            speech->OnStop = [&](TSpeech *) { ++stops; };
        }
        slow.SetSpeed(80);
        fast.SetSpeed(450);
        for (int i = 0; i < 3; ++i) {
            slow.SetFilename(m_dir.filePath(QStringLiteral("slow%1.wav").arg(i)));
            slow.Speak(m_sentence);
            fast.SetFilename(m_dir.filePath(QStringLiteral("fast%1.wav").arg(i)));
            fast.Speak(m_sentence);
        }
        QTRY_COMPARE_WITH_TIMEOUT(stops, 6, 30000);
        for (int i = 0; i < 3; ++i) {
            const Wave s = readWave(m_dir.filePath(QStringLiteral("slow%1.wav").arg(i)));
            const Wave f = readWave(m_dir.filePath(QStringLiteral("fast%1.wav").arg(i)));
            QVERIFY(s.valid && f.valid);
            QVERIFY2(f.seconds * 2 < s.seconds,
                     qPrintable(QStringLiteral("%1 vs %2").arg(f.seconds).arg(s.seconds)));
        }
    }

    void markupIsSpokenAsText()
    {
        // With markup obeyed, the tags would be silent; read as text they take time.
        TSpeech speech(std::make_unique<TEspeakEngine>());
        speech.SelectEngine(QStringLiteral("espeak-ng Russian (ru)"));
        int stops = 0;
        speech.OnStop = [&](TSpeech *) { ++stops; };
        speech.SetOutput(soFile);
        speech.SetFilename(m_dir.filePath("plain.wav"));
        speech.Speak(QStringLiteral("a"));
        QTRY_COMPARE_WITH_TIMEOUT(stops, 1, 20000);
        speech.SetFilename(m_dir.filePath("tags.wav"));
        speech.Speak(QStringLiteral("<speak><break time=\"1ms\"/>a</speak>"));
        QTRY_COMPARE_WITH_TIMEOUT(stops, 2, 20000);
        QVERIFY(readWave(m_dir.filePath("tags.wav")).seconds >
                readWave(m_dir.filePath("plain.wav")).seconds + 0.5);
    }

    void unwritableFileRefused()
    {
        TSpeech speech(std::make_unique<TEspeakEngine>());
        speech.SelectEngine(QStringLiteral("espeak-ng Russian (ru)"));
        speech.SetOutput(soFile);
        speech.SetFilename(m_dir.filePath("no/such/dir/out.wav"));
        try {
            speech.Speak(m_sentence);
            QFAIL("no error");
        } catch (const ESpeechException &e) {
            QCOMPARE(e.message(), QStringLiteral("msgCannotOpenFile"));
        }
    }

    void stopDiscardsQueuedTexts()
    {
        TSpeech speech(std::make_unique<TEspeakEngine>());
        speech.SelectEngine(QStringLiteral("espeak-ng Russian (ru)"));
        int stops = 0;
        speech.OnStop = [&](TSpeech *) { ++stops; };
        speech.SetOutput(soFile);
        for (int i = 0; i < 20; ++i) {
            speech.SetFilename(m_dir.filePath(QStringLiteral("q%1.wav").arg(i)));
            speech.Speak(m_sentence);
        }
        speech.Stop();
        speech.SetFilename(m_dir.filePath("after.wav"));
        speech.Speak(QStringLiteral("после остановки"));
        // The text after Stop is still spoken, and most of the twenty never were.
        QTRY_VERIFY_WITH_TIMEOUT(readWave(m_dir.filePath("after.wav")).seconds > 0.3, 20000);
        QTest::qWait(100);
        QVERIFY2(stops < 20, qPrintable(QString::number(stops)));
    }

    void soundDeviceOutputNeverBlocks()
    {
        // Without a sound card this is silent; either way the caller goes on at once and
        // the engine reports the end.
        TSpeech speech(std::make_unique<TEspeakEngine>());
        speech.SelectEngine(QStringLiteral("espeak-ng Russian (ru)"));
        int stops = 0;
        speech.OnStop = [&](TSpeech *) { ++stops; };
        speech.Speak(QStringLiteral("Проверка звука"));
        QTRY_COMPARE_WITH_TIMEOUT(stops, 1, 30000);
    }
};

QTEST_GUILESS_MAIN(TestEspeakEngine)
#include "test_espeak_engine.moc"
