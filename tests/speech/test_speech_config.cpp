// speech.ini and the start-up configuration of both voices over recording engines: the
// file's bytes after a save, every key missing or garbled on its own, engines that are not
// installed or refuse, too few engines, switched-off voices, rule files; the panel's voice
// choice and the character strip for channel text.

#include "config/config_files.h"
#include "speech/recording_speech_engine.h"
#include "speech/speech_config.h"
#include "speech/speech_filters.h"
#include "speech/tspeech.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Offers only the first count of the recording engine's modes; refuses the modes named.
class LimitedEngine : public TRecordingSpeechEngine
{
public:
    LimitedEngine(int count, QStringList refused = {})
        : m_count(count), m_refused(std::move(refused))
    {}
    QList<TSpeechMode> modes() override { return TRecordingSpeechEngine::modes().mid(0, m_count); }
    bool select(const TSpeechMode &mode) override
    {
        TRecordingSpeechEngine::select(mode);
        return !m_refused.contains(mode.name);
    }

private:
    int m_count;
    QStringList m_refused;
};

struct Voice
{
    explicit Voice(int modes = 3, QStringList refused = {})
    {
        auto engine = std::make_unique<LimitedEngine>(modes, refused);
        recording = engine.get();
        speech = std::make_unique<TSpeech>(std::move(engine));
    }
    // The mode the voice speaks with.
    QString selected() const
    {
        return speech->EngineSelected() ? speech->EngineInfo().ModeName : QString();
    }
    std::unique_ptr<TSpeech> speech;
    TRecordingSpeechEngine *recording = nullptr;
};

const QList<QPair<QString, QString>> CompleteIni = {
    {"UseInterfaceEngine", "-1"},
    {"UseChannelEngine", "-1"},
    {"InterfaceEngineName", "Recording voice 2"},
    {"IESpeed", "220"},
    {"IEPitch", "50"},
    {"IEVolume", "100"},
    {"IEUseMultiFilter", "0"},
    {"IEUseSingleFilter", "0"},
    {"ChannelEngineName", "recording VOICE 3"},
    {"CESpeed", "180"},
    {"CEPitch", "40"},
    {"CEVolume", "90"},
    {"CEUseMultiFilter", "0"},
    {"CEUseSingleFilter", "0"},
    {"ActiveControl", "1"},
};

QByteArray iniBytes(const QString &skipKey = {}, const QString &garbageKey = {},
                    const QString &garbage = {})
{
    QByteArray bytes = "; Два голоса\r\n[Speech]\r\n";
    for (const auto &[key, value] : CompleteIni) {
        if (key == skipKey)
            continue;
        bytes += (key + u'=' + (key == garbageKey ? garbage : value)).toUtf8() + "\r\n";
    }
    return bytes;
}

} // namespace

