// The code pages on arbitrary bytes: the KOI8-R receive conversion keeps the length, the
// send conversion keeps it too, and
// after one decode and encode the bytes stay as they are.
#include "fuzz_input.h"

#include "app/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    QByteArray line = bytes;
    ApplyReceiveConversion(CodePageKoi8, line);
    FUZZ_CHECK(line.size() == bytes.size());
    FUZZ_CHECK(ApplySendConversion(CodePageKoi8, line).size() == line.size());
    QByteArray same = bytes;
    ApplyReceiveConversion(CodePageWin1251, same);
    FUZZ_CHECK(same == bytes && ApplySendConversion(CodePageOem, bytes) == bytes);
    QByteArray oem = bytes;
    OemToAnsi(oem);
    FUZZ_CHECK(oem.size() == bytes.size());

    for (TextEncoding encoding : {TextEncoding::Cp1251, TextEncoding::Koi8r, TextEncoding::Cp866}) {
        const QByteArray encoded = EncodeText(DecodeText(bytes, encoding), encoding);
        FUZZ_CHECK(EncodeText(DecodeText(encoded, encoding), encoding) == encoded);
    }
    // Any text the user types encodes to something, one byte per character at most.
    const QString typed = QString::fromUtf8(bytes);
    for (TextEncoding encoding : {TextEncoding::Cp1251, TextEncoding::Koi8r, TextEncoding::Cp866})
        FUZZ_CHECK(EncodeText(typed, encoding).size() <= typed.size());
    return 0;
}
