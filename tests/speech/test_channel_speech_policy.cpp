// What the channel voice reads of a flood, and how chat text is cleaned before speaking.
#include "speech/channel_speech_queue.h"
#include "speech/recording_speech_engine.h"
#include "speech/speech_text_cleanup.h"

#include <QtTest>

class TestChannelSpeechPolicy : public QObject
{
    Q_OBJECT

private slots:
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
        // The engine reports from its first text on.
        queue.Speak("first", "#c");
        QTRY_VERIFY(queue.Idle());
        voice.recording->clear();
        // The whole burst arrives before the voice reports anything, as a flood does.
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
    }
    void russianSummaryPlurals()
    {
        QStringList said;
        for (int n : {1, 2, 5, 11, 21, 37, 104})
            said << TChannelSpeechQueue::RussianSummary(n, "#к");
        QCOMPARE(said, QStringList({"ещё 1 сообщение в #к", "ещё 2 сообщения в #к",
                                    "ещё 5 сообщений в #к", "ещё 11 сообщений в #к",
                                    "ещё 21 сообщение в #к", "ещё 37 сообщений в #к",
                                    "ещё 104 сообщения в #к"}));
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
        QTest::newRow("www address") << "www.kernel.org/doc"
                                     << "kernel.org";
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

QTEST_GUILESS_MAIN(TestChannelSpeechPolicy)
#include "test_channel_speech_policy.moc"
