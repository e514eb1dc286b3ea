// The KOI8-R receive and send conversions, checked byte for byte against the code pages'
// published correspondences, and the decoding the windows use for display.

#include "app/codepage.h"

#include <QTest>
#include <QTextCodec>

namespace {
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// The byte a character has in a code page, or -1 when the page lacks it.
int byteIn(const char *codec, QChar ch)
{
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    const QByteArray out = QTextCodec::codecForName(codec)->fromUnicode(&ch, 1, &state);
    return state.invalidChars == 0 && out.size() == 1 ? static_cast<unsigned char>(out[0]) : -1;
}
QChar charOf(const char *codec, int b)
{
    const char byte = static_cast<char>(b);
    return QTextCodec::codecForName(codec)->toUnicode(&byte, 1).at(0);
}
} // namespace

class TestCodePage : public QObject
{
    Q_OBJECT
private slots:
    void greetingArrivesAsCp1251()
    {
        QByteArray line = bytes({0xF0, 0xD2, 0xC9, 0xD7, 0xC5, 0xD4});
        ApplyReceiveConversion(CodePageKoi8, line);
        QCOMPARE(line, bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}));
        QCOMPARE(DecodeEngineText(line), QStringLiteral("Привет"));
    }

    void sendExamples()
    {
        QCOMPARE(ApplySendConversion(CodePageKoi8, bytes({0xDA})), bytes({0xFF}));
        QCOMPARE(ApplySendConversion(CodePageKoi8, bytes({0xB2, 0xB3})), QByteArray("Ii"));
        QCOMPARE(ApplySendConversion(CodePageKoi8, EncodeEngineText(QStringLiteral("Ёж ok"))),
                 bytes({0xB3, 0xD6, 0x20, 'o', 'k'}));
    }

    void otherSettingsChangeNothing()
    {
        const QByteArray all = [] {
            QByteArray b;
            for (int i = 1; i < 256; ++i)
                b.append(static_cast<char>(i));
            return b;
        }();
        for (const QString &page : {CodePageWin1251, CodePageOem}) {
            QByteArray line = all;
            ApplyReceiveConversion(page, line);
            QCOMPARE(line, all);
            QCOMPARE(ApplySendConversion(page, all), all);
        }
        QByteArray koi = all;
        ApplyReceiveConversion(CodePageKoi8, koi);
        QCOMPARE(koi.size(), all.size());
        QCOMPARE(koi.left(0x7F), all.left(0x7F)); // ASCII untouched
        QCOMPARE(ConvertCp1251ToKoi8(all).left(0x7F), all.left(0x7F));
    }

    void receiveTableFollowsKoi8rTo866()
    {
        const QHash<int, int> lacking = {{0x93, 0xF4}, {0x97, 0xF7}, {0x98, 0xF3}, {0x99, 0xF2},
                                         {0x9B, 0xF5}, {0x9D, 0xFD}, {0x9F, 0xF6}, {0xBF, 0xFC}};
        for (int b = 0x80; b <= 0xFF; ++b) {
            const int expected = byteIn("IBM866", charOf("KOI8-R", b));
            const int actual = Koi8ToCp866Table[b - 0x80];
            if (expected < 0) {
                QVERIFY2(lacking.contains(b), qPrintable(QString::number(b, 16)));
                QCOMPARE(actual, lacking.value(b));
            } else {
                QVERIFY2(!lacking.contains(b), qPrintable(QString::number(b, 16)));
                QCOMPARE(actual, expected);
            }
        }
    }

    void sendTableFollows1251ToKoi8r()
    {
        const QHash<int, int> listed = {{0x8A, 0x3C}, {0x95, 0xA9}, {0x9B, 0x3E}, {0x9C, 0xB0},
                                        {0x9E, 0xB7}, {0xA1, 0xF6}, {0xA2, 0xF7}, {0xA3, 0x4A},
                                        {0xA5, 0xE7}, {0xAA, 0xB4}, {0xAB, 0x3C}, {0xAF, 0xB7},
                                        {0xB2, 0x49}, {0xB3, 0x69}, {0xB4, 0xC7}, {0xB9, 0xBF},
                                        {0xBA, 0xA4}, {0xBB, 0x3E}, {0xBC, 0x6A}, {0xBF, 0xA7}};
        for (int b = 0x80; b <= 0xFF; ++b) {
            const int actual = Cp1251ToKoi8Table[b - 0x80];
            if (b >= 0xC0 || b == 0xA8 || b == 0xB8 || b == 0xB0 || b == 0xB7)
                QCOMPARE(actual, byteIn("KOI8-R", charOf("windows-1251", b)));
            else
                QCOMPARE(actual, listed.value(b, b));
        }
    }

    void everyCyrillicLetterSurvivesTheRoundTrip()
    {
        for (int b = 0xC0; b <= 0xFF; ++b) {
            QByteArray line(1, static_cast<char>(b));
            line = ConvertCp1251ToKoi8(line);
            ConvertKoi8LineToCp1251(line);
            QCOMPARE(static_cast<unsigned char>(line[0]), static_cast<unsigned char>(b));
        }
        QByteArray yo = bytes({0xB3, 0xA3}); // KOI8-R Ё ё
        ConvertKoi8LineToCp1251(yo);
        QCOMPARE(yo, bytes({0xA8, 0xB8}));
    }

    void boxDrawingBecomesReadableAscii()
    {
        QByteArray frame = bytes({0x82, 0x80, 0x83, 0x81, 0x8A}); // ┌ ─ ┐ │ ┼ in KOI8-R
        ConvertKoi8LineToCp1251(frame);
        QCOMPARE(frame, QByteArray("+-+|+"));
        QCOMPARE(OemToAnsiByte(0xFC), 0xB9); // №
        QCOMPARE(OemToAnsiByte(0xF0), 0xA8); // Ё
    }

    void decodingNeverFails()
    {
        QCOMPARE(DecodeText(bytes({0xB3}), TextEncoding::Koi8r), QStringLiteral("Ё"));
        QCOMPARE(DecodeText(bytes({0xF0}), TextEncoding::Cp866), QStringLiteral("Ё"));
        QCOMPARE(DecodeText(bytes({0xA8}), TextEncoding::Cp1251), QStringLiteral("Ё"));
        QCOMPARE(DecodeText(bytes({0x98}), TextEncoding::Cp1251).size(), 1);
        QCOMPARE(EncodeText(QStringLiteral("№"), TextEncoding::Koi8r), QByteArray("?"));
    }
};

QTEST_GUILESS_MAIN(TestCodePage)
#include "test_codepage.moc"
