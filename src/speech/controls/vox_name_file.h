#pragma once

#include <QString>

#include <optional>

// Spoken names kept in a profile file beside the program, so that a user can rename the
// controls of a window without touching the program. The file name is taken relative to
// the directory that was current at the first lookup. A missing file is created with a
// comment line; a key that is absent is written with the current name, so the file lists
// every name that can be changed.
//
// Returns the name to use when the file holds a non-empty one; nothing otherwise (also
// when the file can neither be read nor created).
std::optional<QString> LookUpSpokenName(const QString &fileName, const QString &section,
                                        const QString &key, const QString &currentName);
