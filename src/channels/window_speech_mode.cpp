#include "channels/window_speech_mode.h"

#include "channels/channel_form.h"
#include "config/config_files.h"
#include "config/talvin_settings.h"

#include <QUrl>

namespace {

const QString File = QStringLiteral("windows.ini");
const QString Section = QStringLiteral("SpeechMode");

struct ModeName
{
    TWindowSpeechMode Mode;
    const char *Stored;
    const char *CaptionKey;
    const char *Fallback;
};

const ModeName Names[] = {
    {TWindowSpeechMode::Always, "always", "CFSpeakAlways", "читать всегда"},
    {TWindowSpeechMode::FocusedOnly, "focused", "CFSpeakFocused", "читать только в активном окне"},
    {TWindowSpeechMode::Silent, "silent", "CFSpeakSilent", "не читать"},
};

const ModeName &NameOf(TWindowSpeechMode mode)
{
    for (const ModeName &name : Names) {
        if (name.Mode == mode)
            return name;
    }
    return Names[0];
}

} // namespace

TWindowSpeechMode SpeechModeOf(const TChannelOptions &options)
{
    if (!options.SpeechOn)
        return TWindowSpeechMode::Silent;
    return options.SpeakNotFocused ? TWindowSpeechMode::Always : TWindowSpeechMode::FocusedOnly;
}

void SetSpeechMode(TChannelOptions &options, TWindowSpeechMode mode)
{
    options.SpeechOn = mode != TWindowSpeechMode::Silent;
    options.SpeakNotFocused = mode == TWindowSpeechMode::Always;
}

TWindowSpeechMode NextSpeechMode(TWindowSpeechMode mode)
{
    switch (mode) {
    case TWindowSpeechMode::Always:
        return TWindowSpeechMode::FocusedOnly;
    case TWindowSpeechMode::FocusedOnly:
        return TWindowSpeechMode::Silent;
    case TWindowSpeechMode::Silent:
        break;
    }
    return TWindowSpeechMode::Always;
}

QString SpeechModeCaption(TWindowSpeechMode mode)
{
    const ModeName &name = NameOf(mode);
    const QString caption = GetCaption(QLatin1String(name.CaptionKey));
    return caption.isEmpty() || caption.startsWith(QLatin1String("err-"))
               ? QString::fromUtf8(name.Fallback)
               : caption;
}

TMessageSpeech MessageSpeech(TWindowSpeechMode mode, bool focused, bool soundWhenQuiet,
                             bool mention)
{
    if (mode == TWindowSpeechMode::Silent)
        return TMessageSpeech::Nothing;
    if (focused || mention || mode == TWindowSpeechMode::Always)
        return TMessageSpeech::Speak;
    return soundWhenQuiet ? TMessageSpeech::Sound : TMessageSpeech::Nothing;
}

QString WindowSettingsKey(const QString &window)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(window.toLower()));
}

std::optional<TWindowSpeechMode> StoredSpeechMode(const QString &window)
{
    const QString stored = GetConfigValue(File, Section, WindowSettingsKey(window));
    for (const ModeName &name : Names) {
        if (stored == QLatin1String(name.Stored))
            return name.Mode;
    }
    return std::nullopt;
}

TWindowSpeechMode DefaultSpeechMode()
{
    for (const ModeName &name : Names) {
        if (Settings().DefaultSpeechMode == QLatin1String(name.Stored))
            return name.Mode;
    }
    return TWindowSpeechMode::FocusedOnly;
}

void StoreSpeechMode(const QString &window, TWindowSpeechMode mode)
{
    try {
        SetConfigValue(File, Section, WindowSettingsKey(window),
                       QLatin1String(NameOf(mode).Stored));
    } catch (const std::exception &error) {
        qWarning("Speech mode of %s not kept: %s", qUtf8Printable(window), error.what());
    }
}
