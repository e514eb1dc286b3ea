// A KOI8-R server and a Cyrillic channel name: the lines the program words for the user
// (join, op, deop, kick) name the channel in the server's code page, and so does the
// CTCP TIME answer.
#include "channel_bench.h"

#include "app/codepage.h"
#include "irc/irc_client.h"
#include "ngircd_server.h"
#include "raw_irc_client.h"

#include <QtTest>

class TestKoi8Names : public QObject
{
    Q_OBJECT

private slots:
    void cyrillicChannelOnKoi8Server()
    {
        // A locale whose short date has a Cyrillic letter ("г." for the year).
        QLocale::setDefault(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ChannelBench bench;
        TForm1 *main = bench.start();
        main->A_KOI8->trigger();
        main->IRC->SetNick("talvin");
        main->IRC->Host = server.host();
        main->IRC->Port = server.port();
        main->IRC->Connect();
        QVERIFY(WaitUntil([&] { return main->IRC->State() == stConnected; }, 10000));

        const QString name = QStringLiteral("#канал");
        const QByteArray wire = EncodeText(name, TextEncoding::Koi8r);
        // The channel list and the favourites join with the name as the program keeps it.
        main->IRC->Join(EncodeEngineText(name));
        QVERIFY2(WaitUntil([&] { return FindChannelForm(name) >= 0; }), bench.log().constData());
        TChannelForm *form = ChannelFormAt(FindChannelForm(name));
        RawIrcClient bob;
        QVERIFY(bob.connectTo(server, "bob"));
        bob.send("JOIN " + wire);
        QVERIFY(WaitUntil([&] { return form->UserPresent(QStringLiteral("bob")) > 0; }));

        const int entry = form->UserPresent(QStringLiteral("bob"));
        form->VoxListView1->setCurrentIndex(form->UserTable()->index(entry - 1, 0));
        form->OpExecute();
        QVERIFY2(bob.waitFor(" MODE " + wire + " +o bob\r\n"), bob.received.toHex(' ').constData());
        form->DeopExecute();
        QVERIFY(bob.waitFor(" MODE " + wire + " -o bob\r\n"));
        form->KickExecute();
        QVERIFY(bob.waitFor(" KICK " + wire + " bob :"));

        bob.send("PRIVMSG talvin :\x01TIME\x01");
        const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        QVERIFY(date.contains(QChar(u'г')));
        QVERIFY2(bob.waitFor("\x01TIME Local time is " + EncodeText(date, TextEncoding::Koi8r)),
                 bob.received.right(120).toHex(' ').constData());
        QLocale::setDefault(QLocale::system());
    }
};

QTEST_MAIN(TestKoi8Names)
#include "test_koi8_names.moc"
