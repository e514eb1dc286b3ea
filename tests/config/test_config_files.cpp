// The profile files under <ProgramDir>/config: fallbacks, name matching, encodings kept
// byte for byte and decoded alike by every reader, writes that never damage a file and keep
// secrets owner-only, and the event sounds they name. Then the program directory a new
// installation starts with: every caption the windows ask for is there in both languages,
// the other files hold what the program converts without a conversion error, the rule files
// load whole, and the build made the event sounds as real, short, audible WAV files.
#include "../dialogs/wizard_test_host.h"
#include "config/config_files.h"
#include "config/edit_config_form.h"
#include "config/sound_effect_player.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/help/help_text_file.h"
#include "speech/speech_filters.h"

#include "file_bytes.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>
#include <QtEndian>

#include <cmath>
#include <csignal>
#include <functional>
#include <memory>

#include <sys/resource.h>

namespace {

struct RecordingPlayer : IEventSoundPlayer
{
    QStringList played;
    void play(const QString &name) override { played << name; }
};

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

class TestConfigFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString configDir() const { return m_dir->path() + QStringLiteral("/config"); }
    QString write(const QString &name, const QByteArray &bytes)
    {
        WriteBytes(configDir() + u'/' + name, bytes);
        return configDir() + u'/' + name;
    }
    QByteArray read(const QString &name) { return ReadBytes(configDir() + u'/' + name); }

private slots:
    void init()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("TALVIN_SOURCE_DIR"), "run through ctest");
        m_dir = std::make_unique<QTemporaryDir>();
        // The tests of what is shipped read the source tree's program directory.
        const bool shipped = QByteArray(QTest::currentTestFunction()).startsWith("shipped");
        SetProgramDir(shipped ? SourceDist() : m_dir->path());
        if (shipped)
            return;
        QVERIFY(QDir().mkpath(configDir()));
        QCOMPARE(ConfigFilePath("user.ini"), m_dir->path() + "/config/user.ini");
    }

    void reads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const auto row = [](const char *name, const QByteArray &bytes, const QString &section,
                            const QString &key, const QString &value) {
            QTest::newRow(name) << bytes << section << key << value;
        };
        const QByteArray user = "[Config]\nNick=ivan\nEMail=\n";
        const QByteArray captions = "[captions]\n  f1Caption  =   Talvin window   \n"
                                    "Quoted=\"  inner blanks  \"\nSingle='x'\nMismatch=\"x'\n"
                                    "Eq=a=b\n; Hidden=comment\n";
        row("missing file", {}, "Config", "Nick", "err-");
        row("missing key", user, "Config", "AlterNick", "err-AlterNick");
        row("other section", user, "Other", "Nick", "err-Nick");
        row("empty value", user, "Config", "EMail", "");
        row("names in any case", captions, "CAPTIONS", "F1CAPTION", "Talvin window");
        row("quotes keep blanks", captions, "Captions", "quoted", "  inner blanks  ");
        row("single quotes", captions, "Captions", "Single", "x");
        row("unpaired quotes", captions, "Captions", "Mismatch", "\"x'");
        row("= in value", captions, "Captions", "Eq", "a=b");
        row("comment", captions, "Captions", "Hidden", "err-Hidden");
        row("Cyrillic names", QStringLiteral("[Сообщения]\nПривет=мир\n").toUtf8(), "СООБЩЕНИЯ",
            "пРИВЕТ", "мир");
        row("CP1251", Cp1251("[Config]\r\nUserName=Иван\r\n"), "Config", "UserName", "Иван");
        row("UTF-8 BOM", "\xEF\xBB\xBF[Speech]\nIESpeed=5\n", "Speech", "IESpeed", "5");
        row("cut at 2047", "[Config]\nNick=" + QByteArray(3000, 'x'), "Config", "Nick",
            QString(2047, u'x'));
        const QByteArray twice = "[A]\nk=1\nK=2\n[B]\nk=3\n[a]\nk=4\nj=5\n";
        row("first of two keys", twice, "a", "k", "1");
        row("only the first section", twice, "A", "j", "err-j");
    }
    // Values are kept between reads of a file unchanged for two seconds; any change to it,
    // of the same size and within the same second, is read.
    void keptValuesFollowTheFile()
    {
        write("test.ini", "[A]\nk=1\n");
        QTest::qSleep(2100);
        QCOMPARE(GetConfigValue("test.ini", "A", "k"), "1");
        write("test.ini", "[A]\nk=2\n");
        QCOMPARE(GetConfigValue("test.ini", "A", "k"), "2");
        SetConfigValue("test.ini", "A", "k", "3");
        QCOMPARE(GetConfigValue("test.ini", "A", "k"), "3");
    }
    void reads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, section);
        QFETCH(QString, key);
        if (!bytes.isEmpty())
            write("test.ini", bytes);
        QTEST(GetConfigValue("test.ini", section, key), "value");
    }

    // A write changes only its own line and keeps the file's encoding, line ends and BOM;
    // what the reader would trim or unquote is protected, and line breaks cannot inject keys.
    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char *name, const QByteArray &before, const QString &key,
                            const QString &value, const QString &readBack,
                            const QByteArray &after) {
            QTest::newRow(name) << before << key << value << readBack << after;
        };
        row("new file", {}, "Name1", "#русский", "#русский",
            QStringLiteral("[S]\nName1=#русский\n").toUtf8());
        row("own line only", "; old\r\n[s]\r\nname1=a\r\nDesc1=One\r\n\r\n[Other]\r\nName1=b",
            "NAME1", "x", "x", "; old\r\n[s]\r\nname1=x\r\nDesc1=One\r\n\r\n[Other]\r\nName1=b");
        row("new key in section", "[S]\r\nA=1\r\n\r\n[T]\r\nB=2", "Port1", "6667", "6667",
            "[S]\r\nA=1\r\nPort1=6667\r\n\r\n[T]\r\nB=2");
        row("CP1251 stays", Cp1251("[S]\r\nA=Иван\r\n"), "B", "Ёжик", "Ёжик",
            Cp1251("[S]\r\nA=Иван\r\nB=Ёжик\r\n"));
        row("CP1251 to UTF-8", Cp1251("[S]\nA=Иван\n"), "B", "李", "李",
            QStringLiteral("[S]\nA=Иван\nB=李\n").toUtf8());
        row("BOM kept", "\xEF\xBB\xBF[S]\nA=5\n", "a", "7", "7", "\xEF\xBB\xBF[S]\nA=7\n");
        row("line breaks", {}, "A", QString::fromUtf8("a\r\n[Evil]\nB=c\rx\0y", 17),
            "a [Evil] B=c xy", "[S]\nA=a [Evil] B=c xy\n");
        for (const char *value : {"  both  ", "\"quoted\"", "'x'"})
            row(value, {}, "A", value, value, "[S]\nA=\"" + QByteArray(value) + "\"\n");
        row("inner quotes", {}, "A", "say \"hi\" now", "say \"hi\" now", "[S]\nA=say \"hi\" now\n");
        // A 1251 file whose other values happen to be valid UTF-8 keeps reading them as 1251.
        const QByteArray mixed = "[S]\r\nName=\xD0\xB0\xD1\x8F\r\nA=\xC6\r\n";
        row("1251 kept", mixed, "A", "Ж", "Ж", mixed);
        row("last 1251 mark replaced", mixed, "A", "x", "x",
            "[S]\r\nName=\xD0\xA0\xC2\xB0\xD0\xA1\xD0\x8F\r\nA=x\r\n");
    }
    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        if (!before.isEmpty())
            write("test.ini", before);
        QVERIFY(SetConfigValue("test.ini", "S", key, value));
        QTEST(read("test.ini"), "after");
        QTEST(GetConfigValue("test.ini", "S", key), "readBack");
        QCOMPARE(GetConfigValue("test.ini", "Evil", "B"), QStringLiteral("err-B"));
        if (before.contains("\nName="))
            QCOMPARE(GetConfigValue("test.ini", "S", "Name"), QStringLiteral("Р°СЏ"));
    }

    void failedWritesLeaveFilesWhole()
    {
        write("user.ini", "[Config]\nNick=ivan\n");
        // Key names that cannot be stored on one line are refused.
        for (const char *key : {"Ni\nck", "a=b", " ", "[k", "  [k", ";k", "#k"})
            QVERIFY_THROWS_EXCEPTION(EConfigWriteError, SetUserValue(key, "a]b"));
        // Root ignores permissions, so the write is made impossible by a directory standing
        // where the file goes.
        QVERIFY(QDir(configDir()).mkdir("caption.ini"));
        QVERIFY_THROWS_EXCEPTION(EConfigWriteError, SetCaption("smode", "master"));
        SetUserValue("AlterNick", "ivan_");
        QCOMPARE(read("user.ini"), QByteArray("[Config]\nNick=ivan\nAlterNick=ivan_\n"));
        QCOMPARE(QDir(configDir()).entryList(QDir::Files),
                 QStringList{"user.ini"}); // no temporaries

        QVERIFY(QDir(configDir()).removeRecursively());
        try {
            SetCaption("smode", "connect");
            QFAIL("a write without a config directory must fail");
        } catch (const EConfigWriteError &e) {
            QCOMPARE(e.message(), "Unable to write to " + configDir() + "/caption.ini");
        }
        QVERIFY(!QDir(configDir()).exists());
    }

    // Profiles, rule files and help texts decode alike: CP1251 unless the bytes are UTF-8.
    void everyReaderDecodesAlike_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("1251, last byte only") << QByteArray("\xC6") << QStringLiteral("Ж");
        QTest::newRow("1251, UTF-8 start") << QByteArray("\xD0\x96\xC6") << QStringLiteral("Р–Ж");
        QTest::newRow("UTF-8") << QByteArray("\xD0\x96") << QStringLiteral("Ж");
    }
    void everyReaderDecodesAlike()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        write("any.ini", "[S]\r\nbrb=" + bytes);
        QCOMPARE(GetConfigValue("any.ini", "S", "brb"), text);
        QVERIFY(LoadMultiRules(write("multirules.ini", "brb=" + bytes)));
        QCOMPARE(ApplyMultiRules("brb"), text);
        QCOMPARE(ReadHelpText(write("help.txt", "brb=" + bytes)).value_or(QString()),
                 "brb=" + text);
        ClearSpeechRules();
    }

    // After a save through the atomic rewrite, starting from a file everybody may read, the
    // files that hold secrets are the owner's only.
    void saveSetsTheMode_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("ownerOnly");
        const auto row = [](const char *name, const char *file, const char *key, const char *value,
                            bool ownerOnly) {
            QTest::newRow(name) << file << key << value << ownerOnly;
        };
        row("favourites", "faworits.ini", "FaworChannel1", "#c", true);
        row("server list", "servers.ini", "Name1", "irc.x", true);
        row("server password", "connect.ini", "Password", "pw", true);
        row("empty password", "connect.ini", "Password", "", false);
        row("no secret", "user.ini", "Nick", "me", false);
    }
    void saveSetsTheMode()
    {
        QFETCH(QString, file);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFile old(write(file, "[S]\n; Password=not a key\n"));
        const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ReadUser | QFileDevice::WriteUser;
        QVERIFY(old.setPermissions(owner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        SetConfigValue(file, "S", key, value);
        QCOMPARE(GetConfigValue(file, "S", key), value);
        QTEST(old.permissions() == owner, "ownerOnly");
    }

    // The end of a numbered list, booleans and integers as the files hold them.
    void conversions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // present?, as a boolean, as an integer
        for (const char *row :
             {"|yes throws throws", "e|yes throws throws", "er|no throws throws",
              "err-Port3|no throws throws", "Error|yes throws throws", "-1|yes true -1",
              "5|yes true 5", "0|yes false 0", "TRUE|yes true throws", "false|yes false throws"}) {
            const QStringList parts = QString(row).split(u'|');
            QTest::newRow(row) << parts[0] << parts[1];
        }
    }
    void conversions()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const auto attempt = [](const auto &convert) {
            try {
                return QVariant(convert()).toString();
            } catch (const EConvertError &) {
                return QStringLiteral("throws");
            }
        };
        QCOMPARE(QString(IsConfigValue(text) ? "yes " : "no ") +
                     attempt([&] { return ConfigToBool(text); }) + ' ' +
                     attempt([&] { return ConfigToInt(text); }),
                 expected);
        QCOMPARE(BoolToConfig(true) + BoolToConfig(false), QStringLiteral("-10"));
    }

    // What is asked for reaches the installed player, and nothing without one; the real
    // player never blocks or fails, with or without the file.
    void eventSounds()
    {
        QCOMPARE(EventSoundPath("Startmaster"), configDir() + "/Startmaster.wav");
        RecordingPlayer recorder;
        SetEventSoundPlayer(&recorder);
        PlayEventSound("recive");
        SetEventSoundPlayer(nullptr);
        PlayEventSound("send");
        QCOMPARE(recorder.played, QStringList{"recive"});
        // A 0.1 s silent 8 kHz mono WAV.
        QVERIFY(WriteBytes(EventSoundPath("msgbox"),
                           QByteArrayLiteral("RIFF\x24\x06\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40"
                                             "\x1f\0\0\x80\x3e\0\0\x02\0\x10\0data\0\x06\0\0") +
                               QByteArray(1536, '\0')));
        SoundEffectPlayer player;
        SetEventSoundPlayer(&player);
        for (const char *name : {"msgbox", "msgbox", "msgbox", "no-such-sound"})
            PlayEventSound(name);
        QTest::qWait(50); // let the backend load; it must neither crash nor block
        SetEventSoundPlayer(nullptr);
    }

    // Both caption files hold the same keys, once each and none empty: a key missing from
    // one language would show and speak "err-" + key. The values the program converts or
    // joins to other text are fit for it.
    void shippedCaptionFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("russian");
        QTest::newRow("Russian") << "caption.ini" << true;
        QTest::newRow("English") << "caption-en.ini" << false;
    }
    void shippedCaptionFiles()
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
    void shippedProfileFilesReadWithTheProgramsReader()
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

    // The shipped voices are on, with their filters, the interface voice active.
    void shippedSpeechSettingsAreOn()
    {
        for (const char *key : {"UseInterfaceEngine", "UseChannelEngine", "IEUseMultiFilter",
                                "IEUseSingleFilter", "CEUseMultiFilter", "CEUseSingleFilter"})
            QVERIFY2(ConfigToBool(GetSpeechValue(key)), key);
        QCOMPARE(ConfigToInt(GetSpeechValue("ActiveControl")), 0);
    }

    // The rule files have no headers or comments and end at their first empty line, so a
    // stray blank line would silently drop every rule after it. Loaded by the program's own
    // filters, every line is a rule, and check-box states are spoken as words.
    void shippedRuleFilesLoadWhole()
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
    void shippedSoundsWereBuilt()
    {
        const QString built = qEnvironmentVariable("TALVIN_BUILD_DIR") + "/dist/config/";
        QCOMPARE(ReadBytes(built + "caption.ini"), ReadBytes(SourceDist() + "/config/caption.ini"));
        QSet<QByteArray> distinct;
        const QStringList names = {"connect",  "Disconnect", "recive",     "send",
                                   "pingpong", "kick",       "Kiked",      "message",
                                   "pmessage", "msgbox",     "Startmaster"};
        for (const QString &name : names) {
            const QByteArray wav = ReadBytes(built + name + ".wav");
            const auto u32 = [&](int at) {
                return qFromLittleEndian<quint32>(wav.constData() + at);
            };
            const int count = int(wav.size() - 44) / 2;
            QVERIFY2(count > 0 &&
                         wav.left(4) + wav.mid(8, 8) + wav.mid(36, 4) == "RIFFWAVEfmt data" &&
                         wav.mid(16, 20).toHex() == "10000000010001002256000044ac000002001000" &&
                         u32(4) == quint32(wav.size() - 8) && u32(40) == quint32(2 * count) &&
                         count >= 22050 / 20 && count <= 22050 * 4 / 10,
                     qPrintable(name));
            double sumSquares = 0;
            int peak = 0;
            for (int i = 0; i < count; ++i) {
                const int s = qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * i);
                sumSquares += double(s) * s;
                peak = qMax(peak, qAbs(s));
            }
            // Played for every packet, "recive" and "send" must stay quiet.
            const int loudest = name == "recive" || name == "send" ? 32768 / 8 : 32000;
            QVERIFY2(std::sqrt(sumSquares / count) / 32768 > 0.01 && peak < loudest &&
                         qAbs(qFromLittleEndian<qint16>(wav.constData() + 44)) < 200 &&
                         qAbs(qFromLittleEndian<qint16>(wav.constData() + wav.size() - 2)) < 200,
                     qPrintable(name));
            distinct << wav;
        }
        QCOMPARE(distinct.size(), names.size());
    }

    // The configuration editor driven by real keys: every page shows its file, Ctrl+S writes
    // the page back to that very file in its own encoding and line ends (an untouched file
    // keeps its bytes), Ctrl+R reads it again, Escape closes; a failed write leaves the old
    // file whole.
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

QTEST_MAIN(TestConfigFiles)
#include "test_config_files.moc"
