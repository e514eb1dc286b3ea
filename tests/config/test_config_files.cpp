// Reading and writing the profile files under <ProgramDir>/config: fallbacks, name
// matching, encodings kept byte for byte, and writes that never damage a file.

#include "config/config_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

class TestConfigFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;

    QString configDir() const { return m_dir->path() + QStringLiteral("/config"); }
    void writeRaw(const QString &name, const QByteArray &bytes)
    {
        QFile f(configDir() + u'/' + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readRaw(const QString &name)
    {
        QFile f(configDir() + u'/' + name);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return f.readAll();
    }
    static QByteArray cp1251(const QString &text)
    {
        return QTextCodec::codecForName("windows-1251")->fromUnicode(text);
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        SetProgramDir(m_dir->path());
        QVERIFY(QDir().mkpath(configDir()));
    }
    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
    }

    void pathsFollowProgramDir()
    {
        QCOMPARE(ProgramDir(), m_dir->path());
        QCOMPARE(ConfigFilePath(QStringLiteral("user.ini")), m_dir->path() + "/config/user.ini");
        SetProgramDir(QStringLiteral("/"));
        QCOMPARE(ConfigFilePath(QStringLiteral("user.ini")), QStringLiteral("//config/user.ini"));
    }

    void fallbacksForMissingFileAndKey()
    {
        QCOMPARE(GetCaption(QStringLiteral("F1Caption")), QStringLiteral("err-"));
        writeRaw(QStringLiteral("user.ini"), "[Config]\nNick=ivan\nEMail=\n");
        QCOMPARE(GetUserValue(QStringLiteral("Nick")), QStringLiteral("ivan"));
        QCOMPARE(GetUserValue(QStringLiteral("AlterNick")), QStringLiteral("err-AlterNick"));
        // A key in another section is not found either.
        QCOMPARE(GetServerValue(QStringLiteral("Nick")), QStringLiteral("err-"));
        QCOMPARE(GetConfigValue(QStringLiteral("user.ini"), QStringLiteral("Other"),
                                QStringLiteral("Nick")),
                 QStringLiteral("err-Nick"));
        // An empty value is present.
        QCOMPARE(GetUserValue(QStringLiteral("EMail")), QString());
        QVERIFY(IsConfigValue(GetUserValue(QStringLiteral("EMail"))));
    }

    void noConfigDirectory()
    {
        QVERIFY(QDir(configDir()).removeRecursively());
        QCOMPARE(GetCaption(QStringLiteral("smode")), QStringLiteral("err-"));
        QVERIFY(!IsConfigValue(GetServerValue(QStringLiteral("Desc1"))));
        try {
            SetCaption(QStringLiteral("smode"), QStringLiteral("connect"));
            QFAIL("a write without a config directory must fail");
        } catch (const EConfigWriteError &e) {
            QCOMPARE(e.message(),
                     QStringLiteral("Unable to write to ") + configDir() + "/caption.ini");
        }
        QVERIFY(!QDir(configDir()).exists());
    }

    void isConfigValueEndsLists_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("present");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("e") << QStringLiteral("e") << true;
        QTest::newRow("er") << QStringLiteral("er") << false;
        QTest::newRow("error") << QStringLiteral("error in name") << false;
        QTest::newRow("fallback") << QStringLiteral("err-Desc3") << false;
        QTest::newRow("Er") << QStringLiteral("Error") << true;
        QTest::newRow("plain") << QStringLiteral("irc.libera.chat") << true;
    }
    void isConfigValueEndsLists()
    {
        QFETCH(QString, value);
        QFETCH(bool, present);
        QCOMPARE(IsConfigValue(value), present);
    }

    void namesMatchWithoutCaseAndValuesAreCleaned()
    {
        writeRaw(QStringLiteral("caption.ini"), "[captions]\n"
                                                "  f1Caption  =   Talvin window   \n"
                                                "Quoted=\"  inner blanks  \"\n"
                                                "Single='x'\n"
                                                "Mismatch=\"x'\n"
                                                "Eq=a=b\n"
                                                "; Hidden=comment\n");
        QCOMPARE(GetCaption(QStringLiteral("F1CAPTION")), QStringLiteral("Talvin window"));
        QCOMPARE(GetCaption(QStringLiteral("quoted")), QStringLiteral("  inner blanks  "));
        QCOMPARE(GetCaption(QStringLiteral("Single")), QStringLiteral("x"));
        QCOMPARE(GetCaption(QStringLiteral("Mismatch")), QStringLiteral("\"x'"));
        QCOMPARE(GetCaption(QStringLiteral("Eq")), QStringLiteral("a=b"));
        QCOMPARE(GetCaption(QStringLiteral("Hidden")), QStringLiteral("err-Hidden"));
    }

    void cyrillicNamesMatchWithoutCase()
    {
        writeRaw(QStringLiteral("messages.ini"),
                 QStringLiteral("[Сообщения]\nПривет=мир\n").toUtf8());
        QCOMPARE(GetConfigValue(QStringLiteral("messages.ini"), QStringLiteral("СООБЩЕНИЯ"),
                                QStringLiteral("пРИВЕТ")),
                 QStringLiteral("мир"));
    }

    void readsAreCutAt2047Characters()
    {
        const QString longValue(3000, u'x');
        writeRaw(QStringLiteral("user.ini"), "[Config]\nNick=" + longValue.toLatin1() + "\n");
        QCOMPARE(GetUserValue(QStringLiteral("Nick")).size(), 2047);
    }

    void writeCreatesFileAndSectionAsUtf8()
    {
        QVERIFY(SetFaworitValue(QStringLiteral("FaworChannel1"), QStringLiteral("#русский")));
        QCOMPARE(readRaw(QStringLiteral("faworits.ini")),
                 QStringLiteral("[Faworits]\nFaworChannel1=#русский\n").toUtf8());
        QVERIFY(SetFaworitValue(QStringLiteral("FaworDescr1"), QStringLiteral("чат")));
        QVERIFY(SetFaworitValue(QStringLiteral("faworchannel1"), QStringLiteral("#other")));
        QCOMPARE(readRaw(QStringLiteral("faworits.ini")),
                 QStringLiteral("[Faworits]\nFaworChannel1=#other\nFaworDescr1=чат\n").toUtf8());
    }

    void writeChangesOnlyItsLine()
    {
        const QByteArray before = "; servers of the old installation\r\n"
                                  "[IRCServers]\r\n"
                                  "Name1=irc.one\r\n"
                                  "Desc1=One\r\n"
                                  "\r\n"
                                  "[Other]\r\n"
                                  "Keep=this";
        writeRaw(QStringLiteral("servers.ini"), before);
        SetServerValue(QStringLiteral("Desc1"), QStringLiteral("First"));
        SetServerValue(QStringLiteral("Port1"), QStringLiteral("6667"));
        QCOMPARE(readRaw(QStringLiteral("servers.ini")),
                 QByteArray("; servers of the old installation\r\n"
                            "[IRCServers]\r\n"
                            "Name1=irc.one\r\n"
                            "Desc1=First\r\n"
                            "Port1=6667\r\n"
                            "\r\n"
                            "[Other]\r\n"
                            "Keep=this"));
    }

    void cp1251FileStaysCp1251()
    {
        const QByteArray before = cp1251(QStringLiteral("[Config]\r\nUserName=Иван\r\n"));
        writeRaw(QStringLiteral("user.ini"), before);
        QCOMPARE(GetUserValue(QStringLiteral("UserName")), QStringLiteral("Иван"));
        SetUserValue(QStringLiteral("Nick"), QStringLiteral("Ёжик"));
        QCOMPARE(readRaw(QStringLiteral("user.ini")),
                 cp1251(QStringLiteral("[Config]\r\nUserName=Иван\r\nNick=Ёжик\r\n")));
        QCOMPARE(GetUserValue(QStringLiteral("Nick")), QStringLiteral("Ёжик"));
    }

    void cp1251FileMovesToUtf8RatherThanLoseCharacters()
    {
        writeRaw(QStringLiteral("user.ini"), cp1251(QStringLiteral("[Config]\nUserName=Иван\n")));
        SetUserValue(QStringLiteral("Nick"), QStringLiteral("李"));
        QCOMPARE(readRaw(QStringLiteral("user.ini")),
                 QStringLiteral("[Config]\nUserName=Иван\nNick=李\n").toUtf8());
    }

    void utf8BomIsKept()
    {
        writeRaw(QStringLiteral("speech.ini"), "\xEF\xBB\xBF[Speech]\nIESpeed=5\n");
        QCOMPARE(GetSpeechValue(QStringLiteral("IESpeed")), QStringLiteral("5"));
        SetSpeechValue(QStringLiteral("IESpeed"), QStringLiteral("7"));
        QCOMPARE(readRaw(QStringLiteral("speech.ini")),
                 QByteArray("\xEF\xBB\xBF[Speech]\nIESpeed=7\n"));
    }

    void lineBreaksCannotInjectKeysOrSections()
    {
        SetUserValue(QStringLiteral("Nick"), QStringLiteral("a\r\n[Evil]\nsmode=connect\rx\0y"));
        QCOMPARE(GetUserValue(QStringLiteral("Nick")), QStringLiteral("a [Evil] smode=connect xy"));
        QCOMPARE(GetConfigValue(QStringLiteral("user.ini"), QStringLiteral("Evil"),
                                QStringLiteral("smode")),
                 QStringLiteral("err-smode"));
        QVERIFY_THROWS_EXCEPTION(EConfigWriteError,
                                 SetUserValue(QStringLiteral("Ni\nck"), QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(EConfigWriteError,
                                 SetUserValue(QStringLiteral("a=b"), QStringLiteral("x")));
    }

    void valuesReadBackAsWritten()
    {
        // The reader trims blanks and strips quotes; a write protects what it would lose.
        const QStringList values = {QStringLiteral("Подключение к серверу "),
                                    QStringLiteral("  both  "), QStringLiteral("\"quoted\""),
                                    QStringLiteral("'x'"), QStringLiteral("say \"hi\" now")};
        for (const QString &value : values) {
            SetCaption(QStringLiteral("CONNECT"), value);
            QCOMPARE(GetCaption(QStringLiteral("CONNECT")), value);
        }
        QCOMPARE(readRaw(QStringLiteral("caption.ini")),
                 QByteArray("[Captions]\nCONNECT=say \"hi\" now\n"));
    }

    void failedWriteLeavesFileWhole()
    {
        const QByteArray before = "[Config]\nNick=ivan\n";
        writeRaw(QStringLiteral("user.ini"), before);
        // Make the directory unusable for the replacement file: a directory where the
        // temporary file would go cannot be created over.  Root ignores permissions, so
        // the write is made impossible by turning the target itself into a directory.
        QVERIFY(QDir(configDir()).mkdir(QStringLiteral("caption.ini")));
        QVERIFY_THROWS_EXCEPTION(EConfigWriteError,
                                 SetCaption(QStringLiteral("smode"), QStringLiteral("master")));
        SetUserValue(QStringLiteral("AlterNick"), QStringLiteral("ivan_"));
        QCOMPARE(readRaw(QStringLiteral("user.ini")),
                 QByteArray("[Config]\nNick=ivan\nAlterNick=ivan_\n"));
        // No temporary files are left behind.
        const QStringList entries = QDir(configDir()).entryList(QDir::Files);
        QCOMPARE(entries, QStringList{QStringLiteral("user.ini")});
    }

    void booleansAndIntegers()
    {
        QCOMPARE(BoolToConfig(true), QStringLiteral("-1"));
        QCOMPARE(BoolToConfig(false), QStringLiteral("0"));
        QVERIFY(ConfigToBool(QStringLiteral("-1")));
        QVERIFY(ConfigToBool(QStringLiteral("5")));
        QVERIFY(ConfigToBool(QStringLiteral("TRUE")));
        QVERIFY(!ConfigToBool(QStringLiteral("0")));
        QVERIFY(!ConfigToBool(QStringLiteral("false")));
        QVERIFY_THROWS_EXCEPTION(EConvertError, ConfigToBool(QStringLiteral("err-Invisible")));
        QCOMPARE(ConfigToInt(QStringLiteral("6667")), 6667);
        QVERIFY_THROWS_EXCEPTION(EConvertError, ConfigToInt(QStringLiteral("err-Port")));
    }
};

QTEST_GUILESS_MAIN(TestConfigFiles)
#include "test_config_files.moc"
