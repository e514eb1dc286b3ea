// The whole program driven by keyboard and ear, as a new user meets it: the connect dialog
// by every way in, Enter on buttons, the About box, window tiling, the Commands menu, the
// message of the day, caption gaps, channel headers and the shipped log directory.
#include "app/session_log.h"
#include "app/speech_panel.h"
#include "app/talvin_application.h"
#include "channels/channel_mode_form.h"
#include "channels/channel_setup_form.h"
#include "dialogs/about_form.h"
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
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

namespace {

const QString DialogSpeech = QStringLiteral("окно настройка соединения.");

// Renames a caption key in the program directory's caption.ini, as a damaged file would.
void dropCaption(const QString &key)
{
    QFile file(ConfigFilePath(QStringLiteral("caption.ini")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    QVERIFY(text.contains("\n" + key.toUtf8() + "="));
    text.replace("\n" + key.toUtf8() + "=", "\nGone" + key.toUtf8() + "=");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

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
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("dialog"));
        TForm1 *window = bench.start();
        // The start mode leaves the keyboard in the dialog, not in the status window.
        QTRY_VERIFY(window->Form2->isActiveWindow());
        QVERIFY(window->Form2->isAncestorOf(QApplication::focusWidget()));
        QVERIFY(bench.interfaceVoice->spokenTexts().contains(DialogSpeech));
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
                window->findChild<QMenu *>(QStringLiteral("A_ServerMenu"))->actions()[2]->trigger();
            else
                window->ToolButton5->click();
            QTRY_VERIFY(window->Form2->isActiveWindow());
            QVERIFY(window->Form2->isAncestorOf(QApplication::focusWidget()));
            // The announcement is heard whole: the focused field queues behind it.
            const QStringList heard = bench.interfaceVoice->speakAndStop();
            QCOMPARE(heard.count(DialogSpeech), 1);
            QVERIFY2(!heard.mid(heard.indexOf(DialogSpeech)).contains(QStringLiteral("<stop>")),
                     qPrintable(heard.join(u'|')));
        }
    }

    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<int>("window");
        QTest::newRow("connect dialog") << 0;
        QTest::newRow("server options") << 1;
        QTest::newRow("favourites") << 2;
        QTest::newRow("server list") << 3;
        QTest::newRow("message of the day") << 4;
    }
    void enterPressesTheFocusedButton()
    {
        QFETCH(int, window);
        MainWindowBench bench;
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("dialog"));
        TForm1 *main = bench.start();
        QWidget *dialog = nullptr;
        QPushButton *button = nullptr;
        switch (window) {
        case 0:
            dialog = main->Form2, button = main->Form2->Button2;
            break;
        case 1:
            dialog = ServerOptionsForm(), button = ServerOptionsForm()->Button2;
            break;
        case 2:
            dialog = FaworitsForm(), button = FaworitsForm()->Button5;
            break;
        case 3:
            dialog = ServerListForm(), button = ServerListForm()->CloseButton;
            break;
        default:
            main->DayTeam->AddLine(QStringLiteral("Welcome"), Qt::black);
            dialog = main->DayTeam, button = main->DayTeam->VoxButton1;
        }
        dialog->show();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QTRY_VERIFY(!dialog->isVisible());
    }

    void aboutBoxSaysItsWholeDescriptionOnce()
    {
        MainWindowBench bench;
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("dialog"));
        TForm1 *window = bench.start();
        QTRY_VERIFY(window->Form2->isActiveWindow()); // the start mode is done
        bench.interfaceVoice->clear();
        QStringList heard;
        QTimer::singleShot(5000, window->AboutForm, &QDialog::reject); // never hang
        QTimer::singleShot(0, window->AboutForm, [&] {
            QTRY_VERIFY(window->AboutForm->VoxRichEdit1->hasFocus());
            QTest::qWait(50);
            heard = bench.interfaceVoice->speakAndStop();
            window->AboutForm->accept();
        });
        window->A_About->trigger();
        const QStringList described = heard.filter(QStringLiteral("Программа бесплатна."));
        QCOMPARE(described.size(), 1);
        QVERIFY2(described[0].startsWith(QStringLiteral("О программе. ")),
                 qPrintable(described[0]));
        // Nothing stops it or talks over it.
        QCOMPARE(heard.last(), described[0]);
    }

    void windowsTileTwoWaysAndMakeChannelIsACommand()
    {
        MainWindowBench bench;
        bench.setCaption(QStringLiteral("smode"), QStringLiteral("dialog"));
        TForm1 *window = bench.start();
        window->MdiArea->addSubWindow(new QWidget)->show();
        const int width = window->MdiArea->viewport()->width();
        const int height = window->MdiArea->viewport()->height();
        window->A_TileHorizontal->trigger();
        for (QMdiSubWindow *sub : window->MdiArea->subWindowList())
            QCOMPARE(sub->width(), width);
        window->A_TileVertical->trigger();
        for (QMdiSubWindow *sub : window->MdiArea->subWindowList())
            QCOMPARE(sub->height(), height);

        QMenu *commands = window->findChild<QMenu *>(QStringLiteral("ChannelsMenu"));
        auto *make = window->findChild<QAction *>(QStringLiteral("A_MakeChannel"));
        QVERIFY(make && commands->actions().contains(make));
        QCOMPARE(make->text(), QStringLiteral("Создать канал"));
        // Captions of their own, not "Faworits" and not nameless.
        QCOMPARE(window->A_Faworits->text(), QStringLiteral("Избранное"));
        QCOMPARE(window->Panel1->VoxCheckBox1->text(), QStringLiteral("Читать по словарю слов"));
        bool shown = false;
        QTimer::singleShot(0, window->Form5, [&] {
            QTRY_VERIFY(window->Form5->isVisible());
            shown = true;
            window->Form5->reject();
        });
        make->trigger();
        QVERIFY(shown);
    }

    // A missing caption key reads "err-" + key in every window, never a built-in text.
    void captionGapsReadAsErrKey_data()
    {
        QTest::addColumn<QString>("key");
        for (const char *key : {"CMLabel1", "CSFGroupBox1", "CFVoxButton1", "CFAC_SpeakOff",
                                "DTVoxButton1", "VoxCheckBox3", "A_Faworits"})
            QTest::newRow(key) << QString::fromLatin1(key);
    }
    void captionGapsReadAsErrKey()
    {
        QFETCH(QString, key);
        ChannelBench bench;
        dropCaption(key);
        TForm1 *window = bench.start();
        TDayTeam day;
        day.AddLine(QStringLiteral("line"), Qt::black);
        TChannelModeForm mode;
        mode.ConfigureComponents();
        TChannelSetupForm setup;
        setup.ConfigureComponents();
        auto *channel = qobject_cast<TChannelForm *>(window->ChannelForms[NewChannelForm("#c")]);
        channel->AC_Speak->trigger();
        const QMap<QString, QString> shown = {
            {"CMLabel1", mode.Label1->text()},
            {"CSFGroupBox1", setup.GroupBox1->title()},
            {"CFVoxButton1", channel->VoxButton1->text()},
            {"CFAC_SpeakOff", channel->AC_Speak->text()},
            {"DTVoxButton1", day.VoxButton1->text()},
            {"VoxCheckBox3", window->Panel1->VoxCheckBox3->text()},
            {"A_Faworits", window->A_Faworits->text()}};
        QCOMPARE(shown.value(key), QStringLiteral("err-") + key);
    }

    void channelHeaderTimeHasNoZoneName()
    {
        if (!QLocale::system().timeFormat(QLocale::LongFormat).contains(u't'))
            QSKIP("this locale's long time format names no time zone");
        ChannelBench bench;
        TForm1 *window = bench.start();
        auto *channel = qobject_cast<TChannelForm *>(window->ChannelForms[NewChannelForm("#c")]);
        channel->Options.ShowNick = true;
        channel->Options.ShowTime = true;
        channel->Recive(QStringLiteral("bob"), QStringLiteral("hi"), {QStringLiteral("bob")});
        const QString header = ViewText(channel).section(u'\n', -2, -2);
        const QString zone = QDateTime::currentDateTime().timeZoneAbbreviation();
        QVERIFY2(header.startsWith(QStringLiteral("bob (")) && !header.contains(zone),
                 qPrintable(header));
    }

    // A new installation logs its first connection; so does one made without log/.
    void trafficLogWrittenFromTheFirstConnection()
    {
        const QString source = qEnvironmentVariable("TALVIN_SOURCE_DIR");
        QVERIFY(QFileInfo(source + QStringLiteral("/dist/log")).isDir());
        QTemporaryDir dir;
        SetProgramDir(dir.path());
        TSessionLog log;
        log.CreateLogFile(QStringLiteral("irc.example.net"));
        QVERIFY(log.IsOpen());
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("log/trafic.log"))));
    }

    // Choosing a server keeps a port set by hand for a server the list does not know.
    void connectPortWrittenOnlyForListedServers_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("portBefore");
        QTest::addColumn<QString>("portAfter");
        QTest::newRow("unknown server, hand-set port") << "irc.mine.example"
                                                       << "7000"
                                                       << "7000";
        QTest::newRow("unknown server, no port") << "irc.mine.example"
                                                 << ""
                                                 << "6667";
        QTest::newRow("listed server") << "irc.listed.example"
                                       << "7000"
                                       << "6697";
    }
    void connectPortWrittenOnlyForListedServers()
    {
        QFETCH(QString, server);
        QFETCH(QString, portBefore);
        QFETCH(QString, portAfter);
        MainWindowBench bench;
        QFile servers(ConfigFilePath(QStringLiteral("servers.ini")));
        QVERIFY(servers.open(QIODevice::WriteOnly | QIODevice::Truncate));
        servers.write("[IRCServers]\nDesc1=mine\nName1=irc.listed.example\nPort1=6697\n");
        servers.close();
        LoadServerList();
        bench.setServer(QStringLiteral("old.example"), portBefore);
        WriteConnectServer(server);
        QCOMPARE(GetConnectValue(QStringLiteral("Server")), server);
        QCOMPARE(GetConnectValue(QStringLiteral("Port")), portAfter);
    }
};

int main(int argc, char **argv)
{
    TalvinApplication app(argc, argv);
    TestKeyboardWalk test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_keyboard_walk.moc"
