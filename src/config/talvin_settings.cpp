#include "config/talvin_settings.h"

#include "config/config_files.h"

#include <optional>

namespace {

const QString File = QStringLiteral("settings.ini");
const QString Speech = QStringLiteral("Speech");
const QString Mentions = QStringLiteral("Mentions");

// The stored value, or none when the file or the key is missing.
std::optional<QString> Stored(const QString &section, const QString &key)
{
    const QString value = GetConfigValue(File, section, key);
    if (value.startsWith(QLatin1String("err-")))
        return std::nullopt;
    return value.trimmed();
}

void Rejected(const QString &key, const QString &value)
{
    qWarning("settings.ini: %s=%s is not a valid value; the default is used", qUtf8Printable(key),
             qUtf8Printable(value));
}

QString OneOf(const QString &key, const QStringList &allowed, const QString &fallback)
{
    const auto value = Stored(Speech, key);
    if (!value)
        return fallback;
    if (allowed.contains(value->toLower()))
        return value->toLower();
    Rejected(key, *value);
    return fallback;
}

bool Flag(const QString &key, bool fallback)
{
    const auto value = Stored(Speech, key);
    if (!value)
        return fallback;
    try {
        return ConfigToBool(*value);
    } catch (const std::exception &) {
        Rejected(key, *value);
        return fallback;
    }
}

int Number(const QString &key, int low, int high, int fallback)
{
    const auto value = Stored(Speech, key);
    if (!value)
        return fallback;
    bool ok = false;
    const int number = value->toInt(&ok);
    if (ok && number >= low && number <= high)
        return number;
    Rejected(key, *value);
    return fallback;
}

TTalvinSettings Load()
{
    const TTalvinSettings defaults;
    TTalvinSettings s;
    s.DefaultSpeechMode =
        OneOf(QStringLiteral("DefaultSpeechMode"),
              {QStringLiteral("always"), QStringLiteral("focused"), QStringLiteral("silent")},
              defaults.DefaultSpeechMode);
    s.BacklogLimit = Number(QStringLiteral("BacklogLimit"), 1, 999, defaults.BacklogLimit);
    s.PresenceSpeech =
        OneOf(QStringLiteral("PresenceSpeech"),
              {QStringLiteral("recent"), QStringLiteral("always"), QStringLiteral("never")},
              defaults.PresenceSpeech);
    s.ReviewTime = Flag(QStringLiteral("ReviewTime"), defaults.ReviewTime);
    s.ScreenReaderControls =
        Flag(QStringLiteral("ScreenReaderControls"), defaults.ScreenReaderControls);
    if (const auto words = Stored(Mentions, QStringLiteral("Words")))
        s.MentionWords = SplitWordList(*words);
    return s;
}

struct Cache
{
    QString Path; // the file the options were read from
    std::optional<TTalvinSettings> Options;
};

Cache &Current()
{
    static Cache cache;
    return cache;
}

QString Bit(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

const TTalvinSettings &Settings()
{
    // Read for every message (the mention words): kept, and read again only when the
    // program directory, and with it the file, is another one.
    Cache &cache = Current();
    const QString path = ConfigFilePath(File);
    if (!cache.Options || cache.Path != path) {
        cache.Path = path;
        cache.Options = Load();
    }
    return *cache.Options;
}

void ReloadSettings()
{
    Current().Options.reset();
    Settings();
    emit SettingsNotifier()->Changed();
}

bool StoreSettings(const TTalvinSettings &settings)
{
    Current() = Cache{ConfigFilePath(File), settings};
    emit SettingsNotifier()->Changed();
    try {
        SetConfigValue(File, Speech, QStringLiteral("DefaultSpeechMode"),
                       settings.DefaultSpeechMode);
        SetConfigValue(File, Speech, QStringLiteral("BacklogLimit"),
                       QString::number(settings.BacklogLimit));
        SetConfigValue(File, Speech, QStringLiteral("PresenceSpeech"), settings.PresenceSpeech);
        SetConfigValue(File, Speech, QStringLiteral("ReviewTime"), Bit(settings.ReviewTime));
        SetConfigValue(File, Speech, QStringLiteral("ScreenReaderControls"),
                       Bit(settings.ScreenReaderControls));
        SetConfigValue(File, Mentions, QStringLiteral("Words"),
                       settings.MentionWords.join(QStringLiteral(", ")));
    } catch (const std::exception &error) {
        qWarning("Settings not kept: %s", error.what());
        return false;
    }
    return true;
}

QStringList SplitWordList(const QString &text)
{
    QStringList words = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString &word : words)
        word = word.trimmed();
    words.removeAll(QString());
    return words;
}

TSettingsNotifier *SettingsNotifier()
{
    static TSettingsNotifier notifier;
    return &notifier;
}
