// The dialogs with real keys. The connection dialogs (the connect dialog, the server options,
// the server list window, the favourites window and editor): what they say, the files they
// write byte for byte (also Windows-1251 files of older installations), real connections and
// JOIN lines at ngircd. The first-run wizard walked by keyboard (every step spoken from its
// text file, the empty-field messages, the identity in user.ini, the server in connect.ini, a
// real registration at ngircd) and the small windows: About, the message of the day, the
// make-channel dialog with its lines at ngircd, and the user field.

#include "dialog_test_host.h"
#include "dialogs/about_form.h"
#include "dialogs/connect_form.h"
#include "dialogs/day_team_form.h"
#include "dialogs/faworit_store.h"
#include "dialogs/faworits_form.h"
#include "dialogs/irc_identity.h"
#include "dialogs/make_channel_form.h"
#include "dialogs/master_form.h"
#include "dialogs/server_list_form.h"
#include "dialogs/server_list_store.h"
#include "dialogs/server_options_form.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help_form.h"

#include "ngircd_server.h"
#include "raw_irc_client.h"

#include <QLabel>
#include <QTabBar>
#include <QTabWidget>

namespace {

QStringList itemsOf(QWidget *widget)
{
    QStringList items;
    if (auto *box = qobject_cast<QComboBox *>(widget))
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
    if (auto *list = qobject_cast<QListWidget *>(widget))
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
    return items;
}

// Clears the field with the keys and types the text.
void retype(QWidget *field, const QString &text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    TypeInto(field, text);
}

QStringList texts(const MessageCloser &closer)
{
    QStringList texts;
    for (const SeenMessage &message : closer.seen)
        texts << message.text;
    return texts;
}

const QByteArray UserIni = "[Config]\nUserName=Иван Петров\nEMail=ivan@example.org\nNick=ivan\n"
                           "AlterNick=ivan_\nInvisible=0\nIRCServer=irc.oftc.net\n";

// A wizard in a program directory with the shipped texts and a caption file that asks for it.
struct Wizard
{
    Wizard()
    {
        host.connectOnAction = true; // the wizard connects through the connect action
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
    // The step and the control holding the keyboard.
    QString where() const
    {
        return step() + u' ' + (Focused() ? Focused()->objectName() : QStringLiteral("nothing"));
    }
    QString text(int step) const
    {
        const QString path = host.programDir.filePath(QString("help/masterf%1.txt").arg(step));
        return QString::fromUtf8(ReadBytes(path)).replace("\r\n", "\n");
    }
    TestDialogHost host;
    TMasterForm form;
    MessageCloser closer{host.voice.recording};
};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void connectDialogSpeaksLoadsSavesNothingOnEscapeAndAddsServers()
    {
        TestDialogHost host(true);
        host.writeConfig("user.ini", UserIni);
        SetCaption("F2Label9", "Прозвище");
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        const QStringList said = host.said();
        QCOMPARE(said.value(0), "окно настройка соединения.");
        QVERIFY2(said.contains("Имя и фамилия Иван Петров") ||
                     said.contains("Имя и фамилия много символов"),
                 qPrintable(said.join(" | ")));
        QCOMPARE(form.VoxEdit3->text(), "ivan");
        QCOMPARE(form.VoxEdit3->SpeechName(), "Прозвище"); // the caption file names it
        QCOMPARE(itemsOf(form.VoxComboBox1), QStringList({"irc.libera.chat", "irc.rus-net.org",
                                                          "irc.oftc.net", "irc.efnet.org"}));
        QCOMPARE(SelectedServer(), form.VoxComboBox1->currentText()); // the one shown is used
        for (int page = 0; page < 3; ++page) {
            form.PageControl1->setCurrentIndex(page);
            QCOMPARE(UnlabelledControls(&form).join(", "), QString());
        }
        form.PageControl1->setCurrentIndex(1);
        form.Button2->setFocus(Qt::TabFocusReason); // the page control names its page
        form.PageControl1->tabBar()->setFocus(Qt::BacktabFocusReason);
        QVERIFY(host.said().contains("Контролер страниц, страница Серверы"));
        form.VoxEdit1->setFocus();
        Type("x");
        Press(Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(host.configBytes("user.ini"), UserIni);
        QCOMPARE(host.connectActions, 0);
        // Adding a server checks the fields.
        QVERIFY(ActivateWindow(&form));
        form.PageControl1->setCurrentIndex(1);
        MessageCloser closer(host.voice.recording);
        QStringList seen;
        WhenModal<TServerOptionsForm>([&](TServerOptionsForm *dialog) {
            seen << UnlabelledControls(dialog) << dialog->PortEdit->text();
            QTest::keyClick(dialog->ServerEdit, Qt::Key_Return); // empty server
            TypeInto(dialog->ServerEdit, "irc.er-net.org");
            retype(dialog->PortEdit, "");
            QTest::keyClick(dialog->PortEdit, Qt::Key_Return); // empty port
            TypeInto(dialog->PortEdit, "99999");
            QTest::keyClick(dialog->PortEdit, Qt::Key_Return); // not a port
            retype(dialog->PortEdit, "6697");
            TypeInto(dialog->DescEdit, "er-net");
            dialog->CodePageBox->setCurrentIndex(2);
            TypeInto(dialog->PasswordEdit, "secret");
            QTest::keyClick(dialog->PasswordEdit, Qt::Key_Return);
        });
        form.Button3->click();
        QCOMPARE(seen, QStringList({"6667"}));
        QCOMPARE(texts(closer), QStringList({"Введите адрес сервера.", "Введите номер порта.",
                                             "Введите номер порта."}));
        LoadServerList();
        QCOMPARE(ServerCount(), 5);
        const ServerRecord *added = ServerAt(5);
        QCOMPARE(added->Name + added->Desc + added->CodePage, "irc.er-net.orger-netKOI8");
        QCOMPARE(added->Port, quint16(6697));
        QVERIFY(added->AddDate.isValid() && added->LastConnect == added->AddDate);
        QVERIFY(!host.configText("servers.ini").contains("secret"));
        QVERIFY(itemsOf(form.VoxComboBox2).contains("irc.er-net.org"));
    }

    void enterInTheNickFieldStoresAndConnectsToTheChosenServer()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        TestDialogHost host(true);
        host.writeConfig("user.ini", UserIni);
        host.connectOnAction = true;
        host.writeConfig("servers.ini", "[IRCServers]\nName1=127.0.0.1\nDesc1=test\nPort1=" +
                                            QByteArray::number(server.port()) + "\n");
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        retype(form.VoxComboBox1, "127.0.0.1");
        retype(form.VoxEdit3, "тест");
        form.CheckBox1->setChecked(true);
        const int languageChecks = host.languageChecks;
        Press(Qt::Key_Backspace);
        Type("Ivan");
        Press(Qt::Key_Return);
        QCOMPARE(host.languageChecks - languageChecks, 6); // every key asks about the layout
        QVERIFY(!form.isVisible());
        QCOMPARE(host.connectActions, 1);
        QCOMPARE(host.configText("user.ini"), QString(UserIni)
                                                  .replace("Nick=ivan\n", "Nick=тесIvan\n")
                                                  .replace("Invisible=0", "Invisible=-1")
                                                  .replace("irc.oftc.net", "127.0.0.1"));
        QVERIFY(host.configText("connect.ini").startsWith("; Сервер")); // comments kept
        QCOMPARE(GetConnectValue("Port"), QString::number(server.port()));
        QCOMPARE(host.client.AltNick, QByteArray("ivan_"));
        QVERIFY(QTest::qWaitFor([&] { return host.client.State() == stConnected; }, 5000));
        QVERIFY(host.sent.contains("NICK " + Cp1251("тесIvan")));
        // Connect while connected hides the dialog and disconnects.
        QVERIFY(ActivateWindow(&form));
        form.Button1->click();
        QVERIFY(!form.isVisible() && !host.client.Connected());
    }

