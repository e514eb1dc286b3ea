#include "irc/irc_case.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<unsigned char, 256> makeFoldTable()
{
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<unsigned char>(i);
    for (int c = 'A'; c <= 'Z'; ++c)
        table[c] = static_cast<unsigned char>(c + 32);
    // Windows-1251: А..Я -> а..я, Ё -> ё, and the other Cyrillic capitals of the upper half.
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

constexpr std::array<unsigned char, 256> kFold = makeFoldTable();

} // namespace

namespace IrcCase {

void FoldInto(QByteArray &out, QByteArrayView text)
{
    const qsizetype n = text.size();
    out.resize(n);
    char *dst = out.data();
    const auto *src = reinterpret_cast<const unsigned char *>(text.data());
    for (qsizetype i = 0; i < n; ++i)
        dst[i] = static_cast<char>(kFold[src[i]]);
}

QByteArray Fold(QByteArrayView text)
{
    QByteArray out;
    FoldInto(out, text);
    return out;
}

bool SameText(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    const auto *pa = reinterpret_cast<const unsigned char *>(a.data());
    const auto *pb = reinterpret_cast<const unsigned char *>(b.data());
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (kFold[pa[i]] != kFold[pb[i]])
            return false;
    }
    return true;
}

} // namespace IrcCase
