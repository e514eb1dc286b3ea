// The favourites window and the favourite editor with real keys: what they say, the
// messages for a missing connection and bad names, the JOIN line as another client on a
// real ngircd sees it, and additions written to faworits.ini.

#include "connection_dialogs_host.h"
#include "dialogs/faworit_store.h"
#include "dialogs/faworits_form.h"
#include "speech/controls/vox_controls.h"

#include "ngircd_server.h"

#include <QTcpSocket>

namespace {

// A second, plain client on the server that sits in a channel and keeps every line it gets.
class Observer
{
public:
    bool joinAndWait(const NgircdServer &server, const QByteArray &channel)
    {
        socket.connectToHost(server.host(), server.port());
        if (!socket.waitForConnected(5000))
            return false;
        socket.write("NICK watcher\r\nUSER watcher 0 * :Watcher\r\nJOIN " + channel + "\r\n");
        return waitFor(" 366 ");
    }
    bool waitFor(const QByteArray &text, int ms = 5000)
    {
        return QTest::qWaitFor(
            [&] {
                socket.waitForReadyRead(10);
                lines += socket.readAll();
                return lines.contains(text);
            },
            ms);
    }
    QTcpSocket socket;
    QByteArray lines;
};

bool connectClient(ConnectionDialogsHost &host, const NgircdServer &server)
{
    host.client.Host = server.host();
    host.client.Port = server.port();
    host.client.SetNick("fan");
    host.client.Connect();
    return QTest::qWaitFor([&] { return host.client.State() == stConnected; }, 5000);
}

QStringList items(const TVoxListBox *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class TestFaworitsForm : public QObject
{
    Q_OBJECT

private slots:
    void activationSpeaksTheWindowThenTheField()
    {
        ConnectionDialogsHost host;
        TFaworitsForm form;
        QVERIFY(ActivateWindow(&form));
        QTest::qWait(20); // the field's own focus announcement would come now
        QCOMPARE(host.said(), QStringList({Stop, "Избранные каналы", "Имя канала #Talvin"}));
        QCOMPARE(QApplication::focusWidget(), form.VoxEdit1);
        QCOMPARE(items(form.VoxListBox1), QStringList({"#libera", "##linux"}));
        QCOMPARE(form.Button1->text(), QStringLiteral("Войти"));
        QVERIFY(!form.Button1->isEnabled()); // not connected
        QVERIFY(!form.Button3->isEnabled());
        QVERIFY(!form.Button4->isEnabled());
        QCOMPARE(form.VoxListBox1->SpeechName(), QStringLiteral("Избранные каналы: "));
        QCOMPARE(UnlabelledControls(&form).join(", "), QString());
        // Tabbing on speaks the list as a speaking control does.
        host.forget();
        Press(Qt::Key_Tab);
        QVERIFY2(host.said().join("|").contains(QStringLiteral("Избранные каналы: ")),
                 qPrintable(host.said().join("|")));
    }

    void joiningWithoutAConnectionIsRefused()
    {
        ConnectionDialogsHost host;
        TFaworitsForm form;
        QVERIFY(ActivateWindow(&form));
        MessageCloser closer(host.voice.recording);
        Press(Qt::Key_Return);
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Нет соединения"));
        QCOMPARE(closer.seen[0].text,
                 QStringLiteral("Войти в канал вы можете только присоединившись к IRC серверу."));
        QVERIFY(form.isVisible());
    }

    void joinSendsTheJoinLineTheServerPassesOn()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Observer watcher;
        QVERIFY(watcher.joinAndWait(server, "##linux"));
        ConnectionDialogsHost host;
        QVERIFY(connectClient(host, server));
        TFaworitsForm form;
        QVERIFY(ActivateWindow(&form));
        QVERIFY(form.Button1->isEnabled());

        MessageCloser closer(host.voice.recording);
        // Empty name, then a name without "#": said, nothing sent.
        QTest::keyClick(form.VoxEdit1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(form.VoxEdit1, Qt::Key_Delete);
        QTest::keyClick(form.VoxEdit1, Qt::Key_Return);
        TypeInto(form.VoxEdit1, QStringLiteral("linux"));
        QTest::keyClick(form.VoxEdit1, Qt::Key_Return);
        QCOMPARE(closer.seen.size(), 2);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Синтаксическая ошибка"));
        QCOMPARE(closer.seen[0].text,
                 QStringLiteral("Надо либо ввести имя канала, либо выбрать это имя из списка."));
        QCOMPARE(closer.seen[1].text,
                 QStringLiteral("Имя канала должно начинатся со знака # (решетка)"));
        QVERIFY(form.isVisible());
        for (const QByteArray &line : host.sent)
            QVERIFY2(!line.startsWith("JOIN"), line.constData());

        // Choosing from the list by keys and Enter released in it joins.
        QVERIFY(ActivateWindow(&form));
        form.VoxListBox1->setFocus();
        QTest::keyClick(form.VoxListBox1, Qt::Key_Home);
        QTest::keyClick(form.VoxListBox1, Qt::Key_Down);
        QTest::keyClick(form.VoxListBox1, Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QVERIFY(host.sent.contains("JOIN ##linux"));
        // The watcher's own JOIN came first; the one that counts is fan's.
        QVERIFY2(watcher.waitFor(":fan!"), watcher.lines.constData());
        QVERIFY(QTest::qWaitFor(
            [&] {
                watcher.waitFor("\r\n", 10);
                return watcher.lines.indexOf("\r\n", watcher.lines.indexOf(":fan!")) > 0;
            },
            5000));
        const QByteArray seen = watcher.lines.mid(watcher.lines.indexOf(":fan!"));
        QVERIFY2(seen.contains(" JOIN ##linux\r\n") || seen.contains(" JOIN :##linux\r\n"),
                 watcher.lines.constData());
        QCOMPARE(closer.seen.size(), 2);
    }

    void addingAFavouriteShowsItAtTheEndAndStoresIt()
    {
        ConnectionDialogsHost host;
        TFaworitsForm form;
        QVERIFY(ActivateWindow(&form));
        QStringList unlabelled{"not run"};
        WhenModal<TEditFaworitForm>([&](TEditFaworitForm *editor) {
            unlabelled = UnlabelledControls(editor);
            QCOMPARE(QApplication::focusWidget(), editor->ChannelEdit);
            TypeInto(editor->ChannelEdit, QStringLiteral("#erlang"));
            TypeInto(editor->PasswordEdit, QStringLiteral("key"));
            TypeInto(editor->DescrEdit, QStringLiteral("Язык Erlang"));
            TypeInto(editor->ServerEdit, QStringLiteral("irc.libera.chat"));
            QTest::keyClick(editor->ServerEdit, Qt::Key_Return);
        });
        form.Button2->click();
        QCOMPARE(unlabelled.join(", "), QString());
        QCOMPARE(items(form.VoxListBox1), QStringList({"#libera", "##linux", "#erlang"}));
        const QString text = host.configText("faworits.ini");
        QVERIFY(text.contains("FaworChannel3=#erlang\n"));
        QVERIFY(text.contains("FaworPassword3=key\n"));
        QVERIFY(text.contains("FaworDescr3=Язык Erlang\n"));
        QVERIFY(text.contains("FaworServer3=irc.libera.chat\n"));
        QVERIFY(text.startsWith("; ")); // the file's comment stays

        // An empty channel is accepted as it is and listed as an empty entry; Cancel adds
        // nothing.
        WhenModal<TEditFaworitForm>([](TEditFaworitForm *editor) { editor->OkButton->click(); });
        form.Button2->click();
        WhenModal<TEditFaworitForm>([](TEditFaworitForm *editor) {
            TypeInto(editor->ChannelEdit, QStringLiteral("#never"));
            editor->CancelButton->click();
        });
        form.Button2->click();
        QCOMPARE(items(form.VoxListBox1), QStringList({"#libera", "##linux", "#erlang", ""}));
        LoadFaworitList();
        QCOMPARE(Faworits().size(), 4);
    }

    void editorFilledByTheChannelListAddsToTheWindow()
    {
        ConnectionDialogsHost host;
        // What another run left in memory must not decide where the entry goes.
        Faworits().clear();
        TFaworitsForm form;
        WhenModal<TEditFaworitForm>([](TEditFaworitForm *editor) {
            QCOMPARE(editor->ChannelEdit->text(), QStringLiteral("#talvin"));
            QCOMPARE(editor->PasswordEdit->text(), QString());
            editor->OkButton->click();
        });
        EditFaworitForm()->ShowFilled(QStringLiteral("#talvin"), QStringLiteral("Тема"),
                                      QStringLiteral("irc.example.net"));
        QCOMPARE(FaworitsForm(), &form);
        QCOMPARE(items(form.VoxListBox1).last(), QStringLiteral("#talvin"));
        QCOMPARE(GetFaworitValue(QStringLiteral("FaworChannel1")), QStringLiteral("#libera"));
        QCOMPARE(GetFaworitValue(QStringLiteral("FaworChannel3")), QStringLiteral("#talvin"));
        QCOMPARE(GetFaworitValue(QStringLiteral("FaworDescr3")), QStringLiteral("Тема"));
    }
};

QTEST_MAIN(TestFaworitsForm)
#include "test_faworits_form.moc"
