#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

// Message tags: the "@key=value;key2;+vendor/key3=value" part that may open a server line.
// The parser steps over them and the line keeps them as they arrived; these read them.

// The tag text of a line (after the "@", up to the first blank), empty when it has none.
QByteArrayView LineTags(QByteArrayView line);

// The value of the tag named key in tagText, unescaped ("\:" a semicolon, "\s" a blank,
// "\\" a backslash, "\r" and "\n" the line breaks, a backslash before any other character
// that character, a lone backslash at the end nothing). A tag given more than once counts
// with its last value; a tag without "=" has the empty value. False when the tag is absent.
bool FindTag(QByteArrayView tagText, QByteArrayView key, QByteArray &value);

// The moment in a "time" tag ("2026-12-06T14:20:00.123Z"), or an invalid QDateTime when
// the tag is absent or holds no such moment.
QDateTime ServerTime(QByteArrayView tagText);
