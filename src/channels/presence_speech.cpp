#include "channels/presence_speech.h"

#include "channels/window_speech_mode.h"
#include "config/config_files.h"
#include "config/talvin_settings.h"

namespace {

const QString WindowsFile = QStringLiteral("windows.ini");
const QString Section = QStringLiteral("PresenceSpeech");

struct SettingName
{
    TPresenceSpeech Setting;
    const char *Stored;
    const char *CaptionKey;
    const char *Fallback;
};

const SettingName Names[] = {
    {TPresenceSpeech::RecentSpeakers, "recent", "CFPresenceRecent",
     "входы и выходы только тех, кто говорил"},
    {TPresenceSpeech::Always, "always", "CFPresenceAlways", "читать все входы и выходы"},
    {TPresenceSpeech::Never, "never", "CFPresenceNever", "не читать входы и выходы"},
};

const SettingName &NameOf(TPresenceSpeech setting)
{
    for (const SettingName &name : Names) {
        if (name.Setting == setting)
            return name;
    }
    return Names[0];
}

} // namespace

bool SpeakPresence(TPresenceSpeech setting, std::optional<qint64> lastSpokeMs, qint64 nowMs)
{
    switch (setting) {
    case TPresenceSpeech::Always:
        return true;
    case TPresenceSpeech::Never:
        return false;
    case TPresenceSpeech::RecentSpeakers:
        break;
    }
    return lastSpokeMs && nowMs - *lastSpokeMs <= RecentSpeakerMs;
}

bool SpeakNetSplit(TPresenceSpeech setting)
{
    return setting != TPresenceSpeech::Never;
}

TPresenceSpeech NextPresenceSpeech(TPresenceSpeech setting)
{
    switch (setting) {
    case TPresenceSpeech::RecentSpeakers:
        return TPresenceSpeech::Always;
    case TPresenceSpeech::Always:
        return TPresenceSpeech::Never;
    case TPresenceSpeech::Never:
        break;
    }
    return TPresenceSpeech::RecentSpeakers;
}

QString PresenceSpeechCaption(TPresenceSpeech setting)
{
    const SettingName &name = NameOf(setting);
    const QString caption = GetCaption(QLatin1String(name.CaptionKey));
    return caption.isEmpty() || caption.startsWith(QLatin1String("err-"))
               ? QString::fromUtf8(name.Fallback)
               : caption;
}

QString PresenceSpeechName(TPresenceSpeech setting)
{
    return QLatin1String(NameOf(setting).Stored);
}

std::optional<TPresenceSpeech> PresenceSpeechFromName(const QString &name)
{
    for (const SettingName &known : Names) {
        if (name.trimmed().compare(QLatin1String(known.Stored), Qt::CaseInsensitive) == 0)
            return known.Setting;
    }
    return std::nullopt;
}

TPresenceSpeech DefaultPresenceSpeech()
{
    // In a busy channel every join and quit would drown the conversation, and none at all
    // would hide that the person one was talking to has gone: the people who spoke in the
    // last minutes are the ones whose coming and going matters.
    return PresenceSpeechFromName(Settings().PresenceSpeech)
        .value_or(TPresenceSpeech::RecentSpeakers);
}

std::optional<TPresenceSpeech> StoredPresenceSpeech(const QString &window)
{
    return PresenceSpeechFromName(GetConfigValue(WindowsFile, Section, WindowSettingsKey(window)));
}

void StorePresenceSpeech(const QString &window, TPresenceSpeech setting)
{
    try {
        SetConfigValue(WindowsFile, Section, WindowSettingsKey(window),
                       PresenceSpeechName(setting));
    } catch (const std::exception &error) {
        qWarning("Join and quit speech of %s not kept: %s", qUtf8Printable(window), error.what());
    }
}
