// The first-run wizard walked by keyboard: every step spoken from its text file, Enter and
// the buttons moving between steps, the empty-field messages, the identity stored in
// user.ini, the chosen server in connect.ini, the start mode switched, and a real
// registration at ngircd.

#include "dialogs/master_form.h"
#include "ngircd_server.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help_form.h"
#include "wizard_test_host.h"

#include <QLabel>
#include <QStackedWidget>

namespace {

const QString Title = QStringLiteral("Мастер соединения");

QString step(const TMasterForm &form)
{
    return form.StepLabel->text();
}

} // namespace

class TestMasterForm : public QObject
{
    Q_OBJECT

private:
    // A wizard shown in a program directory with the shipped texts and a caption file that
    // asks for it.
    struct Bench
    {
        Bench()
        {
            host.copyShippedHelp();
            host.writeConfig(QStringLiteral("caption.ini"),
                             "[Captions]\r\nsmode=master\r\nconnection_faild=Не удалось "
                             "подключиться к серверу\r\n");
        }
        bool show()
        {
            host.forget();
            return ActivateWindow(&form);
        }
        WizardTestHost host;
        TMasterForm form;
    };

    // Clears the server box as the user would, with the keys, and types the server.
    static void retypeServer(const QString &server)
    {
        Press(Qt::Key_A, Qt::ControlModifier);
        Press(Qt::Key_Delete);
        Type(server);
    }

private slots:
    void walkedByKeyboardItStoresTheIdentityAndRegistersAtTheServer()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Bench bench;
        // The chosen server is in the list with its own port, which connect.ini must take.
        bench.host.writeConfig(QStringLiteral("servers.ini"),
                               "[IRCServers]\nName1=127.0.0.1\nDesc1=test\nPort1=" +
                                   QByteArray::number(server.port()) +
                                   "\nAddDate1=01.12.2026 12:00:00\nLastConnect1=01.12.2026 "
                                   "12:00:00\nCodePage1=WIN1251\n");
        MessageCloser closer(bench.host.voice.recording);
        QVERIFY(bench.show());

        QCOMPARE(bench.host.player.sounds, QStringList({"Startmaster"}));
        const QStringList opening = bench.host.said();
        QCOMPARE(opening.mid(0, 4),
                 QStringList({Stop, "Мастер настройки соединения. ", "Добро пожаловать в IRC.",
                              bench.host.helpText("masterf1.txt")}));
        QCOMPARE(step(bench.form), QStringLiteral("шаг 1 из 6"));
        QVERIFY(!bench.form.BackButton->isEnabled());
        QCOMPARE(Focused(), bench.form.NextButton);

        Press(Qt::Key_Return); // Next
        QCOMPARE(step(bench.form), QStringLiteral("шаг 2 из 6"));
        QCOMPARE(bench.form.TitleLabel->text(), QStringLiteral("Данные пользователя.[Real Name]"));
        QCOMPARE(Focused(), bench.form.NameEdit);
        QVERIFY(bench.form.BackButton->isEnabled());
        QCOMPARE(bench.host.said().last(), bench.host.helpText("masterf2.txt"));
        Type(QStringLiteral("Иван Петров"));
        QCOMPARE(bench.host.languageChecks, 11); // every key in a field asks about the layout
        Press(Qt::Key_Return);

        QCOMPARE(step(bench.form), QStringLiteral("шаг 3 из 6"));
        QCOMPARE(Focused(), bench.form.EMailEdit);
        Type(QStringLiteral("ivan@example.ru"));
        Press(Qt::Key_Return);

        QCOMPARE(step(bench.form), QStringLiteral("шаг 4 из 6"));
        Type(QStringLiteral("ivanp"));
        Press(Qt::Key_Return);

        QCOMPARE(step(bench.form), QStringLiteral("шаг 5 из 6"));
        QCOMPARE(Focused(), bench.form.ServerBox);
        QCOMPARE(bench.form.ServerBox->currentText(), QStringLiteral("irc.libera.chat"));
        QCOMPARE(bench.form.NextButton->text(), QStringLiteral("Далее >"));
        retypeServer(QStringLiteral("127.0.0.1"));
        Press(Qt::Key_Return);

