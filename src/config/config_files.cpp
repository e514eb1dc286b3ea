#include "config/config_files.h"

#include "config/config_value_cache.h"
#include "config/ini_file.h"

#include <QDir>

namespace {

QString &programDirStorage()
{
    static QString dir;
    return dir;
}

[[noreturn]] void raiseWriteError(const QString &path)
{
    throw EConfigWriteError(QStringLiteral("Unable to write to %1").arg(path));
}

} // namespace

QString ProgramDir()
{
    QString &dir = programDirStorage();
    if (dir.isEmpty())
        dir = QDir::currentPath();
    return dir;
}

void SetProgramDir(const QString &dir)
{
    QString clean = QDir::cleanPath(dir);
    programDirStorage() = clean;
}

QString ConfigFilePath(const QString &fileName)
{
    return ProgramDir() + QStringLiteral("/config/") + fileName;
}

QString GetConfigValue(const QString &fileName, const QString &section, const QString &key)
{
    const auto found = ConfigValueCache::Value(ConfigFilePath(fileName), section, key);
    switch (found.State) {
    case ConfigValueCache::Found::NoFile:
        return QStringLiteral("err-");
    case ConfigValueCache::Found::NoKey:
        return QStringLiteral("err-") + key;
    case ConfigValueCache::Found::Value:
        break;
    }
    return found.Value;
}

bool SetConfigValue(const QString &fileName, const QString &section, const QString &key,
                    const QString &value)
{
    const QString path = ConfigFilePath(fileName);
    if (!IniFile::isStorableSection(section) || !IniFile::isStorableKey(key))
        raiseWriteError(path);

    IniFile file = IniFile::loadForUpdate(path);
    file.setValue(section, key, value);
    // A complete new file replaces the old one: a crash or a full disk leaves either the
    // old file or the new one, never a truncated mix.
    file.save(path);
    ConfigValueCache::Forget(path);
    return true;
}

bool IsConfigValue(const QString &value)
{
    return !(value.size() > 1 && value.startsWith(QStringLiteral("er")));
}

QString BoolToConfig(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

bool ConfigToBool(const QString &value)
{
    const QString t = value.trimmed();
    if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qlonglong number = t.toLongLong(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid boolean value").arg(value));
    return number != 0;
}

int ConfigToInt(const QString &value)
{
    bool ok = false;
    const int number = value.trimmed().toInt(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(value));
    return number;
}

#define TALVIN_CONFIG_READER(name, file, section)                                                  \
    QString name(const QString &key)                                                               \
    {                                                                                              \
        return GetConfigValue(QStringLiteral(file), QStringLiteral(section), key);                 \
    }
#define TALVIN_CONFIG_WRITER(name, file, section)                                                  \
    bool name(const QString &key, const QString &value)                                            \
    {                                                                                              \
        return SetConfigValue(QStringLiteral(file), QStringLiteral(section), key, value);          \
    }

TALVIN_CONFIG_READER(GetCaption, "caption.ini", "Captions")
TALVIN_CONFIG_WRITER(SetCaption, "caption.ini", "Captions")
TALVIN_CONFIG_READER(GetUserValue, "user.ini", "Config")
TALVIN_CONFIG_WRITER(SetUserValue, "user.ini", "Config")
TALVIN_CONFIG_READER(GetServerValue, "servers.ini", "IRCServers")
TALVIN_CONFIG_WRITER(SetServerValue, "servers.ini", "IRCServers")
TALVIN_CONFIG_READER(GetFaworitValue, "faworits.ini", "Faworits")
TALVIN_CONFIG_WRITER(SetFaworitValue, "faworits.ini", "Faworits")
TALVIN_CONFIG_READER(GetSpeechValue, "speech.ini", "Speech")
TALVIN_CONFIG_WRITER(SetSpeechValue, "speech.ini", "Speech")
TALVIN_CONFIG_READER(GetMessageText, "messages.ini", "Messages")
TALVIN_CONFIG_READER(GetConnectValue, "connect.ini", "Connect")
