// The configuration editor driven by real keys: every page shows its file, Ctrl+S writes the
// page back to that very file in its own encoding and line ends (an untouched file keeps
// its bytes), Ctrl+R reads it again, Escape closes; a failed write leaves the old file whole.

#include "../dialogs/wizard_test_host.h"
#include "config/config_text_file.h"
#include "config/edit_config_form.h"
#include "speech/controls/vox_rich_edit.h"

#include <QTabWidget>
#include <QTextCodec>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

QByteArray cp1251(const QString &text)
{
    return QTextCodec::codecForName("windows-1251")->fromUnicode(text);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// Runs the editor modally on a page, performs the steps once it is active, then closes it
// with Escape, as the user would.
int runEditor(TEditConfigForm &form, int page, const std::function<void()> &steps)
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

// Writes beyond this many bytes fail in this process while the object lives (a full disk
// without filling one).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

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
        writeFile(ProgramDir() + "/multirules.ini", "привет=здравствуй\n");
        writeFile(ProgramDir() + "/singlerules.ini", "%=проценты\n");

        TEditConfigForm form;
        QStringList texts;
        int shownPage = -1;
        QStringList unlabelled;
        SetRequestedConfigPage(0);
        const int result = runEditor(form, 5, [&] {
            shownPage = form.PageControl1->currentIndex();
            for (int page = 0; page < TEditConfigForm::PageCount; ++page)
                texts << form.PageEdit(page)->toPlainText();
            unlabelled = UnlabelledControls(&form);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(!form.isVisible());
        QCOMPARE(shownPage, 5);
        QCOMPARE(texts,
                 QStringList({"[Captions]\nsmode=master\n", "[Config]\nNick=ivan\n",
                              "[IRCServers]\nName1=irc.libera.chat\n", "",
                              "[Speech]\nIESpeed=170\n", "привет=здравствуй\n", "%=проценты\n"}));
        QCOMPARE(host.said().value(0), QStringLiteral("окно редактирования конфигурации"));
        QVERIFY2(unlabelled.isEmpty(), qPrintable(unlabelled.join(", ")));
        QVERIFY(!QFile::exists(ConfigFilePath("faworits.ini"))); // showing writes nothing

        // The requested page stays until someone sets another.
        QCOMPARE(RequestedConfigPage(), 5);
        runEditor(form, RequestedConfigPage(),
                  [&] { shownPage = form.PageControl1->currentIndex(); });
        QCOMPARE(shownPage, 5);
        QCOMPARE(QStringList({TEditConfigForm::PageCaption(0), TEditConfigForm::PageCaption(6)}),
                 QStringList({"Captions", "SingleRulez"}));
    }

    void ctrlSWritesThePageBackInTheFilesOwnEncodingAndLineEnds()
    {
        WizardTestHost host;
        MessageCloser closer(host.voice.recording);
        const QByteArray oldCaptions = cp1251("[Captions]\r\nF2Caption=Соединение\r\n");
        host.writeConfig("caption.ini", oldCaptions);
        // Mixed line ends and no final line break: an untouched save must not tidy them.
        const QByteArray userBytes = "[Config]\r\nNick=ivan\nEMail=a@b.c";
        host.writeConfig("user.ini", userBytes);

        TEditConfigForm form;
        QStringList saidAfterSave;
        runEditor(form, 0, [&] {
            QCOMPARE(Focused(), form.PageEdit(0));
            Press(Qt::Key_End, Qt::ControlModifier);
            Type(QStringLiteral("F2Label5=Ник"));
            Press(Qt::Key_Return);
            host.forget();
            Press(Qt::Key_S, Qt::ControlModifier);
            saidAfterSave = host.said();

            form.PageControl1->setCurrentIndex(1);
            form.PageEdit(1)->setFocus();
            Press(Qt::Key_S, Qt::ControlModifier);
        });
        QCOMPARE(host.configBytes("caption.ini"),
                 cp1251("[Captions]\r\nF2Caption=Соединение\r\nF2Label5=Ник\r\n"));
        QCOMPARE(saidAfterSave, QStringList({Stop, "Файл caption.ini сохранён"}));
        // The program reads the edit at once (windows take it at their next activation).
        QCOMPARE(GetCaption("F2Label5"), QStringLiteral("Ник"));
        QCOMPARE(host.configBytes("user.ini"), userBytes);
        QVERIFY(closer.seen.isEmpty());
        QCOMPARE(QDir(ProgramDir() + "/config").entryList(QDir::Files),
                 QStringList({"caption.ini", "user.ini"})); // no temporary files left
    }

    void ctrlRReadsTheFileAgainDroppingTheEdit()
    {
        WizardTestHost host;
        host.writeConfig("speech.ini", "[Speech]\nIESpeed=170\n");
        TEditConfigForm form;
        QString before;
        QString after;
        QStringList said;
        runEditor(form, 4, [&] {
            Type(QStringLiteral("xyz"));
            before = form.PageEdit(4)->toPlainText();
            host.writeConfig("speech.ini", "[Speech]\nIESpeed=200\n");
            host.forget();
            Press(Qt::Key_R, Qt::ControlModifier);
            after = form.PageEdit(4)->toPlainText();
            said = host.said();
        });
        QCOMPARE(before, QStringLiteral("xyz[Speech]\nIESpeed=170\n"));
        QCOMPARE(after, QStringLiteral("[Speech]\nIESpeed=200\n"));
        QCOMPARE(said, QStringList({Stop, "Файл speech.ini перечитан"}));
        QCOMPARE(host.configBytes("speech.ini"), QByteArray("[Speech]\nIESpeed=200\n"));
    }

    void aFailedSaveLeavesTheOldFileWhole()
    {
        WizardTestHost host;
        MessageCloser closer(host.voice.recording);
        const QByteArray servers = "[IRCServers]\nName1=irc.libera.chat\nDesc1=Libera\n";
        host.writeConfig("servers.ini", servers);
        QDir(ProgramDir()).mkpath("config/faworits.ini"); // a directory where a file belongs
        TEditConfigForm form;
        runEditor(form, 2, [&] {
            form.PageEdit(2)->moveCursor(QTextCursor::End);
            form.PageEdit(2)->insertPlainText(QString(20000, u'x'));
            FileSizeLimit limit(4096);
            Press(Qt::Key_S, Qt::ControlModifier);
        });
        QCOMPARE(host.configBytes("servers.ini"), servers);
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Редактор конфигурации"));
        QVERIFY2(closer.seen[0].text.startsWith("Не удалось сохранить файл " +
                                                ConfigFilePath("servers.ini")),
                 qPrintable(closer.seen[0].text));
        QVERIFY(closer.seen[0].text.endsWith("Прежний файл не изменён."));
        QCOMPARE(QDir(ProgramDir() + "/config").entryList(QDir::Files),
                 QStringList({"servers.ini"}));

        // A page whose file could not be read is never written over.
        runEditor(form, 3, [&] {
            Type(QStringLiteral("[Faworits]"));
            Press(Qt::Key_S, Qt::ControlModifier);
        });
        QCOMPARE(closer.seen.size(), 2);
        QVERIFY(closer.seen[1].text.contains("не удалось прочитать"));
        QVERIFY(QFileInfo(ConfigFilePath("faworits.ini")).isDir());
    }

    void textFileEncodings()
    {
        // Windows-1251 stays Windows-1251; a character it lacks moves the file to UTF-8
        // rather than into question marks.
        const ConfigTextFile old = ConfigTextFile::fromBytes(cp1251("a=Привет\r\n"));
        QCOMPARE(old.encoding, ConfigTextFile::Encoding::Cp1251);
        QCOMPARE(old.text, QStringLiteral("a=Привет\n"));
        bool moved = true;
        QCOMPARE(old.encode(old.text, &moved), cp1251("a=Привет\r\n"));
        QVERIFY(!moved);
        QCOMPARE(old.encode(QStringLiteral("a=漢\n"), &moved), QByteArray("a=漢\r\n"));
        QVERIFY(moved);

        const ConfigTextFile bom = ConfigTextFile::fromBytes("\xEF\xBB\xBFk=v\rx=y\r");
        QCOMPARE(bom.encoding, ConfigTextFile::Encoding::Utf8WithBom);
        QCOMPARE(bom.encode(bom.text), QByteArray("\xEF\xBB\xBFk=v\rx=y\r"));

        QString error;
        bool missing = false;
        QTemporaryDir dir;
        const auto absent = ConfigTextFile::read(dir.filePath("none.ini"), &error, &missing);
        QVERIFY(absent && absent->text.isEmpty() && missing);
        QVERIFY(!ConfigTextFile::read(dir.path(), &error, &missing));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestEditConfigForm)
#include "test_edit_config_form.moc"
