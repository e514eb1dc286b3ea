#include "config/config_value_cache.h"

#include "config/ini_file.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QMutex>

#include <sys/stat.h>

namespace {

struct FileStamp
{
    qint64 Size = 0;
    qint64 ModifiedNs = 0;
    qint64 ChangedNs = 0;
    quint64 Inode = 0;

    bool operator==(const FileStamp &) const = default;
};

std::optional<FileStamp> StampOf(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    const auto ns = [](const timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return FileStamp{qint64(info.st_size), ns(info.st_mtim), ns(info.st_ctim),
                     quint64(info.st_ino)};
}

struct CachedFile
{
    FileStamp Stamp;
    QHash<QString, QHash<QString, QString>> Sections;
};

constexpr qint64 TrustAfterNs = 2'000'000'000;

QMutex s_mutex; // the engine's and the speech's threads read configuration too
QHash<QString, CachedFile> s_files;

ConfigValueCache::Lookup Find(const QHash<QString, QHash<QString, QString>> &sections,
                              const QString &section, const QString &key)
{
    const auto values = sections.constFind(IniFile::lookupName(section));
    if (values == sections.cend())
        return {ConfigValueCache::Found::NoKey, {}};
    const auto value = values->constFind(IniFile::lookupName(key));
    if (value == values->cend())
        return {ConfigValueCache::Found::NoKey, {}};
    return {ConfigValueCache::Found::Value, *value};
}

} // namespace

ConfigValueCache::Lookup ConfigValueCache::Value(const QString &path, const QString &section,
                                                 const QString &key)
{
    const std::optional<FileStamp> stamp = StampOf(path);
    QMutexLocker lock(&s_mutex);
    if (stamp) {
        const auto cached = s_files.constFind(path);
        if (cached != s_files.cend() && cached->Stamp == *stamp)
            return Find(cached->Sections, section, key);
    }
    s_files.remove(path);
    const auto file = IniFile::load(path);
    if (!file)
        return {Found::NoFile, {}};
    CachedFile read{stamp.value_or(FileStamp{}), file->allValues()};
    const Lookup found = Find(read.Sections, section, key);
    const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1000000;
    if (stamp && now - stamp->ModifiedNs > TrustAfterNs && now - stamp->ChangedNs > TrustAfterNs)
        s_files.insert(path, std::move(read));
    return found;
}

void ConfigValueCache::Forget(const QString &path)
{
    QMutexLocker lock(&s_mutex);
    s_files.remove(path);
}
