// The speech core over recording engines: the character and word filters (rule files in
// both encodings and all line ends, order, case, the scan rule, limits), what a voice hands
// its engine and in which order, its errors and volume arithmetic, the transcript,
// speech.ini with both voices configured from it (damaged keys included), what the channel
// voice reads of a flood and how chat text is cleaned before speaking.

#include "config/config_files.h"
#include "speech/channel_speech_queue.h"
#include "speech/recording_speech_engine.h"
#include "speech/speech_config.h"
#include "speech/speech_filters.h"
#include "speech/speech_text_cleanup.h"
#include "speech/tspeech.h"

#include "file_bytes.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include <stdexcept>

namespace {

QByteArray cp1251(const QString &text)
{
    return QTextCodec::codecForName("Windows-1251")->fromUnicode(text);
}

QString errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const ESpeechException &e) {
        return e.message();
    }
    return "no error";
}

// Offers only the first count of the recording engine's modes; refuses the modes named;
// with count -1 its enumeration fails, as on a machine without any speech engine.
class LimitedEngine : public TRecordingSpeechEngine
{
public:
    LimitedEngine(int count, QStringList refused = {}) : m_count(count), m_refused(refused) {}
    QList<TSpeechMode> modes() override
    {
        if (m_count < 0)
            throw std::runtime_error("no engine");
        return TRecordingSpeechEngine::modes().mid(0, m_count);
    }
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
    QString selected() const
    {
        return speech->EngineSelected() ? speech->EngineInfo().ModeName : QString();
    }
    std::unique_ptr<TSpeech> speech;
    TRecordingSpeechEngine *recording = nullptr;
};

// speech.ini: each key, its stored value, and what it becomes when damaged (the engine's
// own values 170, 100 and 100 %, the voice's usual engine, filters on, interface panel).
const QList<std::array<QString, 3>> SpeechIni = {
    {"UseInterfaceEngine", "-1", "-1"},
    {"UseChannelEngine", "-1", "-1"},
    {"InterfaceEngineName", "Recording voice 2", "Recording voice 3"},
    {"IESpeed", "220", "170"},
    {"IEPitch", "50", "100"},
    {"IEVolume", "100", "100"},
    {"IEUseMultiFilter", "0", "-1"},
    {"IEUseSingleFilter", "0", "-1"},
    {"ChannelEngineName", "recording VOICE 3", "Recording voice 1"},
    {"CESpeed", "180", "170"},
    {"CEPitch", "40", "100"},
    {"CEVolume", "90", "100"},
    {"CEUseMultiFilter", "0", "-1"},
    {"CEUseSingleFilter", "0", "-1"},
    {"ActiveControl", "1", "0"},
};

// The complete file with one key left out (value null) or given the value.
QByteArray iniBytes(const QString &key = {}, const QString &value = {})
{
    QByteArray bytes = "; Два голоса\r\n[Speech]\r\n";
    for (const auto &[k, stored, damaged] : SpeechIni) {
        if (k != key || !value.isNull())
            bytes += (k + u'=' + (k == key ? value : stored)).toUtf8() + "\r\n";
    }
    return bytes;
}

} // namespace

