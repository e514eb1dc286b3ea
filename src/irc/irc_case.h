#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Nicks and channel names are compared without regard to letter case: ASCII letters and the
// Cyrillic letters of Windows-1251 (the code page the engine's text is normally in). The
// bracket characters are left alone, as they are distinct characters for our servers.
namespace IrcCase {

// Writes the case-folded form of text into out, reusing out's storage when it is not shared.
void FoldInto(QByteArray &out, QByteArrayView text);

QByteArray Fold(QByteArrayView text);

bool SameText(QByteArrayView a, QByteArrayView b);

} // namespace IrcCase
