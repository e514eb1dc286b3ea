// The program directory a new installation starts with: every caption the windows ask for
// is there in both languages, the other configuration files hold what the program converts
// without a conversion error, the rule files load whole, and the build made the event
// sounds as real, short, audible WAV files.
#include "config/config_files.h"
#include "speech/espeak_engine.h"
#include "speech/speech_filters.h"

#include "file_bytes.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTest>
#include <QtEndian>

#include <cmath>

namespace {

QString SourceDist()
{
    return qEnvironmentVariable("TALVIN_SOURCE_DIR") + QStringLiteral("/dist");
}

// The first section's name and its keys in file order, read plainly line by line, so that
// the program's reader can be checked against them.
QStringList KeysOfFirstSection(const QString &path, QString *section = nullptr)
{
    QStringList keys;
    QString first;
    for (const QString &raw : QString::fromUtf8(ReadBytes(path)).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[') && first.isEmpty())
            first = line.mid(1, line.indexOf(u']') - 1);
        else if (line.startsWith(u'['))
            break;
        else if (!line.startsWith(u';') && !line.startsWith(u'#') && line.indexOf(u'=') > 0)
            keys << line.left(line.indexOf(u'=')).trimmed();
    }
    if (section)
        *section = first;
    return keys;
}

} // namespace

class TestShippedConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("TALVIN_SOURCE_DIR"), "run through ctest");
        SetProgramDir(SourceDist());
    }

    // Both caption files hold the same keys, once each and none empty: a key missing from
    // one language would show and speak "err-" + key. The values the program converts or
    // joins to other text are fit for it.
    void captionFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("russian");
        QTest::newRow("Russian") << "caption.ini" << true;
        QTest::newRow("English") << "caption-en.ini" << false;
    }
    void captionFiles()
    {
        QFETCH(QString, file);
        QFETCH(bool, russian);
        const auto caption = [&](const QString &key) {
            return GetConfigValue(file, QStringLiteral("Captions"), key);
        };
        const QStringList inFile = KeysOfFirstSection(ConfigFilePath(file));
        const QStringList other =
            KeysOfFirstSection(ConfigFilePath(russian ? "caption-en.ini" : "caption.ini"));
        QCOMPARE(QSet<QString>(inFile.begin(), inFile.end()).size(), inFile.size());
        QCOMPARE(QSet<QString>(inFile.begin(), inFile.end()),
                 QSet<QString>(other.begin(), other.end()));
        QVERIFY(inFile.size() > 100);
        for (const QString &key : inFile)
            QVERIFY2(!caption(key).trimmed().isEmpty(), qPrintable(key));
        QCOMPARE(caption("smode"), QStringLiteral("master")); // a new installation's wizard
        // The host name or the control's content follows these texts directly: without a
        // trailing blank the words run together.
        for (const char *key : {"CONNECT", "CFVoxRichEdit1", "F2Label11", "FFVoxListBox1"})
            QVERIFY2(caption(key).endsWith(u' '), key);
        static const QRegularExpression cyrillic(QStringLiteral("[А-Яа-яЁё]"));
        QCOMPARE(caption("F2Caption").contains(cyrillic), russian);
    }

    // Every profile file is UTF-8 with LF line ends and reads back, through the program's
    // reader, every key a plain line-by-line reading finds.
    void everyProfileFileReadsWithTheProgramsReader()
    {
        const QStringList files = QDir(SourceDist() + "/config").entryList({"*.ini"}, QDir::Files);
        QVERIFY(files.size() >= 8);
        for (const QString &file : files) {
            const QByteArray bytes = ReadBytes(ConfigFilePath(file));
            auto utf8 = QStringDecoder(QStringDecoder::Utf8);
            (void)utf8.decode(bytes);
            QVERIFY2(bytes.endsWith('\n') && !bytes.contains('\r') && !bytes.startsWith("\xEF") &&
                         !utf8.hasError(),
                     qPrintable(file));
            QString section;
            const QStringList keys = KeysOfFirstSection(ConfigFilePath(file), &section);
            QVERIFY2(!keys.isEmpty() || file == "faworits.ini", qPrintable(file));
            for (const QString &key : keys)
                QVERIFY2(IsConfigValue(GetConfigValue(file, section, key)), qPrintable(file + key));
        }
    }

    // speech.ini must be complete: a missing or unconvertible key stops the speech set-up
    // at that key and leaves the program mute.
    void speechSettingsAreComplete()
    {
        for (const char *key : {"UseInterfaceEngine", "UseChannelEngine", "IEUseMultiFilter",
                                "IEUseSingleFilter", "CEUseMultiFilter", "CEUseSingleFilter"})
            QVERIFY2(ConfigToBool(GetSpeechValue(key)), key);
        QCOMPARE(ConfigToInt(GetSpeechValue("ActiveControl")), 0);
        for (const char *key :
             {"IESpeed", "IEPitch", "CESpeed", "CEPitch", "IEVolume", "CEVolume"}) {
            // Empty: the engine's own value.
            const int v = GetSpeechValue(key).isEmpty() ? 0 : ConfigToInt(GetSpeechValue(key));
            QVERIFY2(v >= 0 && v <= (QByteArray(key).endsWith("Volume") ? 100 : 65535), key);
        }
    }

    // The rule files have no headers or comments and end at their first empty line, so a
    // stray blank line would silently drop every rule after it. Loaded by the program's own
    // filters, every line is a rule, and check-box states are spoken as words.
    void ruleFilesLoadWhole()
    {
        for (const char *name : {"multirules.ini", "singlerules.ini"}) {
            const QByteArray bytes = ReadBytes(SourceDist() + u'/' + QLatin1String(name));
            QVERIFY2(bytes.endsWith('\n') && !bytes.contains('\r') && !bytes.contains("\n\n"),
                     name);
        }
        QVERIFY(LoadMultiRules(SourceDist() + "/multirules.ini"));
        QVERIFY(LoadSingleRules(SourceDist() + "/singlerules.ini"));
        QCOMPARE(MultiRulesCount(), int(ReadBytes(SourceDist() + "/multirules.ini").count('\n')));
        QCOMPARE(SingleRulesCount(), int(ReadBytes(SourceDist() + "/singlerules.ini").count('\n')));
        QVERIFY(SingleRulesCount() >= 20 && SingleRulesCount() <= 255);
        QCOMPARE(ApplyMultiRules("CheckBox -1"), QStringLiteral("флажок отмечен"));
        QCOMPARE(ApplyMultiRules("Невидимый режим -1"), QStringLiteral("Невидимый режим отмечен"));
        // Numbers in ordinary text stay numbers.
        QCOMPARE(ApplyMultiRules("в 10:30 на 0 каналах"), QStringLiteral("в 10:30 на 0 каналах"));
        QCOMPARE(ApplySingleRules(".") + ApplySingleRules(" ") + ApplySingleRules("a"),
                 QStringLiteral("точкапробелa"));
        ClearSpeechRules();
    }

    // The built program directory: a copy of the source tree plus the sounds, each a PCM
    // mono 16-bit 22,050 Hz WAV, audible, never clipped, starting and ending in silence.
    void buildMadeTheProgramDirectoryWithItsSounds()
    {
        const QString built = qEnvironmentVariable("TALVIN_BUILD_DIR") + "/dist";
        QCOMPARE(ReadBytes(built + "/config/caption.ini"),
                 ReadBytes(SourceDist() + "/config/caption.ini"));
        QSet<QByteArray> distinct;
        const QStringList names = {"connect",  "Disconnect", "recive",     "send",
                                   "pingpong", "kick",       "Kiked",      "message",
                                   "pmessage", "msgbox",     "Startmaster"};
        for (const QString &name : names) {
            const QByteArray wav = ReadBytes(built + "/config/" + name + ".wav");
            QVERIFY2(wav.size() > 44, qPrintable(name));
            QCOMPARE(wav.left(4) + wav.mid(8, 8) + wav.mid(36, 4), QByteArray("RIFFWAVEfmt data"));
            QCOMPARE(wav.mid(16, 20).toHex(),
                     QByteArray("10000000010001002256000044ac000002001000"));
            QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 4), quint32(wav.size() - 8));
            QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 40), quint32(wav.size() - 44));
            const int count = int(qFromLittleEndian<quint32>(wav.constData() + 40) / 2);
            const double ms = count * 1000.0 / 22050;
            QVERIFY2(ms >= 50 && ms <= 400, qPrintable(name));
            double sumSquares = 0;
            int peak = 0;
            for (int i = 0; i < count; ++i) {
                const int s = qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * i);
                sumSquares += double(s) * s;
                peak = qMax(peak, qAbs(s));
            }
            QVERIFY2(std::sqrt(sumSquares / count) / 32768 > 0.01 && peak < 32000,
                     qPrintable(name));
            QVERIFY2(qAbs(qFromLittleEndian<qint16>(wav.constData() + 44)) < 200 &&
                         qAbs(qFromLittleEndian<qint16>(wav.constData() + wav.size() - 2)) < 200,
                     qPrintable(name));
            // Played for every packet: these two must stay quiet.
            if (name == "recive" || name == "send")
                QVERIFY2(peak < 32768 / 8, qPrintable(name));
            distinct << wav;
        }
        QCOMPARE(distinct.size(), names.size());
    }
};

QTEST_GUILESS_MAIN(TestShippedConfig)
#include "test_shipped_config.moc"
