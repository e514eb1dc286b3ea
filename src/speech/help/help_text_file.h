#pragma once

#include <QString>

#include <optional>

// Reads a help text file: UTF-8 (with or without a byte-order mark), or Windows-1251 when
// the bytes are not valid UTF-8, as files carried over from older installations are. Line
// ends become "\n". Nothing when the file cannot be read.
std::optional<QString> ReadHelpText(const QString &path);
