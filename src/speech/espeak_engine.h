#pragma once

#include "speech/speech_engine.h"

#include <memory>

// espeak-ng through libespeak-ng: the fallback when speech-dispatcher cannot be reached,
// and the engine that writes wave files.
//
// libespeak-ng is one synthesizer per process, so every voice takes turns on it (the
// synthesis of a sentence takes milliseconds). Each voice has its own worker thread that
// synthesizes its queue one text at a time and then plays the samples or writes them to
// the wave file; the caller's thread never waits for either.
//
// Units: speed in words per minute (80..450), pitch 0..100, volume as a stereo value whose
// left channel sets the loudness.
class TEspeakEngine : public ISpeechEngine
{
public:
    TEspeakEngine();
    ~TEspeakEngine() override;

    // Whether libespeak-ng could be initialised (its voice data found).
    static bool available();

    QList<TSpeechMode> modes() override;
    // Takes a mode of this engine, or of another engine, in which case the voice of the
    // same language is used (wave files for a speech-dispatcher voice).
    bool select(const TSpeechMode &mode) override;
    bool canWriteFiles() const override { return true; }
    bool reportsProgress() const override { return true; }
    bool setOutput(TSpeechOutput output, const QString &fileName) override;
    void speak(const QString &text) override;
    void stop() override;
    void setPitch(quint16 pitch) override;
    quint16 pitch() const override;
    void setSpeed(quint32 speed) override;
    quint32 speed() const override;
    void setVolume(quint32 volume) override;
    quint32 volume() const override;
    // True while the sound device cannot play (no device, or it failed): texts meant for
    // it are handed back to the voice as lost, never reported as spoken.
    bool broken() const override;

    // Called by the worker thread.
    void notifyLostText(const QString &text);

private:
    struct Worker;
    std::shared_ptr<Worker> m_worker;
};
