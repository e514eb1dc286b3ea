// The speech panel driven by real key events over two recording voices: which voice each
// control acts on, what speech.ini holds afterwards, the test phrase, "Сброс чтения",
// switching a voice off and on, "Reset", the editor hooks, captions and a speech.ini that
// cannot be written.

#include "app/speech_panel.h"
#include "config/config_files.h"
#include "speech/controls/vox_controls.h"
#include "speech/recording_speech_engine.h"
#include "speech/speech_config.h"
#include "speech/speech_filters.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

using Kind = TRecordingSpeechEngine::CallKind;

const QByteArray CompleteIni = "[Speech]\r\n"
                               "UseInterfaceEngine=-1\r\n"
                               "UseChannelEngine=-1\r\n"
                               "InterfaceEngineName=Recording voice 2\r\n"
                               "IESpeed=220\r\n"
                               "IEPitch=50\r\n"
                               "IEVolume=100\r\n"
                               "IEUseMultiFilter=0\r\n"
                               "IEUseSingleFilter=0\r\n"
                               "ChannelEngineName=Recording voice 3\r\n"
                               "CESpeed=180\r\n"
                               "CEPitch=40\r\n"
                               "CEVolume=90\r\n"
                               "CEUseMultiFilter=0\r\n"
                               "CEUseSingleFilter=0\r\n"
                               "ActiveControl=0\r\n";

struct Voice
{
    Voice()
    {
        auto engine = std::make_unique<TRecordingSpeechEngine>();
        recording = engine.get();
        speech = std::make_unique<TSpeech>(std::move(engine));
    }
    // Values handed to the engine by the setters, in order.
    QList<quint32> set(Kind kind) const
    {
        QList<quint32> values;
        for (const auto &call : recording->calls())
            if (call.kind == kind)
                values.append(call.value);
        return values;
    }
    QStringList selects() const
    {
        QStringList names;
        for (const auto &call : recording->calls())
            if (call.kind == Kind::Select)
                names.append(call.text);
        return names;
    }
    std::unique_ptr<TSpeech> speech;
    TRecordingSpeechEngine *recording = nullptr;
};

// A program directory with the given speech.ini, both voices configured from it and the
// panel shown in an active window.
struct Bench
{
    explicit Bench(const QByteArray &ini = CompleteIni)
    {
        QDir(dir.path()).mkpath("config");
        SetProgramDir(dir.path());
        if (!ini.isNull()) {
            QFile file(dir.filePath("config/speech.ini"));
            file.open(QIODevice::WriteOnly);
            file.write(ini);
        }
        SpeechConfig = TSpeechConfig();
        ClearSpeechRules();
        ConfigureSpeech(v1.speech.get(), v2.speech.get(),
                        [this](const QString &m) { errors.append(m); });
        panel = new TSpeechPanel(v1.speech.get(), v2.speech.get(), &window,
                                 [this](const QString &m) { errors.append(m); });
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(panel);
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            qWarning("the test window did not become active");
        panel->TogglePanel();
        forget();
    }

    QString ini(const QString &key) const { return GetSpeechValue(key); }
    void forget()
    {
        v1.recording->clear();
        v2.recording->clear();
    }
    void key(QWidget *widget, Qt::Key key)
    {
        widget->setFocus(Qt::TabFocusReason);
        QTest::keyClick(widget, key);
    }

    QTemporaryDir dir;
    Voice v1, v2;
    QStringList errors;
    QWidget window;
    TSpeechPanel *panel = nullptr;
};

} // namespace

