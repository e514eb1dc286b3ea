#pragma once

#include <QByteArray>
#include <QString>

// The Cyrillic code pages the program deals with. The program works in Windows-1251:
// received KOI8-R lines are converted to it before the engine parses them, and text the
// user sends to a KOI8-R server is converted back on its way out.

// The program-wide setting shown in status panel 3: "WIN1251" (the value at every start),
// "KOI8", "OEM" or "UTF8". Only "KOI8" changes any byte; "UTF8" changes how text is read
// and written (irc/text_codec_policy.h).
inline const QString CodePageWin1251 = QStringLiteral("WIN1251");
inline const QString CodePageKoi8 = QStringLiteral("KOI8");
inline const QString CodePageOem = QStringLiteral("OEM");
inline const QString CodePageUtf8 = QStringLiteral("UTF8");

// KOI8-R byte (0x80..0xFF, index b - 0x80) -> code page 866 byte.
extern const unsigned char Koi8ToCp866Table[128];
// Code page 1251 byte (0x80..0xFF, index b - 0x80) -> KOI8-R byte.
extern const unsigned char Cp1251ToKoi8Table[128];

// Code page 866 byte -> code page 1251 byte, what OEM-to-ANSI conversion gives on a Russian
// system: the same character where 1251 has it, and a look-alike for the box-drawing and
// block characters it lacks.
unsigned char OemToAnsiByte(unsigned char b);
void OemToAnsi(QByteArray &text);

// A received line from a KOI8-R server, rewritten in place into 1251: first through the
// KOI8-R -> 866 table, then OEM to ANSI. The length never changes.
void ConvertKoi8LineToCp1251(QByteArray &line);
// Text on its way to a KOI8-R server: every byte from 0x80 up through the send table.
QByteArray ConvertCp1251ToKoi8(const QByteArray &text);

// What a received line becomes under the given setting ("KOI8" converts; the others pass
// the bytes unchanged).
void ApplyReceiveConversion(const QString &codePage, QByteArray &line);
QByteArray ApplySendConversion(const QString &codePage, const QByteArray &text);

// Byte <-> Unicode for display and speech. Unknown bytes never abort: they decode to the
// replacement character, and characters the code page lacks encode as "?".
enum class TextEncoding { Cp1251, Koi8r, Cp866 };
QString DecodeText(const QByteArray &bytes, TextEncoding encoding);
QByteArray EncodeText(const QString &text, TextEncoding encoding);
// Engine text for the windows and back goes through the connection's policy.
#include "irc/text_codec_policy.h"
