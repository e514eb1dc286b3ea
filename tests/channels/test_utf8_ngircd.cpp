// A UTF-8 server setting against a real ngircd: UTF-8 and Windows-1251 users read right in
// one channel, what the user types goes out as UTF-8, a long message arrives in parts that
// each fit a protocol line, and a legacy setting still reads a UTF-8 line.
#include "channel_bench.h"

#include "app/codepage.h"

#include "irc/irc_client.h"
#include "ngircd_server.h"
#include "raw_irc_client.h"

#include <QLabel>
#include <QtTest>

class TestUtf8Ngircd : public QObject
{
    Q_OBJECT

private slots:
    void utf8ChannelWithLegacyUser()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ChannelBench bench;
        TForm1 *main = bench.start(false);
        main->A_UTF8->trigger();
        QCOMPARE(main->StatusPanels[3]->text(), QStringLiteral("UTF8"));
        main->IRC->SetNick("talvin");
        main->IRC->Host = server.host();
        main->IRC->Port = server.port();
        main->IRC->SendQueue().IntervalMs = 0; // the lines themselves, not their pacing
        main->IRC->Connect();
        QTRY_COMPARE_WITH_TIMEOUT(int(main->IRC->State()), int(stConnected), 10000);
        main->IRC->Join("#room");
        QTRY_VERIFY(FindChannelForm("#room") >= 0);
        TChannelForm *form = ChannelFormAt(FindChannelForm("#room"));
        RawIrcClient bob;
        QVERIFY(bob.connectTo(server, "bob"));
        bob.send("JOIN #room");
        QTRY_VERIFY(form->UserPresent("bob") > 0);

        const QString hello = QStringLiteral("Привет, ёж");
        bob.send("PRIVMSG #room :" + hello.toUtf8());
        QTRY_VERIFY(ViewText(form).endsWith("bob:\n" + hello));
        bob.send("PRIVMSG #room :" + EncodeText(hello, TextEncoding::Cp1251)); // fallback
        QTRY_VERIFY(ViewText(form).endsWith("bob:\n" + hello));

        TypeText(form->VoxEdit1, QStringLiteral("Ёж ok"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        QVERIFY(bob.waitFor("PRIVMSG #room :" + QStringLiteral("Ёж ok").toUtf8() + "\r\n"));

        // 300 two-byte letters in words of five: more than one line can carry.
        QString longText;
        for (int i = 0; i < 60; ++i)
            longText += QStringLiteral("жжжжж ");
        longText += QStringLiteral("конец");
        bob.received.clear();
        main->IRC->Say("#room", longText.toUtf8());
        QVERIFY(bob.waitFor(QStringLiteral("конец").toUtf8() + "\r\n"));
        QStringList parts;
        for (const QByteArray &line : bob.received.split('\n')) {
            if (line.isEmpty())
                continue;
            QVERIFY2(line.size() + 1 <= 512, line.constData());
            parts << QString::fromUtf8(line.mid(line.indexOf(" :") + 2).chopped(1));
        }
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts.join(u' '), longText);

        // A legacy setting still reads a UTF-8 line as UTF-8, and a KOI8 one as KOI8-R.
        main->A_KOI8->trigger();
        bob.send("PRIVMSG #room :" + hello.toUtf8() + "!");
        QTRY_VERIFY(ViewText(form).endsWith("bob:\n" + hello + "!"));
        bob.send("PRIVMSG #room :" + EncodeText(hello, TextEncoding::Koi8r) + "?");
        QTRY_VERIFY(ViewText(form).endsWith("bob:\n" + hello + "?"));
    }
};

QTEST_MAIN(TestUtf8Ngircd)
#include "test_utf8_ngircd.moc"
