#include "irc/utf8_text.h"

bool IsMultiByteUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    bool multiByte = false;
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0)
                low = 0xA0; // overlong
            else if (b == 0xED)
                high = 0x9F; // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0)
                low = 0x90; // overlong
            else if (b == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return false; // a stray continuation byte, C0, C1 or F5 up
        }
        if (i + length > n || p[i + 1] < low || p[i + 1] > high)
            return false;
        for (int k = 2; k < length; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        multiByte = true;
        i += length;
    }
    return multiByte;
}
