#include "speech/speech_config.h"

#include "config/config_files.h"
#include "speech/speech_filters.h"
#include "speech/tspeech.h"

#include <QFile>

#include <optional>

TSpeechConfig SpeechConfig;

namespace {

void report(const TSpeechConfigErrorHandler &onError, const QString &message)
{
    qWarning("%s", qUtf8Printable(message));
    if (onError)
        onError(message);
}

// Reads one key. A missing key or a file that is not there reads as "err-..." and fails the
// conversion like any other garbage; the caller decides on the replacement.
class SpeechIniReader
{
public:
    explicit SpeechIniReader(const TSpeechConfigErrorHandler &onError)
        : m_onError(onError), m_fileMissing(!QFile::exists(ConfigFilePath("speech.ini")))
    {
        if (m_fileMissing)
            report(m_onError, QStringLiteral("speech.ini is missing: default speech settings "
                                             "are used and written back"));
    }

    bool boolean(const char *key, bool fallback)
    {
        const QString text = GetSpeechValue(QLatin1String(key));
        try {
            return ConfigToBool(text);
        } catch (const EConvertError &error) {
            fail(key, error.message(), fallback ? QStringLiteral("on") : QStringLiteral("off"));
            return fallback;
        }
    }

    // Nothing when the value is no number or lies above max. quietWhenEmpty: an empty value
    // deliberately asks for the engine's own.
    std::optional<quint32> number(const char *key, quint32 max, const QString &fallback,
                                  bool quietWhenEmpty = false)
    {
        const QString text = GetSpeechValue(QLatin1String(key));
        if (quietWhenEmpty && text.trimmed().isEmpty())
            return std::nullopt;
        try {
            const int value = ConfigToInt(text);
            if (value >= 0 && quint32(value) <= max)
                return quint32(value);
            fail(key, QStringLiteral("%1 lies outside 0 to %2").arg(value).arg(max), fallback);
        } catch (const EConvertError &error) {
            fail(key, error.message(), fallback);
        }
        return std::nullopt;
    }

    // A missing key gives an empty name (no engine carries it).
    QString name(const char *key)
    {
        const QString text = GetSpeechValue(QLatin1String(key));
        if (text == QStringLiteral("err-") + QLatin1String(key) || text == QStringLiteral("err-")) {
            fail(key, QStringLiteral("missing"), QStringLiteral("the voice's usual engine"));
            return QString();
        }
        return text;
    }

private:
    void fail(const char *key, const QString &why, const QString &replacement)
    {
        // One report for a missing file is enough; every key of it is missing.
        if (m_fileMissing)
            return;
        report(m_onError, QStringLiteral("speech.ini, %1: %2; using %3 instead")
                              .arg(QLatin1String(key), why, replacement));
    }

    const TSpeechConfigErrorHandler &m_onError;
    bool m_fileMissing;
};

struct VoiceFields
{
    const char *label;
    bool &use;
    QString &engineName;
    quint16 &speed;
    quint16 &pitch;
    quint16 &volume;
    int fallbackPosition; // where a voice whose engine is not installed looks
};

VoiceFields voiceFields(int voice)
{
    TSpeechConfig &c = SpeechConfig;
    if (voice == 1)
        return {"interface voice",
                c.UseInterfaceEngine,
                c.InterfaceEngineName,
                c.IESpeed,
                c.IEPitch,
                c.IEVolume,
                2};
    return {"channel voice",
            c.UseChannelEngine,
            c.ChannelEngineName,
            c.CESpeed,
            c.CEPitch,
            c.CEVolume,
            0};
}

void applyVoice(int voice, TSpeech *speech, std::optional<quint32> speed,
                std::optional<quint32> pitch, std::optional<quint32> volume,
                const TSpeechConfigErrorHandler &onError)
{
    VoiceFields f = voiceFields(voice);
    if (!speech)
        return;
    if (!SelectConfiguredEngine(voice, speech, onError)) {
        speech->SetEnabled(false); // nothing to speak with: silence instead of an error per text
        return;
    }
    // A value that could not be read is replaced by what the engine starts with, so the
    // next save stores something that works.
    if (speed)
        speech->SetSpeed(*speed);
    else
        f.speed = quint16(qMin<quint32>(speech->Speed(), 65535));
    if (pitch)
        speech->SetPitch(quint16(*pitch));
    else
        f.pitch = speech->Pitch();
    if (volume)
        speech->SetVolume(*volume);
    else
        f.volume = quint16(speech->Volume());
    speech->SetEnabled(f.use);
}

void loadRules(bool wanted, const char *fileName, bool (*load)(const QString &),
               const TSpeechConfigErrorHandler &onError)
{
    if (!wanted)
        return;
    const QString path = ProgramDir() + u'/' + QLatin1String(fileName);
    if (!load(path))
        report(onError, QStringLiteral("%1 cannot be read: speaking without its rules")
                            .arg(QLatin1String(fileName)));
}

} // namespace