class TestSpeechPanel : public QObject
{
    Q_OBJECT

private slots:
    void loadsTheInterfaceVoiceAndStoresWhatItUses()
    {
        QByteArray ini = CompleteIni;
        ini.replace("IESpeed=220", "IESpeed=999"); // the engine keeps at most 400
        Bench b(ini);
        QCOMPARE(b.errors, QStringList());
        QVERIFY(b.panel->isVisible());
        QCOMPARE(QApplication::focusWidget(), b.panel->VoxComboBox2);
        QVERIFY(b.panel->VoxCheckBox5->isChecked());
        QCOMPARE(b.panel->VoxComboBox1->count(), 3);
        QCOMPARE(b.panel->VoxComboBox1->currentText(), QStringLiteral("Recording voice 2"));
        QCOMPARE(b.panel->ScrollBar1->minimum(), 50);
        QCOMPARE(b.panel->ScrollBar1->maximum(), 400);
        QCOMPARE(b.panel->ScrollBar1->value(), 400);
        QCOMPARE(b.panel->ScrollBar2->maximum(), 200);
        QCOMPARE(b.panel->ScrollBar2->value(), 50);
        QCOMPARE(b.panel->ScrollBar3->maximum(), 100);
        QCOMPARE(b.panel->ScrollBar3->value(), 100);
        // Loading did not touch either voice's settings.
        QCOMPARE(b.v1.speech->Speed(), 400u);
        QCOMPARE(b.v2.speech->Speed(), 180u);
        QCOMPARE(b.ini("IESpeed"), QStringLiteral("400"));
        QCOMPARE(b.ini("CESpeed"), QStringLiteral("180"));
    }

    void channelsChosenThenSpeedActsOnTheChannelVoiceOnly()
    {
        Bench b;
        b.key(b.panel->VoxComboBox2, Qt::Key_Down);
        QCOMPARE(b.panel->VoxComboBox2->currentIndex(), 1);
        QCOMPARE(SpeechConfig.ActiveControl, quint8(1));
        QCOMPARE(b.ini("ActiveControl"), QStringLiteral("1"));
        QCOMPARE(b.panel->VoxComboBox1->currentText(), QStringLiteral("Recording voice 3"));
        QCOMPARE(b.panel->ScrollBar1->value(), 180);
        QCOMPARE(b.panel->ScrollBar2->value(), 40);
        QCOMPARE(b.panel->ScrollBar3->value(), 89);

        b.forget();
        b.key(b.panel->ScrollBar1, Qt::Key_Right);
        QCOMPARE(b.v2.set(Kind::Speed), QList<quint32>{181});
        QCOMPARE(b.v1.set(Kind::Speed), QList<quint32>());
        QCOMPARE(b.v2.speech->Speed(), 181u);
        QCOMPARE(b.v1.speech->Speed(), 220u);
        QCOMPARE(b.ini("CESpeed"), QStringLiteral("181"));
        QCOMPARE(b.ini("IESpeed"), QStringLiteral("220"));
        // The bar says its label on focus and its new value after the key, on the
        // interface voice.
        QVERIFY(b.v1.recording->spokenTexts().contains("Скорость 180"));
        QCOMPARE(b.v1.recording->spokenTexts().last(), QStringLiteral("181"));

        b.key(b.panel->ScrollBar2, Qt::Key_PageDown);
        QCOMPARE(b.v2.speech->Pitch(), quint16(30));
        QCOMPARE(b.ini("CEPitch"), QStringLiteral("30"));
        QCOMPARE(b.ini("IEPitch"), QStringLiteral("50"));
        b.key(b.panel->ScrollBar3, Qt::Key_Home);
        QCOMPARE(b.v2.speech->Volume(), 0u);
        QCOMPARE(b.ini("CEVolume"), QStringLiteral("0"));
        QCOMPARE(b.v1.speech->Volume(), 100u);
        QCOMPARE(b.v1.set(Kind::Pitch), QList<quint32>());
        QCOMPARE(b.v1.set(Kind::Volume), QList<quint32>());

        // And back to the interface voice.
        b.key(b.panel->VoxComboBox2, Qt::Key_Up);
        QCOMPARE(b.ini("ActiveControl"), QStringLiteral("0"));
        QCOMPARE(b.panel->ScrollBar1->value(), 220);
    }

