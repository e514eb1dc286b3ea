// Event sounds: what is asked for reaches the installed player, and the real player never
// blocks or fails, with or without the file and an audio device.

#include "config/config_files.h"
#include "config/sound_effect_player.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct RecordingPlayer : IEventSoundPlayer
{
    QStringList played;
    void play(const QString &name) override { played << name; }
};

// A 0.1 s silent 8 kHz mono WAV.
QByteArray silentWav()
{
    const quint32 samples = 800;
    QByteArray data;
    auto u32 = [&](quint32 v) { data.append(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&](quint16 v) { data.append(reinterpret_cast<const char *>(&v), 2); };
    data += "RIFF";
    u32(36 + samples * 2);
    data += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    data += "data";
    u32(samples * 2);
    data += QByteArray(samples * 2, '\0');
    return data;
}
} // namespace

class TestEventSound : public QObject
{
    Q_OBJECT
private slots:
    void requestsReachTheInstalledPlayer()
    {
        PlayEventSound(QStringLiteral("connect")); // no player: silently nothing
        RecordingPlayer recorder;
        SetEventSoundPlayer(&recorder);
        PlayEventSound(QStringLiteral("recive"));
        PlayEventSound(QStringLiteral("Kiked"));
        SetEventSoundPlayer(nullptr);
        PlayEventSound(QStringLiteral("send"));
        QCOMPARE(recorder.played, (QStringList{QStringLiteral("recive"), QStringLiteral("Kiked")}));
    }

    void soundPathIsInConfigDirectory()
    {
        SetProgramDir(QStringLiteral("/opt/talvin"));
        QCOMPARE(EventSoundPath(QStringLiteral("Startmaster")),
                 QStringLiteral("/opt/talvin/config/Startmaster.wav"));
    }

    void realPlayerReturnsWithAndWithoutFile()
    {
        QTemporaryDir dir;
        SetProgramDir(dir.path());
        QVERIFY(QDir().mkpath(dir.path() + "/config"));
        QFile wav(EventSoundPath(QStringLiteral("msgbox")));
        QVERIFY(wav.open(QIODevice::WriteOnly));
        wav.write(silentWav());
        wav.close();

        SoundEffectPlayer player;
        SetEventSoundPlayer(&player);
        for (int i = 0; i < 20; ++i)
            PlayEventSound(QStringLiteral("msgbox"));
        PlayEventSound(QStringLiteral("no-such-sound"));
        QTest::qWait(50); // let the backend load; it must neither crash nor block
        SetEventSoundPlayer(nullptr);
    }
};

QTEST_MAIN(TestEventSound)
#include "test_event_sound.moc"