        QCOMPARE(step(bench.form), QStringLiteral("шаг 6 из 6"));
        QCOMPARE(bench.form.NextButton->text(), QStringLiteral("Готово"));
        QCOMPARE(Focused(), bench.form.NextButton);
        QCOMPARE(bench.host.said().last(), bench.host.helpText("masterf6.txt"));
        QVERIFY(closer.seen.isEmpty());

        Press(Qt::Key_Space); // "Готово"
        QVERIFY(!bench.form.isVisible());
        QVERIFY(closer.seen.isEmpty());

        QCOMPARE(GetUserValue("UserName"), QStringLiteral("Иван Петров"));
        QCOMPARE(GetUserValue("EMail"), QStringLiteral("ivan@example.ru"));
        QCOMPARE(GetUserValue("Nick"), QStringLiteral("ivanp"));
        QCOMPARE(GetUserValue("AlterNick"), QString());
        QCOMPARE(GetUserValue("Invisible"), QStringLiteral("0"));
        QCOMPARE(GetUserValue("IRCServer"), QStringLiteral("127.0.0.1"));
        QCOMPARE(GetCaption("smode"), QStringLiteral("connect"));
        // The rest of the caption file is as it was, CR LF line ends included.
        QCOMPARE(bench.host.configBytes("caption.ini"),
                 QByteArray("[Captions]\r\nsmode=connect\r\nconnection_faild=Не удалось "
                            "подключиться к серверу\r\n"));
        QCOMPARE(GetConnectValue("Server"), QStringLiteral("127.0.0.1"));
        QCOMPARE(GetConnectValue("Port"), QString::number(server.port()));

