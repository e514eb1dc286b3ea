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

// Every key the windows read from caption.ini, window by window.
const QStringList &captionKeys()
{
    static const QStringList keys = [] {
        QStringList k = {
            // read at run time by the main window
            "smode", "CONNECT", "connection_faild",
            // main window
            "ToolButton1", "ToolButton2", "ToolButton3", "ToolButton4", "ToolButton5",
            "ToolButton6", "Label1", "Label2", "Label3", "Label4", "VoxCheckBox4", "CheckBox1",
            "Button1", "Server", "A_Tools", "A_Who", "A_ConfigEditor", "A_ChannelList", "A_Message",
            "Connect", "ExitApp", "Speech", "Channels", "SetSpeech", "Keyboard", "sep1", "Help",
            "About", "CJoin", "CPart", "CQueryUser", "CSendNotice", "CWhoisUser", "CBan", "CKick",
            "CChangNick", "Windows", "SelectStatusPanel", "SelectTools", "SetControlPanel",
            "CodePage", "Win1251", "Koi8", "OEM", "VoxComboBox2_int", "VoxComboBox2_cn",
            "VoxButton1", "VoxButton2", "VoxButton3", "VoxButton4", "VoxButton5",
            // channel window
            "CFVoxRichEdit1", "CFVoxEdit1", "CFVoxListView1", "CFVoxButton1", "CFAC_SpeakOn",
            "CFAC_SpeakOff", "CFAC_Part", "CFAC_Mode", "CFAC_Setup", "CFAC_Dialog",
            // channel mode dialog
            "CMCaption", "CMLabel1", "CMLabel2", "CMVoxButton1", "CMVoxButton2",
            // channel setup dialog
            "CSFCaption", "CSFGroupBox1", "CSFGroupBox2", "CSFVoxButton1", "CSFVoxButton2",
            // channel list browser and its request dialog
            "F3Caption", "F3ListViewColumns0", "F3ListViewColumns1", "F3ListViewColumns2",
            "CLCaption", "CLButton1", "CLButton2", "CLButton3", "CLMemo1", "CLLabel1",
            "CLCheckBox1", "CLUpDown3",
            // favourites
            "FFCaption", "FFLabel1", "FFVoxCheckBox1", "FFVoxListBox1", "FFVoxEdit1",
            // connect dialog
            "F2Caption", "F2Label5", "F2Label8", "F2Label9", "F2Label10", "F2Label11", "F2Label12",
            "F2CheckBox1", "F2BitBtn2", "F2Button8",
            // server options dialog
            "SOCaption", "SOButton2", "SOButton3", "SOAddButton", "SOChengButton", "SOMess1",
            "SOMess2"};
        for (int i = 1; i <= 8; ++i)
            k << QStringLiteral("CMVoxCheckBox%1").arg(i);
        for (int i = 1; i <= 10; ++i)
            k << QStringLiteral("CSFVoxCheckBox%1").arg(i);
        for (int i = 1; i <= 5; ++i)
            k << QStringLiteral("FFButton%1").arg(i);
        for (int i = 1; i <= 6; ++i)
            k << QStringLiteral("F2Button%1").arg(i);
        for (int i = 1; i <= 3; ++i)
            k << QStringLiteral("F2TabCaption%1").arg(i);
        for (int i = 1; i <= 7; ++i)
            k << QStringLiteral("SOLabel%1").arg(i);
        return k;
    }();
    return keys;
}

const QStringList EventSoundNames = {"connect",  "Disconnect", "recive",     "send",
                                     "pingpong", "kick",       "Kiked",      "message",
                                     "pmessage", "msgbox",     "Startmaster"};

QString sourceDist()
{
    return qEnvironmentVariable("TALVIN_SOURCE_DIR") + QStringLiteral("/dist");
}

