// The profile file of spoken names a TVoxEdit reads when IniFileName is assigned.

#include "speech/controls/vox_edit.h"
#include "vox_test_support.h"

#include <QDir>
#include <QFile>
#include <QVBoxLayout>

class TestVoxNameFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_current; // the current directory at the first lookup
    QTemporaryDir m_elsewhere;

    static QString readAll(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll());
    }
    static void writeAll(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    // An edit named VoxEdit1 on a window named Form2, as a form would build it.
    struct Form : VoxTestBench
    {
        Form()
        {
            window.setObjectName(QStringLiteral("Form2"));
            auto *layout = new QVBoxLayout(&window);
            auto *page = new QWidget; // the section is the window, not the direct parent
            layout->addWidget(page);
            edit = new TVoxEdit(page);
            edit->setObjectName(QStringLiteral("VoxEdit1"));
            edit->setSpeech(voice.speech.get());
            edit->setSpeechName(QStringLiteral("Ник"));
        }
        TVoxEdit *edit;
    };

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(m_current.path())); }

    void missingFileIsCreatedWithTheCurrentName()
    {
        Form form;
        form.edit->setIniFileName(QStringLiteral("names.ini"));
        const QString text = readAll(m_current.filePath(QStringLiteral("names.ini")));
        QVERIFY2(text.startsWith(QStringLiteral(" ; ")), qPrintable(text));
        QCOMPARE(text.count(QLatin1Char('\n')) >= 3, true);
        QVERIFY2(text.contains(QStringLiteral("[Form2]")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("VoxEdit1_sn=Ник")), qPrintable(text));
        QCOMPARE(form.edit->SpeechName(), QStringLiteral("Ник"));
    }

    void storedNameRenamesTheControl()
    {
        writeAll(m_current.filePath(QStringLiteral("renamed.ini")),
                 " ; names\n[Form2]\nVoxEdit1_sn=Псевдоним\nVoxEdit2_sn=\n");
        Form form;
        QVERIFY(form.activate());
        form.edit->setIniFileName(QStringLiteral("renamed.ini"));
        QCOMPARE(form.edit->SpeechName(), QStringLiteral("Псевдоним"));
        QCOMPARE(form.edit->accessibleName(), QStringLiteral("Псевдоним"));
        QCOMPARE(form.focus(form.edit), QStringList({Stop, QStringLiteral("Псевдоним пуст")}));

        // An empty value keeps the name the form gave, and the file is left as it was.
        const QByteArray before = readAll(m_current.filePath("renamed.ini")).toUtf8();
        form.edit->setObjectName(QStringLiteral("VoxEdit2"));
        form.edit->setSpeechName(QStringLiteral("Канал"));
        form.edit->setIniFileName(QStringLiteral("renamed.ini"));
        QCOMPARE(form.edit->SpeechName(), QStringLiteral("Канал"));
        QCOMPARE(readAll(m_current.filePath("renamed.ini")).toUtf8(), before);
    }

    void theFileStaysInTheFirstDirectory()
    {
        QVERIFY(QDir::setCurrent(m_elsewhere.path()));
        Form form;
        form.edit->setIniFileName(QStringLiteral("later.ini"));
        QVERIFY(QFile::exists(m_current.filePath(QStringLiteral("later.ini"))));
        QVERIFY(!QFile::exists(m_elsewhere.filePath(QStringLiteral("later.ini"))));
        QVERIFY(QDir::setCurrent(m_current.path()));
    }

    void nothingHappensWithoutOwnerOrFile()
    {
        // A control without an owner does not look anything up.
        TVoxEdit loose;
        loose.setObjectName(QStringLiteral("Loose"));
        loose.setSpeechName(QStringLiteral("Имя"));
        loose.setIniFileName(QStringLiteral("loose.ini"));
        QVERIFY(!QFile::exists(m_current.filePath(QStringLiteral("loose.ini"))));
        QCOMPARE(loose.IniFileName(), QStringLiteral("loose.ini"));

        // A file that cannot be created leaves the name alone.
        Form form;
        form.edit->setIniFileName(QStringLiteral("no/such/dir/names.ini"));
        QCOMPARE(form.edit->SpeechName(), QStringLiteral("Ник"));
    }
};

QTEST_MAIN(TestVoxNameFile)
#include "test_vox_name_file.moc"