        // A Cyrillic full name with a blank would make the server refuse the USER line;
        // registration completes and the full name is the real name.
        QTRY_COMPARE_WITH_TIMEOUT(int(bench.host.client.State()), int(stConnected), 10000);
        QCOMPARE(bench.host.client.CurrentNick(), QByteArray("ivanp"));
        QCOMPARE(bench.host.client.Replies.UserInfo, QByteArray("ivan@example.ru"));
        QCOMPARE(bench.host.client.Port, int(server.port()));
        QCOMPARE(bench.host.client.RealName,
                 QByteArray("\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2"));
        QCOMPARE(bench.host.client.UserMode(), TIrcUserModes(0));
    }

    void aServerOutsideTheListConnectsOnPort6667AndAFailureIsSpoken()
    {
        Bench bench;
        bench.host.writeConfig(QStringLiteral("servers.ini"),
                               "[IRCServers]\nName1=localhost\nDesc1=x\nPort1=1\n");
        MessageCloser closer(bench.host.voice.recording);
        QVERIFY(bench.show());
        QCOMPARE(bench.form.ServerBox->count(), 1); // the known servers are offered
        Press(Qt::Key_Return);
        Type(QStringLiteral("Anna"));
        Press(Qt::Key_Return);
        Press(Qt::Key_Return); // e-mail left empty: Enter does nothing ...
        QCOMPARE(step(bench.form), QStringLiteral("шаг 3 из 6"));
        QVERIFY(closer.seen.isEmpty());
        QTest::keyClick(bench.form.NextButton, Qt::Key_Space); // ... the Next button moves on
        QCOMPARE(step(bench.form), QStringLiteral("шаг 4 из 6"));
        Type(QStringLiteral("anna"));
        Press(Qt::Key_Return);
        QCOMPARE(bench.form.ServerBox->currentText(), QStringLiteral("irc.libera.chat"));
        retypeServer(QStringLiteral("127.0.0.1"));
        Press(Qt::Key_Return);
        Press(Qt::Key_Return); // "Готово"

        QCOMPARE(GetConnectValue("Server"), QStringLiteral("127.0.0.1"));
        QCOMPARE(GetConnectValue("Port"), QStringLiteral("6667"));
        QCOMPARE(GetUserValue("EMail"), QString());
        QCOMPARE(GetCaption("smode"), QStringLiteral("connect"));
        QCOMPARE(bench.host.client.Port, 6667);
        QCOMPARE(bench.host.client.Username, QByteArray("Anna"));
        if (bench.host.client.State() == stDisconnected) { // nothing listens on 6667 here
            QCOMPARE(closer.seen.size(), 1);
            QCOMPARE(closer.seen.last().title, QStringLiteral("IRC"));
            QCOMPARE(closer.seen.last().text,
                     QStringLiteral("Не удалось подключиться к серверу 127.0.0.1"));
        }
    }

    void backKeepsWhatWasTyped()
    {
        Bench bench;
        MessageCloser closer(bench.host.voice.recording);
        QVERIFY(bench.show());
        Press(Qt::Key_Return);
        Type(QStringLiteral("Мария Иванова"));
        Press(Qt::Key_Return);
        Type(QStringLiteral("m@example.ru"));
        Press(Qt::Key_Return);
        QCOMPARE(step(bench.form), QStringLiteral("шаг 4 из 6"));

        bench.host.forget();
        QTest::keyClick(bench.form.BackButton, Qt::Key_Space);
        QTest::keyClick(bench.form.BackButton, Qt::Key_Space);
        QCOMPARE(step(bench.form), QStringLiteral("шаг 2 из 6"));
        QCOMPARE(Focused(), bench.form.NameEdit);
        QCOMPARE(bench.form.NameEdit->text(), QStringLiteral("Мария Иванова"));
        QCOMPARE(bench.form.EMailEdit->text(), QStringLiteral("m@example.ru"));
        QCOMPARE(bench.host.said().last(), bench.host.helpText("masterf2.txt"));
        QCOMPARE(bench.host.said().first(), Stop); // the button stops the voice first

        QTest::keyClick(bench.form.BackButton, Qt::Key_Space);
        QCOMPARE(step(bench.form), QStringLiteral("шаг 1 из 6"));
        QVERIFY(!bench.form.BackButton->isEnabled());

        // A new showing starts at step 1 again; the fields keep their text.
        bench.form.hide();
        QVERIFY(bench.show());
        QCOMPARE(step(bench.form), QStringLiteral("шаг 1 из 6"));
        QCOMPARE(bench.form.NameEdit->text(), QStringLiteral("Мария Иванова"));
        QCOMPARE(bench.host.player.sounds, QStringList({"Startmaster", "Startmaster"}));
        QVERIFY(closer.seen.isEmpty());
    }

    void emptyFieldsAreSpokenAndTheStepStays()
    {
        Bench bench;
        MessageCloser closer(bench.host.voice.recording);
        QVERIFY(bench.show());
        Press(Qt::Key_Return);
        Press(Qt::Key_Return); // empty name
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, Title);
        QCOMPARE(closer.seen[0].text,
                 QStringLiteral("Вы ничего не ввели. Введите Ваше имя и фамилию."));
        // Coming back from the message box does not restart the wizard.
        QCOMPARE(step(bench.form), QStringLiteral("шаг 2 из 6"));
        QCOMPARE(bench.host.player.sounds.count("Startmaster"), 1);

        Type(QStringLiteral("   "));
        Press(Qt::Key_Return); // blanks are nothing either
        QCOMPARE(closer.seen.size(), 2);
        Press(Qt::Key_A, Qt::ControlModifier);
        Type(QStringLiteral("Пётр"));
        Press(Qt::Key_Return);
        Press(Qt::Key_Return); // empty e-mail: silent, stays
        QCOMPARE(closer.seen.size(), 2);
        QCOMPARE(step(bench.form), QStringLiteral("шаг 3 из 6"));
        QTest::keyClick(bench.form.NextButton, Qt::Key_Space);
        Press(Qt::Key_Return); // empty nick
        QCOMPARE(closer.seen.size(), 3);
        QCOMPARE(closer.seen[2].text, QStringLiteral("Вы ничего не ввели. Введите Ваш ник"));
        QCOMPARE(step(bench.form), QStringLiteral("шаг 4 из 6"));
        QTest::keyClick(bench.form.NextButton, Qt::Key_Space); // Next does not check
        QCOMPARE(step(bench.form), QStringLiteral("шаг 5 из 6"));
        retypeServer(QString());
        Press(Qt::Key_Return); // empty server
        QCOMPARE(closer.seen.size(), 4);
        QCOMPARE(closer.seen[3].text,
                 QStringLiteral("Вы ничего не ввели. Введите адрес IRC сервера"));
        QCOMPARE(step(bench.form), QStringLiteral("шаг 5 из 6"));

        // "Готово" with the nick still empty: nothing stored, back to the nick step.
        Type(QStringLiteral("irc.example.net"));
        QTest::keyClick(bench.form.NextButton, Qt::Key_Space);
        QTest::keyClick(bench.form.NextButton, Qt::Key_Space);
        QCOMPARE(closer.seen.size(), 5);
        QCOMPARE(closer.seen[4].text, QStringLiteral("Вы ничего не ввели. Введите Ваш ник"));
        QCOMPARE(step(bench.form), QStringLiteral("шаг 4 из 6"));
        QCOMPARE(Focused(), bench.form.NickEdit);
        QVERIFY(bench.form.isVisible());
        QCOMPARE(GetCaption("smode"), QStringLiteral("master"));
        QVERIFY(!QFile::exists(ConfigFilePath("user.ini")));
        QVERIFY(!QFile::exists(ConfigFilePath("connect.ini")));
        QCOMPARE(bench.host.client.State(), stDisconnected);
    }

    void aMissingStepTextIsReportedAndTheStepStillShown()
    {
        Bench bench;
        QFile::remove(bench.host.programDir.filePath("help/masterf3.txt"));
        QFile empty(bench.host.programDir.filePath("help/masterf4.txt"));
        QVERIFY(empty.open(QIODevice::WriteOnly | QIODevice::Truncate));
        empty.close();
        MessageCloser closer(bench.host.voice.recording);
        QVERIFY(bench.show());
        Press(Qt::Key_Return);
        Type(QStringLiteral("Ivan"));
        Press(Qt::Key_Return);
        QCOMPARE(step(bench.form), QStringLiteral("шаг 3 из 6"));
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Master error"));
        QCOMPARE(closer.seen[0].text, QStringLiteral("Master text file is wrong, check - ") +
                                          ProgramDir() + QStringLiteral("/help/masterf3.txt"));
        QVERIFY(closer.seen[0].said.contains("Master text file is wrong, check - " + ProgramDir() +
                                             "/help/masterf3.txt"));
        QCOMPARE(bench.form.Memo->toPlainText(), QString());
        QCOMPARE(Focused(), bench.form.EMailEdit);

        // An empty text is no better than a missing one to a listener.
        Type(QStringLiteral("a@b.c"));
        Press(Qt::Key_Return);
        QCOMPARE(step(bench.form), QStringLiteral("шаг 4 из 6"));
        QCOMPARE(closer.seen.size(), 2);
        QCOMPARE(closer.seen[1].title, QStringLiteral("Master error"));
    }

    void aMissingFirstTextIsReportedAsTheWizardOpens()
    {
        Bench bench;
        QFile::remove(bench.host.programDir.filePath("help/masterf1.txt"));
        MessageCloser closer(bench.host.voice.recording);
        QVERIFY(bench.show());
        QTRY_COMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Master error"));
        QVERIFY(closer.seen[0].said.contains(QStringLiteral("Добро пожаловать в IRC.")));
        QVERIFY(bench.form.isVisible());
        QCOMPARE(step(bench.form), QStringLiteral("шаг 1 из 6"));
        Press(Qt::Key_Return);
        QCOMPARE(step(bench.form), QStringLiteral("шаг 2 из 6"));
    }

    void escapeAndFinishCloseWithoutStoringAndF1OpensHelp()
    {
        Bench bench;
        MessageCloser closer(bench.host.voice.recording);
        QVERIFY(bench.show());
        QTest::keyClick(bench.form.NextButton, Qt::Key_F1);
        QTRY_VERIFY(HelpForm()->isVisible());
        HelpForm()->close();
        QVERIFY(ActivateWindow(&bench.form));
        QCOMPARE(step(bench.form), QStringLiteral("шаг 1 из 6"));

        Press(Qt::Key_Return);
        Type(QStringLiteral("Ivan"));
        bench.host.forget();
        Press(Qt::Key_Escape);
        QVERIFY(!bench.form.isVisible());
        QCOMPARE(bench.host.said(), QStringList({Stop}));
        QVERIFY(!QFile::exists(ConfigFilePath("user.ini")));

        QVERIFY(bench.show());
        QTest::keyClick(bench.form.FinishButton, Qt::Key_Space);
        QVERIFY(!bench.form.isVisible());
        QCOMPARE(GetCaption("smode"), QStringLiteral("master"));
    }

    void everyFocusableControlIsLabelled()
    {
        Bench bench;
        MessageCloser closer(bench.host.voice.recording);
        QVERIFY(bench.show());
        const QStringList unlabelled = UnlabelledControls(&bench.form);
        QVERIFY2(unlabelled.isEmpty(), qPrintable(unlabelled.join(", ")));
    }
};

QTEST_MAIN(TestMasterForm)
#include "test_master_form.moc"
