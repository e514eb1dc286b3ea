// Colour-code stripping and the bytes a window sends.
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
        QTest::newRow("plain") << "hello"
                               << "hello";
        QTest::newRow("colour two digits") << "\x03"
                                              "12red"
                                           << "red";
        QTest::newRow("colour one digit") << "\x03"
                                             "4red"
                                          << "red";
        QTest::newRow("colour with background") << "\x03"
                                                   "4,2x"
                                                << ",2x";
        QTest::newRow("colour then letter drops it") << "\x03"
                                                        "abc"
                                                     << "bc";
        QTest::newRow("colour then comma") << "\x03"
                                              ",5x"
                                           << "x";
        QTest::newRow("colour then blank stays") << "\x03"
                                                    " x"
                                                 << " x";
        QTest::newRow("colour at the end") << "x\x03"
                                           << "x";
        QTest::newRow("nul becomes blank") << QString::fromUtf16(u"a\0b", 3) << "a b";
        QTest::newRow("bold stays") << "\x02"
                                       "b"
                                       "\x1f"
                                    << "\x02"
                                       "b"
                                       "\x1f";
    }
    void stripControlCodes()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(StripControlCodes(text), expected);
    }

    void sendBytesFollowTheCodePage()
    {
        const QString text = QStringLiteral("Привет \x03"
                                            "4мир");
        QCOMPARE(ChannelSendBytes(CodePageWin1251, text),
                 QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2 \xec\xe8\xf0"));
        QCOMPARE(ChannelSendBytes(CodePageOem, text),
                 QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2 \xec\xe8\xf0"));
        QCOMPARE(ChannelSendBytes(CodePageKoi8, text),
                 QByteArray("\xf0\xd2\xc9\xd7\xc5\xd4 \xcd\xc9\xd2"));
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

    void convertKeyRows()
    {
        const QString from =
            QStringLiteral("йцукенгшщзхъфывапролджэячсмитьбю.ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮ.123");
        const QString to =
            QStringLiteral("ычертйуиоп@эасдфгшжкляюзхцвбнмщъьЫЧЕРТЙУИОПЁЭАСДФГШЖКЛЯЮЗХЦВБНМЩЪЬ.,!");
        QCOMPARE(from.size(), 69);
        QCOMPARE(to.size(), 69);
        for (int i = 0; i < from.size(); ++i) {
            const int first = int(from.indexOf(from.at(i)));
            QCOMPARE(ConvertKey(from.at(i)), to.at(first));
        }
        QCOMPARE(ConvertKey(QLatin1Char('q')), QLatin1Char('q'));
        QCOMPARE(ConvertKey(QChar(u'ё')), QChar(u'ё'));
    }
};

QTEST_MAIN(TestChannelText)
#include "test_channel_text.moc"
