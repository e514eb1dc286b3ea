// SASL as a user sets it up: the server options dialog stores mechanism, account and
// password in the owner-only server list, and connecting to that server identifies with
// them; a refusal is said and shown, and registration goes on.
#include "main_window_bench.h"
#include "scripted_peer.h"

#include "app/main_window.h"
#include "dialogs/server_list_store.h"
#include "dialogs/server_options_form.h"
#include "speech/controls/vox_controls.h"
#include "speech/recording_speech_engine.h"

#include <QFileInfo>
#include <QTest>

class TestSaslLogin : public QObject
{
    Q_OBJECT

private slots:
    void plainFromTheServerOptions()
    {
        MainWindowBench bench;
        ScriptedPeer peer;
        bench.setServer("127.0.0.1", QString::number(peer.port()));
        TForm1 *window = bench.start();

        TServerOptionsForm *options = ServerOptionsForm();
        QTimer::singleShot(0, options, [&] {
            options->ServerEdit->setText("127.0.0.1");
            options->PortEdit->setText(QString::number(peer.port()));
            options->SaslBox->setCurrentText("PLAIN");
            options->SaslAccountEdit->setText("acc");
            options->SaslPasswordEdit->setText("пароль");
            options->Button1Click();
        });
        QVERIFY(options->ShowAdd());
        QCOMPARE(options->SaslAccountEdit->SpeechName(), QStringLiteral("Учётная запись SASL"));
        QCOMPARE(options->SaslPasswordEdit->echoMode(), QLineEdit::Password);
        const QString file = bench.dir.path() + "/config/servers.ini";
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                            QFileDevice::ReadOther | QFileDevice::WriteOther;
        QCOMPARE(QFileInfo(file).permissions() & others, QFileDevice::Permissions());
        LoadServerList();
        const ServerRecord *record = ServerAt(FindServer("127.0.0.1"));
        QVERIFY(record);
        QCOMPARE(record->SaslMechanism + record->SaslAccount + record->SaslPassword +
                     record->CodePage,
                 QStringLiteral("PLAINaccпарольUTF8"));

        window->A_Connect->trigger();
        QVERIFY(peer.waitForReceivedContains(" :Real name\r\n"));
        peer.sendLine(":s CAP * LS :sasl=PLAIN multi-prefix");
        QVERIFY(peer.waitForReceivedContains("CAP REQ :multi-prefix sasl\r\n"));
        peer.sendLine(":s CAP * ACK :multi-prefix sasl");
        QVERIFY(peer.waitForReceivedContains("AUTHENTICATE PLAIN\r\n"));
        peer.sendLine("AUTHENTICATE +");
        const QByteArray payload =
            (QByteArray("acc\0acc\0", 8) + QStringLiteral("пароль").toUtf8()).toBase64();
        QVERIFY(peer.waitForReceivedContains("AUTHENTICATE " + payload + "\r\n"));
        bench.interfaceVoice->clear();
        peer.sendLine(":s 904 tester :SASL authentication failed");
        QVERIFY(peer.waitForReceivedContains("CAP END\r\n"));
        const QString said = QStringLiteral("Вход по SASL не выполнен: SASL authentication failed");
        QVERIFY(WaitUntil([&] { return bench.statusText().contains("904 " + said); }));
        QVERIFY(bench.interfaceVoice->spokenTexts().contains(said));
        QVERIFY(!bench.log().contains(payload)); // masked in the traffic log
        peer.sendLine(":s 001 tester :Welcome");
        QVERIFY(WaitUntil([&] { return window->IRC->State() == stConnected; }));
    }
};

QTEST_MAIN(TestSaslLogin)
#include "test_sasl_login.moc"
