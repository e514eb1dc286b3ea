#pragma once

#include <QString>

// Copies a directory with everything below it (for making a program directory from the
// shipped one in tests and benchmarks). Existing files at the target are left alone.
void CopyDirectoryTree(const QString &from, const QString &to);
