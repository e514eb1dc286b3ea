#include "config/program_home.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

QString ResolveProgramHome(const QString &explicitHome)
{
    if (!explicitHome.isEmpty())
        return QDir(explicitHome).absolutePath();
    const QString fromEnv = qEnvironmentVariable("TALVIN_HOME");
    if (!fromEnv.isEmpty())
        return QDir(fromEnv).absolutePath();
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid by the XDG rules and is ignored.
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir(dataHome).absoluteFilePath(QStringLiteral("talvin"));
}

QString FindProgramTemplate(const QString &appDir)
{
    const QDir dir(appDir);
    for (const QString &candidate : {QStringLiteral("../share/talvin"), QStringLiteral("dist")}) {
        const QString path = dir.absoluteFilePath(candidate);
        if (QFileInfo::exists(path + QStringLiteral("/config")))
            return QDir::cleanPath(path);
    }
    return {};
}

ProgramHomeResult PrepareProgramHome(const QString &templateDir, const QString &home)
{
    ProgramHomeResult result;
    if (!QDir().mkpath(home)) {
        result.error = QStringLiteral("Unable to create %1").arg(home);
        return result;
    }
    if (templateDir.isEmpty()) {
        result.ok = true;
        return result;
    }
    const QDir source(templateDir);
    const QDir target(home);
    QDirIterator it(templateDir, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString relative = source.relativeFilePath(from);
        const QString to = target.absoluteFilePath(relative);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(to)) {
                result.error = QStringLiteral("Unable to create %1").arg(to);
                return result;
            }
            continue;
        }
        if (QFileInfo::exists(to))
            continue;
        QDir().mkpath(QFileInfo(to).absolutePath());
        if (!QFile::copy(from, to)) {
            result.error = QStringLiteral("Unable to write to %1").arg(to);
            return result;
        }
        // The template is installed read-only; the user's copy must stay editable.
        QFile::setPermissions(to, QFile::permissions(to) | QFileDevice::WriteOwner);
        result.added.append(relative);
    }
    result.ok = true;
    return result;
}
