// TSpeech over the recording engine: what reaches the engine and in which order, the
// filters on the way, errors, volume arithmetic and limits, notifications, transcript.

#include "config/config_files.h"
#include "speech/recording_speech_engine.h"
#include "speech/speech_filters.h"
#include "speech/tspeech.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

namespace {

using Kind = TRecordingSpeechEngine::CallKind;

// An engine whose enumeration fails, as on a machine without any speech engine.
class BrokenEngine : public TRecordingSpeechEngine
{
public:
    QList<TSpeechMode> modes() override { throw std::runtime_error("no engine"); }
};

QString errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const ESpeechException &e) {
        return e.message();
    }
    return QStringLiteral("no error");
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<missing>")};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestTSpeech : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(name));
        file.write(bytes);
        return file.fileName();
    }

private slots:
    void init()
    {
        ClearSpeechRules();
        SetProgramDir(m_dir.path());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void constructionState()
    {
        TSpeech speech(std::make_unique<TRecordingSpeechEngine>());
        QVERIFY(speech.Inited());
        QVERIFY(speech.Enabled());
        QVERIFY(!speech.EngineSelected());
        QCOMPARE(speech.Output(), soGeneral);
        QCOMPARE(speech.Version(), QStringLiteral("TSpeech 1.0"));
        QCOMPARE(speech.EngineNames(),
                 QStringList({"Recording voice 1", "Recording voice 2", "Recording voice 3"}));
    }

    void speakAndStopReachEngineInOrder()
    {
        auto voice = MakeRecordedVoice();
        voice.speech->Speak(QStringLiteral("Первый"));
        voice.speech->Speak(QStringLiteral("Второй"));
        voice.speech->Stop();
        voice.speech->Speak(QStringLiteral("Третий"));
        QCOMPARE(voice.recording->speakAndStop(),
                 QStringList({"Первый", "Второй", "<stop>", "Третий"}));
    }

    void emptyTextDoesNothingEvenWithoutEngine()
    {
        TSpeech speech(std::make_unique<TRecordingSpeechEngine>());
        speech.Speak(QString()); // no engine selected, yet no error
        auto voice = MakeRecordedVoice();
        voice.speech->Speak(QString());
        QVERIFY(voice.recording->calls().isEmpty());
    }

    void oneCharacterUsesCharacterRulesOnly()
    {
        auto voice = MakeRecordedVoice();
        QVERIFY(LoadSingleRules(writeFile("singlerules.ini", "[a]=эй\n[b]=бэ\n")));
        QVERIFY(LoadMultiRules(writeFile("multirules.ini", "a=альфа\nab=аб\n")));
        voice.speech->Speak(QStringLiteral("a"));
        voice.speech->Speak(QStringLiteral("ab"));
        voice.speech->Speak(QStringLiteral("\r"));
        QCOMPARE(voice.recording->speakAndStop(), QStringList({"эй", "альфаb", ""}));
    }

    void loadingThroughEitherVoiceFiltersBoth()
    {
        auto one = MakeRecordedVoice(1);
        auto two = MakeRecordedVoice(2);
        two.speech->LoadMultiRules(writeFile("multirules.ini", "irc=ай эр це\n"));
        one.speech->Speak(QStringLiteral("IRC клиент"));
        two.speech->Speak(QStringLiteral("мой irc"));
        QCOMPARE(one.recording->spokenTexts(), QStringList({"ай эр це клиент"}));
        QCOMPARE(two.recording->spokenTexts(), QStringList({"мой ай эр це"}));
    }

    void tagsAreSpokenAsText()
    {
        auto voice = MakeRecordedVoice();
        voice.speech->SetSpeed(200);
        voice.recording->clear();
        voice.speech->Speak(QStringLiteral("\\Spd=400\\ быстро"));
        QCOMPARE(voice.recording->speakAndStop(), QStringList({"\\Spd=400\\ быстро"}));
        QCOMPARE(voice.speech->Speed(), 200u);
    }

    void disabledVoiceFiltersButSaysNothing()
    {
        auto voice = MakeRecordedVoice();
        voice.speech->SetEnabled(false);
        voice.speech->Speak(QStringLiteral("тишина"));
        QVERIFY(voice.recording->calls().isEmpty());
    }

    void errors()
    {
        TSpeech speech(std::make_unique<TRecordingSpeechEngine>());
        QCOMPARE(errorOf([&] { speech.Speak(QStringLiteral("нет голоса")); }),
                 QStringLiteral("msgSENotStarted"));
        QCOMPARE(errorOf([&] { speech.SelectEngine(QStringLiteral("No such voice")); }),
                 QStringLiteral("msgSENotFound"));

        // No engine at all: not inited and disabled; switched on again, it reports so.
        TSpeech broken(std::make_unique<BrokenEngine>());
        QVERIFY(!broken.Inited());
        QVERIFY(!broken.Enabled());
        broken.Speak(QStringLiteral("ничего")); // disabled: silently nothing
        broken.SetEnabled(true);
        QCOMPARE(errorOf([&] { broken.Speak(QStringLiteral("ничего")); }),
                 QStringLiteral("msgSENotInited"));
        QCOMPARE(errorOf([&] { broken.SelectEngine(QStringLiteral("x")); }),
                 QStringLiteral("msgSENotInited"));

        TSpeech none(std::vector<std::unique_ptr<ISpeechEngine>>{});
        QVERIFY(!none.Inited());
        QVERIFY(!none.Enabled());
        QVERIFY(none.EngineNames().isEmpty());
        none.Speak(QStringLiteral("никто не слышит"));
        none.Stop();
    }

    void selectionIgnoresCaseAndKeepsVoiceOnUnknownName()
    {
        auto engine = std::make_unique<TRecordingSpeechEngine>();
        TRecordingSpeechEngine *recording = engine.get();
        TSpeech speech(std::move(engine));
        speech.SelectEngine(QStringLiteral("RECORDING VOICE 2"));
        QCOMPARE(speech.EngineInfo().ModeName, QStringLiteral("Recording voice 2"));
        QCOMPARE(errorOf([&] { speech.SelectEngine(QStringLiteral("Recording voice 9")); }),
                 QStringLiteral("msgSENotFound"));
        QCOMPARE(speech.EngineInfo().ModeName, QStringLiteral("Recording voice 2"));
        speech.Speak(QStringLiteral("всё ещё говорю"));
        QCOMPARE(recording->calls().first().kind, Kind::Select);
        QCOMPARE(recording->calls().first().text, QStringLiteral("Recording voice 2"));
        QCOMPARE(recording->spokenTexts(), QStringList({"всё ещё говорю"}));
    }

    void limitsProbedByClampingAndValuesRestored()
    {
        auto voice = MakeRecordedVoice();
        const TSpeechEngineInfo &info = voice.speech->EngineInfo();
        QCOMPARE(info.MaxPitch, quint16(200));
        QCOMPARE(info.MinPitch, quint16(0));
        QCOMPARE(info.MaxSpeed, 400u);
        QCOMPARE(info.MinSpeed, 50u);
        QCOMPARE(info.MaxRealTime, 100u);
        QCOMPARE(info.MinRealTime, 100u);
        QCOMPARE(info.MaxVolume, 100u);
        QCOMPARE(info.MinVolume, 0u);
        QCOMPARE(info.Gender, QStringLiteral("NEUTRAL"));
        QCOMPARE(voice.speech->Pitch(), quint16(100));
        QCOMPARE(voice.speech->Speed(), 170u);
    }

    void volumeArithmetic()
    {
        auto voice = MakeRecordedVoice();
        voice.speech->SetVolume(100);
        voice.speech->SetVolume(50);
        voice.speech->SetVolume(0);
        const QList<TRecordingSpeechEngine::Call> calls = voice.recording->calls();
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls[0].value, 4294967295u);
        QCOMPARE(calls[1].value, 2147450879u);
        QCOMPARE(calls[2].value, 0u);
        voice.speech->SetVolume(50);
        QCOMPARE(voice.speech->Volume(), 49u);
        voice.speech->SetVolume(100);
        QCOMPARE(voice.speech->Volume(), 100u);
        // A stored 150 % must not wrap round to a quiet voice.
        voice.speech->SetVolume(150);
        QCOMPARE(voice.recording->calls().last().value, 4294967295u);
        QCOMPARE(voice.speech->Volume(), 100u);
    }

    void pitchAndSpeedGoToEngine()
    {
        auto voice = MakeRecordedVoice();
        voice.speech->SetPitch(120);
        voice.speech->SetSpeed(1000);
        QCOMPARE(voice.speech->Pitch(), quint16(120));
        QCOMPARE(voice.speech->Speed(), 400u); // clamped by the engine
    }

    void notificationsArriveOnOwnThreadLater()
    {
        auto voice = MakeRecordedVoice();
        voice.recording->setAutoNotify(true);
        QStringList events;
        voice.speech->OnStart = [&](TSpeech *sender) {
            QCOMPARE(sender, voice.speech.get());
            events << "start";
        };
        voice.speech->OnStop = [&](TSpeech *) { events << "stop"; };
        voice.speech->Speak(QStringLiteral("раз"));
        QVERIFY(events.isEmpty()); // queued, not called inside Speak
        QTRY_COMPARE(events, QStringList({"start", "stop"}));
    }

    void fileOutputPassesFileName()
    {
        auto voice = MakeRecordedVoice();
        voice.speech->SetOutput(soFile);
        voice.speech->SetFilename(m_dir.filePath("out.wav"));
        voice.speech->Speak(QStringLiteral("в файл"));
        const auto calls = voice.recording->calls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[0].kind, Kind::Output);
        QCOMPARE(calls[0].value, quint32(soFile));
        QCOMPARE(calls[0].text, m_dir.filePath("out.wav"));
        QCOMPARE(calls[1].text, QStringLiteral("в файл"));
    }

    void transcriptOnlyWhenFileExists()
    {
        auto one = MakeRecordedVoice(1);
        auto two = MakeRecordedVoice(2);
        const QString path = m_dir.filePath("log/speech.txt");
        one.speech->Speak(QStringLiteral("не записано"));
        QVERIFY(!QFile::exists(path)); // never created by the program

        QDir().mkpath(m_dir.filePath("log"));
        writeFile("log/speech.txt", QByteArray());
        one.speech->LoadMultiRules(writeFile("multirules.ini", "лол=смешно\n"));
        one.speech->Speak(QStringLiteral("Меню"));
        two.speech->Speak(QStringLiteral("лол, привет"));
        two.speech->Stop();
        one.speech->Speak(QStringLiteral("x"));
        one.speech->Speak(QStringLiteral("две\nстроки"));
        one.speech->SetEnabled(false);
        one.speech->Speak(QStringLiteral("выключен"));
        QCOMPARE(readLines(path),
                 QStringList({"1 Меню", "2 смешно, привет", "2 <stop>", "1 x", "1 две строки"}));
    }
};

QTEST_GUILESS_MAIN(TestTSpeech)
#include "test_tspeech.moc"
