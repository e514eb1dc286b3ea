#include "speech/recording_speech_engine.h"

#include <algorithm>

QStringList TRecordingSpeechEngine::speakAndStop() const
{
    QStringList result;
    for (const Call &call : m_calls) {
        if (call.kind == CallKind::Speak)
            result.append(call.text);
        else if (call.kind == CallKind::Stop)
            result.append(QStringLiteral("<stop>"));
    }
    return result;
}

QStringList TRecordingSpeechEngine::spokenTexts() const
{
    QStringList result;
    for (const Call &call : m_calls) {
        if (call.kind == CallKind::Speak)
            result.append(call.text);
    }
    return result;
}

QList<TSpeechMode> TRecordingSpeechEngine::modes()
{
    QList<TSpeechMode> result;
    for (int i = 1; i <= 3; ++i) {
        TSpeechMode mode;
        mode.name = QStringLiteral("Recording voice %1").arg(i);
        mode.key = QString::number(i);
        mode.language = QStringLiteral("ru");
        mode.info.Dialect = QStringLiteral("ru");
        mode.info.MfgName = QStringLiteral("Talvin");
        mode.info.ProductName = QStringLiteral("Recording engine");
        mode.info.ModeID = QStringLiteral("recording-%1").arg(i);
        mode.info.EngineID = QStringLiteral("recording");
        mode.info.Speaker = mode.name;
        mode.info.Gender = QStringLiteral("NEUTRAL");
        result.append(mode);
    }
    return result;
}

bool TRecordingSpeechEngine::select(const TSpeechMode &mode)
{
    m_calls.append({CallKind::Select, mode.name, 0});
    m_pitch = 100;
    m_speed = 170;
    m_volume = 0xFFFFFFFFu;
    return true;
}

bool TRecordingSpeechEngine::setOutput(TSpeechOutput output, const QString &fileName)
{
    // Only changes are worth recording; TSpeech points the output before every text.
    if (output != m_output || fileName != m_fileName) {
        m_output = output;
        m_fileName = fileName;
        m_calls.append({CallKind::Output, fileName, quint32(output)});
    }
    return true;
}

void TRecordingSpeechEngine::speak(const QString &text)
{
    m_calls.append({CallKind::Speak, text, 0});
    if (m_autoNotify) {
        notifyStarted();
        notifyStopped();
    }
}

void TRecordingSpeechEngine::stop()
{
    m_calls.append({CallKind::Stop, QString(), 0});
}

void TRecordingSpeechEngine::setPitch(quint16 pitch)
{
    m_pitch = std::clamp<quint16>(pitch, 0, 200);
    m_calls.append({CallKind::Pitch, QString(), m_pitch});
}

void TRecordingSpeechEngine::setSpeed(quint32 speed)
{
    m_speed = std::clamp<quint32>(speed, 50, 400);
    m_calls.append({CallKind::Speed, QString(), m_speed});
}

void TRecordingSpeechEngine::setVolume(quint32 volume)
{
    m_volume = volume;
    m_calls.append({CallKind::Volume, QString(), m_volume});
}

TRecordedVoice MakeRecordedVoice(int voiceNumber, QObject *parent)
{
    auto engine = std::make_unique<TRecordingSpeechEngine>();
    TRecordedVoice voice;
    voice.recording = engine.get();
    voice.speech = std::make_unique<TSpeech>(std::move(engine), parent);
    voice.speech->SetVoiceNumber(voiceNumber);
    voice.speech->SelectEngine(voice.speech->EngineNames().first());
    voice.recording->clear();
    return voice;
}
