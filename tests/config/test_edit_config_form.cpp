// The configuration editor driven by real keys: every page shows its file, Ctrl+S writes the
// page back to that very file in its own encoding and line ends (an untouched file keeps
// its bytes), Ctrl+R reads it again, Escape closes; a failed write leaves the old file whole.
#include "../dialogs/wizard_test_host.h"
#include "config/edit_config_form.h"
#include "file_bytes.h"
#include "speech/controls/vox_rich_edit.h"

#include <QTabWidget>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

// Runs the editor modally on a page, performs the steps once it is active, then closes it
// with Escape, as the user would.
int RunEditor(TEditConfigForm &form, int page, const std::function<void()> &steps)
{
    bool ran = false;
    QTimer::singleShot(0, &form, [&] {
        if (!QTest::qWaitForWindowActive(&form))
            return;
        steps();
        ran = true;
        Press(Qt::Key_Escape);
    });
    QTimer::singleShot(20000, &form, &QDialog::reject); // never hang
    const int result = form.ShowOnPage(page);
    if (!ran)
        qWarning("editor steps did not run");
    return result;
}

} // namespace

class TestEditConfigForm : public QObject
{
    Q_OBJECT

private slots:
    void opensOnTheRequestedPageWithEveryFileAsOnDisk()
    {
        WizardTestHost host;
        host.writeConfig("caption.ini", "[Captions]\nsmode=master\n");
        host.writeConfig("user.ini", "[Config]\nNick=ivan\n");
        host.writeConfig("servers.ini", "[IRCServers]\nName1=irc.libera.chat\n");
        // faworits.ini is missing: its page is empty and the pages after it still load.
        host.writeConfig("speech.ini", "[Speech]\nIESpeed=170\n");
        WriteBytes(ProgramDir() + "/multirules.ini", "привет=здравствуй\n");
        WriteBytes(ProgramDir() + "/singlerules.ini", "%=проценты\n");
        TEditConfigForm form;
        QStringList texts;
        QStringList unlabelled;
        SetRequestedConfigPage(0);
        const int result = RunEditor(form, 5, [&] {
            texts << QString::number(form.PageControl1->currentIndex());
            for (int page = 0; page < TEditConfigForm::PageCount; ++page)
                texts << form.PageEdit(page)->toPlainText();
            unlabelled = UnlabelledControls(&form);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(!form.isVisible());
        QCOMPARE(texts,
                 QStringList({"5", "[Captions]\nsmode=master\n", "[Config]\nNick=ivan\n",
                              "[IRCServers]\nName1=irc.libera.chat\n", "",
                              "[Speech]\nIESpeed=170\n", "привет=здравствуй\n", "%=проценты\n"}));
        QCOMPARE(host.said().value(0), QStringLiteral("окно редактирования конфигурации"));
        QVERIFY2(unlabelled.isEmpty(), qPrintable(unlabelled.join(", ")));
        QVERIFY(!QFile::exists(ConfigFilePath("faworits.ini"))); // showing writes nothing
        QCOMPARE(RequestedConfigPage(), 5);                      // stays until someone sets another
    }

    void ctrlSWritesThePageBackInTheFilesOwnEncodingAndLineEnds()
    {
        WizardTestHost host;
        MessageCloser closer(host.voice.recording);
        host.writeConfig("caption.ini", Cp1251("[Captions]\r\nF2Caption=Соединение\r\n"));
        // Mixed line ends and no final line break: an untouched save must not tidy them.
        const QByteArray userBytes = "[Config]\r\nNick=ivan\nEMail=a@b.c";
        host.writeConfig("user.ini", userBytes);
        host.writeConfig("speech.ini", "[Speech]\nIESpeed=170\n");
        TEditConfigForm form;
        QStringList said;
        QString reread;
        RunEditor(form, 0, [&] {
            QCOMPARE(Focused(), form.PageEdit(0));
            Press(Qt::Key_End, Qt::ControlModifier);
            Type(QStringLiteral("F2Label5=Ник"));
            Press(Qt::Key_Return);
            host.forget();
            Press(Qt::Key_S, Qt::ControlModifier);
            said = host.said();
            form.PageControl1->setCurrentIndex(1);
            form.PageEdit(1)->setFocus();
            Press(Qt::Key_S, Qt::ControlModifier);
            // Ctrl+R reads the file again, dropping the edit.
            form.PageControl1->setCurrentIndex(4);
            form.PageEdit(4)->setFocus();
            Type(QStringLiteral("xyz"));
            host.writeConfig("speech.ini", "[Speech]\nIESpeed=200\n");
            host.forget();
            Press(Qt::Key_R, Qt::ControlModifier);
            said += host.said();
            reread = form.PageEdit(4)->toPlainText();
        });
        QCOMPARE(host.configBytes("caption.ini"),
                 Cp1251("[Captions]\r\nF2Caption=Соединение\r\nF2Label5=Ник\r\n"));
        QCOMPARE(said, QStringList(
                           {Stop, "Файл caption.ini сохранён", Stop, "Файл speech.ini перечитан"}));
        // The program reads the edit at once (windows take it at their next activation).
        QCOMPARE(GetCaption("F2Label5"), QStringLiteral("Ник"));
        QCOMPARE(host.configBytes("user.ini"), userBytes);
        QCOMPARE(reread, QStringLiteral("[Speech]\nIESpeed=200\n"));
        QCOMPARE(host.configBytes("speech.ini"), QByteArray("[Speech]\nIESpeed=200\n"));
        QVERIFY(closer.seen.isEmpty());
        QCOMPARE(QDir(ProgramDir() + "/config").entryList(QDir::Files),
                 QStringList({"caption.ini", "speech.ini", "user.ini"})); // no temporaries
    }

    void aFailedSaveLeavesTheOldFileWhole()
    {
        WizardTestHost host;
        MessageCloser closer(host.voice.recording);
        const QByteArray servers = "[IRCServers]\nName1=irc.libera.chat\nDesc1=Libera\n";
        host.writeConfig("servers.ini", servers);
        QDir(ProgramDir()).mkpath("config/faworits.ini"); // a directory where a file belongs
        TEditConfigForm form;
        RunEditor(form, 2, [&] {
            form.PageEdit(2)->moveCursor(QTextCursor::End);
            form.PageEdit(2)->insertPlainText(QString(20000, u'x'));
            // Writes beyond 4 KiB fail while the limit holds: a full disk without filling one.
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit limit = old;
            limit.rlim_cur = 4096;
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &limit);
            Press(Qt::Key_S, Qt::ControlModifier);
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        });
        QCOMPARE(host.configBytes("servers.ini"), servers);
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Редактор конфигурации"));
        QVERIFY2(closer.seen[0].text.startsWith("Не удалось сохранить файл " +
                                                ConfigFilePath("servers.ini")) &&
                     closer.seen[0].text.endsWith("Прежний файл не изменён."),
                 qPrintable(closer.seen[0].text));
        QCOMPARE(QDir(ProgramDir() + "/config").entryList(QDir::Files), QStringList{"servers.ini"});
        // A page whose file could not be read is never written over.
        RunEditor(form, 3, [&] {
            Type(QStringLiteral("[Faworits]"));
            Press(Qt::Key_S, Qt::ControlModifier);
        });
        QCOMPARE(closer.seen.size(), 2);
        QVERIFY(closer.seen[1].text.contains("не удалось прочитать"));
        QVERIFY(QFileInfo(ConfigFilePath("faworits.ini")).isDir());
    }
};

QTEST_MAIN(TestEditConfigForm)
#include "test_edit_config_form.moc"
