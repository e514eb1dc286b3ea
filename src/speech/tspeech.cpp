#include "speech/tspeech.h"

#include "config/config_files.h"
#include "speech/default_speech_engines.h"
#include "speech/speech_filters.h"

#include <QFile>
#include <QMetaObject>

#include <algorithm>

TSpeech::TSpeech(QObject *parent) : TSpeech(CreateDefaultSpeechEngines(), parent)
{}

TSpeech::TSpeech(std::unique_ptr<ISpeechEngine> engine, QObject *parent) : QObject(parent)
{
    if (engine)
        m_engines.push_back(std::move(engine));
    enumerate();
}

TSpeech::TSpeech(std::vector<std::unique_ptr<ISpeechEngine>> engines, QObject *parent)
    : QObject(parent), m_engines(std::move(engines))
{
    enumerate();
}

TSpeech::~TSpeech()
{
    // Engines report from their own threads; they must be gone before the rest of us.
    m_engines.clear();
}

void TSpeech::enumerate()
{
    m_inited = true;
    m_engineSelected = false;
    try {
        for (size_t e = 0; e < m_engines.size(); ++e) {
            ISpeechEngine *engine = m_engines[e].get();
            // Notifications come from engine threads; hand them to ours. Queued calls die
            // with this object, and the engines (hence their threads' notifications) are
            // gone before it.
            auto deliver = [this](bool started) {
                QMetaObject::invokeMethod(
                    this,
                    [this, started] {
                        if (started && OnStart)
                            OnStart(this);
                        if (!started && OnStop)
                            OnStop(this);
                    },
                    Qt::QueuedConnection);
            };
            engine->setNotifications([deliver] { deliver(true); }, [deliver] { deliver(false); });
            engine->setLostTexts([this](const QString &text) {
                QMetaObject::invokeMethod(
                    this, [this, text] { speakLostText(text); }, Qt::QueuedConnection);
            });
            if (!m_fileEngine && engine->canWriteFiles())
                m_fileEngine = engine;
            for (TSpeechMode &mode : engine->modes()) {
                mode.name.truncate(262);
                mode.info.ModeName = mode.name;
                m_modes.append(mode);
                m_modeEngine.append(int(e));
            }
        }
    } catch (...) {
        m_inited = false;
        m_enabled = false;
    }
    // A machine without any speech engine: the voice stays switched off.
    if (m_modes.isEmpty()) {
        m_inited = false;
        m_enabled = false;
    }
    putRussianFirst();
    for (const TSpeechMode &mode : std::as_const(m_modes))
        m_engineNames.append(mode.name);
}

// The program speaks Russian. Where a voice's stored engine name is not installed, the
// voices fall back to a position in this list (the first or the third), so the Russian
// voices of all engines lead it; the rest keep the engines' order.
void TSpeech::putRussianFirst()
{
    // 0: Russian, 1: a regional Russian, 2: anything else.
    auto rank = [](const TSpeechMode &mode) {
        if (mode.language.compare(QStringLiteral("ru"), Qt::CaseInsensitive) == 0)
            return 0;
        return mode.language.startsWith(QStringLiteral("ru-"), Qt::CaseInsensitive) ? 1 : 2;
    };
    QList<TSpeechMode> modes;
    QList<int> engines;
    for (int wanted : {0, 1, 2}) {
        for (qsizetype i = 0; i < m_modes.size(); ++i) {
            if (rank(m_modes[i]) == wanted) {
                modes.append(m_modes[i]);
                engines.append(m_modeEngine[i]);
            }
        }
    }
    m_modes = modes;
    m_modeEngine = engines;
}