    void engineListSelectsForTheShownVoice()
    {
        Bench b;
        b.key(b.panel->VoxComboBox2, Qt::Key_Down);
        b.forget();
        b.key(b.panel->VoxComboBox1, Qt::Key_Up);
        QCOMPARE(b.v2.selects(), QStringList{"Recording voice 2"});
        QCOMPARE(b.v1.selects(), QStringList());
        QCOMPARE(b.ini("ChannelEngineName"), QStringLiteral("Recording voice 2"));
        QCOMPARE(b.ini("InterfaceEngineName"), QStringLiteral("Recording voice 2"));
        // The stored speed stays; the engine starts from its own.
        QCOMPARE(b.ini("CESpeed"), QStringLiteral("180"));
        QCOMPARE(b.v2.speech->Speed(), 170u);
    }

    void resetReturnsTheVoiceToItsEngineDefaults()
    {
        Bench b;
        b.key(b.panel->ScrollBar1, Qt::Key_PageUp);
        QCOMPARE(b.ini("IESpeed"), QStringLiteral("230"));
        b.forget();
        b.key(b.panel->VoxButton3, Qt::Key_Space);
        QCOMPARE(b.v1.selects(), QStringList{"Recording voice 2"});
        QCOMPARE(b.v2.selects(), QStringList());
        QCOMPARE(b.panel->ScrollBar1->value(), 170);
        QCOMPARE(b.panel->ScrollBar2->value(), 100);
        QCOMPARE(b.ini("IESpeed"), QStringLiteral("170"));
        QCOMPARE(b.ini("IEPitch"), QStringLiteral("100"));
        QCOMPARE(b.ini("IEVolume"), QStringLiteral("100"));
        QCOMPARE(b.ini("CESpeed"), QStringLiteral("180"));
    }

    void testPhraseOnTheShownVoiceAndResetReadingStopsTheChannelVoice()
    {
        Bench b;
        b.key(b.panel->VoxButton1, Qt::Key_Space);
        QCOMPARE(b.v1.recording->spokenTexts().last(), QStringLiteral("Талвин ай эр це клиент."));
        QCOMPARE(b.v2.recording->spokenTexts(), QStringList());

        b.key(b.panel->VoxComboBox2, Qt::Key_Down);
        b.forget();
        b.key(b.panel->VoxButton1, Qt::Key_Space);
        QCOMPARE(b.v2.recording->speakAndStop(), QStringList{"Талвин ай эр це клиент."});
        QVERIFY(!b.v1.recording->spokenTexts().contains("Талвин ай эр це клиент."));

        b.v2.speech->Speak(QStringLiteral("длинное сообщение канала"));
        b.forget();
        QTest::mouseClick(b.panel->Button1, Qt::LeftButton);
        QCOMPARE(b.v2.recording->speakAndStop(), QStringList{"<stop>"});
        QVERIFY(!b.v1.recording->speakAndStop().contains("<stop>"));
    }

