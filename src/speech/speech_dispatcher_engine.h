#pragma once

#include "speech/speech_engine.h"

#include <QByteArray>

#include <memory>

// speech-dispatcher through libspeechd: the desktop's own speech service, with the
// synthesizers the user installed. One connection per voice, so each voice keeps its own
// synthesizer, voice, rate, pitch and volume.
//
// A daemon that hangs blocks the calling thread inside libspeechd, so every call runs on
// the connection's worker thread; the caller's thread only queues requests. Connecting is
// given up after a time-out and the worker abandoned if it is still stuck.
//
// Units: speed and pitch 0..200 (100 is the synthesizer's normal), volume as a stereo value
// whose left channel sets the loudness.
class TSpeechDispatcherEngine : public ISpeechEngine
{
public:
    // Connects within timeoutMs or returns null. address is a speech-dispatcher address
    // such as "unix_socket:/path"; empty means the user's default (SPEECHD_ADDRESS or the
    // standard socket, started on demand). Once an address has failed, later attempts for
    // it in this process fail at once, so a second voice does not wait again.
    static std::unique_ptr<TSpeechDispatcherEngine> connect(const QByteArray &address,
                                                            int timeoutMs);
    // The first mode listed: the synthesizer and voice the user configured for
    // speech-dispatcher itself, speaking Russian.
    static inline const QString DefaultVoiceName =
        QStringLiteral("speech-dispatcher default voice (ru)");
    ~TSpeechDispatcherEngine() override;

    QList<TSpeechMode> modes() override;
    bool select(const TSpeechMode &mode) override;
    // A connection is used only once the daemon has agreed to report every message.
    bool reportsProgress() const override { return true; }
    bool setOutput(TSpeechOutput output, const QString &fileName) override;
    void speak(const QString &text) override;
    void stop() override;
    void setPitch(quint16 pitch) override;
    quint16 pitch() const override { return m_pitch; }
    void setSpeed(quint32 speed) override;
    quint32 speed() const override { return m_speed; }
    void setVolume(quint32 volume) override;
    quint32 volume() const override { return m_volume; }
    bool broken() const override;

    struct Connection;
    // Called by the daemon's callback thread and the connection's thread.
    void notifyFromDaemon(bool started);
    void notifyLostText(const QString &text);

private:
    explicit TSpeechDispatcherEngine(std::shared_ptr<Connection> connection);

    std::shared_ptr<Connection> m_connection;
    quint16 m_pitch = 100;
    quint32 m_speed = 100;
    quint32 m_volume = 0xFFFFFFFFu;
};