class TestSpeechCore : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_errors;
    TSpeechConfigErrorHandler m_onError = [this](const QString &m) { m_errors.append(m); };

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        WriteBytes(m_dir->filePath(name), bytes);
        return m_dir->filePath(name);
    }
    QByteArray readFile(const QString &name) const { return ReadBytes(m_dir->filePath(name)); }
    void configure(Voice &v1, Voice &v2)
    {
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), m_onError);
    }

    // Both voices speak a text and the engines receive it.
    static void checkBothSpeak(Voice &v1, Voice &v2)
    {
        v1.recording->clear();
        v2.recording->clear();
        v1.speech->Speak("Меню");
        v2.speech->Speak("Привет всем");
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

    void wordRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const QByteArray &file, const QString &text,
                      const QString &expected) { QTest::newRow(name) << file << text << expected; };
        row("any case, inside words", "lol=laughing\r\n", "LOL and lollipop",
            "laughing and laughinglipop");
        row("later rule sees earlier result", "xd=lol\r\nlol=laughing\r\n", "xd!", "laughing!");
        row("earlier rule comes too late", "lol=laughing\r\nxd=lol\r\n", "xd!", "lol!");
        row("resume one past the replacement", "a=b", "aaaa aXa", "baba bXb");
        row("replacement not rescanned", "ab=abab", "ab ab", "abab abab");
        row("empty replacement", "abc=", "xabc abc abcabc", "x  abc");
        row("Cyrillic in any case", "привет=здравствуй\r\nЁЖ=ёжик", "ПРИВЕТ, Привет! ёж",
            "здравствуй, здравствуй! ёжик");
        // x==y: source x, replacement y. A leading "=" is skipped; no "=" or an empty
        // source: no rule; further "=" in the replacement are dropped.
        row("line splitting", "x==y\r\n=qq=r\r\nnoequals\r\n==z\r\nkk=a=b=c", "x qq kk noequals z",
            "y r abc noequals z");
        row("up to the first empty line", "one=1\r\n\r\ntwo=2\r\n", "one two", "1 two");
        for (const char *end : {"\r\n", "\n", "\r"})
            row(qPrintable("Windows-1251, line end " + QByteArray(end).toHex()),
                cp1251(QString("кот=кошка%1dog=puppy%1%1cow=calf%1").arg(end)), "Кот, dog, cow",
                "кошка, puppy, cow");
        // "РЁ" in Windows-1251 is also valid UTF-8 ("Ш"): a clean UTF-8 reading wins.
        row("valid UTF-8 wins", "\xD0\xA8=sha\n", "Ш ш", "sha sha");
        row("byte order mark", "\xEF\xBB\xBFlol=laughing\n", "lol", "laughing");
    }

    void wordRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, text);
        QVERIFY(LoadMultiRules(writeFile("multirules.ini", file)));
        QTEST(ApplyMultiRules(text), "expected");
    }

    void characterRules()
    {
        // The second character is replaced by the fifth onward; the last rule for a
        // character wins; an empty replacement leaves it as it is. The file is read as the
        // word rules are (encodings, line ends).
        QVERIFY(LoadSingleRules(writeFile(
            "singlerules.ini", "[x]=ex\r\n'y'-why\r\n'y'-igrek\r\n-z--\r\n-,- comma\r\n")));
        QStringList out;
        for (const char *text : {"x", "X", "y", "z", ",", "\r", "xx"})
            out << ApplySingleRules(text);
        QCOMPARE(out.join(u'|'), "ex|X|igrek|z|comma||xx");
    }

    void ruleTablesStopAtTheirLimitsAndSurviveBadFiles()
    {
        QByteArray bytes;
        for (int i = 0; i < 300; ++i)
            bytes += "[" + QByteArray(1, char('A' + i % 26)) + "]=r" + QByteArray::number(i) + "\n";
        QVERIFY(LoadSingleRules(writeFile("singlerules.ini", bytes)));
        QCOMPARE(ApplySingleRules("U"), "r254"); // rule 254 is the last one read
        QCOMPARE(ApplySingleRules("V"), "r229"); // not rule 255
        QVERIFY(LoadMultiRules(writeFile("multirules.ini", "w1x=r\n")));

        // A missing word rule file clears the table; a missing character rule file keeps it.
        for (int i = 0; i < 2; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Speech rules .*absent.ini"));
        QVERIFY(!LoadMultiRules(m_dir->filePath("absent.ini")));
        QVERIFY(!LoadSingleRules(m_dir->filePath("absent.ini")));
        QCOMPARE(ApplyMultiRules("w1x") + ApplySingleRules("U"), "w1xr254");
        QVERIFY(LoadMultiRules(writeFile("junk.ini", "\x01\x02=\xFF\n=\nq\n")));
        QVERIFY(LoadSingleRules(writeFile("junk.ini", "q\n\x01\n")));
    }

    void whatReachesTheEngine()
    {
        auto voice = MakeRecordedVoice();
        auto other = MakeRecordedVoice(2);
        QVERIFY(LoadSingleRules(writeFile("singlerules.ini", "[a]=эй\n")));
        other.speech->LoadMultiRules(writeFile("multirules.ini", "a=альфа\n")); // shared tables
        voice.speech->SetSpeed(200);
        voice.recording->clear();
        voice.speech->Speak("Первый");
        voice.speech->Speak(QString()); // nothing at all
        voice.speech->Stop();
        voice.speech->Speak("a");  // one character: character rules only
        voice.speech->Speak("ab"); // longer: word rules only
        voice.speech->Speak("\r");
        voice.speech->Speak("\\Spd=400\\ быстро"); // tags are text
        voice.speech->SetEnabled(false);
        voice.speech->Speak("тишина");
        QCOMPARE(voice.recording->speakAndStop(),
                 QStringList({"Первый", "<stop>", "эй", "альфаb", "", "\\Spd=400\\ быстро"}));
        QCOMPARE(voice.speech->Speed(), 200u);
        // The transcript is written only while its file exists.
        auto one = MakeRecordedVoice(1);
        auto two = MakeRecordedVoice(2);
        one.speech->Speak("не записано");
        QVERIFY(!QFile::exists(m_dir->filePath("log/speech.txt"))); // never created by the program
        QDir().mkpath(m_dir->filePath("log"));
        writeFile("log/speech.txt", QByteArray());
        one.speech->LoadMultiRules(writeFile("multirules.ini", "лол=смешно\n"));
        one.speech->Speak("Меню");
        two.speech->Speak("лол, привет");
        two.speech->Stop();
        one.speech->Speak("две\nстроки");
        one.speech->SetEnabled(false);
        one.speech->Speak("выключен");
        QCOMPARE(QString::fromUtf8(readFile("log/speech.txt")),
                 "1 Меню\n2 смешно, привет\n2 <stop>\n1 две строки\n");
    }

    void voiceErrors()
    {
        TSpeech speech(std::make_unique<TRecordingSpeechEngine>());
        speech.Speak(QString()); // no engine selected, yet an empty text is no error
        QCOMPARE(errorOf([&] { speech.Speak("нет голоса"); }), "msgSENotStarted");
        speech.SelectEngine("RECORDING VOICE 2");
        QCOMPARE(errorOf([&] { speech.SelectEngine("Recording voice 9"); }), "msgSENotFound");
        QCOMPARE(speech.EngineInfo().ModeName, "Recording voice 2"); // kept
        speech.Speak("всё ещё говорю");

        // No engine at all: not inited and disabled; switched on again, it reports so.
        TSpeech broken(std::make_unique<LimitedEngine>(-1));
        QVERIFY(!broken.Inited() && !broken.Enabled());
        broken.Speak("ничего"); // disabled: silently nothing
        broken.SetEnabled(true);
        QCOMPARE(errorOf([&] { broken.Speak("ничего"); }) +
                     errorOf([&] { broken.SelectEngine("x"); }),
                 "msgSENotInitedmsgSENotInited");
        auto voice = MakeRecordedVoice();
        voice.speech->SetSpeed(1000); // the engine's limit, probed by clamping
        QCOMPARE(voice.speech->Speed(), 400u);
        voice.recording->clear();
        for (quint32 percent : {100u, 50u, 0u, 150u}) // a stored 150 % must not wrap round
            voice.speech->SetVolume(percent);
        QList<quint32> values;
        for (const auto &call : voice.recording->calls())
            values << call.value;
        QCOMPARE(values, QList<quint32>({4294967295u, 2147450879u, 0u, 4294967295u}));
        QCOMPARE(voice.speech->Volume(), 100u);
        voice.speech->SetVolume(50);
        QCOMPARE(voice.speech->Volume(), 49u);
    }

    void speechIni_data()
    {
        QTest::addColumn<QString>("key"); // the key damaged; empty: none, "*": no file at all
        QTest::addColumn<QString>("value");
        QTest::newRow("complete") << QString() << QString();
        QTest::newRow("no file") << "*" << QString();
        for (const auto &[key, stored, damaged] : SpeechIni) {
            QTest::addRow("%s missing", qPrintable(key)) << key << QString();
            // Names are free text: garbage there is a name no engine carries.
            QTest::addRow("%s garbage", qPrintable(key))
                << key << (key.endsWith("Name") ? "Нет такого" : "много");
        }
        // Out of range.
        for (const auto &[key, value] : {std::pair{"IEVolume", "101"},
                                         {"CESpeed", "65536"},
                                         {"ActiveControl", "2"},
                                         {"IEPitch", "-3"}})
            QTest::addRow("%s %s", key, value) << QString(key) << QString(value);
    }

    // Whatever one key holds, it is reported once, both voices come up and speak, the key
    // gets a working value, every other key is kept, and a save writes them all back (a
    // complete file byte for byte). Without the file every key takes its working value.
    void speechIni()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        if (key != "*")
            writeFile("config/speech.ini", iniBytes(key, value));
        Voice v1, v2;
        configure(v1, v2);
        QCOMPARE(m_errors.size(), key.isEmpty() ? 0 : 1);
        const QString report = key == "*" ? "speech.ini" : value == "Нет такого" ? value : key;
        QVERIFY2(key.isEmpty() || m_errors.first().contains(report), qPrintable(m_errors.value(0)));
        checkBothSpeak(v1, v2);
        QMap<QString, QString> expected;
        for (const auto &[k, stored, damaged] : SpeechIni)
            expected[k] = k == key || key == "*" ? damaged : stored;
        QCOMPARE((v1.selected() + '|' + v2.selected()).toLower(),
                 (expected["InterfaceEngineName"] + '|' + expected["ChannelEngineName"]).toLower());
        QCOMPARE(v1.speech->Speed(), expected["IESpeed"].toUInt());
        QCOMPARE(v2.speech->Pitch(), expected["CEPitch"].toUShort());
        // 90 % as a 16-bit channel value reads back as 89.
        QCOMPARE(v2.speech->Volume(), expected["CEVolume"] == "90" ? 89u : 100u);
        QCOMPARE(GetActiveSpeech(), expected["ActiveControl"].toInt() + 1);
        SaveSpeechConfiguration();
        for (const auto &[k, stored, damaged] : SpeechIni)
            QCOMPARE(GetSpeechValue(k), expected[k]);
        if (key.isEmpty())
            QCOMPARE(readFile("config/speech.ini"), iniBytes());
    }

    // Names not installed: the interface voice takes the third engine, or the first when
    // there are fewer; the channel voice the first. The names used are stored.
    void enginesNotInstalled()
    {
        writeFile("config/speech.ini", iniBytes()
                                           .replace("Recording voice 2", "espeak-ng Russian (ru)")
                                           .replace("recording VOICE 3", "Microsoft Irina"));
        Voice v1(2), v2(2);
        configure(v1, v2);
        QCOMPARE(m_errors.size(), 2);
        QVERIFY(m_errors[0].contains("espeak-ng Russian (ru)") && m_errors[1].contains("Irina"));
        QCOMPARE(v1.speech->Speed(), 220u);
        checkBothSpeak(v1, v2);
        SaveSpeechConfiguration();
        QCOMPARE(GetSpeechValue("InterfaceEngineName") + '|' + GetSpeechValue("ChannelEngineName"),
                 "Recording voice 1|Recording voice 1");
    }

    void refusingEngineOrNoEngineAtAll()
    {
        writeFile("config/speech.ini", iniBytes());
        Voice v1(3, {"Recording voice 2"}), v2;
        configure(v1, v2);
        QCOMPARE(m_errors.size(), 2);
        QCOMPARE(v1.selected(), "Recording voice 3");
        checkBothSpeak(v1, v2);
        m_errors.clear();
        TSpeech none(std::vector<std::unique_ptr<ISpeechEngine>>{});
        ConfigureSpeech(&none, v2.speech.get(), m_onError);
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(m_errors.first().contains("interface voice"));
        none.Speak("Меню"); // silent, not an error on every text
    }

    // A voice switched off is silent but keeps its engine, so switching it on needs no
    // restart. Rule files are loaded when asked for; a missing one is reported.
    void switchedOffVoiceAndRuleFiles()
    {
        QFile::remove(m_dir->filePath("singlerules.ini"));
        writeFile("config/speech.ini",
                  iniBytes()
                      .replace("UseChannelEngine=-1", "UseChannelEngine=0")
                      .replace("CEUseMultiFilter=0", "CEUseMultiFilter=-1")
                      .replace("IEUseSingleFilter=0", "IEUseSingleFilter=True"));
        Voice v1, v2;
        configure(v1, v2);
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(m_errors.first().contains("singlerules.ini"));
        QVERIFY(v2.speech->EngineSelected() && !v2.speech->Enabled());
        v2.recording->clear();
        v2.speech->Speak("Привет");
        QCOMPARE(v2.recording->spokenTexts(), QStringList());
        v1.recording->clear();
        v1.speech->Speak("LOL all"); // the tables are shared: the interface voice filters too
        QCOMPARE(v1.recording->spokenTexts(), QStringList{"laughing all"});
        QCOMPARE(StripForSpeech("Hi, all! Привет-мир: 10:30 ёЁ № «да»"),
                 "Hi  all  Привет мир: 10:30 ёЁ № «да»");
    }

    void floodIsSummarisedAndTheNewestRead_data()
    {
        QTest::addColumn<QStringList>("burst"); // "window text"
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("spoken");
        QStringList twelve;
        for (int i = 1; i <= 12; ++i)
            twelve << QStringLiteral("#c m%1").arg(i);
        QTest::newRow("under the limit")
            << QStringList{"#c a", "#c b", "#c c"} << 5 << QStringList{"a", "b", "c"};
        QTest::newRow("flood") << twelve << 5 << QStringList{"m1",  "m2", "m3",
                                                             "m4",  "m5", "ещё 2 сообщения в #c",
                                                             "m8",  "m9", "m10",
                                                             "m11", "m12"};
        QTest::newRow("two windows")
            << QStringList{"#a 1", "#b 2", "#a 3", "#b 4", "#a 5"} << 1
            << QStringList{"1", "ещё 2 сообщения в #b", "ещё 1 сообщение в #a", "5"};
    }
    void floodIsSummarisedAndTheNewestRead()
    {
        QFETCH(QStringList, burst);
        QFETCH(int, limit);
        TRecordedVoice voice = MakeRecordedVoice(2);
        voice.recording->setAutoNotify(true);
        TChannelSpeechQueue queue(voice.speech.get());
        queue.SetLimit(limit);
        // The whole burst arrives before the voice has reported anything, as a flood does.
        for (const QString &item : burst)
            queue.Speak(item.section(' ', 1), item.section(' ', 0, 0));
        QVERIFY(queue.Waiting() <= limit + 2);
        QTRY_VERIFY(queue.Idle());
        QTEST(voice.recording->spokenTexts(), "spoken");
    }
    void dropAndMuteSilenceTheQueue()
    {
        TRecordedVoice voice = MakeRecordedVoice(2);
        voice.recording->setAutoNotify(true);
        TChannelSpeechQueue queue(voice.speech.get());
        queue.Speak("first", "#c");
        QTRY_VERIFY(queue.Idle());
        voice.recording->setAutoNotify(false);
        voice.recording->clear();
        for (int i = 0; i < 9; ++i)
            queue.Speak(QString::number(i), "#c");
        queue.Drop();
        queue.SetMuted(true);
        queue.Speak("muted", "#c");
        queue.SpeakNow("asked for");
        QCOMPARE(voice.recording->speakAndStop(),
                 QStringList({"0", "1", "2", "3", "4", "<stop>", "<stop>", "asked for"}));
        QVERIFY(queue.Waiting() == 0);
        // An engine that never reports is never waited for.
        TRecordedVoice mute = MakeRecordedVoice(2);
        TChannelSpeechQueue plain(mute.speech.get());
        for (int i = 0; i < 9; ++i)
            plain.Speak(QString::number(i), "#c");
        QCOMPARE(mute.recording->spokenTexts().size(), 9);
        QStringList words;
        for (int n : {1, 2, 5, 11, 21, 37, 104})
            words << TChannelSpeechQueue::RussianSummary(n, "#к").section(' ', 2, 2);
        QCOMPARE(words.join(' '), "сообщение сообщения сообщений сообщений сообщение сообщений "
                                  "сообщения");
    }
    void textCleanup_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("zero-width and bidi marks")
            << QString::fromUtf8("при\u200Bвет \u202Eabc\u202C\uFEFF") << "привет abc";
        QTest::newRow("address to its host")
            << "see https://www.example.org/a/b?c=1 and http://x.ru:8080/ now"
            << "see example.org and x.ru now";
        QTest::newRow("www address, any case") << "at WwW.kernel.org/doc"
                                               << "at kernel.org";
        QTest::newRow("question marks") << "what?????"
                                        << "what? 5";
        QTest::newRow("emoji run")
            << QString::fromUtf8("ok 😂😂😂😂 yes") << QString::fromUtf8("ok 😂 4 yes");
        QTest::newRow("hearts with selectors")
            << QString::fromUtf8("❤️❤️❤️") << QString::fromUtf8("❤ 3");
        QTest::newRow("two stay, letters stay") << "??  ааааа 1111"
                                                << "??  ааааа 1111";
    }
    void textCleanup()
    {
        QFETCH(QString, text);
        QTEST(CollapseSymbolRuns(CleanSpeechText(text)), "spoken");
    }
};

QTEST_GUILESS_MAIN(TestSpeechCore)
#include "test_speech_core.moc"
