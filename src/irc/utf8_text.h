#pragma once

#include <QByteArrayView>

// Byte-level UTF-8 facts the engine and the decoding policy need, without a codec.

// Valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF) that holds at
// least one multi-byte sequence. Plain ASCII is false: it reads the same in every page.
bool IsMultiByteUtf8(QByteArrayView bytes);

// Whether a UTF-8 character starts at that offset (the end counts as a start).
inline bool IsUtf8CharStart(QByteArrayView bytes, qsizetype at)
{
    return at >= bytes.size() || (static_cast<unsigned char>(bytes[at]) & 0xC0) != 0x80;
}
