// The settings window: opened by its key, walked with Tab with every control heard, each
// change in force at once (channel voice limit, mention words, a new window's speech mode,
// the review keys' time) and kept in settings.ini; a damaged file gives the defaults.
#include "../channels/channel_bench.h"

#include "channels/channel_activity_keys.h"
#include "channels/presence_notes.h"
#include "channels/window_speech_mode.h"
#include "config/talvin_settings.h"
#include "dialogs/settings_form.h"
#include "speech/channel_speech_queue.h"

#include <QtTest>

class TestSettingsWindow : public QObject
{
    Q_OBJECT

private slots:
    void damagedFileGivesDefaults_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("read"); // mode, limit, presence, review time, reader, words
        QTest::newRow("missing") << QByteArray() << "focused 5 recent 0 0 ";
        static const char garbage[] = "\xff\xfe\x00[Sp\x01\nBacklogLimit"; // a NUL inside
        QTest::newRow("garbage") << QByteArray(garbage, sizeof garbage - 1)
                                 << "focused 5 recent 0 0 ";
        QTest::newRow("bad values")
            << QByteArray("[Speech]\nDefaultSpeechMode=loud\nBacklogLimit=0\nPresenceSpeech=x\n"
                          "ReviewTime=maybe\nScreenReaderControls=1\n[Mentions]\nWords= ,tea,\n")
            << "focused 5 recent 0 1 tea";
        QTest::newRow("good") << QByteArray("[Speech]\nDefaultSpeechMode=Silent\nBacklogLimit=12\n"
                                            "PresenceSpeech=never\nReviewTime=-1\n")
                              << "silent 12 never 1 0 ";
    }
    void damagedFileGivesDefaults()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, read);
        QTemporaryDir dir;
        SetProgramDir(dir.path());
        QDir(dir.path()).mkpath("config");
        if (!file.isEmpty()) {
            QFile out(ConfigFilePath("settings.ini"));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(file);
        }
        ReloadSettings();
        const TTalvinSettings &s = Settings();
        QCOMPARE(QStringList({s.DefaultSpeechMode, QString::number(s.BacklogLimit),
                              s.PresenceSpeech, QString::number(s.ReviewTime),
                              QString::number(s.ScreenReaderControls), s.MentionWords.join(',')})
                     .join(' '),
                 read);
    }

    void walkedByKeysAndInForceAtOnce()
    {
        ChannelBench bench;
        TForm1 *window = bench.start();
        ReloadSettings();
        TRecordingSpeechEngine *voice = bench.interfaceVoice;
        auto press = [&](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            voice->clear();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
            return voice->spokenTexts().join('|');
        };
        press(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(window->SettingsForm && window->SettingsForm->SpeechMode->hasFocus());
        QStringList heard{voice->spokenTexts().join('|')};
        for (int control = 0; control < 6; ++control)
            heard << press(Qt::Key_Tab);
        QCOMPARE(heard,
                 QStringList({"Параметры|Режим чтения новых окон каналов: читать только в "
                              "активном окне",
                              "Сколько сообщений ждут чтения, прежде чем их заменит сводка: 5",
                              "Слова, которые делают сообщение упоминанием, через запятую: пуст",
                              "Чтение входов и выходов, пока окно не выбрало своё: входы и выходы "
                              "только тех, кто говорил",
                              "CheckBox Называть время при просмотре сообщений",
                              "CheckBox Элементы окон читает экранный диктор, а не Талвин",
                              "Button Закрыть"}));

        // Each change holds at once.
        TSettingsForm *form = window->SettingsForm;
        form->SpeechMode->setFocus();
        heard = QStringList{press(Qt::Key_Down)};
        form->BacklogLimit->setFocus();
        press(Qt::Key_Backspace);
        press(Qt::Key_2);
        form->MentionWords->setFocus();
        TypeText(form->MentionWords, "tea, milk");
        form->PresenceSpeech->setFocus();
        press(Qt::Key_Down);
        form->ReviewTime->setFocus();
        heard << press(Qt::Key_Space);
        QCOMPARE(heard, QStringList({"не читать", "CheckBox -1"}));
        QCOMPARE(window->ChannelQueue->Limit(), 2);
        QCOMPARE(HighlightWords(), QStringList({"tea", "milk"}));
        QCOMPARE(GetConfigValue("settings.ini", "Speech", "ReviewTime"), "1");
        QCOMPARE(GetConfigValue("settings.ini", "Mentions", "Words"), "tea, milk");
        TChannelForm *channel = ChannelFormAt(NewChannelForm("#new"));
        QCOMPARE(SpeechModeOf(channel->Options), TWindowSpeechMode::Silent);
        QCOMPARE(channel->Presence->Setting(), TPresenceSpeech::Always);
        channel->Recive("bob", "hi");
        channel->VoxEdit1->setFocus();
        QTRY_VERIFY(channel->_Focused());
        bench.channelVoice->clear();
        QTest::keyClick(channel->VoxEdit1, Qt::Key_1, Qt::AltModifier);
        QVERIFY2(QRegularExpression("^bob hi  \\d+:\\d\\d:\\d\\d$")
                     .match(bench.channelTexts().value(0))
                     .hasMatch(),
                 qPrintable(bench.channelTexts().join('|')));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
