#pragma once

#include "base/exception.h"
#include "speech/speech_engine.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// The component's own errors; the message is exactly one of "msgSENotInited",
// "msgSENotFound", "msgSENotStarted", "msgCannotOpenFile".
class ESpeechException : public ETalvinError
{
public:
    using ETalvinError::ETalvinError;
};

// One voice of the program. Every spoken word leaves through Speak: the text goes through
// the shared text filters (speech_filters.h) and is queued on the selected engine mode.
//
// Usage: construct; SelectEngine(one of EngineNames()); SetSpeed/SetPitch/SetVolume as
// wanted; then any number of Speak/Stop. All calls come from the thread that owns the
// object (the UI thread); OnStart/OnStop are delivered there too.
//
// Tests build a voice over a TRecordingSpeechEngine (recording_speech_engine.h) and read
// back exactly what was handed to the engine.
class TSpeech : public QObject
{
public:
    // The real engines: speech-dispatcher when it answers within 2 seconds, and espeak-ng
    // (used alone when speech-dispatcher is not reachable, and for wave files). Names read
    // "speech-dispatcher <module>: <voice>" and "espeak-ng <voice> (<language>)".
    explicit TSpeech(QObject *parent = nullptr);
    // Over the given engines (tests, benchmarks). EngineNames lists the Russian voices of
    // all engines first, then the others, each group in the engines' order.
    explicit TSpeech(std::unique_ptr<ISpeechEngine> engine, QObject *parent = nullptr);
    explicit TSpeech(std::vector<std::unique_ptr<ISpeechEngine>> engines,
                     QObject *parent = nullptr);
    ~TSpeech() override;

    // Selects the mode named (letter case ignored, first match wins) and fills EngineInfo.
    // Raises ESpeechException "msgSENotInited" or "msgSENotFound".
    void SelectEngine(const QString &name);

    // Filters the text and queues it behind what is being said. Returns at once. An empty
    // text does nothing. Raises "msgSENotInited", "msgSENotStarted", "msgCannotOpenFile".
    void Speak(const QString &text);
    // Discards everything queued on this voice and stops the current utterance.
    void Stop();

    // Shared filter tables (all voices): see speech_filters.h.
    void LoadSingleRules(const QString &fileName);
    void LoadMultiRules(const QString &fileName);

    quint16 Pitch() const;
    void SetPitch(quint16 pitch);
    quint32 Speed() const;
    void SetSpeed(quint32 speed);
    // Percent, 0 to 100 (more counts as 100).
    quint32 Volume() const;
    void SetVolume(quint32 percent);

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool Inited() const { return m_inited; }
    bool EngineSelected() const { return m_engineSelected; }
    const QStringList &EngineNames() const { return m_engineNames; }
    const TSpeechEngineInfo &EngineInfo() const { return m_engineInfo; }
    TSpeechOutput Output() const { return m_output; }
    // Whether the engine now speaking for this voice reports the start and end of every text.
    bool ReportsProgress() const;
    void SetOutput(TSpeechOutput output);
    QString Filename() const { return m_filename; }
    void SetFilename(const QString &fileName) { m_filename = fileName; }
    QStringList &Text() { return m_text; }
    QString Version() const { return QStringLiteral("TSpeech 1.0"); }
    quint32 WordPosition() const { return m_wordPosition; }

    // 1 for the interface voice, 2 for the channel voice: the number that starts this
    // voice's lines in the speech transcript <ProgramDir>/log/speech.txt.
    int VoiceNumber() const { return m_voiceNumber; }
    void SetVoiceNumber(int number) { m_voiceNumber = number; }

    // Notifications, raised on the owning thread only when set.
    std::function<void(TSpeech *sender, quint32 attribute)> OnAttribChanged;
    std::function<void(TSpeech *sender, qint32 code, const QString &message)> OnError;
    std::function<void(TSpeech *sender)> OnStart;
    std::function<void(TSpeech *sender)> OnStop;
    // Also raised (code 0) when the selected engine broke down and another one took the
    // voice over, or when none could.
    std::function<void(TSpeech *sender, qint32 code, const QString &message)> OnWarning;
    std::function<void(TSpeech *sender, quint32 hints, const void *mouth)> OnVisual;

private:
    void enumerate();
    void putRussianFirst();
    void probeLimits();
    ISpeechEngine *engineForOutput();
    ISpeechEngine *standIn();
    void speakLostText(const QString &text);
    void appendTranscript(const QString &line) const;

    std::vector<std::unique_ptr<ISpeechEngine>> m_engines;
    QList<TSpeechMode> m_modes;
    QList<int> m_modeEngine; // index into m_engines for each mode
    int m_selected = -1;     // index into m_modes
    ISpeechEngine *m_fileEngine = nullptr;
    ISpeechEngine *m_standIn = nullptr; // speaks while the selected engine is broken
    bool m_aloneReported = false;       // that no engine could take over was reported

    bool m_enabled = true;
    bool m_inited = false;
    bool m_engineSelected = false;
    QStringList m_engineNames;
    TSpeechEngineInfo m_engineInfo;
    TSpeechOutput m_output = soGeneral;
    QString m_filename;
    QStringList m_text;
    quint32 m_wordPosition = 0;
    int m_voiceNumber = 1;
};
