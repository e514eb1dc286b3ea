#pragma once

#include "base/exception.h"

#include <QString>

// Access to the INI files under <ProgramDir>/config. Every read and write goes to the file
// at once; nothing is cached, so a change made on disk is seen by the next read.

// The directory the program was started from; every configuration, sound, log and list
// path is formed under it. Captured once at start (SetProgramDir), before anything reads
// configuration. Until then it is the current working directory.
QString ProgramDir();
void SetProgramDir(const QString &dir);

// <ProgramDir>/config/<fileName>
QString ConfigFilePath(const QString &fileName);

// A write the platform refused: "Unable to write to <full path>".
class EConfigWriteError : public ETalvinError
{
public:
    using ETalvinError::ETalvinError;
};

// A missing file reads as "err-", a missing key in an existing file as "err-" + key.
QString GetConfigValue(const QString &fileName, const QString &section, const QString &key);
// Creates the file, section or key as needed; the file is replaced whole, never left half
// written. A value is stored on one line (line breaks become blanks). Raises
// EConfigWriteError when the file cannot be written (no config directory, a read-only
// file) or the section or key name cannot be stored. Returns true.
bool SetConfigValue(const QString &fileName, const QString &section, const QString &key,
                    const QString &value);

// The end-of-list test for numbered keys: a value counts as present unless it is longer
// than one character and begins with "er".
bool IsConfigValue(const QString &value);

// Booleans are stored as "-1" and "0". Reading accepts any integer (non-zero is true) and
// True/False in any case; anything else raises EConvertError.
QString BoolToConfig(bool value);
bool ConfigToBool(const QString &value);
// Decimal integer; anything else raises EConvertError.
int ConfigToInt(const QString &value);

QString GetCaption(const QString &key);
bool SetCaption(const QString &key, const QString &value);
QString GetUserValue(const QString &key);
bool SetUserValue(const QString &key, const QString &value);
QString GetServerValue(const QString &key);
bool SetServerValue(const QString &key, const QString &value);
QString GetFaworitValue(const QString &key);
bool SetFaworitValue(const QString &key, const QString &value);
QString GetSpeechValue(const QString &key);
bool SetSpeechValue(const QString &key, const QString &value);
QString GetMessageText(const QString &key);
QString GetConnectValue(const QString &key);
