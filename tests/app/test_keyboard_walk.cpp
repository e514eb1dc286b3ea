// The whole program driven by keyboard and ear, as a new user meets it: the connect dialog
// by every way in, Enter on buttons, window tiling, the Commands menu, caption
// gaps, channel headers, the shipped log directory and the connect port.
#include "app/session_log.h"
#include "app/speech_panel.h"
#include "app/talvin_application.h"
#include "channels/channel_mode_form.h"
#include "channels/channel_setup_form.h"
#include "dialogs/connect_form.h"
#include "dialogs/day_team_form.h"
#include "dialogs/faworits_form.h"
#include "dialogs/make_channel_form.h"
#include "dialogs/server_list_form.h"
#include "dialogs/server_list_store.h"
#include "dialogs/server_options_form.h"

#include "../channels/channel_bench.h"

#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

namespace {
const QString DialogSpeech = "окно настройка соединения.";
} // namespace

class TestKeyboardWalk : public QObject
{
    Q_OBJECT
private slots:
    void connectDialogTakesTheKeyboard_data()
    {
        QTest::addColumn<QString>("way");
        for (const char *way : {"Ctrl+G", "menu item", "tool button"})
            QTest::newRow(way) << QString::fromLatin1(way);
    }
    void connectDialogTakesTheKeyboard()
    {
        QFETCH(QString, way);
        MainWindowBench bench;
        bench.setCaption("smode", "dialog");
        TForm1 *window = bench.start();
        // Every time: also after Cancel.
        for (int round = 0; round < 2; ++round) {
            window->Form2->Button2->click();
            QVERIFY(!window->Form2->isVisible());
            window->activateWindow();
            QTRY_VERIFY(window->isActiveWindow());
            bench.interfaceVoice->clear();
            if (way == QLatin1String("Ctrl+G"))
                QTest::keyClick(window, Qt::Key_G, Qt::ControlModifier);
            else if (way == QLatin1String("menu item"))
                window->findChild<QMenu *>("A_ServerMenu")->actions()[2]->trigger();
            else
                window->ToolButton5->click();
            QTRY_VERIFY(window->Form2->isActiveWindow());
            QVERIFY(window->Form2->isAncestorOf(QApplication::focusWidget()));
            // The announcement is heard whole: the focused field queues behind it.
            const QStringList heard = bench.interfaceVoice->speakAndStop();
            QCOMPARE(heard.count(DialogSpeech), 1);
            QVERIFY2(!heard.mid(heard.indexOf(DialogSpeech)).contains("<stop>"),
                     qPrintable(heard.join(u'|')));
        }
    }