QString builtDist()
{
    return qEnvironmentVariable("TALVIN_BUILD_DIR") + QStringLiteral("/dist");
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// The key names of one section, in file order, read plainly line by line (comments and
// blank lines skipped) so that the program's reader can be checked against them.
QStringList keysOfSection(const QString &path, const QString &section)
{
    const QString text = QString::fromUtf8(readAll(path));
    QStringList keys;
    bool inSection = false;
    for (const QString &raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inSection = line.compare(u'[' + section + u']', Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inSection && eq > 0)
            keys << line.left(eq).trimmed();
    }
    return keys;
}

QString sectionOf(const QString &path)
{
    const QString text = QString::fromUtf8(readAll(path));
    static const QRegularExpression header(QStringLiteral("^\\[([^\\]]+)\\]"),
                                           QRegularExpression::MultilineOption);
    const auto m = header.match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

quint16 le16(const QByteArray &b, int at)
{
    return quint16(quint8(b[at])) | quint16(quint8(b[at + 1])) << 8;
}

quint32 le32(const QByteArray &b, int at)
{
    return quint32(le16(b, at)) | quint32(le16(b, at + 2)) << 16;
}

} // namespace

class TestShippedConfig : public QObject
{
    Q_OBJECT

private:
    static QString caption(const QString &file, const QString &key)
    {
        return GetConfigValue(file, QStringLiteral("Captions"), key);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("TALVIN_SOURCE_DIR"), "run through ctest");
        QVERIFY(QFile::exists(sourceDist() + QStringLiteral("/config/caption.ini")));
        SetProgramDir(sourceDist());
    }

    // Both caption files hold exactly the keys the windows read: a missing one would show
    // and speak "err-" + key, an extra one is a misspelt key that no window reads.
    void captionFilesHoldExactlyTheWindowsKeys_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("Russian") << QStringLiteral("caption.ini");
        QTest::newRow("English") << QStringLiteral("caption-en.ini");
    }
    void captionFilesHoldExactlyTheWindowsKeys()
    {
        QFETCH(QString, file);
        const QStringList inFile = keysOfSection(ConfigFilePath(file), QStringLiteral("Captions"));
        // Key names match without regard to letter case, so "CONNECT" and "Connect" are one
        // entry, and a second spelling of a key would be silently ignored by the reader.
        QSet<QString> seen;
        for (const QString &key : inFile) {
            QVERIFY2(!seen.contains(key.toLower()), qPrintable("key given twice: " + key));
            seen.insert(key.toLower());
        }
        QSet<QString> wanted;
        for (const QString &key : captionKeys())
            wanted.insert(key.toLower());
        for (const QString &key : captionKeys())
            QVERIFY2(seen.contains(key.toLower()), qPrintable("missing key: " + key));
        for (const QString &key : inFile)
            QVERIFY2(wanted.contains(key.toLower()), qPrintable("key no window reads: " + key));

        for (const QString &key : captionKeys()) {
            const QString value = caption(file, key);
            QVERIFY2(!value.trimmed().isEmpty() && !value.startsWith(QStringLiteral("err-")),
                     qPrintable(key + " reads as \"" + value + "\""));
        }
    }

    void captionFilesAgreeOnKeys()
    {
        const QStringList ru = keysOfSection(ConfigFilePath(QStringLiteral("caption.ini")),
                                             QStringLiteral("Captions"));
        const QStringList en = keysOfSection(ConfigFilePath(QStringLiteral("caption-en.ini")),
                                             QStringLiteral("Captions"));
        const QSet<QString> ruKeys(ru.cbegin(), ru.cend());
        const QSet<QString> enKeys(en.cbegin(), en.cend());
        QStringList onlyRussian = (ruKeys - enKeys).values();
        QStringList onlyEnglish = (enKeys - ruKeys).values();
        onlyRussian.sort();
        onlyEnglish.sort();
        QCOMPARE(onlyRussian, QStringList());
        QCOMPARE(onlyEnglish, QStringList());
    }

    // The values the program converts or joins to other text.
    void captionValuesThatTheProgramInterprets_data()
    {
        captionFilesHoldExactlyTheWindowsKeys_data();
    }
    void captionValuesThatTheProgramInterprets()
    {
        QFETCH(QString, file);
        // A new installation starts with the setup wizard; case matters.
        QCOMPARE(caption(file, QStringLiteral("smode")), QStringLiteral("master"));
        // The up-down position is converted from decimal and is a 16-bit signed value.
        const int minimumUsers = ConfigToInt(caption(file, QStringLiteral("CLUpDown3")));
        QVERIFY(minimumUsers >= -32768 && minimumUsers <= 32767);
        // The host name follows these texts directly, or the spoken name is followed
        // directly by the control's content: without a trailing blank the words run together.
        for (const char *key : {"CONNECT", "CFVoxRichEdit1", "F2Label11", "FFVoxListBox1"})
            QVERIFY2(caption(file, QLatin1String(key)).endsWith(u' '), key);
        // The message box adds its own blank before the host.
        QVERIFY(!caption(file, QStringLiteral("connection_faild")).endsWith(u' '));
        QVERIFY(!caption(file, QStringLiteral("CMCaption")).endsWith(u' '));
    }

    void russianCaptionsAreRussian()
    {
        // A spot check that caption.ini is the Russian file and caption-en.ini the English.
        static const QRegularExpression cyrillic(QStringLiteral("[А-Яа-яЁё]"));
        QVERIFY(
            caption(QStringLiteral("caption.ini"), QStringLiteral("F2Caption")).contains(cyrillic));
        QVERIFY(caption(QStringLiteral("caption.ini"), QStringLiteral("CFVoxButton1"))
                    .contains(cyrillic));
        QCOMPARE(caption(QStringLiteral("caption.ini"), QStringLiteral("Button1")),
                 QStringLiteral("Сброс чтения"));
        QVERIFY(!caption(QStringLiteral("caption-en.ini"), QStringLiteral("F2Caption"))
                     .contains(cyrillic));
    }

    // Every profile file reads back, through the program's reader, exactly the keys a plain
    // line-by-line reading finds; all are UTF-8 with LF line ends.
    void everyProfileFileReadsWithTheProgramsReader()
    {
        const QStringList files = QDir(sourceDist() + QStringLiteral("/config"))
                                      .entryList({QStringLiteral("*.ini")}, QDir::Files);
        QVERIFY(files.size() >= 8);
        for (const QString &file : files) {
            const QByteArray bytes = readAll(ConfigFilePath(file));
            QVERIFY2(!bytes.isEmpty() && bytes.endsWith('\n'), qPrintable(file));
            QVERIFY2(!bytes.contains('\r'), qPrintable(file + ": CR in line ends"));
            QVERIFY2(!bytes.startsWith("\xEF\xBB\xBF"), qPrintable(file + ": BOM"));
            auto utf8 = QStringDecoder(QStringDecoder::Utf8);
            (void)utf8.decode(bytes);
            QVERIFY2(!utf8.hasError(), qPrintable(file + ": not UTF-8"));

            const QString section = sectionOf(ConfigFilePath(file));
            QVERIFY2(!section.isEmpty(), qPrintable(file));
            const QStringList keys = keysOfSection(ConfigFilePath(file), section);
            QVERIFY2(!keys.isEmpty() || file == QStringLiteral("faworits.ini"), qPrintable(file));
            for (const QString &key : keys)
                QVERIFY2(!GetConfigValue(file, section, key).startsWith(QStringLiteral("err-")),
                         qPrintable(file + ": " + key));
        }
    }

    // speech.ini must be complete: a missing or unconvertible key stops the speech set-up
    // at that key and leaves the program mute.
    void speechSettingsAreCompleteAndConvertible()
    {
        for (const char *key : {"UseInterfaceEngine", "UseChannelEngine", "IEUseMultiFilter",
                                "IEUseSingleFilter", "CEUseMultiFilter", "CEUseSingleFilter"})
            QVERIFY2(ConfigToBool(GetSpeechValue(QLatin1String(key))), key);
        QVERIFY(ConfigToInt(GetSpeechValue(QStringLiteral("ActiveControl"))) == 0);
        for (const char *key : {"IESpeed", "IEPitch", "CESpeed", "CEPitch"}) {
            const int v = ConfigToInt(GetSpeechValue(QLatin1String(key)));
            QVERIFY2(v >= 0 && v <= 65535, key);
        }
        for (const char *key : {"IEVolume", "CEVolume"}) {
            const int v = ConfigToInt(GetSpeechValue(QLatin1String(key)));
            QVERIFY2(v > 0 && v <= 100, key);
        }
        for (const char *key : {"InterfaceEngineName", "ChannelEngineName"})
            QVERIFY2(!GetSpeechValue(QLatin1String(key)).isEmpty(), key);
    }

    void identityServerAndListsLoad()
    {
        // The wizard fills the identity; the connect operation converts "Invisible".
        for (const char *key : {"UserName", "EMail", "Nick", "AlterNick"})
            QCOMPARE(GetUserValue(QLatin1String(key)), QString());
        QCOMPARE(ConfigToBool(GetUserValue(QStringLiteral("Invisible"))), false);
        QVERIFY(IsConfigValue(GetUserValue(QStringLiteral("IRCServer"))));

        const QString host = GetConnectValue(QStringLiteral("Server"));
        QVERIFY(host.contains(u'.') && !host.contains(u' '));
        const int port = ConfigToInt(GetConnectValue(QStringLiteral("Port")));
        QVERIFY(port > 0 && port <= 65535);

        // Read as the server list loader reads: until the first missing description.
        int servers = 0;
        bool koi8 = false;
        bool connectServerListed = false;
        for (int n = 1; n <= 200; ++n) {
            const QString desc = GetServerValue(QStringLiteral("Desc%1").arg(n));
            if (!IsConfigValue(desc))
                break;
            ++servers;
            const QString name = GetServerValue(QStringLiteral("Name%1").arg(n));
            QVERIFY(name.contains(u'.'));
            connectServerListed |= name.compare(host, Qt::CaseInsensitive) == 0;
            const int p = ConfigToInt(GetServerValue(QStringLiteral("Port%1").arg(n)));
            QVERIFY(p > 0 && p <= 65535);
            const QString codePage = GetServerValue(QStringLiteral("CodePage%1").arg(n));
            QVERIFY(QStringList({"WIN1251", "OEM", "KOI8"}).contains(codePage));
            koi8 |= codePage == QStringLiteral("KOI8");
            for (const char *key : {"AddDate%1", "LastConnect%1"})
                QVERIFY(IsConfigValue(GetServerValue(QString::fromLatin1(key).arg(n))));
        }
        QCOMPARE(servers, keysOfSection(ConfigFilePath(QStringLiteral("servers.ini")),
                                        QStringLiteral("IRCServers"))
                                  .size() /
                              6);
        QVERIFY(servers >= 3);
        QVERIFY(koi8);
        QVERIFY(connectServerListed);

        for (int n = 1; IsConfigValue(GetFaworitValue(QStringLiteral("FaworChannel%1").arg(n)));
             ++n) {
            QVERIFY(GetFaworitValue(QStringLiteral("FaworChannel%1").arg(n)).startsWith(u'#'));
            for (const char *key : {"FaworPassword%1", "FaworDescr%1", "FaworServer%1"})
                QVERIFY(IsConfigValue(GetFaworitValue(QString::fromLatin1(key).arg(n))));
        }

        for (const char *key : {"Joined", "mes6", "mes7"})
            QVERIFY2(!GetMessageText(QLatin1String(key)).trimmed().isEmpty() &&
                         IsConfigValue(GetMessageText(QLatin1String(key))),
                     key);
        // The automatic reply is mes6 + nick + mes7: the nick needs a blank on each side.
        QVERIFY(GetMessageText(QStringLiteral("mes6")).endsWith(u' '));
        QVERIFY(GetMessageText(QStringLiteral("mes7")).startsWith(u' '));
    }

    // The rule files have no headers or comments and end at their first empty line, so a
    // stray blank line would silently drop every rule after it.
    void ruleFilesAreReadWhole()
    {
        for (const char *name : {"multirules.ini", "singlerules.ini"}) {
            const QByteArray bytes = readAll(sourceDist() + u'/' + QLatin1String(name));
            QVERIFY2(bytes.endsWith('\n') && !bytes.contains('\r'), name);
            const QStringList lines = QString::fromUtf8(bytes.chopped(1)).split(u'\n');
            QVERIFY(lines.size() >= 20);
            for (const QString &line : lines) {
                QVERIFY2(!line.isEmpty(), name);
                if (qstrcmp(name, "singlerules.ini") == 0) {
                    // 'c'=replacement: character second, replacement from the fifth on.
                    QVERIFY2(line.size() >= 5 && line.at(0) == u'\'' && line.at(2) == u'\'' &&
                                 line.at(3) == u'=',
                             qPrintable(line));
                } else {
                    const qsizetype eq = line.indexOf(u'=');
                    QVERIFY2(eq > 0 && line.indexOf(u'=', eq + 1) < 0, qPrintable(line));
                }
            }
            if (qstrcmp(name, "singlerules.ini") == 0)
                QVERIFY(lines.size() <= 255);
        }
    }

    // The shipped voices name a mode the always-present espeak-ng engine lists, so a new
    // installation speaks Russian without falling back to whatever voice comes first.
    void shippedVoicesAreListedByTheEngine()
    {
        if (!TEspeakEngine::available())
            QSKIP("espeak-ng voice data not installed");
        TEspeakEngine engine;
        QStringList names;
        for (const TSpeechMode &mode : engine.modes())
            names << mode.name;
        for (const char *key : {"InterfaceEngineName", "ChannelEngineName"})
            QVERIFY2(names.contains(GetSpeechValue(QLatin1String(key)), Qt::CaseInsensitive),
                     qPrintable(GetSpeechValue(QLatin1String(key))));
    }

    // Loaded by the program's own filters: every line is a rule, and the check-box states
    // are spoken as words.
    void ruleFilesLoadAndReadCheckBoxStatesAsWords()
    {
        QVERIFY(LoadMultiRules(sourceDist() + QStringLiteral("/multirules.ini")));
        QVERIFY(LoadSingleRules(sourceDist() + QStringLiteral("/singlerules.ini")));
        const auto lineCount = [](const char *name) {
            return int(readAll(sourceDist() + u'/' + QLatin1String(name)).count('\n'));
        };
        QCOMPARE(MultiRulesCount(), lineCount("multirules.ini"));
        QCOMPARE(SingleRulesCount(), lineCount("singlerules.ini"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("CheckBox -1")), QStringLiteral("флажок отмечен"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("CheckBox 0")), QStringLiteral("флажок снят"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("Невидимый режим -1")),
                 QStringLiteral("Невидимый режим отмечен"));
        // Numbers in ordinary text stay numbers.
        QCOMPARE(ApplyMultiRules(QStringLiteral("в 10:30 на 0 каналах")),
                 QStringLiteral("в 10:30 на 0 каналах"));
        QCOMPARE(ApplySingleRules(QStringLiteral(".")), QStringLiteral("точка"));
        QCOMPARE(ApplySingleRules(QStringLiteral(" ")), QStringLiteral("пробел"));
        QCOMPARE(ApplySingleRules(QStringLiteral("a")), QStringLiteral("a"));
        ClearSpeechRules();
    }

    // The built program directory: a copy of the source tree plus the sounds.
    void buildAssembledTheProgramDirectory()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("TALVIN_BUILD_DIR"), "run through ctest");
        for (const char *file : {"config/caption.ini", "config/speech.ini", "multirules.ini"})
            QCOMPARE(readAll(builtDist() + u'/' + QLatin1String(file)),
                     readAll(sourceDist() + u'/' + QLatin1String(file)));
    }

    void eventSoundsArePlayableShortAndAudible()
    {
        QSet<QByteArray> distinct;
        for (const QString &name : EventSoundNames) {
            const QString path = builtDist() + QStringLiteral("/config/") + name + ".wav";
            const QByteArray wav = readAll(path);
            QVERIFY2(wav.size() > 44, qPrintable(path));
            QCOMPARE(wav.left(4), QByteArray("RIFF"));
            QCOMPARE(le32(wav, 4), quint32(wav.size() - 8));
            QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
            QCOMPARE(le32(wav, 16), 16u);
            QCOMPARE(le16(wav, 20), 1);      // PCM
            QCOMPARE(le16(wav, 22), 1);      // mono
            QCOMPARE(le32(wav, 24), 22050u); // sample rate
            QCOMPARE(le32(wav, 28), 44100u); // bytes per second
            QCOMPARE(le16(wav, 32), 2);      // block align
            QCOMPARE(le16(wav, 34), 16);     // bits
            QCOMPARE(wav.mid(36, 4), QByteArray("data"));
            const quint32 dataSize = le32(wav, 40);
            QCOMPARE(dataSize, quint32(wav.size() - 44));

            const int count = int(dataSize / 2);
            const double ms = count * 1000.0 / 22050;
            QVERIFY2(ms >= 50 && ms <= 400, qPrintable(name + QString(" lasts %1 ms").arg(ms)));
            double sumSquares = 0;
            int peak = 0;
            for (int i = 0; i < count; ++i) {
                const int s = qint16(le16(wav, 44 + 2 * i));
                sumSquares += double(s) * s;
                peak = qMax(peak, qAbs(s));
            }
            const double rms = std::sqrt(sumSquares / count) / 32768;
            // Audible, never clipped, and starting and ending in silence (no click).
            QVERIFY2(rms > 0.01, qPrintable(name));
            QVERIFY2(peak < 32000, qPrintable(name));
            QVERIFY2(qAbs(qint16(le16(wav, 44))) < 200, qPrintable(name));
            QVERIFY2(qAbs(qint16(le16(wav, 44 + 2 * (count - 1)))) < 200, qPrintable(name));
            // Played for every packet: these two must stay quiet.
            if (name == QStringLiteral("recive") || name == QStringLiteral("send"))
                QVERIFY2(peak < 32768 / 8, qPrintable(name));
            distinct.insert(wav);
        }
        QCOMPARE(distinct.size(), EventSoundNames.size());
    }
};

QTEST_GUILESS_MAIN(TestShippedConfig)
#include "test_shipped_config.moc"