    // Changing a record writes that record only; the server list window acts on the row chosen.
    void changingAServerAndTheServerListWindow()
    {
        TestDialogHost host(true);
        LoadServerList();
        // Renaming record 1 to the name of record 3 must not write into record 3.
        WhenModal<TServerOptionsForm>([&](TServerOptionsForm *dialog) {
            QCOMPARE(dialog->AddDateEdit->text(), "01.12.2026 12:00:00");
            retype(dialog->ServerEdit, "irc.oftc.net");
            retype(dialog->DescEdit, "renamed");
            dialog->Button1->click();
        });
        QVERIFY(ServerOptionsForm()->ShowChange("irc.libera.chat"));
        LoadServerList();
        QCOMPARE(ServerAt(1)->Desc, "renamed");
        QCOMPARE(ServerAt(3)->Desc, "OFTC, сеть проектов Debian и других свободных программ");
        const QByteArray before = host.configBytes("servers.ini");
        WhenModal<TServerOptionsForm>([&](TServerOptionsForm *dialog) {
            TypeInto(dialog->DescEdit, "zzz");
            QTest::keyClick(dialog->DescEdit, Qt::Key_Escape);
        });
        QVERIFY(!ServerOptionsForm()->ShowChange("irc.efnet.org"));
        QCOMPARE(host.configBytes("servers.ini"), before); // Escape leaves the record
        MessageCloser closer(host.voice.recording);
        QVERIFY(!ServerOptionsForm()->ShowChange("irc.nowhere.org"));
        // The window, over two records of one name.
        host.writeConfig("servers.ini", "[IRCServers]\nName1=dup.org\nDesc1=first\nPort1=6667\n"
                                        "Name2=dup.org\nDesc2=second\nPort2=6668\n");
        LoadServerList();
        QStringList seen;
        WhenModal<TServerListForm>([&](TServerListForm *window) {
            WhenModal<TServerOptionsForm>([&](TServerOptionsForm *dialog) {
                seen << dialog->DescEdit->text();
                dialog->reject();
            });
            seen << UnlabelledControls(window) << window->ListView1->topLevelItem(0)->text(5);
            window->ListView1->clearSelection();
            window->DeleteButton->click(); // nothing chosen: said so
            window->ListView1->setCurrentItem(window->ListView1->topLevelItem(0));
            QTest::keyClick(window->ListView1, Qt::Key_Down);
            window->ChengButton->click();
            window->ListView1->setCurrentItem(window->ListView1->topLevelItem(0));
            window->DeleteButton->click();
            window->CloseButton->click();
        });
        ServerListForm()->exec();
        QCOMPARE(seen, QStringList({"-//-", "second"})); // never connected; the row chosen
        QCOMPARE(texts(closer),
                 QStringList({"Input server name not exist, use add button", "not selected"}));
        LoadServerList();
        QCOMPARE(ServerCount(), 1);
        QCOMPARE(ServerAt(1)->Port, quint16(6668));
    }

