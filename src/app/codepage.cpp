#include "app/codepage.h"

#include <algorithm>

#include <QTextCodec>

// The published KOI8-R -> 866 correspondence. KOI8-R has eight characters that 866 lacks
// (0x93 0x97 0x98 0x99 0x9B 0x9D 0x9F 0xBF); they take the fixed substitutes
// F4 F7 F3 F2 F5 FD F6 FC that users of the old DOS gateways know.
const unsigned char Koi8ToCp866Table[128] = {
    0xC4, 0xB3, 0xDA, 0xBF, 0xC0, 0xD9, 0xC3, 0xB4,
    0xC2, 0xC1, 0xC5, 0xDF, 0xDC, 0xDB, 0xDD, 0xDE, // 0x80
    0xB0, 0xB1, 0xB2, 0xF4, 0xFE, 0xF9, 0xFB, 0xF7,
    0xF3, 0xF2, 0xFF, 0xF5, 0xF8, 0xFD, 0xFA, 0xF6, // 0x90
    0xCD, 0xBA, 0xD5, 0xF1, 0xD6, 0xC9, 0xB8, 0xB7,
    0xBB, 0xD4, 0xD3, 0xC8, 0xBE, 0xBD, 0xBC, 0xC6, // 0xA0
    0xC7, 0xCC, 0xB5, 0xF0, 0xB6, 0xB9, 0xD1, 0xD2,
    0xCB, 0xCF, 0xD0, 0xCA, 0xD8, 0xD7, 0xCE, 0xFC, // 0xB0
    0xEE, 0xA0, 0xA1, 0xE6, 0xA4, 0xA5, 0xE4, 0xA3,
    0xE5, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, // 0xC0
    0xAF, 0xEF, 0xE0, 0xE1, 0xE2, 0xE3, 0xA6, 0xA2,
    0xEC, 0xEB, 0xA7, 0xE8, 0xED, 0xE9, 0xE7, 0xEA, // 0xD0
    0x9E, 0x80, 0x81, 0x96, 0x84, 0x85, 0x94, 0x83,
    0x95, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, // 0xE0
    0x8F, 0x9F, 0x90, 0x91, 0x92, 0x93, 0x86, 0x82,
    0x9C, 0x9B, 0x87, 0x98, 0x9D, 0x99, 0x97, 0x9A, // 0xF0
};

// 1251 -> KOI8-R: the published correspondence for the Cyrillic letters, 0xB0 and 0xB7;
// look-alikes for the Ukrainian and Belarusian letters and the typographic quotes KOI8-R
// has no code for; everything else passes unchanged.
const unsigned char Cp1251ToKoi8Table[128] = {
    0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87,
    0x88, 0x89, 0x3C, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, // 0x80
    0x90, 0x91, 0x92, 0x93, 0x94, 0xA9, 0x96, 0x97,
    0x98, 0x99, 0x9A, 0x3E, 0xB0, 0x9D, 0xB7, 0x9F, // 0x90
    0xA0, 0xF6, 0xF7, 0x4A, 0xA4, 0xE7, 0xA6, 0xA7,
    0xB3, 0xA9, 0xB4, 0x3C, 0xAC, 0xAD, 0xAE, 0xB7, // 0xA0
    0x9C, 0xB1, 0x49, 0x69, 0xC7, 0xB5, 0xB6, 0x9E,
    0xA3, 0xBF, 0xA4, 0x3E, 0x6A, 0xBD, 0xBE, 0xA7, // 0xB0
    0xE1, 0xE2, 0xF7, 0xE7, 0xE4, 0xE5, 0xF6, 0xFA,
    0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, // 0xC0
    0xF2, 0xF3, 0xF4, 0xF5, 0xE6, 0xE8, 0xE3, 0xFE,
    0xFB, 0xFD, 0xFF, 0xF9, 0xF8, 0xFC, 0xE0, 0xF1, // 0xD0
    0xC1, 0xC2, 0xD7, 0xC7, 0xC4, 0xC5, 0xD6, 0xDA,
    0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, // 0xE0
    0xD2, 0xD3, 0xD4, 0xD5, 0xC6, 0xC8, 0xC3, 0xDE,
    0xDB, 0xDD, 0xDF, 0xD9, 0xD8, 0xDC, 0xC0, 0xD1, // 0xF0
};

