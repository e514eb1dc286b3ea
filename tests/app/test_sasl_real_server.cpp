// SASL against a real server with services (inspircd linked with atheme-services): the
// account and password of the server's entry identify the user while registering; a wrong
// password is said and shown, and registration goes on without it.
#include "main_window_bench.h"
#include "sasl_server.h"

#include "irc/irc_client.h"

class TestSaslRealServer : public QObject
{
    Q_OBJECT
    SaslServer server;

private slots:
    void initTestCase()
    {
        if (!SaslServer::available())
            QSKIP("inspircd or atheme-services is not installed");
        const QString error = server.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void identify_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("spoken"); // what is said about SASL
        const QString failed = "Вход по SASL не выполнен: SASL authentication failed";
        QTest::newRow("right") << QByteArray(SaslServer::Password)
                               << "SASL You are now logged in as tester" << QStringList();
        QTest::newRow("wrong") << QByteArray("wrong") << "904 " + failed << QStringList{failed};
    }
    void identify()
    {
        QFETCH(QByteArray, password);
        QFETCH(QString, shown);
        QFETCH(QStringList, spoken);
        MainWindowBench bench("connect");
        const QByteArray port = QByteArray::number(server.port);
        QVERIFY(WriteBytes(ConfigFilePath("servers.ini"),
                           "[IRCServers]\nName1=127.0.0.1\nDesc1=t\nPort1=" + port +
                               "\nCodePage1=UTF8\nSaslMechanism1=PLAIN\nSaslAccount1=tester\n"
                               "SaslPassword1=" +
                               password + '\n'));
        bench.setServer(server.port);
        TForm1 *window = bench.start();
        QVERIFY(WaitUntil([&] { return bench.statusText().contains("Welcome to the TestNet"); }));
        QCOMPARE(window->IRC->State(), stConnected);
        QVERIFY2(bench.statusText().contains(shown), qPrintable(bench.statusText()));
        QCOMPARE(bench.interfaceVoice->spokenTexts().filter("SASL"), spoken);
        QVERIFY(!bench.log().contains((QByteArray("tester\0tester\0", 14) + password).toBase64()));
    }
};

QTEST_MAIN(TestSaslRealServer)
#include "test_sasl_real_server.moc"
