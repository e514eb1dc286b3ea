// The first-run wizard walked by keyboard (every step spoken from its text file, the
// empty-field messages, the identity in user.ini, the server in connect.ini, a real
// registration at ngircd) and the small windows: About, the message of the day, the
// make-channel dialog with its lines at ngircd, and the user field.

#include "dialog_test_host.h"
#include "dialogs/about_form.h"
#include "dialogs/day_team_form.h"
#include "dialogs/irc_identity.h"
#include "dialogs/make_channel_form.h"
#include "dialogs/master_form.h"
#include "ngircd_server.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help_form.h"

#include <QLabel>

namespace {

// A wizard in a program directory with the shipped texts and a caption file that asks for it.
struct Wizard
{
    Wizard()
    {
        host.copyShipped("help");
        host.writeConfig("caption.ini", "[Captions]\r\nsmode=master\r\nconnection_faild=Не удалось "
                                        "подключиться к серверу\r\n");
    }
    bool show()
    {
        host.forget();
        return ActivateWindow(&form);
    }
    QString step() const { return form.StepLabel->text(); }
    QString text(int step) const
    {
        QFile file(host.programDir.filePath(QString("help/masterf%1.txt").arg(step)));
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).replace("\r\n", "\n")
                   : QString();
    }
    TestDialogHost host;
    TMasterForm form;
    MessageCloser closer{host.voice.recording};
};

// Clears the focused field with the keys and types the text.
void retype(const QString &text)
{
    Press(Qt::Key_A, Qt::ControlModifier);
    Press(Qt::Key_Delete);
    Type(text);
}

} // namespace

class TestMasterAndSmallForms : public QObject
{
    Q_OBJECT

private slots:
    void wizardWalkedByKeyboardStoresTheIdentityAndRegisters()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Wizard wizard;
        // The chosen server is in the list with its own port, which connect.ini must take.
        wizard.host.writeConfig("servers.ini", "[IRCServers]\nName1=127.0.0.1\nDesc1=test\nPort1=" +
                                                   QByteArray::number(server.port()) + "\n");
        QVERIFY(wizard.show());
        QCOMPARE(wizard.host.player.sounds, QStringList({"Startmaster"}));
        QCOMPARE(wizard.host.said().mid(0, 4),
                 QStringList({Stop, "Мастер настройки соединения. ", "Добро пожаловать в IRC.",
                              wizard.text(1)}));
        QCOMPARE(wizard.step(), "шаг 1 из 6");
        QCOMPARE(Focused(), wizard.form.NextButton);
        QCOMPARE(UnlabelledControls(&wizard.form), QStringList());

        Press(Qt::Key_Return); // Next
        QCOMPARE(wizard.step(), "шаг 2 из 6");
        QCOMPARE(Focused(), wizard.form.NameEdit);
        QCOMPARE(wizard.host.said().last(), wizard.text(2));
        Type("Иван Петров");
        QCOMPARE(wizard.host.languageChecks, 11); // every key in a field asks about the layout
        Press(Qt::Key_Return);
        Type("ivan@example.ru");
        Press(Qt::Key_Return);
        Type("ivanp");
        Press(Qt::Key_Return);
        QCOMPARE(wizard.step(), "шаг 5 из 6");
        QCOMPARE(wizard.form.ServerBox->currentText(), "irc.libera.chat");
        retype("127.0.0.1");
        Press(Qt::Key_Return);
        QCOMPARE(wizard.step(), "шаг 6 из 6");
        QCOMPARE(wizard.form.NextButton->text(), "Готово");
        QCOMPARE(wizard.host.said().last(), wizard.text(6));
        Press(Qt::Key_Space); // "Готово"
        QVERIFY(!wizard.form.isVisible());
        QVERIFY(wizard.closer.seen.isEmpty());

