// The program directory a new installation starts with: every caption the windows ask for
// is there in both languages, the other configuration files hold what the program converts
// without a conversion error, the rule files load whole, and the build made the event
// sounds as real, short, audible WAV files.
#include "config/config_files.h"
#include "speech/espeak_engine.h"
#include "speech/speech_filters.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTest>

#include <cmath>

namespace {

// Every key the windows read from caption.ini ("Name%n" stands for Name1 to Namen).
const char kCaptionKeys[] =
    // main window
    "smode CONNECT connection_faild ToolButton%6 Label%4 VoxCheckBox4 CheckBox1 Button1 Server "
    "A_Tools A_Who A_ConfigEditor A_ChannelList A_Message Connect ExitApp Speech Channels "
    "SetSpeech Keyboard sep1 Help About CJoin CPart CQueryUser CSendNotice CWhoisUser CBan CKick "
    "CChangNick Windows SelectStatusPanel SelectTools SetControlPanel CodePage Win1251 Koi8 OEM "
    "VoxComboBox2_int VoxComboBox2_cn VoxButton%5 "
    // channel window, mode and setup dialogs
    "CFVoxRichEdit1 CFVoxEdit1 CFVoxListView1 CFVoxButton1 CFAC_SpeakOn CFAC_SpeakOff CFAC_Part "
    "CFAC_Mode CFAC_Setup CFAC_Dialog CMCaption CMLabel%2 CMVoxButton%2 CMVoxCheckBox%8 CSFCaption "
    "CSFGroupBox%2 CSFVoxButton%2 CSFVoxCheckBox%10 "
    // channel list and its request dialog, favourites, connect and server options dialogs
    "F3Caption F3ListViewColumns0 F3ListViewColumns1 F3ListViewColumns2 CLCaption CLButton%3 "
    "CLMemo1 CLLabel1 CLCheckBox1 CLUpDown3 FFCaption FFLabel1 FFVoxCheckBox1 FFVoxListBox1 "
    "FFVoxEdit1 FFButton%5 F2Caption F2Label5 F2Label8 F2Label9 F2Label10 F2Label11 F2Label12 "
    "F2CheckBox1 F2BitBtn2 F2Button8 F2Button%6 F2TabCaption%3 SOCaption SOButton2 SOButton3 "
    "SOAddButton SOChengButton SOMess1 SOMess2 SOLabel%7";

QSet<QString> CaptionKeys()
{
    QSet<QString> keys;
    for (const QString &key : QString::fromLatin1(kCaptionKeys).split(u' ')) {
        const qsizetype percent = key.indexOf(u'%');
        if (percent < 0)
            keys << key.toLower();
        for (int i = 1; percent > 0 && i <= key.mid(percent + 1).toInt(); ++i)
            keys << key.left(percent).toLower() + QString::number(i);
    }
    return keys;
}

QString SourceDist()
{
    return qEnvironmentVariable("TALVIN_SOURCE_DIR") + QStringLiteral("/dist");
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The first section's name and its keys in file order, read plainly line by line, so that
// the program's reader can be checked against them.
QStringList KeysOfFirstSection(const QString &path, QString *section = nullptr)
{
    QStringList keys;
    QString first;
    for (const QString &raw : QString::fromUtf8(ReadAll(path)).split(u'\n')) {
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

quint32 Le(const QByteArray &b, int at, int bytes = 4)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | quint8(b[at + i]);
    return v;
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

    // Both caption files hold exactly the keys the windows read, once each: a missing one
    // would show and speak "err-" + key, an extra one is a misspelt key no window reads.
    // The values the program converts or joins to other text are fit for it.
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
        QSet<QString> seen;
        for (const QString &key : inFile) {
            QVERIFY2(!seen.contains(key.toLower()), qPrintable("key given twice: " + key));
            seen << key.toLower();
            QVERIFY2(!caption(key).trimmed().isEmpty(), qPrintable(key));
        }
        QStringList missing = (CaptionKeys() - seen).values();
        QStringList extra = (seen - CaptionKeys()).values();
        QCOMPARE(missing, QStringList());
        QCOMPARE(extra, QStringList());

        // A new installation starts with the setup wizard; case matters.
        QCOMPARE(caption("smode"), QStringLiteral("master"));
        // The up-down position is a 16-bit signed decimal.
        const int minimumUsers = ConfigToInt(caption("CLUpDown3"));
        QVERIFY(minimumUsers >= -32768 && minimumUsers <= 32767);
        // The host name or the control's content follows these texts directly: without a
        // trailing blank the words run together. The message box adds its own blank.
        for (const char *key : {"CONNECT", "CFVoxRichEdit1", "F2Label11", "FFVoxListBox1"})
            QVERIFY2(caption(key).endsWith(u' '), key);
        QVERIFY(!caption("connection_faild").endsWith(u' ') &&
                !caption("CMCaption").endsWith(u' '));
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
            const QByteArray bytes = ReadAll(ConfigFilePath(file));
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
    // at that key and leaves the program mute. The shipped voices are modes the always
    // present espeak-ng engine lists, so a new installation speaks Russian.
    void speechSettingsAreCompleteAndTheVoicesExist()
    {
        for (const char *key : {"UseInterfaceEngine", "UseChannelEngine", "IEUseMultiFilter",
                                "IEUseSingleFilter", "CEUseMultiFilter", "CEUseSingleFilter"})
            QVERIFY2(ConfigToBool(GetSpeechValue(key)), key);
        QCOMPARE(ConfigToInt(GetSpeechValue("ActiveControl")), 0);
        for (const char *key :
             {"IESpeed", "IEPitch", "CESpeed", "CEPitch", "IEVolume", "CEVolume"}) {
            const int v = ConfigToInt(GetSpeechValue(key));
            QVERIFY2(v >= 0 && v <= (QByteArray(key).endsWith("Volume") ? 100 : 65535), key);
        }
        if (!TEspeakEngine::available())
            QSKIP("espeak-ng voice data not installed");
        TEspeakEngine engine;
        QStringList names;
        for (const TSpeechMode &mode : engine.modes())
            names << mode.name;
        for (const char *key : {"InterfaceEngineName", "ChannelEngineName"})
            QVERIFY2(names.contains(GetSpeechValue(key), Qt::CaseInsensitive), key);
    }

    void identityServersAndListsLoad()
    {
        // The wizard fills the identity; the connect operation converts "Invisible".
        for (const char *key : {"UserName", "EMail", "Nick", "AlterNick"})
            QCOMPARE(GetUserValue(key), QString());
        QCOMPARE(ConfigToBool(GetUserValue("Invisible")), false);
        const QString host = GetConnectValue("Server");
        const int port = ConfigToInt(GetConnectValue("Port"));
        QVERIFY(host.contains(u'.') && !host.contains(u' ') && port > 0 && port <= 65535);
        // Read as the server list loader reads: until the first missing description.
        QStringList codePages;
        int n = 1;
        for (; IsConfigValue(GetServerValue(QStringLiteral("Desc%1").arg(n))); ++n) {
            const int p = ConfigToInt(GetServerValue(QStringLiteral("Port%1").arg(n)));
            QVERIFY(p > 0 && p <= 65535);
            codePages << GetServerValue(QStringLiteral("CodePage%1").arg(n));
            for (const char *key : {"Name%1", "AddDate%1", "LastConnect%1"})
                QVERIFY(IsConfigValue(GetServerValue(QString::fromLatin1(key).arg(n))));
        }
        QCOMPARE(n - 1, KeysOfFirstSection(ConfigFilePath("servers.ini")).size() / 6);
        QVERIFY(n > 3 && codePages.contains("KOI8"));
        QCOMPARE(codePages.filter(QRegularExpression("^(WIN1251|OEM|KOI8)$")), codePages);
        for (n = 1; IsConfigValue(GetFaworitValue(QStringLiteral("FaworChannel%1").arg(n))); ++n)
            for (const char *key : {"FaworPassword%1", "FaworDescr%1", "FaworServer%1"})
                QVERIFY(IsConfigValue(GetFaworitValue(QString::fromLatin1(key).arg(n))));
        QVERIFY(IsConfigValue(GetMessageText("Joined")));
        // The automatic reply is mes6 + nick + mes7: the nick needs a blank on each side.
        QVERIFY(GetMessageText("mes6").endsWith(u' ') && GetMessageText("mes7").startsWith(u' '));
    }

    // The rule files have no headers or comments and end at their first empty line, so a
    // stray blank line would silently drop every rule after it. Loaded by the program's own
    // filters, every line is a rule, and check-box states are spoken as words.
    void ruleFilesLoadWhole()
    {
        for (const char *name : {"multirules.ini", "singlerules.ini"}) {
            const QByteArray bytes = ReadAll(SourceDist() + u'/' + QLatin1String(name));
            QVERIFY2(bytes.endsWith('\n') && !bytes.contains('\r') && !bytes.contains("\n\n"),
                     name);
        }
        QVERIFY(LoadMultiRules(SourceDist() + "/multirules.ini"));
        QVERIFY(LoadSingleRules(SourceDist() + "/singlerules.ini"));
        QCOMPARE(MultiRulesCount(), int(ReadAll(SourceDist() + "/multirules.ini").count('\n')));
        QCOMPARE(SingleRulesCount(), int(ReadAll(SourceDist() + "/singlerules.ini").count('\n')));
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
        QCOMPARE(ReadAll(built + "/config/caption.ini"),
                 ReadAll(SourceDist() + "/config/caption.ini"));
        QSet<QByteArray> distinct;
        const QStringList names = {"connect",  "Disconnect", "recive",     "send",
                                   "pingpong", "kick",       "Kiked",      "message",
                                   "pmessage", "msgbox",     "Startmaster"};
        for (const QString &name : names) {
            const QByteArray wav = ReadAll(built + "/config/" + name + ".wav");
            QVERIFY2(wav.size() > 44, qPrintable(name));
            QCOMPARE(wav.left(4) + wav.mid(8, 8) + wav.mid(36, 4), QByteArray("RIFFWAVEfmt data"));
            QCOMPARE(wav.mid(16, 20).toHex(),
                     QByteArray("10000000010001002256000044ac000002001000"));
            QCOMPARE(Le(wav, 4), quint32(wav.size() - 8));
            QCOMPARE(Le(wav, 40), quint32(wav.size() - 44));
            const int count = int(Le(wav, 40) / 2);
            const double ms = count * 1000.0 / 22050;
            QVERIFY2(ms >= 50 && ms <= 400, qPrintable(name));
            double sumSquares = 0;
            int peak = 0;
            for (int i = 0; i < count; ++i) {
                const int s = qint16(Le(wav, 44 + 2 * i, 2));
                sumSquares += double(s) * s;
                peak = qMax(peak, qAbs(s));
            }
            QVERIFY2(std::sqrt(sumSquares / count) / 32768 > 0.01 && peak < 32000,
                     qPrintable(name));
            QVERIFY2(qAbs(qint16(Le(wav, 44, 2))) < 200 &&
                         qAbs(qint16(Le(wav, wav.size() - 2, 2))) < 200,
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
