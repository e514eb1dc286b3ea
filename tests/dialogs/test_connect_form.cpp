// The connect dialog with the server options dialog and the server list window, driven by
// real key events and clicks on the offscreen platform: what they say, what they write to
// user.ini, servers.ini and connect.ini, and a real connection to ngircd from the server
// the user picked.

#include "connection_dialogs_host.h"
#include "dialogs/about_form.h"
#include "dialogs/connect_form.h"
#include "dialogs/server_list_form.h"
#include "dialogs/server_list_store.h"
#include "dialogs/server_options_form.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help_form.h"

#include "ngircd_server.h"

#include <QDesktopServices>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>

namespace {

// Takes the addresses the desktop would open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

void writeUser(const ConnectionDialogsHost &host)
{
    host.writeConfig("user.ini", "[Config]\nUserName=Иван Петров\nEMail=ivan@example.org\n"
                                 "Nick=ivan\nAlterNick=ivan_\nInvisible=0\n"
                                 "IRCServer=irc.oftc.net\n");
}

QStringList serverNames(const TVoxComboBox *box)
{
    QStringList names;
    for (int i = 0; i < box->count(); ++i)
        names << box->itemText(i);
    return names;
}

void focusAndSelectAll(QWidget *field)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
}

} // namespace

class TestConnectForm : public QObject
{
    Q_OBJECT

private slots:
    void activationSpeaksLoadsAndLabelsEveryControl()
    {
        ConnectionDialogsHost host;
        writeUser(host);
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        const QStringList said = host.said();
        QVERIFY2(!said.isEmpty(), "silent");
        QCOMPARE(said.first(), QStringLiteral("окно настройка соединения."));
        // The focused field names itself after the window.
        QVERIFY2(said.contains(QStringLiteral("Имя и фамилия много символов")) ||
                     said.contains(QStringLiteral("Имя и фамилия Иван Петров")),
                 qPrintable(said.join(" | ")));

        QCOMPARE(form.windowTitle(), QStringLiteral("Настройка соединения"));
        QCOMPARE(form.VoxEdit1->text(), QStringLiteral("Иван Петров"));
        QCOMPARE(form.VoxEdit3->text(), QStringLiteral("ivan"));
        QCOMPARE(form.VoxEdit3->SpeechName(), QStringLiteral("Ник"));
        QCOMPARE(form.VoxComboBox1->SpeechName(), QStringLiteral("Сервер: "));
        QCOMPARE(form.Button1->text(), QStringLiteral("Подключиться"));
        QCOMPARE(form.PageControl1->tabText(1), QStringLiteral("Серверы"));
        QCOMPARE(serverNames(form.VoxComboBox2), QStringList({"irc.libera.chat", "irc.rus-net.org",
                                                              "irc.oftc.net", "irc.efnet.org"}));
        QCOMPARE(serverNames(form.VoxComboBox1), serverNames(form.VoxComboBox2));
        // The server the connection really uses is the one shown.
        QCOMPARE(form.VoxComboBox1->currentText(), QStringLiteral("irc.libera.chat"));
        QCOMPARE(SelectedServer(), QStringLiteral("irc.libera.chat"));

        for (int page = 0; page < 3; ++page) {
            form.PageControl1->setCurrentIndex(page);
            QCOMPARE(UnlabelledControls(&form).join(", "), QString());
        }
    }

    void anEditedCaptionShowsAtTheNextActivation()
    {
        ConnectionDialogsHost host;
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        SetCaption(QStringLiteral("F2Label9"), QStringLiteral("Прозвище"));
        form.hide();
        QVERIFY(ActivateWindow(&form));
        QCOMPARE(form.Label9->text(), QStringLiteral("Прозвище"));
        QCOMPARE(form.VoxEdit3->SpeechName(), QStringLiteral("Прозвище"));
    }

    void enterInTheNickFieldConnectsToTheChosenServer()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ConnectionDialogsHost host;
        writeUser(host);
        host.connectOnAction = true;
        host.writeConfig("servers.ini",
                         QStringLiteral("[IRCServers]\nName1=127.0.0.1\nDesc1=test\nPort1=%1\n"
                                        "CodePage1=WIN1251\n")
                             .arg(server.port())
                             .toUtf8());
        TForm2 form;
        QVERIFY(ActivateWindow(&form));

        focusAndSelectAll(form.VoxComboBox1);
        Type(QStringLiteral("127.0.0.1"));
        focusAndSelectAll(form.VoxEdit3);
        Type(QStringLiteral("тест"));
        form.CheckBox1->setChecked(true);
        const int langBefore = host.languageChecks;
        form.VoxEdit3->setFocus();
        Press(Qt::Key_Backspace);
        Type(QStringLiteral("Ivan"));
        QCOMPARE(host.languageChecks - langBefore, 5); // every key press, Enter included below
        Press(Qt::Key_Return);
        QCOMPARE(host.languageChecks - langBefore, 6);

