#pragma once

#include "speech/speech_engine.h"
#include "speech/tspeech.h"

#include <QStringList>

#include <memory>

// An engine that speaks nothing and records every call in order, for tests. It offers
// three modes, "Recording voice 1" to "Recording voice 3", with the limits of a typical
// engine (speed 50..400, pitch 0..200), so voices and settings panels behave as with a
// real one.
//
//     auto voice = MakeRecordedVoice();          // ready: first mode selected
//     voice.speech->Speak("Привет");
//     voice.speech->Stop();
//     QCOMPARE(voice.recording->speakAndStop(), QStringList({"Привет", "<stop>"}));
class TRecordingSpeechEngine : public ISpeechEngine
{
public:
    enum class CallKind { Select, Output, Speak, Stop, Pitch, Speed, Volume };
    struct Call
    {
        CallKind kind;
        QString text;      // Speak: the text as handed over (after the filters);
                           // Select: the mode name; Output: the file name
        quint32 value = 0; // Pitch, Speed, Volume (raw stereo value), Output (TSpeechOutput)
    };

    // Every call in order.
    const QList<Call> &calls() const { return m_calls; }
    // Only the Speak and Stop calls in order: each spoken text, and "<stop>" for a Stop.
    QStringList speakAndStop() const;
    // Only the spoken texts in order.
    QStringList spokenTexts() const;
    void clear() { m_calls.clear(); }

    // Simulated audio: when on (default off), every speak raises the start and the stop
    // notification at once, as an engine that speaks instantly would.
    void setAutoNotify(bool on) { m_autoNotify = on; }
    bool reportsProgress() const override { return m_autoNotify; }

    QList<TSpeechMode> modes() override;
    bool select(const TSpeechMode &mode) override;
    bool canWriteFiles() const override { return true; }
    bool setOutput(TSpeechOutput output, const QString &fileName) override;
    void speak(const QString &text) override;
    void stop() override;
    void setPitch(quint16 pitch) override;
    quint16 pitch() const override { return m_pitch; }
    void setSpeed(quint32 speed) override;
    quint32 speed() const override { return m_speed; }
    void setVolume(quint32 volume) override;
    quint32 volume() const override { return m_volume; }

private:
    QList<Call> m_calls;
    bool m_autoNotify = false;
    TSpeechOutput m_output = soGeneral;
    QString m_fileName;
    quint16 m_pitch = 100;
    quint32 m_speed = 170;
    quint32 m_volume = 0xFFFFFFFFu;
};

// A voice for tests: a TSpeech over a fresh recording engine with its first mode
// selected. The voice owns the engine; recording stays valid as long as speech lives.
struct TRecordedVoice
{
    std::unique_ptr<TSpeech> speech;
    TRecordingSpeechEngine *recording = nullptr;
};
TRecordedVoice MakeRecordedVoice(int voiceNumber = 1, QObject *parent = nullptr);
