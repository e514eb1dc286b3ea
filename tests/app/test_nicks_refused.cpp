// Registration against a real server on which the nick, the alternate nick and every
// variant the client makes up are held by other users: a few NICK lines, then the user
// hears why and types a nick of their own.
#include "app/vox_input_box.h"
#include "irc/irc_client.h"
#include "main_window_bench.h"
#include "ngircd_server.h"
#include "raw_irc_client.h"
#include "speech/controls/vox_edit.h"

#include <QLabel>
#include <QtTest>

class TestNicksRefused : public QObject
{
    Q_OBJECT

private slots:
    void everyNickTakenAsksTheUser()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        std::vector<std::unique_ptr<RawIrcClient>> holders;
        for (const char *nick : {"talvin", "alt", "talvin_", "alt_", "talvin__"}) {
            holders.push_back(std::make_unique<RawIrcClient>());
            QVERIFY(holders.back()->connectTo(server, nick));
        }
        MainWindowBench bench;
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("none"));
        TForm1 *main = bench.start();
        const QString why = QStringLiteral(
            "Ники заняты: talvin, alt, talvin_, alt_, talvin__. Введите другой ник.");

        // The box is answered once it has said what it asks, as a listening user would.
        QString asked;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<TVoxInputBox *>(QApplication::activeModalWidget());
            if (!box || !asked.isEmpty() ||
                !bench.interfaceVoice->spokenTexts().join('|').contains(why))
                return;
            asked = box->windowTitle() + QLatin1Char('|') + box->Label1->text();
            QTest::keyClicks(box->Edit1, QStringLiteral("fresh"));
            QTest::keyClick(box->Edit1, Qt::Key_Return);
        });
        user.start(20);

        main->IRC->SetNick("talvin");
        main->IRC->AltNick = "alt";
        main->IRC->Host = server.host();
        main->IRC->Port = server.port();
        main->IRC->Connect();
        QVERIFY2(WaitUntil([&] { return main->IRC->State() == stConnected; }, 15000),
                 bench.log().constData());
        QCOMPARE(asked, QStringLiteral("Новый ник|") + why);
        QCOMPARE(main->IRC->CurrentNick(), QByteArray("fresh"));
        QVERIFY(bench.statusText().contains(why));
        QCOMPARE(bench.log().count("\n< NICK "), 6);
    }
};

QTEST_MAIN(TestNicksRefused)
#include "test_nicks_refused.moc"