class TestSpeechConfig : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_errors;
    TSpeechConfigErrorHandler m_onError = [this](const QString &m) { m_errors.append(m); };

    QString iniPath() const { return m_dir->filePath("config/speech.ini"); }

    void writeIni(const QByteArray &bytes)
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(m_dir->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray readIni() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // Both voices speak a text and the engines receive it.
    static void checkBothSpeak(Voice &v1, Voice &v2)
    {
        v1.recording->clear();
        v2.recording->clear();
        v1.speech->Speak(QStringLiteral("Меню"));
        v2.speech->Speak(QStringLiteral("Привет всем"));
        QCOMPARE(v1.recording->spokenTexts(), QStringList{"Меню"});
        QCOMPARE(v2.recording->spokenTexts(), QStringList{"Привет всем"});
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_dir->path()).mkpath("config"));
        SetProgramDir(m_dir->path());
        SpeechConfig = TSpeechConfig();
        ClearSpeechRules();
        m_errors.clear();
        writeFile("multirules.ini", "lol=laughing\r\n");
        writeFile("singlerules.ini", "-x--ex\r\n");
    }

    void completeFileConfiguresBothVoicesAndSavesSameBytes()
    {
        const QByteArray original = iniBytes();
        writeIni(original);
        Voice v1, v2;
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), m_onError);
        QCOMPARE(m_errors, QStringList());
        QCOMPARE(v1.selected(), QStringLiteral("Recording voice 2"));
        QCOMPARE(v2.selected(), QStringLiteral("Recording voice 3"));
        QCOMPARE(v1.speech->Speed(), 220u);
        QCOMPARE(v1.speech->Pitch(), quint16(50));
        QCOMPARE(v1.speech->Volume(), 100u);
        QCOMPARE(v2.speech->Speed(), 180u);
        QCOMPARE(v2.speech->Pitch(), quint16(40));
        QCOMPARE(v2.speech->Volume(), 89u); // 90 % as a 16-bit channel value reads back as 89
        QCOMPARE(SpeechConfig.ActiveControl, quint8(1));
        QCOMPARE(SpeechConfig.ChannelEngineName, QStringLiteral("recording VOICE 3"));
        checkBothSpeak(v1, v2);

        SaveSpeechConfiguration();
        QCOMPARE(readIni(), original);
    }

    void newFileHoldsTheKeysInOrder()
    {
        SpeechConfig.UseChannelEngine = false;
        SpeechConfig.ActiveControl = 1;
        SpeechConfig.InterfaceEngineName = QStringLiteral("espeak-ng Russian (ru)");
        SpeechConfig.IESpeed = 220;
        SpeechConfig.IEPitch = 50;
        SpeechConfig.IEVolume = 100;
        SpeechConfig.IEUseSingleFilter = false;
        SpeechConfig.ChannelEngineName = QStringLiteral("Голос = два");
        SpeechConfig.CESpeed = 65535;
        SpeechConfig.CEPitch = 0;
        SpeechConfig.CEVolume = 7;
        SaveSpeechConfiguration();
        QCOMPARE(readIni(), QByteArray("[Speech]\n"
                                       "UseInterfaceEngine=-1\n"
                                       "UseChannelEngine=0\n"
                                       "InterfaceEngineName=espeak-ng Russian (ru)\n"
                                       "IESpeed=220\n"
                                       "IEPitch=50\n"
                                       "IEVolume=100\n"
                                       "IEUseMultiFilter=-1\n"
                                       "IEUseSingleFilter=0\n"
                                       "ChannelEngineName=Голос = два\n"
                                       "CESpeed=65535\n"
                                       "CEPitch=0\n"
                                       "CEVolume=7\n"
                                       "CEUseMultiFilter=-1\n"
                                       "CEUseSingleFilter=-1\n"
                                       "ActiveControl=1\n"));
        // And it reads back as written.
        const TSpeechConfig saved = SpeechConfig;
        SpeechConfig = TSpeechConfig();
        Voice v1, v2;
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), m_onError);
        QCOMPARE(SpeechConfig.ChannelEngineName, QStringLiteral("Recording voice 1"));
        QCOMPARE(SpeechConfig.UseChannelEngine, false);
        QCOMPARE(SpeechConfig.ActiveControl, quint8(1));
        QCOMPARE(SpeechConfig.IEUseSingleFilter, false);
        QCOMPARE(SpeechConfig.IESpeed, saved.IESpeed);
    }

    void eachKeyMissingOrGarbageAlone_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("missing");
        for (const auto &entry : CompleteIni) {
            QTest::addRow("%s missing", qPrintable(entry.first)) << entry.first << true;
            QTest::addRow("%s garbage", qPrintable(entry.first)) << entry.first << false;
        }
    }

    // Whatever one key holds, both voices come up and speak, the key gets a working value
    // and every other key is read as stored.
    void eachKeyMissingOrGarbageAlone()
    {
        QFETCH(QString, key);
        QFETCH(bool, missing);
        const bool isName = key.endsWith("EngineName");
        // Names are free text: garbage there is a name no engine carries.
        writeIni(missing ? iniBytes(key) : iniBytes({}, key, isName ? "Нет такого" : "много"));
        Voice v1, v2;
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), m_onError);
        QCOMPARE(m_errors.size(), 1);
        QVERIFY2(m_errors.first().contains(isName && !missing ? "Нет такого" : key),
                 qPrintable(m_errors.first()));
        checkBothSpeak(v1, v2);

        const TSpeechConfig &c = SpeechConfig;
        // The replacement for this key; every other key as stored.
        QCOMPARE(c.UseInterfaceEngine, true);
        QCOMPARE(c.UseChannelEngine, true);
        QCOMPARE(c.ActiveControl, quint8(key == "ActiveControl" ? 0 : 1));
        QCOMPARE(c.InterfaceEngineName, key == "InterfaceEngineName"
                                            ? QString("Recording voice 3")
                                            : QString("Recording voice 2"));
        QCOMPARE(v1.selected(), c.InterfaceEngineName);
        QCOMPARE(c.ChannelEngineName, key == "ChannelEngineName" ? QString("Recording voice 1")
                                                                 : QString("recording VOICE 3"));
        // A value that could not be read is the engine's own (170, 100, 100 %).
        QCOMPARE(c.IESpeed, quint16(key == "IESpeed" ? 170 : 220));
        QCOMPARE(c.IEPitch, quint16(key == "IEPitch" ? 100 : 50));
        QCOMPARE(c.IEVolume, quint16(key == "IEVolume" ? 100 : 100));
        QCOMPARE(c.CESpeed, quint16(key == "CESpeed" ? 170 : 180));
        QCOMPARE(c.CEPitch, quint16(key == "CEPitch" ? 100 : 40));
        QCOMPARE(c.CEVolume, quint16(key == "CEVolume" ? 100 : 90));
        QCOMPARE(v1.speech->Speed(), quint32(c.IESpeed));
        QCOMPARE(v2.speech->Pitch(), c.CEPitch);
        // Filters: a damaged switch reads as on.
        QCOMPARE(c.IEUseMultiFilter, key == "IEUseMultiFilter");
        QCOMPARE(c.IEUseSingleFilter, key == "IEUseSingleFilter");
        QCOMPARE(c.CEUseMultiFilter, key == "CEUseMultiFilter");
        QCOMPARE(c.CEUseSingleFilter, key == "CEUseSingleFilter");

        // Saving writes a complete, readable file again.
        SaveSpeechConfiguration();
        const QString repaired = GetSpeechValue(key);
        QVERIFY(!repaired.startsWith("err-"));
        QVERIFY(repaired != "много");
    }

    void outOfRangeNumbersAreReplaced()
    {
        QByteArray bytes = iniBytes();
        bytes.replace("IEVolume=100", "IEVolume=101");
        bytes.replace("CESpeed=180", "CESpeed=65536");
        bytes.replace("ActiveControl=1", "ActiveControl=2");
        bytes.replace("IEPitch=50", "IEPitch=-3");
        writeIni(bytes);
        Voice v1, v2;
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), m_onError);
        QCOMPARE(m_errors.size(), 4);
        QCOMPARE(SpeechConfig.IEVolume, quint16(100));
        QCOMPARE(SpeechConfig.CESpeed, quint16(170));
        QCOMPARE(SpeechConfig.ActiveControl, quint8(0));
        QCOMPARE(SpeechConfig.IEPitch, quint16(100));
        checkBothSpeak(v1, v2);
    }

    void missingFileGivesWorkingVoicesAndOneReport()
    {
        Voice v1, v2;
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), m_onError);
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(m_errors.first().contains("speech.ini"));
        QCOMPARE(v1.selected(), QStringLiteral("Recording voice 3"));
        QCOMPARE(v2.selected(), QStringLiteral("Recording voice 1"));
        QCOMPARE(GetActiveSpeech(), 1);
        checkBothSpeak(v1, v2);
        SaveSpeechConfiguration();
        QCOMPARE(GetSpeechValue("ActiveControl"), QStringLiteral("0"));
        QCOMPARE(GetSpeechValue("InterfaceEngineName"), QStringLiteral("Recording voice 3"));
    }

    void engineNamesNotInstalled_data()
    {
        QTest::addColumn<int>("modes");
        QTest::addColumn<QString>("interfaceFallback");
        QTest::newRow("three engines") << 3 << "Recording voice 3";
        QTest::newRow("two engines") << 2 << "Recording voice 1";
        QTest::newRow("one engine") << 1 << "Recording voice 1";
    }

    // The interface voice takes the third engine, or the first when there are fewer; the
    // channel voice the first. The name used is stored.
    void engineNamesNotInstalled()
    {
        QFETCH(int, modes);
        QFETCH(QString, interfaceFallback);
        QByteArray bytes = iniBytes();
        bytes.replace("Recording voice 2", "espeak-ng Russian (ru)");
        bytes.replace("recording VOICE 3", "Microsoft Irina");
        writeIni(bytes);
        Voice v1(modes), v2(modes);
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), m_onError);
        QCOMPARE(m_errors.size(), 2);
        QVERIFY(m_errors[0].contains("espeak-ng Russian (ru)"));
        QVERIFY(m_errors[1].contains("Microsoft Irina"));
        QCOMPARE(v1.selected(), interfaceFallback);
        QCOMPARE(v2.selected(), QStringLiteral("Recording voice 1"));
        QCOMPARE(SpeechConfig.InterfaceEngineName, interfaceFallback);
        QCOMPARE(SpeechConfig.ChannelEngineName, QStringLiteral("Recording voice 1"));
        QCOMPARE(v1.speech->Speed(), 220u);
        checkBothSpeak(v1, v2);
        SaveSpeechConfiguration();
        QCOMPARE(GetSpeechValue("InterfaceEngineName"), interfaceFallback);
    }

    void refusingEngineIsPassedOver()
    {
        writeIni(iniBytes());
        Voice v1(3, {"Recording voice 2"}), v2;
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), m_onError);
        QCOMPARE(m_errors.size(), 2);
        QCOMPARE(v1.selected(), QStringLiteral("Recording voice 3"));
        QCOMPARE(SpeechConfig.InterfaceEngineName, QStringLiteral("Recording voice 3"));
        checkBothSpeak(v1, v2);
    }

    void noEngineAtAllIsReportedAndQuiet()
    {
        writeIni(iniBytes());
        TSpeech none(std::vector<std::unique_ptr<ISpeechEngine>>{});
        Voice v2;
        ConfigureSpeech(&none, v2.speech.get(), m_onError);
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(m_errors.first().contains("interface voice"));
        // Silent, not an error on every text.
        none.Speak(QStringLiteral("Меню"));
        v2.speech->Speak(QStringLiteral("Привет"));
        QCOMPARE(v2.recording->spokenTexts().last(), QStringLiteral("Привет"));
    }

    // A voice switched off is silent (no error per text) but has its engine, so switching it
    // on again needs no restart.
    void switchedOffVoiceIsSilent()
    {
        QByteArray bytes = iniBytes();
        bytes.replace("UseChannelEngine=-1", "UseChannelEngine=0");
        writeIni(bytes);
        Voice v1, v2;
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), m_onError);
        QCOMPARE(m_errors, QStringList());
        QVERIFY(v2.speech->EngineSelected());
        QVERIFY(!v2.speech->Enabled());
        v2.recording->clear();
        v2.speech->Speak(QStringLiteral("Привет"));
        QCOMPARE(v2.recording->spokenTexts(), QStringList());
        QVERIFY(v1.speech->Enabled());
    }

    void ruleFilesLoadedWhenAskedAndMissingOnesReported()
    {
        QByteArray bytes = iniBytes();
        bytes.replace("CEUseMultiFilter=0", "CEUseMultiFilter=-1");
        bytes.replace("IEUseSingleFilter=0", "IEUseSingleFilter=True");
        writeIni(bytes);
        QVERIFY(QFile::remove(m_dir->filePath("singlerules.ini")));
        Voice v1, v2;
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), m_onError);
        // singlerules.ini is not there: reported, and speech goes on with the word rules.
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(m_errors.first().contains("singlerules.ini"));
        QCOMPARE(MultiRulesCount(), 1);
        // The tables are shared: the interface voice filters too.
        v1.recording->clear();
        v1.speech->Speak(QStringLiteral("LOL all"));
        QCOMPARE(v1.recording->spokenTexts(), QStringList{"laughing all"});
    }

    void activeSpeechTruthTable_data()
    {
        QTest::addColumn<int>("active");
        QTest::addColumn<bool>("useInterface");
        QTest::addColumn<bool>("useChannel");
        QTest::addColumn<int>("expected");
        for (int active : {0, 1, 2})
            for (bool ui : {false, true})
                for (bool uc : {false, true}) {
                    const int expected = active == 0 && ui ? 1 : active == 1 && uc ? 2 : 0;
                    QTest::addRow("panel %d, interface %d, channel %d", active, ui, uc)
                        << active << ui << uc << expected;
                }
    }

    void activeSpeechTruthTable()
    {
        QFETCH(int, active);
        QFETCH(bool, useInterface);
        QFETCH(bool, useChannel);
        QFETCH(int, expected);
        SpeechConfig.ActiveControl = quint8(active);
        SpeechConfig.UseInterfaceEngine = useInterface;
        SpeechConfig.UseChannelEngine = useChannel;
        QCOMPARE(GetActiveSpeech(), expected);
    }

    void stripTurnsEverythingBelowZeroIntoBlanks()
    {
        QString all;
        for (char16_t c = 1; c < 128; ++c)
            all += QChar(c);
        const QString stripped = StripForSpeech(all);
        for (qsizetype i = 0; i < stripped.size(); ++i) {
            const char16_t original = all.at(i).unicode();
            QCOMPARE(stripped.at(i), original < u'0' ? QChar(u' ') : QChar(original));
        }
        QCOMPARE(StripForSpeech(QStringLiteral("Hi, all!!!")), QStringLiteral("Hi  all   "));
        QCOMPARE(StripForSpeech(QStringLiteral("Привет-мир: 10:30 ёЁ № «да»")),
                 QStringLiteral("Привет мир: 10:30 ёЁ № «да»"));
        QCOMPARE(StripForSpeech(QString()), QString());
    }
};

QTEST_GUILESS_MAIN(TestSpeechConfig)
#include "test_speech_config.moc"
