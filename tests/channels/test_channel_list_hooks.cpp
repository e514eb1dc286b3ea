// The channel list joined to the real main window: its channel-list action opens the
// request dialog, and a LIST reply the main window's engine receives fills the browser and
// writes "1.lst" in the program directory.

#include "app/main_window.h"
#include "channels/channel_list_form.h"
#include "channels/channel_list_hooks.h"
#include "channels/channel_list_request_form.h"
#include "config/config_files.h"
#include "irc/irc_client.h"
#include "speech/controls/vox_controls.h"
#include "speech/recording_speech_engine.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestChannelListHooks : public QObject
{
    Q_OBJECT

private slots:
    void mainWindowOpensTheDialogAndFeedsTheBrowser()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("config"));
        QDir(dir.path()).mkpath(QStringLiteral("log"));
        const QDir shipped(qEnvironmentVariable("TALVIN_SOURCE_DIR") +
                           QStringLiteral("/dist/config"));
        for (const QString &name : shipped.entryList(QDir::Files))
            QFile::copy(shipped.filePath(name), dir.filePath(QStringLiteral("config/") + name));
        // A damaged initial minimum must not stop the dialog: it starts at 0.
        QFile caption(dir.filePath(QStringLiteral("config/caption.ini")));
        QVERIFY(caption.open(QIODevice::ReadOnly));
        QByteArray captions = caption.readAll();
        caption.close();
        captions.replace("CLUpDown3=0", "CLUpDown3=many");
        QVERIFY(caption.open(QIODevice::WriteOnly | QIODevice::Truncate));
        caption.write(captions);
        caption.close();
        QDir::setCurrent(dir.path());
        {
            auto interface = MakeRecordedVoice(1);
            auto channel = MakeRecordedVoice(2);
            TForm1 window(std::move(interface.speech), std::move(channel.speech));
            AttachChannelList(&window);
            QCOMPARE(ProgramDir(), dir.path());

            window.A_ChannelList->trigger();
            QTRY_VERIFY(ChannelListForm()->isVisible());
            QTRY_COMPARE(ChannelListForm()->windowTitle(), QStringLiteral("Запрос списка каналов"));
            QCOMPARE(ChannelListForm()->MinimumUsers(), 0);
            QCOMPARE(ChannelListForm()->CheckBox1->text(),
                     QStringLiteral("Выделять строки цветом"));
            ChannelListForm()->hide();

            window.IRC->Host = QStringLiteral("irc.example");
            window.IRC->Dispatch(":irc.example 321 me Channel :Users  Name");
            window.IRC->Dispatch(":irc.example 322 me #one 3 :first topic");
            window.IRC->Dispatch(":irc.example 322 me #two 1 :");
            window.IRC->Dispatch(":irc.example 323 me :End of LIST");
            QVERIFY(Form3());
            QCOMPARE(Form3()->FullList.Count(), 2);
            QFile file(dir.filePath(QStringLiteral("1.lst")));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QList<QByteArray> lines = file.readAll().split('\n');
            QCOMPARE(lines.size(), 8);
            QCOMPARE(lines[1], QByteArray("#one\r"));
            QCOMPARE(lines[3], QByteArray("first topic\r"));
            Form3()->close();
            QTRY_VERIFY(!Form3());
        }
        QDir::setCurrent(QDir::tempPath());
    }
};

QTEST_MAIN(TestChannelListHooks)
#include "test_channel_list_hooks.moc"
