// TLS as the user meets it: the server options' check box (heard, the port follows it to
// 6697 and back) and the question after a certificate that could not be verified (heard,
// answered by keys; "Да" stores the fingerprint and connects again); the first-run wizard
// connecting as the server list says.
#include "main_window_bench.h"
#include "scripted_peer.h"

#include "app/main_window.h"
#include "app/vox_question_box.h"
#include "dialogs/master_form.h"
#include "dialogs/server_list_store.h"
#include "dialogs/server_options_form.h"
#include "speech/controls/vox_controls.h"

class TestTlsPrompts : public QObject
{
    Q_OBJECT

private slots:
    void checkBoxMovesThePort()
    {
        MainWindowBench bench;
        bench.setCaption("smode", "none");
        bench.start();
        TServerOptionsForm *options = ServerOptionsForm();
        TRecordingSpeechEngine *voice = bench.interfaceVoice;
        QStringList heard;
        QTimer::singleShot(0, options, [&] {
            options->ServerEdit->setText("irc.example.org");
            options->PortEdit->setFocus();
            // Each key is heard before the next: a later text would cut a pending one.
            for (QWidget *target : {(QWidget *)options->PortEdit, (QWidget *)options->TlsCheckBox,
                                    (QWidget *)options->TlsCheckBox}) {
                voice->clear();
                QTest::keyClick(target, target == options->PortEdit ? Qt::Key_Tab : Qt::Key_Space);
                QVERIFY(WaitUntil([&] {
                    return !voice->spokenTexts().filter(QStringLiteral("флажок")).isEmpty();
                }));
                heard << voice->spokenTexts().filter(QStringLiteral("флажок")).last() + ' ' +
                             options->PortEdit->text();
            }
            options->Button1Click();
        });
        QVERIFY(options->ShowAdd());
        QCOMPARE(heard, QStringList({"флажок Защищённое соединение (TLS) 6667",
                                     "флажок отмечен 6697", "флажок снят 6667"}));
        LoadServerList();
        const ServerRecord *record = ServerAt(FindServer("irc.example.org"));
        QVERIFY(record && !record->Tls && record->Port == 6667);
    }

    void certificateQuestion_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("trusted");
        QTest::newRow("Escape") << QList<int>{Qt::Key_Escape} << false;
        QTest::newRow("Tab to Да, Space") << QList<int>{Qt::Key_Tab, Qt::Key_Space} << true;
    }
    void certificateQuestion()
    {
        QFETCH(QList<int>, keys);
        QFETCH(bool, trusted);
        MainWindowBench bench;
        ScriptedPeer peer;
        bench.setServer("127.0.0.1", QString::number(peer.port()));
        bench.setCaption("smode", "none");
        TForm1 *window = bench.start();
        const QString fingerprint = "AB:" + QString("01:").repeated(30) + "CD";
        QString heard;
        QTimer::singleShot(0, window, [&] {
            QVERIFY(WaitUntil([] {
                auto *box = qobject_cast<TVoxQuestionBox *>(QApplication::activeModalWidget());
                return box && box->isActiveWindow() && box->NoButton->hasFocus();
            }));
            heard = bench.interfaceVoice->spokenTexts().last();
            for (int key : keys)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        });
        window->CertificateRefused("127.0.0.1", peer.port(), "self-signed certificate",
                                   fingerprint);
        QCOMPARE(heard, "Сертификат сервера 127.0.0.1 не прошёл проверку: self-signed "
                        "certificate. Доверять этому сертификату для этого сервера? Нет");
        LoadServerList();
        const ServerRecord *record = ServerAt(FindServer("127.0.0.1"));
        QCOMPARE(record && record->Tls && record->Fingerprint == fingerprint, trusted);
        QCOMPARE(window->Connecting(), trusted); // again, over TLS with that fingerprint
    }

    // The wizard connects as every later start will: the list's entry for the chosen server
    // brings TLS, so the server's first byte is a TLS record, not a NICK line. Each step's
    // field hands the focus straight to the next one; the Back button is never heard.
    void wizardConnectsAsTheServerListSays()
    {
        MainWindowBench bench;
        ScriptedPeer peer;
        StoreServerFingerprint("127.0.0.1", peer.port(), "AB:CD");
        bench.setCaption("smode", "master");
        TMasterForm *wizard = bench.start()->MasterForm;
        QVERIFY(WaitUntil([&] { return wizard->isActiveWindow(); }));
        wizard->NameEdit->setText("Anna");
        wizard->EMailEdit->setText("anna@example.org");
        wizard->NickEdit->setText("anna");
        wizard->ServerBox->setCurrentText("127.0.0.1");
        for (int step = 1; step <= 6; ++step)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(peer.waitForReceived(1));
        QCOMPARE(peer.received().at(0), '\x16');
        QVERIFY(bench.interfaceVoice->spokenTexts().contains("кнопка < Назад") == false);
    }
};

QTEST_MAIN(TestTlsPrompts)
#include "test_tls_prompts.moc"
