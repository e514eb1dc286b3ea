// The connection's decoding policy (which page a received piece of text is read in, what
// a KOI8-R line becomes) and the splitting of long messages.
#include "app/codepage.h"
#include "irc/message_split.h"

#include <QtTest>

class TestTextCodec : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("text");
        const QByteArray utf8 = QStringLiteral("Привет").toUtf8();
        const QByteArray cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
        const QByteArray koi8 = "\xF0\xD2\xC9\xD7\xC5\xD4";
        const QString word = QStringLiteral("Привет");
        QTest::newRow("utf8 server, utf8 line") << "UTF8" << utf8 << word;
        QTest::newRow("utf8 server, 1251 line") << "UTF8" << cp1251 << word;
        QTest::newRow("1251 server, 1251 line") << "WIN1251" << cp1251 << word;
        QTest::newRow("1251 server, utf8 line") << "WIN1251" << utf8 << word;
        QTest::newRow("koi8 server, koi8 line") << "KOI8" << koi8 << word;
        QTest::newRow("koi8 server, utf8 line") << "KOI8" << utf8 << word;
        QTest::newRow("plain ascii") << "UTF8" << QByteArray("hi there") << "hi there";
        // Traps: a 1251 letter before a byte from 0x80 to 0xBF forms a valid UTF-8 pair
        // ("Р" + "ё" reads "и"); overlong and surrogate forms are never UTF-8.
        QTest::newRow("1251 pair valid as utf8") << "WIN1251" << QByteArray("\xD0\xB8") << "и";
        QTest::newRow("overlong is 1251") << "UTF8" << QByteArray("\xC0\xAF") << "АЇ";
        QTest::newRow("surrogate is 1251")
            << "UTF8" << QByteArray("\xED\xA0\x80") << QStringLiteral("н\u00A0Ђ");
        QTest::newRow("cut sequence is 1251") << "UTF8" << QByteArray("ok \xD0") << "ok Р";
    }
    void decode()
    {
        QFETCH(QString, page);
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        TTextCodecPolicy policy;
        policy.SetCodePage(page);
        policy.ReceiveLine(line);
        QCOMPARE(policy.Decode(line), text);
    }

    void encodeAndFallback()
    {
        TTextCodecPolicy policy;
        policy.SetCodePage(CodePageUtf8);
        QCOMPARE(policy.Encode(QStringLiteral("ёж €")), QStringLiteral("ёж €").toUtf8());
        policy.SetFallbackCodePage(CodePageKoi8);
        QByteArray koi8 = "\xEA\xD6"; // not valid UTF-8: read as KOI8-R
        policy.ReceiveLine(koi8);
        QCOMPARE(policy.Decode(koi8), QStringLiteral("Йж"));
        policy.SetCodePage(CodePageKoi8);
        QCOMPARE(policy.SendLine(policy.Encode(QStringLiteral("ёж"))), QByteArray("\xA3\xD6"));
        policy.SetCodePage(QStringLiteral("bogus"));
        QCOMPARE(policy.CodePage(), CodePageWin1251);
    }

    void split_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("room");
        QTest::addColumn<QList<QByteArray>>("parts");
        using L = QList<QByteArray>;
        QTest::newRow("fits") << QByteArray("abc def") << 7 << L{"abc def"};
        QTest::newRow("at the last blank") << QByteArray("ab cd ef gh") << 7 << L{"ab cd", "ef gh"};
        QTest::newRow("blank right at the cut")
            << QByteArray("abcd efgh") << 4 << L{"abcd", "efgh"};
        QTest::newRow("no blank") << QByteArray("abcdefghij") << 4 << L{"abcd", "efgh", "ij"};
        const QByteArray zh = QStringLiteral("жжжж").toUtf8(); // 8 bytes
        QTest::newRow("utf8 never cut inside") << zh << 5 << L{zh.left(4), zh.mid(4)};
        QTest::newRow("1251 any byte")
            << QByteArray("\xE6\xE6\xE6\xE6\xE6") << 4 << L{"\xE6\xE6\xE6\xE6", "\xE6"};
    }
    void split()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, room);
        QFETCH(QList<QByteArray>, parts);
        QCOMPARE(SplitMessageText(text, room), parts);
    }

    void roomCountsTheServersPrefix()
    {
        // ":me!u@host " + "PRIVMSG #c :" leave 510 - 11 - 12 bytes.
        QCOMPARE(MessageTextRoom("PRIVMSG", "#c", "me", "u@host"), 487);
        QCOMPARE(MessageTextRoom("PRIVMSG", "#c", "me", ""), 510 - 80 - 12); // 75 assumed
    }
};

QTEST_MAIN(TestTextCodec)
#include "test_text_codec.moc"
