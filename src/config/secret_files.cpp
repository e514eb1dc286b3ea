#include "config/secret_files.h"

#include "config/config_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

constexpr QFileDevice::Permissions OthersMask = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

bool HoldsSecrets(const QByteArray &bytes)
{
    // Comments and section headers are no keys; an empty or "" value holds nothing.
    for (QByteArray line : bytes.split('\n')) {
        line = line.trimmed();
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0 || line.startsWith(';') || line.startsWith('['))
            continue;
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (line.left(equals).toLower().contains("pass") && !value.isEmpty() && value != "\"\"")
            return true;
    }
    return false;
}

bool WrittenOwnerOnly(const QString &path, const QByteArray &bytes)
{
    const QString name = QFileInfo(path).fileName();
    for (const char *always : {"servers.ini", "faworits.ini"}) {
        if (name.compare(QLatin1String(always), Qt::CaseInsensitive) == 0)
            return true;
    }
    return HoldsSecrets(bytes);
}

bool MakeOwnerOnly(int fileDescriptor)
{
    return fchmod(fileDescriptor, S_IRUSR | S_IWUSR) == 0;
}

QStringList TightenSecretFiles()
{
    QStringList messages;
    const QDir dir(ProgramDir() + QStringLiteral("/config"));
    const QStringList names = dir.entryList({QStringLiteral("*.ini")}, QDir::Files);
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        if (!(file.permissions() & OthersMask))
            continue;
        if (!file.open(QIODevice::ReadOnly))
            continue;
        if (!HoldsSecrets(file.readAll()))
            continue;
        const QString shown = QStringLiteral("config/") + name;
        const QString message =
            MakeOwnerOnly(file.handle())
                ? shown + QStringLiteral(" could be read by other users; it is now readable by "
                                         "its owner only.")
                : shown + QStringLiteral(" can be read by other users and could not be "
                                         "narrowed to its owner.");
        qWarning("%s", qUtf8Printable(message));
        messages.append(message);
    }
    return messages;
}
