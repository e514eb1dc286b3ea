#include "directory_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void CopyDirectoryTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo &info :
         source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + info.fileName();
        if (info.isDir())
            CopyDirectoryTree(info.filePath(), target);
        else
            QFile::copy(info.filePath(), target);
    }
}
