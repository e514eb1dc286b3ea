// Every file the program reads is decoded the same way, and a write never changes how the
// rest of a file reads or stores a key that could not be read back.
#include "config/config_files.h"
#include "speech/help/help_text_file.h"
#include "speech/speech_filters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFileEncodings : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("config/") + name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("config")));
        SetProgramDir(dir.path());
    }

    void everyReaderDecodesAlike_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("1251, last byte only") << QByteArray("\xC6") << QStringLiteral("Ж");
        QTest::newRow("1251, bytes that start UTF-8")
            << QByteArray("\xD0\x96\xC6") << QStringLiteral("Р–Ж");
        QTest::newRow("UTF-8") << QByteArray("\xD0\x96") << QStringLiteral("Ж");
    }

    void everyReaderDecodesAlike()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        write(QStringLiteral("any.ini"), "[S]\r\nbrb=" + bytes);
        QCOMPARE(
            GetConfigValue(QStringLiteral("any.ini"), QStringLiteral("S"), QStringLiteral("brb")),
            text);
        QVERIFY(LoadMultiRules(write(QStringLiteral("multirules.ini"), "brb=" + bytes)));
        QCOMPARE(ApplyMultiRules(QStringLiteral("brb")), text);
        QCOMPARE(
            ReadHelpText(write(QStringLiteral("help.txt"), "brb=" + bytes)).value_or(QString()),
            QStringLiteral("brb=") + text);
    }

    void writeKeepsOtherValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after"); // the file written, when it must stay 1251
        const QByteArray file("[S]\r\nName=\xD0\xB0\xD1\x8F\r\nOther=\xC6\r\n");
        // The only byte that made the file invalid UTF-8 goes.
        QTest::newRow("last 1251 mark replaced") << QStringLiteral("x") << QByteArray();
        QTest::newRow("1251 kept") << QStringLiteral("Ж") << file;
    }

    void writeKeepsOtherValues()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        const QString path =
            write(QStringLiteral("user.ini"), "[S]\r\nName=\xD0\xB0\xD1\x8F\r\nOther=\xC6\r\n");
        SetConfigValue(QStringLiteral("user.ini"), QStringLiteral("S"), QStringLiteral("Other"),
                       value);
        const QString file = QStringLiteral("user.ini"), section = QStringLiteral("S");
        QCOMPARE(GetConfigValue(file, section, QStringLiteral("Name")), QStringLiteral("Р°СЏ"));
        QCOMPARE(GetConfigValue(file, section, QStringLiteral("Other")), value);
        if (!after.isEmpty())
            QCOMPARE(read(path), after);
    }

    void refusesUnreadableKeys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("section bracket") << QStringLiteral("[k");
        QTest::newRow("bracket after blanks") << QStringLiteral("  [k");
        QTest::newRow("semicolon comment") << QStringLiteral(";k");
        QTest::newRow("hash comment") << QStringLiteral("#k");
    }

    void refusesUnreadableKeys()
    {
        QFETCH(QString, key);
        const QByteArray before("[S]\nk=1\n");
        const QString path = write(QStringLiteral("keys.ini"), before);
        QVERIFY_THROWS_EXCEPTION(EConfigWriteError,
                                 SetConfigValue(QStringLiteral("keys.ini"), QStringLiteral("S"),
                                                key, QStringLiteral("a]b")));
        QCOMPARE(read(path), before);
    }
};

QTEST_GUILESS_MAIN(TestFileEncodings)
#include "test_file_encodings.moc"