void TSpeech::SelectEngine(const QString &name)
{
    if (!m_inited)
        throw ESpeechException(QStringLiteral("msgSENotInited"));
    const qsizetype index = [&] {
        for (qsizetype i = 0; i < m_engineNames.size(); ++i) {
            if (m_engineNames[i].compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        return qsizetype(-1);
    }();
    if (index < 0)
        throw ESpeechException(QStringLiteral("msgSENotFound"));

    ISpeechEngine *engine = m_engines[m_modeEngine[index]].get();
    if (!engine->select(m_modes[index]))
        throw ESpeechException(QStringLiteral("msgSENotFound"));
    if (m_fileEngine && m_fileEngine != engine)
        m_fileEngine->select(m_modes[index]);
    m_selected = int(index);
    m_engineSelected = true;
    m_standIn = nullptr;
    m_engineInfo = m_modes[index].info;
    probeLimits();
}

// The engine clamps what it is given, so what it keeps after an extreme value is its
// limit. The current values are restored afterwards.
void TSpeech::probeLimits()
{
    ISpeechEngine *engine = m_engines[m_modeEngine[m_selected]].get();
    const quint16 pitch = engine->pitch();
    engine->setPitch(65535);
    m_engineInfo.MaxPitch = engine->pitch();
    engine->setPitch(0);
    m_engineInfo.MinPitch = engine->pitch();
    engine->setPitch(pitch);

    const quint32 realTime = engine->realTime();
    engine->setRealTime(4294967295u);
    m_engineInfo.MaxRealTime = engine->realTime();
    engine->setRealTime(0);
    m_engineInfo.MinRealTime = engine->realTime();
    engine->setRealTime(realTime);

    const quint32 speed = engine->speed();
    engine->setSpeed(4294967295u);
    m_engineInfo.MaxSpeed = engine->speed();
    engine->setSpeed(0);
    m_engineInfo.MinSpeed = engine->speed();
    engine->setSpeed(speed);

    m_engineInfo.MaxVolume = 100;
    m_engineInfo.MinVolume = 0;
}

// Wave files are written by an engine that can write them; when the selected mode belongs
// to one that cannot (speech-dispatcher), that engine speaks the same language instead.
// While the selected engine is broken another one speaks for it.
bool TSpeech::ReportsProgress() const
{
    if (!m_engineSelected)
        return false;
    const ISpeechEngine *engine = m_engines[m_modeEngine[m_selected]].get();
    if (m_output == soFile && !engine->canWriteFiles())
        engine = m_fileEngine;
    return engine && engine->reportsProgress();
}

ISpeechEngine *TSpeech::engineForOutput()
{
    ISpeechEngine *engine = m_engines[m_modeEngine[m_selected]].get();
    if (m_output == soFile && !engine->canWriteFiles())
        return m_fileEngine;
    if (m_output == soGeneral && engine->broken()) {
        if (ISpeechEngine *other = standIn())
            return other;
    }
    return engine;
}

// The engine that speaks while the selected one is broken (its service went away, or its
// sound device cannot play): the first other engine that works, with a voice of the same
// language. The change is logged and reported once; null when no engine is left.
ISpeechEngine *TSpeech::standIn()
{
    if (m_standIn && !m_standIn->broken())
        return m_standIn;
    const int selectedEngine = m_modeEngine[m_selected];
    const TSpeechMode &selected = m_modes[m_selected];
    ISpeechEngine *found = nullptr;
    for (size_t e = 0; e < m_engines.size() && !found; ++e) {
        ISpeechEngine *engine = m_engines[e].get();
        if (int(e) == selectedEngine || engine->broken())
            continue;
        // Its own voice of the selected language, else its first; an engine without modes
        // of its own is given the selected one (espeak-ng takes any language).
        qsizetype own = -1;
        for (qsizetype m = 0; m < m_modes.size(); ++m) {
            if (m_modeEngine[m] != int(e))
                continue;
            if (own < 0 || (m_modes[m].language == selected.language &&
                            m_modes[own].language != selected.language))
                own = m;
        }
        if (engine->select(own >= 0 ? m_modes[own] : selected))
            found = engine;
    }
    const QString message =
        found ? QStringLiteral("Speech engine of \"%1\" cannot speak; another engine took the "
                               "voice over")
                    .arg(selected.name)
              : QStringLiteral("Speech engine of \"%1\" cannot speak, and no other engine can")
                    .arg(selected.name);
    if (found != m_standIn || (!found && !m_aloneReported)) {
        qWarning("%s", qUtf8Printable(message));
        if (OnWarning)
            OnWarning(this, 0, message);
    }
    m_standIn = found;
    m_aloneReported = !found;
    return found;
}

// A text the engine took but could not say (its service went away, its sound device
// failed): said by the engine that takes the voice over, which also gets every later text.
void TSpeech::speakLostText(const QString &text)
{
    if (!m_enabled || !m_engineSelected)
        return;
    if (ISpeechEngine *engine = standIn(); engine && engine->setOutput(soGeneral, QString()))
        engine->speak(text);
}

void TSpeech::SetOutput(TSpeechOutput output)
{
    m_output = output;
}

void TSpeech::Speak(const QString &text)
{
    if (text.isEmpty())
        return;
    const QString filtered = text.size() == 1 ? ApplySingleRules(text) : ApplyMultiRules(text);
    if (!m_enabled)
        return;
    if (!m_inited)
        throw ESpeechException(QStringLiteral("msgSENotInited"));
    if (!m_engineSelected)
        throw ESpeechException(QStringLiteral("msgSENotStarted"));
    ISpeechEngine *engine = engineForOutput();
    if (!engine || !engine->setOutput(m_output, m_filename))
        throw ESpeechException(QStringLiteral("msgCannotOpenFile"));
    appendTranscript(QString::number(m_voiceNumber) + u' ' + filtered);
    engine->speak(filtered);
}

void TSpeech::Stop()
{
    if (!m_engineSelected)
        return;
    appendTranscript(QString::number(m_voiceNumber) + QStringLiteral(" <stop>"));
    for (auto &engine : m_engines)
        engine->stop();
}

void TSpeech::LoadSingleRules(const QString &fileName)
{
    ::LoadSingleRules(fileName);
}

void TSpeech::LoadMultiRules(const QString &fileName)
{
    ::LoadMultiRules(fileName);
}

quint16 TSpeech::Pitch() const
{
    return m_engineSelected ? m_engines[m_modeEngine[m_selected]]->pitch() : 0;
}

void TSpeech::SetPitch(quint16 pitch)
{
    if (!m_engineSelected)
        return;
    m_engines[m_modeEngine[m_selected]]->setPitch(pitch);
}

quint32 TSpeech::Speed() const
{
    return m_engineSelected ? m_engines[m_modeEngine[m_selected]]->speed() : 0;
}

void TSpeech::SetSpeed(quint32 speed)
{
    if (!m_engineSelected)
        return;
    m_engines[m_modeEngine[m_selected]]->setSpeed(speed);
}

quint32 TSpeech::Volume() const
{
    if (!m_engineSelected)
        return 0;
    const quint32 left = m_engines[m_modeEngine[m_selected]]->volume() & 0xFFFFu;
    return left * 100 / 65535;
}

void TSpeech::SetVolume(quint32 percent)
{
    if (!m_engineSelected)
        return;
    // Above 100 % the channel value would wrap round to a quiet one; full is the most.
    const quint32 channel = std::min<quint32>(percent, 100) * 65535 / 100;
    const quint32 stereo = (channel << 16) | channel;
    m_engines[m_modeEngine[m_selected]]->setVolume(stereo);
}

// The transcript exists only when someone created log/speech.txt: a sighted helper or a
// test can then follow what each voice said.
void TSpeech::appendTranscript(const QString &line) const
{
    QFile file(ProgramDir() + QStringLiteral("/log/speech.txt"));
    if (!file.exists())
        return;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QString oneLine = line;
    oneLine.replace(u'\r', u' ').replace(u'\n', u' ');
    file.write(oneLine.toUtf8() + '\n');
    file.flush();
}
