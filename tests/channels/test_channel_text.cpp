// Colour-code stripping, the bytes a window sends, and the serial work queue.
#include "app/codepage.h"
#include "channels/channel_text.h"
#include "channels/serial_work.h"

#include <QtTest>

class TestChannelText : public QObject
{
    Q_OBJECT

private slots:
    void stripControlCodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        // A colour code takes one or two digits, or one character from ',' on; no more.
        const QStringList rows = {"12red|red", "4red|red", "4,2x|,2x", "abc|bc",
                                  ",5x|x",     " x| x",    "|",        "123|3"};
        for (const QString &row : rows)
            QTest::newRow(qPrintable(row))
                << u'\x03' + row.section(u'|', 0, 0) << row.section(u'|', 1);
        QTest::newRow("nul becomes blank") << QString::fromUtf16(u"a\0b", 3) << "a b";
        QTest::newRow("bold and underline stay") << "\x02"
                                                    "b\x1f"
                                                 << "\x02"
                                                    "b\x1f";
    }
    void stripControlCodes()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(StripControlCodes(text), expected);
        // Stripped the same way on the way out.
        QCOMPARE(ChannelSendBytes(QStringLiteral("Привет ") + text),
                 EncodeEngineText("Привет " + expected));
    }

    void serialWorkQueuesNestedWorkInOrder()
    {
        TSerialWork lock;
        QStringList order;
        lock.Run([&] {
            order << "a begins";
            // Work arriving while "a" runs (a nested event loop) waits for it.
            lock.Run([&] { order << "b"; });
            lock.Run([&] { order << "c"; });
            order << "a ends";
        });
        QCOMPARE(order, (QStringList{"a begins", "a ends", "b", "c"}));
        // A piece that throws frees the lock for the next one.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 lock.Run([] { throw std::runtime_error("x"); }));
        QVERIFY(!lock.Busy());
        lock.Run([&] { order << "d"; });
        QCOMPARE(order.last(), QStringLiteral("d"));
    }
};

QTEST_MAIN(TestChannelText)
#include "test_channel_text.moc"
