// A lost connection: the server goes away and comes back on the same port; the program
// says so, reconnects by itself and joins the channel again into the window that stayed
// open. Ctrl+R while it waits stops the reconnection.
#include "channel_bench.h"

#include "irc/irc_client.h"
#include "ngircd_server.h"

#include <QtTest>

class TestReconnectNgircd : public QObject
{
    Q_OBJECT

private slots:
    void serverRestartRejoinsTheSameWindow()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ChannelBench bench;
        TForm1 *main = bench.start(false);
        main->ReconnectDelay.FirstMs = 300; // the waits themselves are not under test here
        main->IRC->SetNick("talvin");
        main->IRC->Host = server.host();
        main->IRC->Port = server.port();
        main->IRC->Connect();
        QTRY_COMPARE_WITH_TIMEOUT(int(main->IRC->State()), int(stConnected), 10000);
        main->IRC->Join("#room");
        QTRY_VERIFY(FindChannelForm("#room") >= 0);
        const int slot = FindChannelForm("#room");
        TChannelForm *form = ChannelFormAt(slot);

        QVERIFY(server.restart());
        QTRY_VERIFY_WITH_TIMEOUT(
            ViewText(form).contains(QStringLiteral("снова вход в канал #room")), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(form->UserPresent("talvin") > 0, 10000);
        QCOMPARE(FindChannelForm("#room"), slot);
        QCOMPARE(ChannelFormAt(slot), form);
        QVERIFY(!main->Reconnecting());

        // Lost again, and this time the user says no more.
        main->ReconnectDelay.FirstMs = 60000;
        server.stop();
        QTRY_VERIFY_WITH_TIMEOUT(main->Reconnecting(), 10000);
        main->ConnectAction(); // Ctrl+R
        QVERIFY(!main->Reconnecting());
        QVERIFY(!main->IRC->Connected());
    }
};

QTEST_MAIN(TestReconnectNgircd)
#include "test_reconnect_ngircd.moc"
