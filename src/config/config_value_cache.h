#pragma once

#include <QString>

#include <optional>

// The values of the configuration files as last read. Captions are asked for at every join,
// part and quit a window shows; reading, decoding and parsing caption.ini each time was
// most of the program's work in a busy channel.
//
// An entry serves only while the file's size, modification time and inode are what they
// were when it was read, and only for a file that was last changed more than two seconds
// before it was read: a change within the file system's time granularity cannot go unseen.
namespace ConfigValueCache {

enum class Found { NoFile, NoKey, Value };

struct Lookup
{
    Found State = Found::NoFile;
    QString Value;
};

// The value of key in section of the profile file at path, as IniFile::value() finds it.
Lookup Value(const QString &path, const QString &section, const QString &key);
// Forgets what was read from the file (after the program wrote it).
void Forget(const QString &path);

} // namespace ConfigValueCache