    void enterPressesTheFocusedButton()
    {
        MainWindowBench bench;
        bench.setCaption("smode", "dialog");
        TForm1 *main = bench.start();
        main->DayTeam->AddLine("Welcome", Qt::black);
        const QList<QPair<QWidget *, QPushButton *>> buttons = {
            {main->Form2, main->Form2->Button2},
            {ServerOptionsForm(), ServerOptionsForm()->Button2},
            {FaworitsForm(), FaworitsForm()->Button5},
            {ServerListForm(), ServerListForm()->CloseButton},
            {main->DayTeam, main->DayTeam->VoxButton1}};
        for (const auto &[dialog, button] : buttons) {
            dialog->show();
            dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Return);
            QTRY_VERIFY2(!dialog->isVisible(), qPrintable(dialog->objectName()));
        }
    }

    void tilingAndCommands()
    {
        MainWindowBench bench;
        bench.setCaption("smode", "dialog");
        TForm1 *window = bench.start();
        // Horizontally: full-width windows one above the other; vertically: side by side.
        window->MdiArea->addSubWindow(new QWidget)->show();
        window->A_TileHorizontal->trigger();
        for (QMdiSubWindow *sub : window->MdiArea->subWindowList())
            QCOMPARE(sub->width(), window->MdiArea->viewport()->width());
        window->A_TileVertical->trigger();
        for (QMdiSubWindow *sub : window->MdiArea->subWindowList())
            QCOMPARE(sub->height(), window->MdiArea->viewport()->height());

        // The make-channel dialog from the Commands menu.
        auto *make = window->findChild<QAction *>("A_MakeChannel");
        QVERIFY(make && window->Channels->menu()->actions().contains(make));
        QTimer::singleShot(0, window->Form5, [&] { window->Form5->reject(); });
        make->trigger();
        QVERIFY(!window->Form5->isVisible());
        QVERIFY(window->Form5->result() == QDialog::Rejected);
    }

    // A missing caption key reads "err-" + key in every window, never a built-in text.
    void captionGapsReadAsErrKey()
    {
        ChannelBench bench;
        const QStringList keys = {"CMLabel1",     "CSFGroupBox1", "CFVoxButton1", "CFAC_SpeakOff",
                                  "DTVoxButton1", "VoxCheckBox3", "A_Faworits"};
        QFile file(ConfigFilePath("caption.ini"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QString text = QString::fromUtf8(file.readAll());
        for (const QString &key : keys)
            text.replace(u'\n' + key + u'=', "\nGone" + key + u'=');
        file.resize(0);
        file.write(text.toUtf8());
        file.close();
        TForm1 *window = bench.start();
        TDayTeam day;
        day.AddLine("line", Qt::black);
        TChannelModeForm mode;
        mode.ConfigureComponents();
        TChannelSetupForm setup;
        setup.ConfigureComponents();
        auto *channel = qobject_cast<TChannelForm *>(window->ChannelForms[NewChannelForm("#c")]);
        channel->AC_Speak->trigger();
        const QStringList shown = {
            mode.Label1->text(),         setup.GroupBox1->title(),
            channel->VoxButton1->text(), channel->AC_Speak->text(),
            day.VoxButton1->text(),      window->Panel1->VoxCheckBox3->text(),
            window->A_Faworits->text()};
        for (qsizetype i = 0; i < keys.size(); ++i)
            QCOMPARE(shown[i], "err-" + keys[i]);

        // A channel header's time names no time zone.
        channel->Options.ShowNick = channel->Options.ShowTime = true;
        channel->Recive("bob", "hi", {"bob"});
        const QString header = ViewText(channel).section(u'\n', -2, -2);
        QVERIFY2(header.startsWith("bob (") &&
                     !header.contains(QDateTime::currentDateTime().timeZoneAbbreviation()),
                 qPrintable(header));
    }

    // A new installation logs its first connection; so does one made without log/.
    // Choosing a server keeps a port set by hand for a server the list does not know.
    void trafficLogAndConnectPort()
    {
        QVERIFY(QFileInfo(qEnvironmentVariable("TALVIN_SOURCE_DIR") + "/dist/log").isDir());
        MainWindowBench bench;
        QDir(bench.dir.filePath("log")).removeRecursively();
        TSessionLog log;
        log.CreateLogFile("irc.example.net");
        QVERIFY(QFile::exists(bench.dir.filePath("log/trafic.log")));

        QFile servers(ConfigFilePath("servers.ini"));
        QVERIFY(servers.open(QIODevice::WriteOnly | QIODevice::Truncate));
        servers.write("[IRCServers]\nDesc1=mine\nName1=irc.listed.example\nPort1=6697\n");
        servers.close();
        LoadServerList();
        const QList<QStringList> rows = {{"irc.mine.example", "7000", "7000"},
                                         {"irc.mine.example", "", "6667"},
                                         {"irc.listed.example", "7000", "6697"}};
        for (const QStringList &row : rows) {
            bench.setServer("old.example", row[1]);
            WriteConnectServer(row[0]);
            QCOMPARE(GetConnectValue("Server"), row[0]);
            QCOMPARE(GetConnectValue("Port"), row[2]);
        }
    }
};

int main(int argc, char **argv)
{
    TalvinApplication app(argc, argv);
    TestKeyboardWalk test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_keyboard_walk.moc"