    // The interface voice off: the panel shows the switch off, leaves the rest, the bars
    // change no voice but still rewrite speech.ini; switching it on again works at once.
    void switchedOffVoiceAndSwitchingItBackOn()
    {
        QByteArray ini = CompleteIni;
        ini.replace("UseInterfaceEngine=-1", "UseInterfaceEngine=0");
        Bench b(ini);
        QVERIFY(!b.panel->VoxCheckBox5->isChecked());
        QCOMPARE(b.panel->VoxComboBox1->currentIndex(), 0);
        QVERIFY(!b.v1.speech->Enabled());
        QVERIFY(QFile::remove(b.dir.filePath("config/speech.ini")));
        b.key(b.panel->ScrollBar1, Qt::Key_Right);
        QCOMPARE(b.v1.set(Kind::Speed), QList<quint32>());
        QCOMPARE(b.v2.set(Kind::Speed), QList<quint32>());
        QCOMPARE(b.ini("IESpeed"), QStringLiteral("220"));
        QCOMPARE(b.ini("UseInterfaceEngine"), QStringLiteral("0"));

        b.key(b.panel->VoxCheckBox5, Qt::Key_Space);
        QVERIFY(b.panel->VoxCheckBox5->isChecked());
        QVERIFY(b.v1.speech->Enabled());
        QCOMPARE(b.ini("UseInterfaceEngine"), QStringLiteral("-1"));
        QCOMPARE(b.panel->ScrollBar1->value(), 220);
        QCOMPARE(b.panel->VoxComboBox1->currentText(), QStringLiteral("Recording voice 2"));
        b.forget();
        b.key(b.panel->VoxButton1, Qt::Key_Space);
        QCOMPARE(b.v1.recording->spokenTexts().last(), QStringLiteral("Талвин ай эр це клиент."));

        // Off again: silent at once, no error.
        b.key(b.panel->VoxCheckBox5, Qt::Key_Space);
        QVERIFY(!b.v1.speech->Enabled());
        QCOMPARE(b.ini("UseInterfaceEngine"), QStringLiteral("0"));
        QCOMPARE(b.errors, QStringList());
    }

    void editorHooksAndHiding()
    {
        Bench b;
        QList<int> pages;
        QList<bool> shown;
        b.panel->OnShowConfigEditor = [&](int page) { pages.append(page); };
        b.panel->OnVisibleChanged = [&](bool visible) { shown.append(visible); };
        b.key(b.panel->VoxButton2, Qt::Key_Space);
        b.key(b.panel->VoxButton4, Qt::Key_Space);
        QCOMPARE(pages, (QList<int>{5, 4}));
        QTest::mouseClick(b.panel->SpeedButton2, Qt::LeftButton);
        QVERIFY(b.panel->isHidden());
        b.panel->TogglePanel();
        QVERIFY(!b.panel->isHidden());
        b.panel->TogglePanel();
        QCOMPARE(shown, (QList<bool>{false, true, false}));
    }

    void captionsKeepTheShownVoice()
    {
        Bench b;
        b.key(b.panel->VoxComboBox2, Qt::Key_Down);
        QFile captions(b.dir.filePath("config/caption.ini"));
        QVERIFY(captions.open(QIODevice::WriteOnly));
        captions.write("[Captions]\nLabel1=Голос\nVoxComboBox2_int=Интерфейс\n"
                       "VoxComboBox2_cn=Каналы\nButton1=Сброс чтения\n");
        captions.close();
        b.panel->LoadCaptions();
        QCOMPARE(b.panel->VoxComboBox2->currentText(), QStringLiteral("Каналы"));
        QCOMPARE(b.panel->Button1->text(), QStringLiteral("Сброс чтения"));
        QCOMPARE(b.panel->VoxButton1->text(), QStringLiteral("err-VoxButton1"));
        b.forget();
        b.panel->VoxComboBox1->setFocus(Qt::TabFocusReason);
        b.panel->VoxComboBox2->setFocus(Qt::TabFocusReason);
        QCOMPARE(b.v1.recording->spokenTexts().last(), QStringLiteral("Голос Каналы"));
    }

    // A speech.ini that cannot be written: every change still reaches the voice, and the
    // failure is reported instead of escaping into Qt.
    void unwritableFileIsReportedAndTheVoiceStillChanges()
    {
        Bench b;
        QVERIFY(QFile::remove(b.dir.filePath("config/speech.ini")));
        QVERIFY(QDir(b.dir.path()).mkpath("config/speech.ini")); // a directory in its place
        b.errors.clear();
        b.key(b.panel->ScrollBar1, Qt::Key_Right);
        QCOMPARE(b.v1.speech->Speed(), 221u);
        QCOMPARE(b.errors.size(), 1);
        QVERIFY2(b.errors.first().contains("speech.ini"), qPrintable(b.errors.first()));
    }
};

QTEST_MAIN(TestSpeechPanel)
#include "test_speech_panel.moc"
