#include "speech/controls/vox_name_file.h"

#include "config/ini_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

namespace {

QString baseDirectory()
{
    static const QString base = QDir::currentPath();
    return base;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray newFileHeader()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    return QStringLiteral(" ; Spoken names of the Talvin speaking controls, created %1 %2\n")
        .arg(locale.toString(now.date(), QLocale::ShortFormat),
             locale.toString(now.time(), QLocale::LongFormat))
        .toUtf8();
}

} // namespace

std::optional<QString> LookUpSpokenName(const QString &fileName, const QString &section,
                                        const QString &key, const QString &currentName)
{
    const QString path = QDir(baseDirectory()).filePath(fileName);
    if (!QFile::exists(path) && !writeFile(path, newFileHeader()))
        return std::nullopt;
    std::optional<IniFile> ini = IniFile::load(path);
    if (!ini)
        return std::nullopt;
    const std::optional<QString> stored = ini->value(section, key);
    if (!stored) {
        ini->setValue(section, key, currentName);
        writeFile(path, ini->toBytes());
        return std::nullopt;
    }
    if (stored->isEmpty())
        return std::nullopt;
    return *stored;
}