        QCOMPARE(wizard.host.configText("user.ini"),
                 "[Config]\nUserName=Иван Петров\nEMail=ivan@example.ru\n"
                 "Nick=ivanp\nAlterNick=\nInvisible=0\nIRCServer=127.0.0.1\n");
        // The rest of the caption file is as it was, CR LF line ends included.
        QCOMPARE(wizard.host.configBytes("caption.ini"),
                 QByteArray("[Captions]\r\nsmode=connect\r\nconnection_faild=Не удалось "
                            "подключиться к серверу\r\n"));
        QCOMPARE(GetConnectValue("Server"), "127.0.0.1");
        QCOMPARE(GetConnectValue("Port"), QString::number(server.port()));
        // A Cyrillic full name with a blank would make the server refuse the USER line;
        // registration completes and the full name is the real name.
        QTRY_COMPARE_WITH_TIMEOUT(int(wizard.host.client.State()), int(stConnected), 10000);
        QCOMPARE(wizard.host.client.CurrentNick(), QByteArray("ivanp"));
        QCOMPARE(wizard.host.client.RealName,
                 QByteArray("\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2"));
        QCOMPARE(wizard.host.client.UserMode(), TIrcUserModes(0));
    }

    void wizardSpeaksEmptyFieldsKeepsTypingAndTakesAnUnlistedServer()
    {
        Wizard wizard;
        wizard.host.writeConfig("servers.ini", "[IRCServers]\nName1=localhost\nDesc1=x\nPort1=1\n");
        QVERIFY(wizard.show());
        QCOMPARE(wizard.form.ServerBox->count(), 1); // the known servers are offered
        Press(Qt::Key_Return);
        Press(Qt::Key_Return); // empty name
        Type("   ");
        Press(Qt::Key_Return);                 // blanks are nothing either
        QCOMPARE(wizard.step(), "шаг 2 из 6"); // coming back from the box does not restart
        QCOMPARE(wizard.host.player.sounds.count("Startmaster"), 1);
        retype("Anna");
        Press(Qt::Key_Return);
        Press(Qt::Key_Return); // e-mail left empty: Enter does nothing ...
        QCOMPARE(wizard.step(), "шаг 3 из 6");
        QTest::keyClick(wizard.form.NextButton, Qt::Key_Space); // ... the Next button moves on
        Type("  ");
        Press(Qt::Key_Return); // a nick of blanks is none
        wizard.host.forget();
        QTest::keyClick(wizard.form.BackButton, Qt::Key_Space);
        QTest::keyClick(wizard.form.BackButton, Qt::Key_Space);
        QCOMPARE(wizard.step(), "шаг 2 из 6");
        QCOMPARE(Focused(), wizard.form.NameEdit);
        QCOMPARE(wizard.form.NameEdit->text(), "Anna"); // Back keeps what was typed
        QCOMPARE(wizard.host.said().first(), Stop);     // the button stops the voice first
        QVERIFY(wizard.host.said().contains(wizard.text(2)));
        Press(Qt::Key_Return);
        QTest::keyClick(wizard.form.NextButton, Qt::Key_Space);
        QTest::keyClick(wizard.form.NextButton, Qt::Key_Space); // Next does not check
        retype("");
        Press(Qt::Key_Return); // empty server
        Type("127.0.0.1");
        QTest::keyClick(wizard.form.NextButton, Qt::Key_Space);
        QTest::keyClick(wizard.form.NextButton, Qt::Key_Space); // "Готово", nick still blank
        QCOMPARE(wizard.step(), "шаг 4 из 6");
        QCOMPARE(Focused(), wizard.form.NickEdit);
        QVERIFY(!QFile::exists(ConfigFilePath("user.ini")) && GetCaption("smode") == "master");
        const QString nothing = "Мастер соединения: Вы ничего не ввели. Введите ";
        QStringList texts;
        for (const SeenMessage &message : wizard.closer.seen)
            texts << message.title + ": " + message.text;
        QCOMPARE(texts, QStringList({nothing + "Ваше имя и фамилию.",
                                     nothing + "Ваше имя и фамилию.", nothing + "Ваш ник",
                                     nothing + "адрес IRC сервера", nothing + "Ваш ник"}));
        // Completed with a server outside the list: port 6667, and a failure is spoken.
        Type("anna");
        Press(Qt::Key_Return);
        Press(Qt::Key_Return);
        Press(Qt::Key_Return); // "Готово"
        QVERIFY(!wizard.form.isVisible());
        QCOMPARE(GetConnectValue("Port"), "6667");
        QCOMPARE(wizard.host.client.Username, QByteArray("Anna"));
        if (wizard.host.client.State() == stDisconnected) // nothing listens on 6667 here
            QTRY_COMPARE(wizard.closer.seen.last().text,
                         "Не удалось подключиться к серверу 127.0.0.1");
        // A new showing starts at step 1; Escape there stores nothing new.
        QVERIFY(wizard.show());
        QCOMPARE(wizard.step(), "шаг 1 из 6");
        const QByteArray user = wizard.host.configBytes("user.ini");
        Press(Qt::Key_Escape);
        QVERIFY(!wizard.form.isVisible());
        QCOMPARE(wizard.host.configBytes("user.ini"), user);
    }

    void wizardMissingStepTextsAreReportedAndTheStepsStillShown()
    {
        Wizard wizard;
        QFile::remove(wizard.host.programDir.filePath("help/masterf1.txt"));
        QFile::remove(wizard.host.programDir.filePath("help/masterf3.txt"));
        wizard.host.write("masterf4.txt", ""); // an empty text is no better to a listener
        QVERIFY(wizard.show());
        QTRY_COMPARE(wizard.closer.seen.size(), 1);
        QVERIFY(wizard.closer.seen[0].said.contains("Добро пожаловать в IRC."));
        Press(Qt::Key_Return);
        Type("Ivan");
        Press(Qt::Key_Return);
        QCOMPARE(wizard.step(), "шаг 3 из 6");
        QCOMPARE(wizard.closer.seen.size(), 2);
        const QString text =
            "Master text file is wrong, check - " + ProgramDir() + "/help/masterf3.txt";
        QCOMPARE(wizard.closer.seen[1].title, "Master error");
        QCOMPARE(wizard.closer.seen[1].text, text);
        QVERIFY(wizard.closer.seen[1].said.contains(text));
        QCOMPARE(Focused(), wizard.form.EMailEdit);
        Type("a@b.c");
        Press(Qt::Key_Return);
        QCOMPARE(wizard.step(), "шаг 4 из 6");
        QCOMPARE(wizard.closer.seen.size(), 3);
        QTest::keyClick(wizard.form.NextButton, Qt::Key_F1);
        QTRY_VERIFY(HelpForm()->isVisible());
        HelpForm()->close();
    }

    void aboutBoxAndMessageOfTheDay()
    {
        TestDialogHost host;
        TAboutForm about;
        QVERIFY(about.WebLabel->isHidden()); // no address is made up
        for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
            host.forget();
            QStringList seen{"not run"};
            QTimer::singleShot(0, &about, [&] {
                QVERIFY(QTest::qWaitForWindowActive(&about));
                // The name and the whole description, once; nothing cuts it.
                const QString text = "О программе. " + TAboutForm::DescriptionText();
                const QStringList said = host.said();
                seen = UnlabelledControls(&about);
                seen << (said.count(text) == 1 && said.last() == text ? "read" : said.join('|'));
                Press(key);
            });
            QTimer::singleShot(5000, &about, &QDialog::reject); // never hang
            QCOMPARE(about.exec(), int(QDialog::Accepted));
            QCOMPARE(seen, QStringList({"read"}));
        }

        // Message-of-the-day lines collect in order below those of earlier connections.
        TDayTeam day;
        day.AddLine("- earlier connection", Qt::black);
        day.close();
        for (int i = 1; i <= 20; ++i)
            day.AddLine(QString("- строка %1").arg(i), Qt::black);
        QVERIFY(day.isVisible());
        QVERIFY(day.VoxRichEdit1->toPlainText().startsWith(
            "- earlier connection\n- строка 1\n- строка 2\n"));
        QVERIFY(day.VoxRichEdit1->toPlainText().endsWith("\n- строка 20"));
        QCOMPARE(UnlabelledControls(&day), QStringList());
    }

    void makeChannelLines_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("modes"); // the boxes ticked: p m n k
        QTest::addColumn<QByteArray>("lines");
        const auto row = [](const char *tag, const char *name, const char *key, const char *modes,
                            const QByteArray &lines) {
            QTest::newRow(tag) << QString(name) << QString(key) << QString(modes) << lines;
        };
        row("no name", "", "", "", "");
        row("plain", "talvin", "", "", "JOIN #talvin");
        row("key and modes", "talvin", "secret word", "pmnk",
            "JOIN #talvin secret|MODE #talvin +pmnk secret");
        // Nothing after a blank or comma reaches the server as more parameters.
        row("cut at the blank", "&чат 0,#other", "", "pmn",
            "JOIN &\xF7\xE0\xF2|MODE &\xF7\xE0\xF2 +pmn");
        row("cut at the comma", "#a,#b", "", "", "JOIN #a");
    }

    void makeChannelLines()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(QString, modes);
        QFETCH(QByteArray, lines);
        TestDialogHost host;
        TForm5 form;
        form.VoxEdit1->setText(name);
        form.VoxEdit2->setText(key);
        form.VoxCheckBox1->setChecked(modes.contains('p'));
        form.VoxCheckBox2->setChecked(modes.contains('m'));
        form.VoxCheckBox4->setChecked(modes.contains('n'));
        form.VoxCheckBox3->setChecked(modes.contains('k'));
        QCOMPARE(form.MakeLines(), lines.isEmpty() ? QList<QByteArray>() : lines.split('|'));
    }

    void makeCreatesTheChannelWithItsModesAtTheServer()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        TestDialogHost host;
        MessageCloser closer(host.voice.recording);
        TForm5 form;
        QVERIFY(ActivateWindow(&form));
        QCOMPARE(UnlabelledControls(&form), QStringList());
        QTest::keyClick(form.VoxButton1, Qt::Key_Space); // no name: said, nothing sent
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].text, "Введите имя канала");
        host.client.Host = server.host();
        host.client.Port = server.port();
        host.client.SetNick("maker");
        host.client.Connect();
        QTRY_COMPARE_WITH_TIMEOUT(int(host.client.State()), int(stConnected), 10000);
        QVERIFY(ActivateWindow(&form));
        form.VoxEdit1->setFocus();
        Type("talvin");
        // (ngircd has no private mode "p"; moderated, no outside messages and a key it has.)
        form.VoxCheckBox2->setChecked(true);
        form.VoxCheckBox4->setChecked(true);
        form.VoxCheckBox3->setChecked(true);
        form.VoxEdit2->setText("secret");
        QTest::keyClick(form.VoxButton1, Qt::Key_Space);
        QVERIFY(!form.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(host.client.Channels().Get("#talvin"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(host.client.Channels().Get("#talvin")->ModeString(),
                                  QByteArray("+nmk secret"), 10000);
    }

    void userFieldIsOneWordServersAccept()
    {
        QCOMPARE(IrcUserField("Иван Петров", "ivan_p"), QByteArray("ivan_p"));
        QCOMPARE(IrcUserField("Ivan Petrov", "[Ivan]"), QByteArray("Ivan"));
        QCOMPARE(IrcUserField("Иван", "Ваня"), QByteArray("user"));
        QCOMPARE(IrcUserField("averyverylongname", QString()), QByteArray("averyveryl"));
    }
};

QTEST_MAIN(TestMasterAndSmallForms)
#include "test_master_and_small_forms.moc"