        QVERIFY(!form.isVisible());
        QCOMPARE(host.connectActions, 1);
        QCOMPARE(GetUserValue(QStringLiteral("Nick")), QStringLiteral("тесIvan"));
        QCOMPARE(GetUserValue(QStringLiteral("UserName")), QStringLiteral("Иван Петров"));
        QCOMPARE(GetUserValue(QStringLiteral("EMail")), QStringLiteral("ivan@example.org"));
        QCOMPARE(GetUserValue(QStringLiteral("AlterNick")), QStringLiteral("ivan_"));
        QCOMPARE(GetUserValue(QStringLiteral("Invisible")), QStringLiteral("-1"));
        QCOMPARE(GetUserValue(QStringLiteral("IRCServer")), QStringLiteral("127.0.0.1"));
        QCOMPARE(GetConnectValue(QStringLiteral("Server")), QStringLiteral("127.0.0.1"));
        QCOMPARE(GetConnectValue(QStringLiteral("Port")), QString::number(server.port()));
        // connect.ini keeps its comments.
        QVERIFY(host.configText("connect.ini").startsWith(QStringLiteral("; Сервер")));
        QCOMPARE(host.client.AltNick, QByteArray("ivan_"));
        QCOMPARE(host.client.Replies.UserInfo, QByteArray("ivan@example.org"));

        QVERIFY(QTest::qWaitFor([&] { return host.client.State() == stConnected; }, 5000));
        QVERIFY(host.sent.contains(QByteArray("NICK ") + Cp1251(QStringLiteral("тесIvan"))));