bool SelectConfiguredEngine(int voice, TSpeech *speech, const TSpeechConfigErrorHandler &onError)
{
    VoiceFields f = voiceFields(voice);
    const QStringList names = speech->EngineNames();
    if (!speech->Inited() || names.isEmpty()) {
        report(onError, QStringLiteral("No speech engine is installed: the %1 cannot speak")
                            .arg(QLatin1String(f.label)));
        return false;
    }
    qsizetype first = -1;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].compare(f.engineName, Qt::CaseInsensitive) == 0) {
            first = i;
            break;
        }
    }
    if (first < 0 && IsAutomaticEngine(f.engineName)) {
        // The name stays "auto": the choice is made again at the next start.
        for (qsizetype n = 0; n < names.size(); ++n) {
            try {
                speech->SelectEngine(names[n]);
                return true;
            } catch (const ETalvinError &error) {
                report(onError, QStringLiteral("Speech engine \"%1\" failed (%2)")
                                    .arg(names[n], error.message()));
            }
        }
        return false;
    }
    if (first < 0) {
        first = f.fallbackPosition < names.size() ? f.fallbackPosition : 0;
        // A missing name was reported when it was read.
        if (!f.engineName.isEmpty())
            report(onError,
                   QStringLiteral("Speech engine \"%1\" is not installed: the %2 uses \"%3\"")
                       .arg(f.engineName, QLatin1String(f.label), names[first]));
        f.engineName = names[first];
    }
    // An engine that refuses its mode is passed over for the next one that works.
    for (qsizetype n = 0; n < names.size(); ++n) {
        const qsizetype i = (first + n) % names.size();
        try {
            speech->SelectEngine(names[i]);
            if (i != first) {
                report(onError, QStringLiteral("The %1 uses \"%2\" instead")
                                    .arg(QLatin1String(f.label), names[i]));
                f.engineName = names[i];
            }
            return true;
        } catch (const ETalvinError &error) {
            report(
                onError,
                QStringLiteral("Speech engine \"%1\" failed (%2)").arg(names[i], error.message()));
        }
    }
    return false;
}