    void serverListFile()
    {
        TestDialogHost host(true);
        // Gaps close; descriptions beginning with "er" and unreadable values keep their record.
        host.writeConfig("servers.ini", "; my servers\n[IRCServers]\nName2=b.org\nDesc2=er-net\n"
                                        "Port2=abc\nAddDate2=12/1/26 12:00 PM\nLastConnect2=\n"
                                        "CodePage2=OEM\nName3=c.org\nDesc3=err\nPort3=70000\n"
                                        "[Other]\nkeep=1\n");
        LoadServerList();
        QCOMPARE(ServerCount(), 2);
        QCOMPARE(ServerAt(1)->Desc + ServerAt(2)->Desc, "er-neterr");
        QCOMPARE(ServerAt(2)->CodePage, "WIN1251");
        ServerAt(2)->Desc = "  \"padded\"  ";
        SaveServerList();
        QVERIFY2(
            host.configText("servers.ini")
                .startsWith("; my servers\n[IRCServers]\nName1=b.org\nDesc1=er-net\nPort1=6667\n"
                            "AddDate1=12/1/26 12:00 PM\nLastConnect1=\nCodePage1=OEM\n"
                            "Name2=c.org\nDesc2=\"  \"padded\"  \"\nPort2=6667\n"),
            qPrintable(host.configText("servers.ini")));
        LoadServerList();
        QCOMPARE(ServerAt(2)->Desc, "  \"padded\"  ");
        QCOMPARE(DeleteServer("B.ORG"), 1); // the shorter list from 1, no old numbers left
        QVERIFY(
            host.configText("servers.ini").startsWith("; my servers\n[IRCServers]\nName1=c.org\n"));
        QVERIFY(!host.configText("servers.ini").contains("Name2"));
        QVERIFY(host.configText("servers.ini").endsWith("[Other]\nkeep=1\n"));

        // An old Windows-1251 file stays Windows-1251.
        const QString old =
            "; серверы\r\n[IRCServers]\r\nName1=irc.rus-net.org\r\nDesc1=Русская сеть\r\n"
            "Port1=6669\r\nAddDate1=01.02.2003 04:05:06\r\nLastConnect1=01.02.2003 "
            "04:05:06\r\nCodePage1=KOI8\r\n";
        host.writeConfig("servers.ini", Cp1251(old));
        LoadServerList();
        SelectedServer() = "irc.rus-net.org";
        QCOMPARE(AddServer("irc.новый.рф"), 2);
        ServerAt(2)->AddDate = ServerAt(2)->LastConnect =
            QDateTime(QDate(2026, 12, 6), QTime(8, 0, 1));
        SaveServerList();
        QCOMPARE(host.configBytes("servers.ini"),
                 Cp1251(old +
                        "Name2=irc.новый.рф\r\nDesc2=\r\nPort2=6667\r\nAddDate2=06.12.2026 "
                        "08:00:01\r\nLastConnect2=06.12.2026 08:00:01\r\nCodePage2=WIN1251\r\n"));

        // Found in any letter case, the last match; nothing added unless a server is chosen,
        // nor beyond the limit.
        QCOMPARE(FindServer("IRC.RUS-NET.org"), 1);
        QCOMPARE(AddServer("irc.rus-net.org"), 3);
        QCOMPARE(FindServer("irc.rus-net.org"), 3);
        SelectedServer().clear();
        QCOMPARE(AddServer("x.org"), 0);
        SelectedServer() = "x";
        while (ServerCount() < MaxServers)
            QVERIFY(AddServer(QString("s%1.org").arg(ServerCount())) > 0);
        QCOMPARE(AddServer("one-too-many.org"), 0);
        // A server chosen by name goes to connect.ini with its port from the file.
        ServerList().clear();
        WriteConnectServer("IRC.rus-net.org");
        QCOMPARE(GetConnectValue("Server") + ":" + GetConnectValue("Port"), "IRC.rus-net.org:6669");
    }