namespace {

QTextCodec *codecFor(TextEncoding encoding)
{
    // Looking a codec up by name costs more than decoding a chat line: do it once.
    static QTextCodec *const koi8r = QTextCodec::codecForName("KOI8-R");
    static QTextCodec *const cp866 = QTextCodec::codecForName("IBM866");
    static QTextCodec *const cp1251 = QTextCodec::codecForName("windows-1251");
    switch (encoding) {
    case TextEncoding::Koi8r:
        return koi8r;
    case TextEncoding::Cp866:
        return cp866;
    case TextEncoding::Cp1251:
        break;
    }
    return cp1251;
}

// 1251 has no box-drawing or block characters; fold them to ASCII look-alikes so a
// pseudo-graphic banner stays readable and never turns into a byte the display rejects.
char boxDrawingLookAlike(char16_t ch)
{
    if (ch == u'─' || ch == u'═')
        return '-';
    if (ch == u'│' || ch == u'║')
        return '|';
    if (ch >= 0x2500 && ch <= 0x257F)
        return '+';
    if (ch == u'√')
        return 'v';
    return '#'; // shades and blocks
}

struct OemToAnsiTable
{
    unsigned char map[256];
    OemToAnsiTable()
    {
        QTextCodec *oem = codecFor(TextEncoding::Cp866);
        QTextCodec *ansi = codecFor(TextEncoding::Cp1251);
        for (int b = 0; b < 256; ++b) {
            map[b] = static_cast<unsigned char>(b);
            if (b < 0x80)
                continue;
            const char byte = static_cast<char>(b);
            const QString ch = oem->toUnicode(&byte, 1);
            QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
            const QByteArray out = ansi->fromUnicode(ch.constData(), ch.size(), &state);
            if (state.invalidChars == 0 && out.size() == 1)
                map[b] = static_cast<unsigned char>(out[0]);
            else
                map[b] = static_cast<unsigned char>(boxDrawingLookAlike(ch.at(0).unicode()));
        }
    }
};

const OemToAnsiTable &oemToAnsiTable()
{
    static const OemToAnsiTable table;
    return table;
}

} // namespace

unsigned char OemToAnsiByte(unsigned char b)
{
    return oemToAnsiTable().map[b];
}

void OemToAnsi(QByteArray &text)
{
    const auto &map = oemToAnsiTable().map;
    for (char &c : text)
        c = static_cast<char>(map[static_cast<unsigned char>(c)]);
}

void ConvertKoi8LineToCp1251(QByteArray &line)
{
    const auto &map = oemToAnsiTable().map;
    for (char &c : line) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80)
            c = static_cast<char>(map[Koi8ToCp866Table[b - 0x80]]);
    }
}

QByteArray ConvertCp1251ToKoi8(const QByteArray &text)
{
    QByteArray out = text;
    for (char &c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80)
            c = static_cast<char>(Cp1251ToKoi8Table[b - 0x80]);
    }
    return out;
}

void ApplyReceiveConversion(const QString &codePage, QByteArray &line)
{
    if (codePage == CodePageKoi8)
        ConvertKoi8LineToCp1251(line);
}

QByteArray ApplySendConversion(const QString &codePage, const QByteArray &text)
{
    return codePage == CodePageKoi8 ? ConvertCp1251ToKoi8(text) : text;
}

// All three code pages are ASCII in their lower half, and most of what passes (nicks,
// commands, Latin text) is plain ASCII: that needs no converter.
QString DecodeText(const QByteArray &bytes, TextEncoding encoding)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char b) { return uchar(b) < 0x80; }))
        return QString::fromLatin1(bytes);
    return codecFor(encoding)->toUnicode(bytes);
}

QByteArray EncodeText(const QString &text, TextEncoding encoding)
{
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toLatin1();
    return codecFor(encoding)->fromUnicode(text);
}