void ConfigureSpeech(TSpeech *speech1, TSpeech *speech2, const TSpeechConfigErrorHandler &onError)
{
    SpeechIniReader ini(onError);
    TSpeechConfig &c = SpeechConfig;
    const QString engineValue = QStringLiteral("the engine's own value");

    c.UseInterfaceEngine = ini.boolean("UseInterfaceEngine", true);
    c.UseChannelEngine = ini.boolean("UseChannelEngine", true);
    // Only two voices can be shown in the panel.
    c.ActiveControl = quint8(ini.number("ActiveControl", 1, QStringLiteral("0")).value_or(0));
    c.InterfaceEngineName = ini.name("InterfaceEngineName");
    const bool ieAuto = IsAutomaticEngine(c.InterfaceEngineName);
    const auto ieSpeed = ini.number("IESpeed", 65535, engineValue, ieAuto);
    const auto iePitch = ini.number("IEPitch", 65535, engineValue, ieAuto);
    const auto ieVolume = ini.number("IEVolume", 100, engineValue);
    c.IEUseMultiFilter = ini.boolean("IEUseMultiFilter", true);
    c.IEUseSingleFilter = ini.boolean("IEUseSingleFilter", true);
    c.ChannelEngineName = ini.name("ChannelEngineName");
    const bool ceAuto = IsAutomaticEngine(c.ChannelEngineName);
    const auto ceSpeed = ini.number("CESpeed", 65535, engineValue, ceAuto);
    const auto cePitch = ini.number("CEPitch", 65535, engineValue, ceAuto);
    const auto ceVolume = ini.number("CEVolume", 100, engineValue);
    c.CEUseMultiFilter = ini.boolean("CEUseMultiFilter", true);
    c.CEUseSingleFilter = ini.boolean("CEUseSingleFilter", true);
    c.IESpeed = quint16(ieSpeed.value_or(0));
    c.IEPitch = quint16(iePitch.value_or(0));
    c.IEVolume = quint16(ieVolume.value_or(100));
    c.CESpeed = quint16(ceSpeed.value_or(0));
    c.CEPitch = quint16(cePitch.value_or(0));
    c.CEVolume = quint16(ceVolume.value_or(100));

    applyVoice(1, speech1, ieSpeed, iePitch, ieVolume, onError);
    applyVoice(2, speech2, ceSpeed, cePitch, ceVolume, onError);

    // The rule tables are shared by both voices: one load serves whichever asked.
    loadRules(c.IEUseMultiFilter || c.CEUseMultiFilter, "multirules.ini", &LoadMultiRules, onError);
    loadRules(c.IEUseSingleFilter || c.CEUseSingleFilter, "singlerules.ini", &LoadSingleRules,
              onError);
}

bool IsAutomaticEngine(const QString &name)
{
    return name.compare(AutomaticEngineName, Qt::CaseInsensitive) == 0;
}

void SaveSpeechConfiguration()
{
    const TSpeechConfig &c = SpeechConfig;
    auto number = [](quint32 n) { return QString::number(n); };
    // An automatic voice keeps the engine's own speed and pitch, whichever engine it gets.
    auto tuning = [](const QString &engine, quint32 n) {
        return IsAutomaticEngine(engine) ? QString() : QString::number(n);
    };
    SetSpeechValue(QStringLiteral("UseInterfaceEngine"), BoolToConfig(c.UseInterfaceEngine));
    SetSpeechValue(QStringLiteral("UseChannelEngine"), BoolToConfig(c.UseChannelEngine));
    SetSpeechValue(QStringLiteral("InterfaceEngineName"), c.InterfaceEngineName);
    SetSpeechValue(QStringLiteral("IESpeed"), tuning(c.InterfaceEngineName, c.IESpeed));
    SetSpeechValue(QStringLiteral("IEPitch"), tuning(c.InterfaceEngineName, c.IEPitch));
    SetSpeechValue(QStringLiteral("IEVolume"), number(c.IEVolume));
    SetSpeechValue(QStringLiteral("IEUseMultiFilter"), BoolToConfig(c.IEUseMultiFilter));
    SetSpeechValue(QStringLiteral("IEUseSingleFilter"), BoolToConfig(c.IEUseSingleFilter));
    SetSpeechValue(QStringLiteral("ChannelEngineName"), c.ChannelEngineName);
    SetSpeechValue(QStringLiteral("CESpeed"), tuning(c.ChannelEngineName, c.CESpeed));
    SetSpeechValue(QStringLiteral("CEPitch"), tuning(c.ChannelEngineName, c.CEPitch));
    SetSpeechValue(QStringLiteral("CEVolume"), number(c.CEVolume));
    SetSpeechValue(QStringLiteral("CEUseMultiFilter"), BoolToConfig(c.CEUseMultiFilter));
    SetSpeechValue(QStringLiteral("CEUseSingleFilter"), BoolToConfig(c.CEUseSingleFilter));
    SetSpeechValue(QStringLiteral("ActiveControl"), number(c.ActiveControl));
}

int GetActiveSpeech()
{
    if (SpeechConfig.ActiveControl == 0 && SpeechConfig.UseInterfaceEngine)
        return 1;
    if (SpeechConfig.ActiveControl == 1 && SpeechConfig.UseChannelEngine)
        return 2;
    return 0;
}

QString StripForSpeech(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        if (c.unicode() < u'0')
            c = u' ';
    }
    return result;
}