    void favouritesWindowJoinsAtTheServer()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        RawIrcClient watcher;
        QVERIFY(watcher.connectTo(server, "watcher"));
        watcher.send("JOIN ##linux");
        QVERIFY(watcher.waitFor(" 366 "));
        TestDialogHost host(true);
        TFaworitsForm form;
        QVERIFY(ActivateWindow(&form));
        QTest::qWait(20); // the field's own focus announcement would come now
        QCOMPARE(host.said(), QStringList({Stop, "Избранные каналы", "Имя канала #Talvin"}));
        QCOMPARE(itemsOf(form.VoxListBox1), QStringList({"#libera", "##linux"}));
        QCOMPARE(UnlabelledControls(&form).join(", "), QString());
        MessageCloser closer(host.voice.recording);
        Press(Qt::Key_Return); // not connected
        QVERIFY(ActivateWindow(&form));
        QVERIFY(host.connectTo(server, "fan"));
        // Empty name, then a name without "#": said, nothing sent.
        retype(form.VoxEdit1, "");
        QTest::keyClick(form.VoxEdit1, Qt::Key_Return);
        TypeInto(form.VoxEdit1, "linux");
        QTest::keyClick(form.VoxEdit1, Qt::Key_Return);
        QCOMPARE(texts(closer),
                 QStringList({"Войти в канал вы можете только присоединившись к IRC серверу.",
                              "Надо либо ввести имя канала, либо выбрать это имя из списка.",
                              "Имя канала должно начинатся со знака # (решетка)"}));
        QVERIFY(std::none_of(host.sent.begin(), host.sent.end(),
                             [](auto &l) { return l.startsWith("JOIN"); }));
        // Choosing from the list by keys and Enter released in it joins.
        QVERIFY(ActivateWindow(&form));
        form.VoxListBox1->setFocus();
        QTest::keyClick(form.VoxListBox1, Qt::Key_Home);
        QTest::keyClick(form.VoxListBox1, Qt::Key_Down);
        QTest::keyClick(form.VoxListBox1, Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QVERIFY(host.sent.contains("JOIN ##linux"));
        QVERIFY2(watcher.waitFor(":fan!") && watcher.waitFor("##linux\r\n", 5000),
                 watcher.received.constData());
    }

