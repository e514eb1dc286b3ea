// Passwords and keys against a real server: the server gets them as typed, while the
// traffic log, the status window, its transcript, the speech and its transcript show only
// the mask. A favourites file left readable by others is narrowed at start.
#include "app/status_window.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "speech/controls/vox_edit.h"
#include "speech/controls/vox_rich_edit.h"

#include "main_window_bench.h"
#include "raw_irc_client.h"

#include <QRegularExpression>

class TestSecretMasking : public QObject
{
    Q_OBJECT
private slots:
    void secretsReachTheServerOnly();
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
    SetUserValue(QStringLiteral("Nick"), QStringLiteral("masker"));
    SetFaworitValue(QStringLiteral("FaworPassword1"), QStringLiteral("fav-key-73"));
    QFile faworits(ConfigFilePath(QStringLiteral("faworits.ini")));
    QVERIFY(faworits.setPermissions(faworits.permissions() | QFileDevice::ReadOther));
    for (const QString &name : {QStringLiteral("log.txt"), QStringLiteral("log/speech.txt")}) {
        QFile empty(bench.dir.filePath(name));
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    bench.setCaption(QStringLiteral("smode"), QStringLiteral("connect"));
    TForm1 *window = bench.createWindow();
    window->CreateApplicationWindows();
    window->IRC->Password = secrets[0];
    bench.showWindow();
    const auto statusHas = [&](const QString &text) {
        return WaitUntil([&] { return bench.statusText().contains(text); });
    };
    QVERIFY2(statusHas(QStringLiteral("JOINED #talvin")), qPrintable(bench.statusText()));
    QVERIFY(statusHas(QStringLiteral("config/faworits.ini could be read by other users")));
    QVERIFY(!(faworits.permissions() & QFileDevice::ReadOther));
    service.send("JOIN #talvin");
    QVERIFY(statusHas(QStringLiteral("JOIN NickServ #talvin")));

    // Typed raw into the status window; the last word read back with Ctrl+Left first.
    TVoxEdit *edit = window->StatusForm->Edit1;
    const auto type = [&](const QString &line) {
        edit->setFocus();
        QTest::keyClicks(edit, line);
        QTest::keyClick(edit, Qt::Key_Left, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Return);
    };
    edit->setSpeakMode(true); // every key read back, as in the input boxes
    type(QStringLiteral("privmsg nickserv :identify ns-pass-74"));
    QVERIFY2(service.waitFor(":identify ns-pass-74\r\n"), service.received.constData());
    QCOMPARE(bench.interfaceVoice->spokenTexts().count(QStringLiteral("звёздочка")), 10);
    QVERIFY(bench.interfaceVoice->spokenTexts().contains(QStringLiteral("**********")));
    edit->setSpeakMode(false);
    type(QStringLiteral("JOIN #locked chan-key-72"));
    QVERIFY(statusHas(QStringLiteral("JOINED #locked")));
    type(QStringLiteral("MODE #locked"));
    const QRegularExpression lockedModes("MODE #locked\\[\\+\\w*k\\w* \\*{8}\\]");
    QVERIFY(WaitUntil([&] { return bench.statusText().contains(lockedModes); }));
    type(QStringLiteral("OPER testoper operpass"));
    QVERIFY(WaitUntil([&] { return bench.log().contains(" 381 masker "); }));
    type(QStringLiteral("MODE #talvin +k new-key-75"));
    QVERIFY(service.waitFor("MODE #talvin +k new-key-75"));
    QVERIFY(statusHas(QStringLiteral("MODE #talvin[+k ********]")));

    // A private window with the service shows the own text masked.
    TChannelForm *query = ChannelFormAt(NewPrivateForm(QStringLiteral("NickServ")));
    QTest::keyClicks(query->VoxEdit1, QStringLiteral("GHOST masker ns-pass-74"));
    QTest::keyClick(query->VoxEdit1, Qt::Key_Return);
    QVERIFY(service.waitFor("PRIVMSG NickServ :GHOST masker ns-pass-74\r\n"));
    QVERIFY(query->VoxRichEdit1->toPlainText().contains(QStringLiteral("GHOST masker ********")));

    window->close();
    const QByteArray log = bench.log();
    for (const char *line : {"< PASS ********\r\n", "< privmsg nickserv :identify ********\r\n",
                             "< JOIN #locked ********\r\n", "< OPER testoper ********\r\n",
                             "< MODE #talvin +k ********\r\n", " MODE #talvin +k ********\r\n"})
        QVERIFY2(log.contains(line), line);
    QStringList records{bench.statusText(), query->VoxRichEdit1->toPlainText(),
                        bench.interfaceVoice->spokenTexts().join('\n'),
                        bench.channelVoice->spokenTexts().join('\n')};
    for (const QString &name : {QStringLiteral("log.txt"), QStringLiteral("log/speech.txt"),
                                QStringLiteral("log/trafic.log")}) {
        QFile file(bench.dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        records.append(QString::fromLatin1(file.readAll()));
    }
    QVERIFY(!records[4].isEmpty() && !records[5].isEmpty());
    for (const QString &record : std::as_const(records))
        for (const QByteArray &secret : secrets)
            QVERIFY2(!record.contains(QString::fromLatin1(secret)), secret.constData());
}

QTEST_MAIN(TestSecretMasking)
#include "test_secret_masking.moc"
