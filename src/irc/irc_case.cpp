#include "irc/irc_case.h"

#include "irc/utf8_text.h"

#include <array>

namespace {

using TFoldTable = std::array<unsigned char, 256>;

constexpr TFoldTable makeAsciiTable()
{
    TFoldTable table{};
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<unsigned char>(i);
    for (int c = 'A'; c <= 'Z'; ++c)
        table[c] = static_cast<unsigned char>(c + 32);
    return table;
}

constexpr TFoldTable makeRfc1459Table(bool strict)
{
    TFoldTable table = makeAsciiTable();
    table['['] = '{';
    table[']'] = '}';
    table['\\'] = '|';
    if (!strict)
        table['~'] = '^';
    return table;
}

constexpr TFoldTable makeCp1251Table()
{
    TFoldTable table = makeAsciiTable();
    // А..Я -> а..я, Ё -> ё, and the other Cyrillic capitals of the upper half.
    for (int c = 0xC0; c <= 0xDF; ++c)
        table[c] = static_cast<unsigned char>(c + 32);
    table[0xA8] = 0xB8; // Ё
    table[0x80] = 0x90; // Ђ
    table[0x81] = 0x83; // Ѓ
    table[0x8A] = 0x9A; // Љ
    table[0x8C] = 0x9C; // Њ
    table[0x8D] = 0x9D; // Ќ
    table[0x8E] = 0x9E; // Ћ
    table[0x8F] = 0x9F; // Џ
    table[0xA1] = 0xA2; // Ў
    table[0xA3] = 0xBC; // Ј
    table[0xA5] = 0xB4; // Ґ
    table[0xAA] = 0xBA; // Є
    table[0xAF] = 0xBF; // Ї
    table[0xB2] = 0xB3; // І
    table[0xBD] = 0xBE; // Ѕ
    return table;
}

constexpr TFoldTable kAscii = makeAsciiTable();
constexpr TFoldTable kRfc1459 = makeRfc1459Table(false);
constexpr TFoldTable kStrictRfc1459 = makeRfc1459Table(true);
constexpr TFoldTable kCp1251 = makeCp1251Table();

const TFoldTable &tableOf(TIrcCaseMapping mapping)
{
    switch (mapping) {
    case TIrcCaseMapping::Ascii:
        return kAscii;
    case TIrcCaseMapping::Rfc1459:
        return kRfc1459;
    case TIrcCaseMapping::StrictRfc1459:
        return kStrictRfc1459;
    case TIrcCaseMapping::AsciiCyrillic:
        break;
    }
    return kCp1251;
}

bool allAscii(const unsigned char *p, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] >= 0x80)
            return false;
    }
    return true;
}

// The capitals 1251 has, in UTF-8: U+0400..U+042F (D0 80..D0 AF) and Ґ U+0490 (D2 90).
// Each folds to a two-byte small letter, so the length stays.
void foldUtf8Cyrillic(unsigned char *p, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            p[i] = kAscii[b];
            continue;
        }
        if (i + 1 >= n)
            break;
        const unsigned char next = p[i + 1];
        if (b == 0xD0 && next >= 0x80 && next <= 0x8F) { // Ѐ..Џ -> ѐ..џ (D1 90..D1 9F)
            p[i] = 0xD1;
            p[i + 1] = static_cast<unsigned char>(next + 0x10);
        } else if (b == 0xD0 && next >= 0x90 && next <= 0x9F) { // А..П -> а..п
            p[i + 1] = static_cast<unsigned char>(next + 0x20);
        } else if (b == 0xD0 && next >= 0xA0 && next <= 0xAF) { // Р..Я -> р..я (D1 80..)
            p[i] = 0xD1;
            p[i + 1] = static_cast<unsigned char>(next - 0x20);
        } else if (b == 0xD2 && next == 0x90) { // Ґ -> ґ
            p[i + 1] = 0x91;
        }
        ++i; // a Cyrillic letter is two bytes; longer characters have no capitals here
        while (i + 1 < n && (p[i + 1] & 0xC0) == 0x80)
            ++i;
    }
}

} // namespace

namespace IrcCase {

TIrcCaseMapping MappingNamed(QByteArrayView value)
{
    if (value == "ascii")
        return TIrcCaseMapping::Ascii;
    if (value == "rfc1459")
        return TIrcCaseMapping::Rfc1459;
    if (value == "strict-rfc1459")
        return TIrcCaseMapping::StrictRfc1459;
    return TIrcCaseMapping::AsciiCyrillic;
}

void FoldInto(QByteArray &out, QByteArrayView text, TIrcCaseMapping mapping)
{
    const qsizetype n = text.size();
    out.resize(n);
    auto *dst = reinterpret_cast<unsigned char *>(out.data());
    const auto *src = reinterpret_cast<const unsigned char *>(text.data());
    // Folding UTF-8 bytes through the 1251 table would turn lead bytes into other letters.
    if (mapping == TIrcCaseMapping::AsciiCyrillic && !allAscii(src, n) && IsMultiByteUtf8(text)) {
        std::copy(src, src + n, dst);
        foldUtf8Cyrillic(dst, n);
        return;
    }
    const TFoldTable &table = tableOf(mapping);
    for (qsizetype i = 0; i < n; ++i)
        dst[i] = table[src[i]];
}

QByteArray Fold(QByteArrayView text, TIrcCaseMapping mapping)
{
    QByteArray out;
    FoldInto(out, text, mapping);
    return out;
}

bool SameText(QByteArrayView a, QByteArrayView b, TIrcCaseMapping mapping)
{
    if (a.size() != b.size())
        return false;
    return Fold(a, mapping) == Fold(b, mapping);
}

bool SameName(const QString &a, const QString &b, TIrcCaseMapping mapping)
{
    if (a.size() != b.size())
        return false;
    if (mapping == TIrcCaseMapping::AsciiCyrillic)
        return a.compare(b, Qt::CaseInsensitive) == 0;
    const TFoldTable &table = tableOf(mapping);
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t ca = a[i].unicode(), cb = b[i].unicode();
        if (ca == cb)
            continue;
        if (ca >= 0x80 || cb >= 0x80 || table[ca] != table[cb])
            return false;
    }
    return true;
}

} // namespace IrcCase
