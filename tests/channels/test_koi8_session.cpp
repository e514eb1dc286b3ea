// A session on a KOI8-R server: the main window's code page chosen through its menu action,
// a real ngircd and a second raw client that speaks KOI8-R bytes.
#include "channel_bench.h"

#include "irc/irc_client.h"
#include "ngircd_server.h"
#include "raw_irc_client.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QTcpSocket>
#include <QtTest>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// "Привет" in KOI8-R.
const QByteArray kKoi8Greeting = bytes({0xF0, 0xD2, 0xC9, 0xD7, 0xC5, 0xD4});

// Types as a keyboard layout would deliver each character, then presses Enter.
void typeLine(QWidget *input, const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, input, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    QTest::keyClick(input, Qt::Key_Return);
}

QByteArray trafficLog(const ChannelBench &bench)
{
    QFile file(bench.dir.path() + QStringLiteral("/log/trafic.log"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Talvin ("talvin") and bob both in #room, Talvin's channel window focused.
struct Session
{
    // codePage: the main window's menu action that chooses the server's code page.
    bool open(QAction *TForm1::*codePage)
    {
        if (!server.start()) {
            qWarning("%s", qPrintable(server.errorString()));
            return false;
        }
        main = bench.start();
        (main->*codePage)->trigger();
        main->IRC->SetNick("talvin");
        main->IRC->Host = server.host();
        main->IRC->Port = server.port();
        main->IRC->Connect();
        if (!WaitUntil([this] { return main->IRC->State() == stConnected; }, 10000))
            return false;
        main->IRC->Join("#room");
        if (!WaitUntil([] { return FindChannelForm("#room") >= 0; }))
            return false;
        form = ChannelFormAt(FindChannelForm("#room"));
        if (!WaitUntil([this] { return form->UserPresent("talvin") > 0; }))
            return false;
        form->VoxEdit1->setFocus();
        if (!WaitUntil([this] { return form->_Focused(); }))
            return false;
        if (!bob.connectTo(server, "bob"))
            return false;
        bob.send("JOIN #room");
        if (!bob.waitFor(" 366 "))
            return false;
        return WaitUntil([this] { return form->UserPresent("bob") > 0; });
    }

    NgircdServer server;
    ChannelBench bench;
    TForm1 *main = nullptr;
    TChannelForm *form = nullptr;
    RawIrcClient bob;
};

} // namespace

class TestKoi8Session : public QObject
{
    Q_OBJECT

private slots:
    void koi8ServerTalksCyrillic()
    {
        Session s;
        QVERIFY(s.open(&TForm1::A_KOI8));
        QCOMPARE(s.main->CodePage, QStringLiteral("KOI8"));
        QCOMPARE(s.main->StatusPanels[3]->text(), QStringLiteral("KOI8"));

        // Bob's KOI8-R line is shown and spoken as Cyrillic, with his nick.
        s.bench.channelVoice->clear();
        s.bob.send("PRIVMSG #room :" + kKoi8Greeting);
        QVERIFY2(
            WaitUntil([&] { return ViewText(s.form).endsWith(QStringLiteral("bob:\nПривет")); }),
            qPrintable(ViewText(s.form).right(100)));
        QVERIFY(WaitUntil([&] { return !s.bench.channelTexts().isEmpty(); }));
        QCOMPARE(s.bench.channelTexts(), QStringList{QStringLiteral("bob Привет")});

        // The traffic log keeps the line as it came off the wire, before conversion.
        const QByteArray log = trafficLog(s.bench);
        QVERIFY2(log.contains("PRIVMSG #room :" + kKoi8Greeting + "\r\n"),
                 log.right(300).constData());
        QVERIFY(!log.contains(bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2})));

        // Cyrillic typed in the channel window leaves as KOI8-R bytes.
        typeLine(s.form->VoxEdit1, QStringLiteral("Ъ"));
        QVERIFY2(s.bob.waitFor("PRIVMSG #room :" + bytes({0xFF}) + "\r\n"),
                 s.bob.received.right(200).toHex(' ').constData());
        typeLine(s.form->VoxEdit1, QStringLiteral("Ёж Привет ok"));
        const QByteArray expected =
            "PRIVMSG #room :" + bytes({0xB3, 0xD6}) + ' ' + kKoi8Greeting + " ok\r\n";
        QVERIFY2(s.bob.waitFor(expected), s.bob.received.right(200).toHex(' ').constData());
        // The log shows the sent line in the bytes that went out.
        QVERIFY(trafficLog(s.bench).contains("< PRIVMSG #room :" + bytes({0xB3, 0xD6}) + ' ' +
                                             kKoi8Greeting + " ok"));
    }

    // Back on CP1251 the same bytes are not converted: they show as the CP1251 letters
    // they happen to be, and typed text leaves in CP1251.
    void cp1251LeavesKoi8BytesAlone()
    {
        Session s;
        QVERIFY(s.open(&TForm1::A_KOI8));
        s.main->A_CP1251->trigger();
        QCOMPARE(s.main->CodePage, QStringLiteral("WIN1251"));
        QCOMPARE(s.main->StatusPanels[3]->text(), QStringLiteral("WIN1251"));

        s.bench.channelVoice->clear();
        s.bob.send("PRIVMSG #room :" + kKoi8Greeting);
        QVERIFY2(
            WaitUntil([&] { return ViewText(s.form).endsWith(QStringLiteral("bob:\nрТЙЧЕФ")); }),
            qPrintable(ViewText(s.form).right(100)));
        QVERIFY(WaitUntil([&] { return !s.bench.channelTexts().isEmpty(); }));
        QCOMPARE(s.bench.channelTexts(), QStringList{QStringLiteral("bob рТЙЧЕФ")});

        typeLine(s.form->VoxEdit1, QStringLiteral("Ъ"));
        QVERIFY2(s.bob.waitFor("PRIVMSG #room :" + bytes({0xDA}) + "\r\n"),
                 s.bob.received.right(200).toHex(' ').constData());
    }
};

QTEST_MAIN(TestKoi8Session)
#include "test_koi8_session.moc"
