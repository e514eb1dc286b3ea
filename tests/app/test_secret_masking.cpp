// A session against a real server, with passwords and keys: the server gets them as typed,
// while the traffic log, the status window, its transcript, the speech and its transcript
// show only the mask. A favourites file left readable by others is narrowed at start;
// closing the window quits. And a registration on which every nick is taken.
#include "app/status_window.h"
#include "app/vox_input_box.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "speech/controls/vox_edit.h"
#include "speech/controls/vox_rich_edit.h"

#include "main_window_bench.h"
#include "raw_irc_client.h"

#include <QLabel>
#include <QRegularExpression>

class TestSecretMasking : public QObject
{
    Q_OBJECT
private slots:
    void secretsReachTheServerOnly();
    void everyNickTakenAsksTheUser();
};

void TestSecretMasking::secretsReachTheServerOnly()
{
    const QList<QByteArray> secrets{"srv-pass-71", "chan-key-72", "fav-key-73",
                                    "ns-pass-74",  "new-key-75",  NgircdServer::OperPassword};
    NgircdServer server({secrets[0], {}});
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    RawIrcClient service; // takes the nick NickServ
    service.socket.connectToHost(server.host(), server.port());
    QVERIFY(service.socket.waitForConnected(5000));
    service.send("PASS srv-pass-71\r\nNICK NickServ\r\nUSER s 0 * :s\r\nJOIN #locked\r\n"
                 "MODE #locked +k chan-key-72");
    QVERIFY(service.waitFor("+k chan-key-72"));

    MainWindowBench bench;
    bench.setServer(server.host(), QString::number(server.port()));
    SetUserValue("Nick", "masker");
    SetFaworitValue("FaworPassword1", "fav-key-73");
    QFile faworits(ConfigFilePath("faworits.ini"));
    QVERIFY(faworits.setPermissions(faworits.permissions() | QFileDevice::ReadOther));
    for (const char *name : {"log.txt", "log/speech.txt"}) {
        QFile empty(bench.dir.filePath(name));
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    bench.setCaption("smode", "connect");
    TForm1 *window = bench.createWindow();
    window->CreateApplicationWindows();
    window->IRC->Password = secrets[0];
    bench.showWindow();
    const auto statusHas = [&](const QString &text) {
        return WaitUntil([&] { return bench.statusText().contains(text); });
    };
    QVERIFY2(statusHas("JOINED #talvin"), qPrintable(bench.statusText()));
    QVERIFY(statusHas("config/faworits.ini could be read by other users"));
    QVERIFY(!(faworits.permissions() & QFileDevice::ReadOther));
    service.send("JOIN #talvin");
    QVERIFY(statusHas("JOIN NickServ #talvin"));

    // Typed raw into the status window; the last word read back with Ctrl+Left first.
    TVoxEdit *edit = window->StatusForm->Edit1;
    const auto type = [&](const QString &line) {
        edit->setFocus();
        QTest::keyClicks(edit, line);
        QTest::keyClick(edit, Qt::Key_Left, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Return);
    };
    edit->setSpeakMode(true); // every key read back, as in the input boxes
    type("privmsg nickserv :identify ns-pass-74");
    QVERIFY2(service.waitFor(":identify ns-pass-74\r\n"), service.received.constData());
    QCOMPARE(bench.interfaceVoice->spokenTexts().count("звёздочка"), 10);
    QVERIFY(bench.interfaceVoice->spokenTexts().contains("**********"));
    edit->setSpeakMode(false);
    type("JOIN #locked chan-key-72");
    QVERIFY(statusHas("JOINED #locked"));
    type("MODE #locked");
    const QRegularExpression lockedModes("MODE #locked\\[\\+\\w*k\\w* \\*{8}\\]");
    QVERIFY(WaitUntil([&] { return bench.statusText().contains(lockedModes); }));
    type("OPER testoper operpass");
    QVERIFY(WaitUntil([&] { return bench.log().contains(" 381 masker "); }));
    type("MODE #talvin +k new-key-75");
    QVERIFY(service.waitFor("MODE #talvin +k new-key-75"));
    QVERIFY(statusHas("MODE #talvin[+k ********]"));

    // A private window with the service shows the own text masked.
    TChannelForm *query = ChannelFormAt(NewPrivateForm("NickServ"));
    QTest::keyClicks(query->VoxEdit1, "GHOST masker ns-pass-74");
    QTest::keyClick(query->VoxEdit1, Qt::Key_Return);
    QVERIFY(service.waitFor("PRIVMSG NickServ :GHOST masker ns-pass-74\r\n"));
    QVERIFY(query->VoxRichEdit1->toPlainText().contains("GHOST masker ********"));

    window->close();
    const QByteArray log = bench.log();
    for (const char *line : {"< PASS ********\r\n", "< privmsg nickserv :identify ********\r\n",
                             "< JOIN #locked ********\r\n", "< OPER testoper ********\r\n",
                             "< MODE #talvin +k ********\r\n", " MODE #talvin +k ********\r\n"})
        QVERIFY2(log.contains(line), line);
    QStringList records{bench.statusText(), query->VoxRichEdit1->toPlainText(),
                        bench.interfaceVoice->spokenTexts().join('\n'),
                        bench.channelVoice->spokenTexts().join('\n')};
    for (const char *name : {"log.txt", "log/speech.txt", "log/trafic.log"}) {
        QFile file(bench.dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        records.append(QString::fromLatin1(file.readAll()));
    }
    // Closing quits; the transcripts the user made were written.
    QVERIFY(!window->IRC->Connected() && log.contains("< QUIT :\r\n"));
    QVERIFY(log.contains("\r\n*** Disconnected with 127.0.0.1 at "));
    QVERIFY(records[4].contains("JOINED #talvin\r\n"));
    QVERIFY(records[4].endsWith("DISCONNECT 127.0.0.1\r\n") && !records[5].isEmpty());
    for (const QString &record : std::as_const(records))
        for (const QByteArray &secret : secrets)
            QVERIFY2(!record.contains(QString::fromLatin1(secret)), secret.constData());
}

// Registration when the nick, the alternate nick and every variant the client makes up are
// held by other users: a few NICK lines, then the user hears why and types a nick of their own.
void TestSecretMasking::everyNickTakenAsksTheUser()
{
    NgircdServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const char *nicks[] = {"talvin", "alt", "talvin_", "alt_", "talvin__"};
    RawIrcClient holders[5];
    for (int i = 0; i < 5; ++i)
        QVERIFY(holders[i].connectTo(server, nicks[i]));
    MainWindowBench bench;
    bench.setCaption("smode", "none");
    TForm1 *main = bench.start();
    const QString why =
        QStringLiteral("Ники заняты: talvin, alt, talvin_, alt_, talvin__. Введите другой ник.");

    // The box is answered once it has said what it asks, as a listening user would.
    QString asked;
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<TVoxInputBox *>(QApplication::activeModalWidget());
        if (!box || !asked.isEmpty() ||
            !bench.interfaceVoice->spokenTexts().join('|').contains(why))
            return;
        asked = box->windowTitle() + QLatin1Char('|') + box->Label1->text();
        QTest::keyClicks(box->Edit1, "fresh");
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
    QCOMPARE(asked, "Новый ник|" + why);
    QCOMPARE(main->IRC->CurrentNick(), QByteArray("fresh"));
    QVERIFY(bench.statusText().contains(why));
    QCOMPARE(bench.log().count("\n< NICK "), 6);
}

QTEST_MAIN(TestSecretMasking)
#include "test_secret_masking.moc"
