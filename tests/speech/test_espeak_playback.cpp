// espeak-ng speaking to a sound device: ALSA's null device stands in for a sound card, so
// the playback path runs (open, write in pieces, drain, release).

#include "speech/espeak_engine.h"
#include "speech/tspeech.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestEspeakPlayback : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        if (!TEspeakEngine::available())
            QSKIP("libespeak-ng has no voice data on this machine (package espeak-ng-data)");
        // Before anything opens a device: ALSA reads ~/.asoundrc once.
        QFile rc(m_home.filePath(".asoundrc"));
        QVERIFY(rc.open(QIODevice::WriteOnly));
        rc.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
        rc.close();
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("PULSE_SERVER", "unix:" + m_home.filePath("no-pulse").toUtf8());
    }

    void speaksAndStops()
    {
        TSpeech speech(std::make_unique<TEspeakEngine>());
        speech.SelectEngine(QStringLiteral("espeak-ng Russian (ru)"));
        QStringList events;
        speech.OnStart = [&](TSpeech *) { events << "start"; };
        speech.OnStop = [&](TSpeech *) { events << "stop"; };
        speech.Speak(QStringLiteral("Короткая фраза."));
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList({"start", "stop"}), 20000);

        // Texts queued behind each other are played in turn, each with its notifications;
        // the device is let go and opened again between them.
        events.clear();
        for (int i = 0; i < 3; ++i)
            speech.Speak(QStringLiteral("Сообщение номер %1.").arg(i + 1));
        QTRY_COMPARE_WITH_TIMEOUT(events.size(), 6, 20000);
        QCOMPARE(events, QStringList({"start", "stop", "start", "stop", "start", "stop"}));

        events.clear();
        speech.Stop();
        speech.Speak(QStringLiteral("После остановки."));
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList({"start", "stop"}), 20000);
    }
};

QTEST_GUILESS_MAIN(TestEspeakPlayback)
#include "test_espeak_playback.moc"
