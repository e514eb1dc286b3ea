#pragma once

#include <QList>
#include <QString>

#include <functional>

// The speech engine layer behind TSpeech. One ISpeechEngine object serves one voice (one
// TSpeech): it offers the modes (voices) of one synthesizer, speaks with the selected mode
// and keeps that voice's own speed, pitch and volume.

// Where speech goes: to a wave file (TSpeech::Filename) or to the default audio device.
enum TSpeechOutput { soFile, soGeneral };

// Description of one engine mode, shown to the user and kept by TSpeech for the selected
// mode. Numbers are in the engine's own units; limits are found by clamping (TSpeech).
struct TSpeechEngineInfo
{
    QString ModeName;
    QString Dialect;
    QString MfgName;
    QString ProductName;
    QString ModeID;
    QString EngineID;
    QString Speaker;
    QString Style;
    QString Gender; // "NEUTRAL", "FEMALE", "MALE" or empty
    quint32 Age = 0;
    quint32 Features = 0;
    quint32 Interfaces = 0;
    quint16 MaxPitch = 0;
    quint16 MinPitch = 0;
    quint32 MaxRealTime = 0;
    quint32 MinRealTime = 0;
    quint32 MaxSpeed = 0;
    quint32 MinSpeed = 0;
    quint32 MaxVolume = 100;
    quint32 MinVolume = 0;
};

// One mode an engine offers. name is what EngineNames lists; key is the engine's own
// identifier for it (voice name, module and language, ...).
struct TSpeechMode
{
    QString name;
    QString key;
    QString language; // e.g. "ru", used to find an equivalent voice for wave files
    TSpeechEngineInfo info;
};

class ISpeechEngine
{
public:
    virtual ~ISpeechEngine() = default;

    // Modes in a stable order. Called once, at TSpeech construction.
    virtual QList<TSpeechMode> modes() = 0;
    // Makes the mode current, resetting speed, pitch and volume to its defaults. Returns
    // false when the engine refuses.
    virtual bool select(const TSpeechMode &mode) = 0;
    // Whether the engine raises the start and stop notifications for every text (the
    // channel voice's queue counts on them to know how much is still to be said).
    virtual bool reportsProgress() const { return false; }
    // Whether the engine can write wave files itself (soFile output).
    virtual bool canWriteFiles() const { return false; }
    // Points the output at a wave file (soFile) or the audio device (soGeneral). Returns
    // false when the file cannot be written.
    virtual bool setOutput(TSpeechOutput output, const QString &fileName) = 0;

    // Queues plain text behind what is being said. Never blocks on the engine.
    virtual void speak(const QString &text) = 0;
    // Discards everything queued on this voice and stops the current utterance.
    virtual void stop() = 0;

    // Setters clamp to the engine's limits; getters return what the engine keeps.
    virtual void setPitch(quint16 pitch) = 0;
    virtual quint16 pitch() const = 0;
    virtual void setSpeed(quint32 speed) = 0;
    virtual quint32 speed() const = 0;
    // Volume as a stereo value: low 16 bits left, high 16 bits right channel.
    virtual void setVolume(quint32 volume) = 0;
    virtual quint32 volume() const = 0;
    // Real-time factor in percent of normal; engines without the notion keep 100.
    virtual void setRealTime(quint32) {}
    virtual quint32 realTime() const { return 100; }

    // True once the engine can no longer speak (its service went away); the voice then
    // speaks with its wave file engine in the same language instead.
    virtual bool broken() const { return false; }
    // Texts a broken engine could not speak, so that the voice can say them otherwise.
    // May be called from any thread.
    void setLostTexts(std::function<void(const QString &)> lost) { m_lost = std::move(lost); }

    // Audio start and stop notifications. They may be called from any thread; TSpeech
    // carries them over to its own thread.
    void setNotifications(std::function<void()> started, std::function<void()> stopped)
    {
        m_started = std::move(started);
        m_stopped = std::move(stopped);
    }

protected:
    void notifyStarted() const
    {
        if (m_started)
            m_started();
    }
    void notifyStopped() const
    {
        if (m_stopped)
            m_stopped();
    }
    void notifyLost(const QString &text) const
    {
        if (m_lost)
            m_lost(text);
    }

private:
    std::function<void()> m_started;
    std::function<void()> m_stopped;
    std::function<void(const QString &)> m_lost;
};