        // Connect while connected hides the dialog and disconnects.
        QVERIFY(ActivateWindow(&form));
        form.Button1->click();
        QVERIFY(!form.isVisible());
        QCOMPARE(host.connectActions, 2);
        QVERIFY(!host.client.Connected());
    }

    void uncheckedInvisibleStoresZeroAndEscapeSavesNothing()
    {
        ConnectionDialogsHost host;
        writeUser(host);
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        const QByteArray before = host.configBytes("user.ini");
        form.VoxEdit1->setFocus();
        Type(QStringLiteral("x"));
        Press(Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(host.configBytes("user.ini"), before);
        QCOMPARE(host.connectActions, 0);

        QVERIFY(ActivateWindow(&form));
        QCOMPARE(form.VoxEdit1->text(), QStringLiteral("Иван Петров")); // reloaded from the file
        form.VoxEdit2->setFocus();
        Press(Qt::Key_Enter);
        QCOMPARE(GetUserValue(QStringLiteral("Invisible")), QStringLiteral("0"));
        QCOMPARE(host.connectActions, 1);
        // The shipped server shown in the box is what connect.ini keeps.
        QCOMPARE(GetConnectValue(QStringLiteral("Server")), QStringLiteral("irc.libera.chat"));
    }

    void typingIsKeptWhenTheDialogComesBackToTheFront()
    {
        ConnectionDialogsHost host;
        writeUser(host);
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        form.VoxEdit3->setFocus();
        QTest::keyClick(form.VoxEdit3, Qt::Key_End);
        Type(QStringLiteral("ka"));
        MessageCloser closer(host.voice.recording);
        form.PageControl1->setCurrentIndex(1);
        form.VoxComboBox2->setEditText(QStringLiteral("irc.nowhere.org"));
        form.Button5->click(); // a message box takes the front and gives it back
        QCOMPARE(closer.seen.size(), 1);
        QVERIFY(ActivateWindow(&form));
        QCOMPARE(form.VoxEdit3->text(), QStringLiteral("ivanka"));
        // One choice of server, shown on both pages.
        QCOMPARE(form.VoxComboBox2->currentText(), QStringLiteral("irc.nowhere.org"));
        QCOMPARE(form.VoxComboBox1->currentText(), QStringLiteral("irc.nowhere.org"));
        QCOMPARE(SelectedServer(), QStringLiteral("irc.nowhere.org"));
    }

    void theServerPickedOnTheServerPageIsTheOneConnected()
    {
        ConnectionDialogsHost host;
        host.writeConfig("servers.ini", "[IRCServers]\nName1=a.org\nDesc1=A\nPort1=6667\n"
                                        "Name2=b.org\nDesc2=B\nPort2=7002\n");
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        form.PageControl1->setCurrentIndex(1);
        form.VoxComboBox2->setFocus();
        QTest::keyClick(form.VoxComboBox2, Qt::Key_Down); // a.org
        QTest::keyClick(form.VoxComboBox2, Qt::Key_Down); // b.org
        QCOMPARE(form.DescEdit->text(), QStringLiteral("B"));
        QTest::keyClick(form.Button6, Qt::Key_Space);
        QCOMPARE(host.connectActions, 1);
        QCOMPARE(GetConnectValue(QStringLiteral("Server")), QStringLiteral("b.org"));
        QCOMPARE(GetConnectValue(QStringLiteral("Port")), QStringLiteral("7002"));
        QCOMPARE(GetUserValue(QStringLiteral("IRCServer")), QStringLiteral("b.org"));
        QCOMPARE(host.client.Port, 7002);
    }

    void pagesAreAnnounced()
    {
        ConnectionDialogsHost host;
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        form.PageControl1->tabBar()->setFocus(Qt::TabFocusReason);
        host.forget();
        QTest::keyClick(form.PageControl1->tabBar(), Qt::Key_Right);
        QVERIFY2(host.said().contains(QStringLiteral("Страница Серверы")),
                 qPrintable(host.said().join(" | ")));
        form.Button2->setFocus();
        form.PageControl1->tabBar()->setFocus(Qt::BacktabFocusReason);
        QVERIFY(host.said().contains(QStringLiteral("Контролер страниц, страница Серверы")));
        host.forget();
        form.VoxComboBox2->setFocus(Qt::TabFocusReason);
        form.Button2->setFocus(Qt::TabFocusReason);
        QVERIFY2(host.said().contains(QStringLiteral("Контролер страниц, страница Серверы")),
                 qPrintable(host.said().join(" | ")));
    }

    void deletingServersFromTheDialog()
    {
        ConnectionDialogsHost host;
        host.writeConfig("servers.ini", "[IRCServers]\nName1=only.org\nDesc1=er-net\n"
                                        "Port1=6667\nCodePage1=WIN1251\n");
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        form.PageControl1->setCurrentIndex(1);
        form.VoxComboBox2->setEditText(QStringLiteral("ONLY.org"));
        QCOMPARE(form.DescEdit->text(), QStringLiteral("er-net"));
        MessageCloser closer(host.voice.recording);
        form.Button5->click();
        // Deleting the only server says the list is empty, and it is.
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Server list"));
        QCOMPARE(closer.seen[0].text, QStringLiteral("no more exist servers in list."));
        QVERIFY(!host.configText("servers.ini").contains("only.org"));
        QCOMPARE(form.VoxComboBox2->count(), 0);
    }

    void addingAServerThroughTheOptionsDialog()
    {
        ConnectionDialogsHost host;
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        form.PageControl1->setCurrentIndex(1);
        MessageCloser closer(host.voice.recording);
        QStringList seenCaptions;
        WhenModal<TServerOptionsForm>([&](TServerOptionsForm *dialog) {
            seenCaptions << dialog->windowTitle() << dialog->Button1->text()
                         << dialog->PortEdit->text() << dialog->CodePageBox->currentText();
            QCOMPARE(QApplication::focusWidget(), dialog->ServerEdit);
            QTest::keyClick(dialog->ServerEdit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(dialog->ServerEdit, Qt::Key_Delete);
            QTest::keyClick(dialog->ServerEdit, Qt::Key_Return); // empty server
            TypeInto(dialog->ServerEdit, QStringLiteral("irc.er-net.org"));
            QTest::keyClick(dialog->PortEdit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(dialog->PortEdit, Qt::Key_Delete);
            QTest::keyClick(dialog->PortEdit, Qt::Key_Return); // empty port
            TypeInto(dialog->PortEdit, QStringLiteral("99999"));
            QTest::keyClick(dialog->PortEdit, Qt::Key_Return); // not a port
            QTest::keyClick(dialog->PortEdit, Qt::Key_A, Qt::ControlModifier);
            TypeInto(dialog->PortEdit, QStringLiteral("6697"));
            TypeInto(dialog->DescEdit, QStringLiteral("er-net"));
            dialog->CodePageBox->setCurrentIndex(2);
            TypeInto(dialog->PasswordEdit, QStringLiteral("secret"));
            QTest::keyClick(dialog->PasswordEdit, Qt::Key_Return);
        });
        form.Button3->click();
        QCOMPARE(seenCaptions, QStringList({"Параметры сервера", "Добавить", "6667", "WIN1251"}));
        QCOMPARE(closer.seen.size(), 3);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Параметры сервера"));
        QCOMPARE(closer.seen[0].text, QStringLiteral("Введите адрес сервера."));
        QCOMPARE(closer.seen[1].text, QStringLiteral("Введите номер порта."));
        QCOMPARE(closer.seen[2].text, QStringLiteral("Введите номер порта."));

        LoadServerList();
        QCOMPARE(ServerCount(), 5);
        const ServerRecord *added = ServerAt(5);
        QCOMPARE(added->Name, QStringLiteral("irc.er-net.org"));
        QCOMPARE(added->Desc, QStringLiteral("er-net"));
        QCOMPARE(added->Port, quint16(6697));
        QCOMPARE(added->CodePage, QStringLiteral("KOI8"));
        QVERIFY(added->AddDate.isValid());
        QCOMPARE(added->LastConnect, added->AddDate);
        QVERIFY(!host.configText("servers.ini").contains("secret"));
        QVERIFY(serverNames(form.VoxComboBox2).contains("irc.er-net.org"));
    }

    void changingAServerWritesItsOwnRecord()
    {
        ConnectionDialogsHost host;
        LoadServerList();
        // Renaming record 1 to the name of record 3 must not write into record 3.
        WhenModal<TServerOptionsForm>([&](TServerOptionsForm *dialog) {
            QCOMPARE(dialog->Button1->text(), QStringLiteral("Сохранить"));
            QCOMPARE(dialog->ServerEdit->text(), QStringLiteral("irc.libera.chat"));
            QCOMPARE(dialog->AddDateEdit->text(), QStringLiteral("01.12.2026 12:00:00"));
            QTest::keyClick(dialog->ServerEdit, Qt::Key_A, Qt::ControlModifier);
            TypeInto(dialog->ServerEdit, QStringLiteral("irc.oftc.net"));
            QTest::keyClick(dialog->DescEdit, Qt::Key_A, Qt::ControlModifier);
            TypeInto(dialog->DescEdit, QStringLiteral("renamed"));
            dialog->Button1->click();
        });
        QVERIFY(ServerOptionsForm()->ShowChange(QStringLiteral("irc.libera.chat")));
        LoadServerList();
        QCOMPARE(ServerCount(), 4);
        QCOMPARE(ServerAt(1)->Name, QStringLiteral("irc.oftc.net"));
        QCOMPARE(ServerAt(1)->Desc, QStringLiteral("renamed"));
        QCOMPARE(ServerAt(3)->Name, QStringLiteral("irc.oftc.net"));
        QCOMPARE(ServerAt(3)->Desc,
                 QStringLiteral("OFTC, сеть проектов Debian и других свободных программ"));

        MessageCloser closer(host.voice.recording);
        QVERIFY(!ServerOptionsForm()->ShowChange(QStringLiteral("irc.nowhere.org")));
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("IRC server"));
        QCOMPARE(closer.seen[0].text,
                 QStringLiteral("Input server name not exist, use add button"));
        // Escape leaves the record as it was.
        const QByteArray before = host.configBytes("servers.ini");
        WhenModal<TServerOptionsForm>([&](TServerOptionsForm *dialog) {
            TypeInto(dialog->DescEdit, QStringLiteral("zzz"));
            QTest::keyClick(dialog->DescEdit, Qt::Key_Escape);
        });
        QVERIFY(!ServerOptionsForm()->ShowChange(QStringLiteral("irc.efnet.org")));
        QCOMPARE(host.configBytes("servers.ini"), before);
    }

    void serverListWindow()
    {
        ConnectionDialogsHost host;
        LoadServerList();
        ServerAt(2)->LastConnect = ServerAt(2)->AddDate.addDays(1);
        SaveServerList();
        MessageCloser closer(host.voice.recording);
        QStringList rows;
        QStringList unlabelled;
        WhenModal<TServerListForm>([&](TServerListForm *window) {
            unlabelled = UnlabelledControls(window);
            for (int i = 0; i < window->ListView1->topLevelItemCount(); ++i) {
                QStringList row;
                for (int c = 0; c < 6; ++c)
                    row << window->ListView1->topLevelItem(i)->text(c);
                rows << row.join(u'|');
            }
            // The list selects its first row when it takes the focus; without one, Delete
            // says so.
            window->ListView1->clearSelection();
            window->DeleteButton->click();
            window->ListView1->setCurrentItem(window->ListView1->topLevelItem(0));
            QTest::keyClick(window->ListView1, Qt::Key_Down);
            window->DeleteButton->click();
            window->CloseButton->click();
        });
        ServerListForm()->exec();
        QCOMPARE(unlabelled, QStringList());
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], QStringLiteral("irc.libera.chat|Libera.Chat, большая международная "
                                         "сеть свободных проектов|6667|WIN1251|01.12.2026 "
                                         "12:00:00|-//-"));
        QVERIFY(rows[1].endsWith(QStringLiteral("|01.12.2026 12:00:00|02.12.2026 12:00:00")));
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].text, QStringLiteral("not selected"));
        LoadServerList();
        QCOMPARE(ServerCount(), 3);
        QCOMPARE(FindServer(QStringLiteral("irc.rus-net.org")), 0);
    }

    void aboutPageHasNoDeadLinks()
    {
        ConnectionDialogsHost host;
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        form.PageControl1->setCurrentIndex(2);
        QVERIFY(form.AboutMemo->toPlainText().contains(QStringLiteral("Talvin")));
        // The project has no web page or mail address yet: no link to stop at.
        QCOMPARE(form.WebLink->isVisibleTo(&form), !TAboutForm::WebAddress().isEmpty());
        QVERIFY(!form.MailLink->isVisibleTo(&form));
        if (form.WebLink->isVisibleTo(&form)) {
            QTest::keyClick(form.WebLink, Qt::Key_Space);
            QCOMPARE(catcher.urls.size(), 1);
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(UnlabelledControls(&form).join(", "), QString());
    }

    void helpOpensTheTopicsOfBothDialogs()
    {
        ConnectionDialogsHost host;
        const QDir shipped(qEnvironmentVariable("TALVIN_SOURCE_DIR") +
                           QStringLiteral("/dist/help"));
        for (const QString &name : shipped.entryList(QDir::Files))
            QFile::copy(shipped.filePath(name),
                        host.programDir.filePath(QStringLiteral("help/") + name));
        TForm2 form;
        QVERIFY(ActivateWindow(&form));
        host.forget();
        form.BitBtn2->click();
        QVERIFY(HelpForm()->isVisible());
        QVERIFY(HelpForm()->VoxRichEdit1->toPlainText().startsWith(
            QStringLiteral("Диалог настройки соединения")));
        HelpForm()->close();

        WhenModal<TServerOptionsForm>([](TServerOptionsForm *dialog) {
            QTest::keyClick(dialog->PortEdit, Qt::Key_F1);
            dialog->reject();
        });
        SelectedServer() = QStringLiteral("x");
        ServerOptionsForm()->ShowAdd();
        QVERIFY(HelpForm()->isVisible());
        QFile topic(host.programDir.filePath(QStringLiteral("help/serveroptions.txt")));
        QVERIFY(topic.open(QIODevice::ReadOnly));
        const QString first = QString::fromUtf8(topic.readLine()).trimmed();
        QVERIFY(HelpForm()->VoxRichEdit1->toPlainText().startsWith(first));
        HelpForm()->close();
    }

    void theListWindowActsOnTheChosenRowWhenNamesRepeat()
    {
        ConnectionDialogsHost host;
        host.writeConfig("servers.ini", "[IRCServers]\nName1=dup.org\nDesc1=first\nPort1=6667\n"
                                        "Name2=dup.org\nDesc2=second\nPort2=6668\n");
        QString changing;
        WhenModal<TServerListForm>([&](TServerListForm *window) {
            WhenModal<TServerOptionsForm>([&](TServerOptionsForm *dialog) {
                changing = dialog->DescEdit->text();
                dialog->reject();
            });
            window->ListView1->setCurrentItem(window->ListView1->topLevelItem(0));
            window->ChengButton->click();
            window->ListView1->setCurrentItem(window->ListView1->topLevelItem(0));
            window->DeleteButton->click();
            window->CloseButton->click();
        });
        ServerListForm()->exec();
        QCOMPARE(changing, QStringLiteral("first"));
        LoadServerList();
        QCOMPARE(ServerCount(), 1);
        QCOMPARE(ServerAt(1)->Desc, QStringLiteral("second"));
        QCOMPARE(ServerAt(1)->Port, quint16(6668));
    }

    void everyOptionsControlIsLabelled()
    {
        ConnectionDialogsHost host;
        QStringList unlabelled{"not run"};
        QStringList names;
        WhenModal<TServerOptionsForm>([&](TServerOptionsForm *dialog) {
            unlabelled = UnlabelledControls(dialog);
            names << dialog->ServerEdit->SpeechName() << dialog->PasswordEdit->SpeechName();
            dialog->reject();
        });
        SelectedServer() = QStringLiteral("x");
        ServerOptionsForm()->ShowAdd();
        QCOMPARE(unlabelled, QStringList());
        QCOMPARE(names, QStringList({"Адрес сервера", "Пароль"}));
    }
};

QTEST_MAIN(TestConnectForm)
#include "test_connect_form.moc"
