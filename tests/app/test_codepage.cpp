// The KOI8-R conversions checked byte for byte against the system's own code pages, and the
// decoding the windows use for display.
#include "app/codepage.h"

#include <QTest>
#include <QTextCodec>

#include <numeric>

namespace {
// The byte a character of one code page has in another, or -1 when that page lacks it.
int byteIn(const char *to, const char *from, int b)
{
    const char byte = static_cast<char>(b);
    const QChar ch = QTextCodec::codecForName(from)->toUnicode(&byte, 1).at(0);
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    const QByteArray out = QTextCodec::codecForName(to)->fromUnicode(&ch, 1, &state);
    return state.invalidChars == 0 && out.size() == 1 ? static_cast<unsigned char>(out[0]) : -1;
}
} // namespace

class TestCodePage : public QObject
{
    Q_OBJECT
private slots:
    // Where the target page lacks the character, the tables take a look-alike.
    void tablesFollowTheSystemCodePages()
    {
        const QHash<int, int> lacking = {{0x93, 0xF4}, {0x97, 0xF7}, {0x98, 0xF3}, {0x99, 0xF2},
                                         {0x9B, 0xF5}, {0x9D, 0xFD}, {0x9F, 0xF6}, {0xBF, 0xFC}};
        const QHash<int, int> listed = {{0x8A, 0x3C}, {0x95, 0xA9}, {0x9B, 0x3E}, {0x9C, 0xB0},
                                        {0x9E, 0xB7}, {0xA1, 0xF6}, {0xA2, 0xF7}, {0xA3, 0x4A},
                                        {0xA5, 0xE7}, {0xAA, 0xB4}, {0xAB, 0x3C}, {0xAF, 0xB7},
                                        {0xB2, 0x49}, {0xB3, 0x69}, {0xB4, 0xC7}, {0xB9, 0xBF},
                                        {0xBA, 0xA4}, {0xBB, 0x3E}, {0xBC, 0x6A}, {0xBF, 0xA7}};
        for (int b = 0x80; b <= 0xFF; ++b) {
            const int in866 = byteIn("IBM866", "KOI8-R", b);
            QCOMPARE(in866 < 0, lacking.contains(b));
            QCOMPARE(int(Koi8ToCp866Table[b - 0x80]), in866 < 0 ? lacking.value(b) : in866);
            const bool letter = b >= 0xC0 || b == 0xA8 || b == 0xB8 || b == 0xB0 || b == 0xB7;
            QCOMPARE(int(Cp1251ToKoi8Table[b - 0x80]),
                     letter ? byteIn("KOI8-R", "windows-1251", b) : listed.value(b, b));
        }
    }

    // Received through 866 and OEM-to-ANSI: every letter comes back, box drawing reads as
    // ASCII.
    void linesThroughTheConversions()
    {
        for (int b = 0xC0; b <= 0xFF; ++b) {
            QByteArray line = ConvertCp1251ToKoi8(QByteArray(1, char(b)));
            ConvertKoi8LineToCp1251(line);
            QCOMPARE(quint8(line[0]), quint8(b));
        }
        QByteArray frame("\x82\x80\x83\x81\x8A\xB3\xA3"); // ┌ ─ ┐ │ ┼ Ё ё in KOI8-R
        ConvertKoi8LineToCp1251(frame);
        QCOMPARE(frame, QByteArray("+-+|+\xA8\xB8"));
        // Never the length or the ASCII half.
        QByteArray all(255, 0), line;
        std::iota(all.begin(), all.end(), char(1));
        ConvertKoi8LineToCp1251(line = all);
        QCOMPARE(line.size() + ConvertCp1251ToKoi8(all).size(), 2 * all.size());
        QCOMPARE(line.left(0x7F) + ConvertCp1251ToKoi8(all).left(0x7F), all.left(0x7F).repeated(2));
        QCOMPARE(DecodeText("\xB3", TextEncoding::Koi8r), "Ё");
        QCOMPARE(DecodeText("\x98", TextEncoding::Cp1251).size(), 1); // unassigned, not lost
        QCOMPARE(EncodeText("№", TextEncoding::Koi8r), QByteArray("?"));
    }
};

QTEST_GUILESS_MAIN(TestCodePage)
#include "test_codepage.moc"