    void addingAFavouriteShowsItAtTheEndAndStoresIt()
    {
        TestDialogHost host(true);
        TFaworitsForm form;
        QVERIFY(ActivateWindow(&form));
        QStringList unlabelled{"not run"};
        WhenModal<TEditFaworitForm>([&](TEditFaworitForm *editor) {
            unlabelled = UnlabelledControls(editor);
            TypeInto(editor->ChannelEdit, "#erlang");
            TypeInto(editor->PasswordEdit, "key");
            TypeInto(editor->DescrEdit, "Язык Erlang");
            QTest::keyClick(editor->DescrEdit, Qt::Key_Return);
        });
        form.Button2->click();
        WhenModal<TEditFaworitForm>([](TEditFaworitForm *editor) {
            TypeInto(editor->ChannelEdit, "#never");
            editor->CancelButton->click();
        });
        form.Button2->click();
        QCOMPARE(unlabelled, QStringList());
        QCOMPARE(itemsOf(form.VoxListBox1), QStringList({"#libera", "##linux", "#erlang"}));
        QVERIFY(host.configText("faworits.ini").startsWith("; ")); // the file's comment stays
        QVERIFY(
            host.configText("faworits.ini")
                .contains("FaworChannel3=#erlang\nFaworPassword3=key\nFaworDescr3=Язык Erlang\n"));
        // Filled from the channel list before anything loaded the list, it appends.
        Faworits().clear();
        WhenModal<TEditFaworitForm>([](TEditFaworitForm *editor) { editor->OkButton->click(); });
        EditFaworitForm()->ShowFilled("#talvin", "Тема", "irc.example.net");
        QCOMPARE(itemsOf(form.VoxListBox1).last(), "#talvin");
        QCOMPARE(GetFaworitValue("FaworChannel4"), "#talvin");

        // The file: read up to the first missing channel, absent keys empty.
        host.writeConfig("faworits.ini",
                         "[Faworits]\nFaworChannel1=#er\nFaworDescr1=er\n"
                         "FaworChannel2=\nFaworDescr3=no channel\nFaworChannel4=#later\n");
        LoadFaworitList();
        QCOMPARE(Faworits().size(), 2);
        QCOMPARE(Faworits()[0].description + Faworits()[0].password, "er");
        AddFaworit({"#new", QString(), "Новый", QString()});
        QCOMPARE(
            host.configText("faworits.ini"),
            "[Faworits]\nFaworChannel1=#er\nFaworDescr1=er\nFaworChannel2=\nFaworDescr3=Новый\n"
            "FaworChannel4=#later\nFaworPassword1=\nFaworServer1=\nFaworPassword2=\n"
            "FaworDescr2=\nFaworServer2=\nFaworChannel3=#new\nFaworPassword3=\nFaworServer3=\n");
        // A full list refuses and leaves the file alone.
        Faworits().fill(FaworitRecord{"#x", {}, {}, {}}, MaxFaworits);
        SaveFaworitList();
        const QByteArray full = host.configBytes("faworits.ini");
        QVERIFY_THROWS_EXCEPTION(ETalvinError, AddFaworit({"#y", {}, {}, {}}));
        QCOMPARE(host.configBytes("faworits.ini"), full);
    }

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
        QCOMPARE(wizard.where(), "шаг 1 из 6 NextButton");
        QCOMPARE(UnlabelledControls(&wizard.form), QStringList());
        Press(Qt::Key_Return); // Next
        QCOMPARE(wizard.where(), "шаг 2 из 6 NameEdit");
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
        retype(Focused(), "127.0.0.1");
        Press(Qt::Key_Return);
        QCOMPARE(wizard.step() + wizard.form.NextButton->text(), "шаг 6 из 6Готово");
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
        QCOMPARE(GetConnectValue("Server") + ':' + GetConnectValue("Port"),
                 "127.0.0.1:" + QString::number(server.port()));
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
        retype(Focused(), "Anna");
        Press(Qt::Key_Return);
        Press(Qt::Key_Return); // e-mail left empty: Enter does nothing ...
        QCOMPARE(wizard.step(), "шаг 3 из 6");
        QTest::keyClick(wizard.form.NextButton, Qt::Key_Space); // ... the Next button moves on
        Type("  ");
        Press(Qt::Key_Return); // a nick of blanks is none
        wizard.host.forget();
        QTest::keyClick(wizard.form.BackButton, Qt::Key_Space);
        QTest::keyClick(wizard.form.BackButton, Qt::Key_Space);
        QCOMPARE(wizard.where(), "шаг 2 из 6 NameEdit");
        QCOMPARE(wizard.form.NameEdit->text(), "Anna"); // Back keeps what was typed
        QCOMPARE(wizard.host.said().first(), Stop);     // the button stops the voice first
        QVERIFY(wizard.host.said().contains(wizard.text(2)));
        Press(Qt::Key_Return);
        QTest::keyClick(wizard.form.NextButton, Qt::Key_Space);
        QTest::keyClick(wizard.form.NextButton, Qt::Key_Space); // Next does not check
        retype(Focused(), "");
        Press(Qt::Key_Return); // empty server
        Type("127.0.0.1");
        QTest::keyClick(wizard.form.NextButton, Qt::Key_Space);
        QTest::keyClick(wizard.form.NextButton, Qt::Key_Space); // "Готово", nick still blank
        QCOMPARE(wizard.where(), "шаг 4 из 6 NickEdit");
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
        QCOMPARE(wizard.step() + QString::number(wizard.closer.seen.size()), "шаг 3 из 62");
        const QString text =
            "Master text file is wrong, check - " + ProgramDir() + "/help/masterf3.txt";
        QCOMPARE(wizard.closer.seen[1].title + '|' + wizard.closer.seen[1].text,
                 "Master error|" + text);
        QVERIFY(wizard.closer.seen[1].said.contains(text));
        QCOMPARE(wizard.where(), "шаг 3 из 6 EMailEdit");
        Type("a@b.c");
        Press(Qt::Key_Return);
        QCOMPARE(wizard.step() + QString::number(wizard.closer.seen.size()), "шаг 4 из 63");
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
        QVERIFY(host.connectTo(server, "maker"));
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
        // Name, key, the boxes ticked (p m n k) and the lines made: nothing after a blank or
        // comma reaches the server as more parameters.
        QByteArrayList made;
        for (const char *row :
             {"||", "talvin||", "talvin|secret word|pmnk", "&чат 0,#other||pmn", "#a,#b||"}) {
            const QStringList part = QString::fromUtf8(row).split(u'|');
            form.VoxEdit1->setText(part[0]);
            form.VoxEdit2->setText(part[1]);
            for (auto [box, mode] : {std::pair{form.VoxCheckBox1, 'p'},
                                     {form.VoxCheckBox2, 'm'},
                                     {form.VoxCheckBox4, 'n'},
                                     {form.VoxCheckBox3, 'k'}})
                box->setChecked(part[2].contains(QLatin1Char(mode)));
            made << form.MakeLines().join('|');
        }
        QCOMPARE(made, QByteArrayList({"", "JOIN #talvin",
                                       "JOIN #talvin secret|MODE #talvin +pmnk secret",
                                       "JOIN &\xF7\xE0\xF2|MODE &\xF7\xE0\xF2 +pmn", "JOIN #a"}));
    }

    void userFieldIsOneWordServersAccept()
    {
        QCOMPARE(QByteArrayList(
                     {IrcUserField("Иван Петров", "ivan_p"), IrcUserField("Ivan Petrov", "[Ivan]"),
                      IrcUserField("Иван", "Ваня"), IrcUserField("averyverylongname", {})}),
                 QByteArrayList({"ivan_p", "Ivan", "user", "averyveryl"}));
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
