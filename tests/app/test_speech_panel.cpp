// The speech panel driven by real key events over two recording voices: which voice each
// control acts on, what speech.ini holds afterwards, the test phrase, "Сброс чтения",
// switching a voice off and on, "Reset" and a speech.ini that cannot be written.

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
#include <QVBoxLayout>

namespace {

using Kind = TRecordingSpeechEngine::CallKind;
const QString Phrase = QStringLiteral("Талвин ай эр це клиент.");

struct Voice
{
    std::unique_ptr<TRecordingSpeechEngine> engine = std::make_unique<TRecordingSpeechEngine>();
    TRecordingSpeechEngine *recording = engine.get();
    std::unique_ptr<TSpeech> speech = std::make_unique<TSpeech>(std::move(engine));
};

// Both voices configured from the given speech.ini and the panel shown in an active window.
struct Bench
{
    explicit Bench(const QByteArray &replace = {}, const QByteArray &with = {})
    {
        QDir(dir.path()).mkpath("config");
        SetProgramDir(dir.path());
        QFile file(dir.filePath("config/speech.ini"));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray("[Speech]\nUseInterfaceEngine=-1\nUseChannelEngine=-1\n"
                              "InterfaceEngineName=Recording voice 2\nIESpeed=220\nIEPitch=50\n"
                              "IEVolume=100\nIEUseMultiFilter=0\nIEUseSingleFilter=0\n"
                              "ChannelEngineName=Recording voice 3\nCESpeed=180\nCEPitch=40\n"
                              "CEVolume=90\nCEUseMultiFilter=0\nCEUseSingleFilter=0\n"
                              "ActiveControl=0\n")
                       .replace(replace, with));
        file.close();
        SpeechConfig = TSpeechConfig();
        ClearSpeechRules();
        const auto report = [this](const QString &m) { errors.append(m); };
        ConfigureSpeech(v1.speech.get(), v2.speech.get(), report);
        panel = new TSpeechPanel(v1.speech.get(), v2.speech.get(), &window, report);
        (new QVBoxLayout(&window))->addWidget(panel);
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            qWarning("the test window did not become active");
        panel->TogglePanel();
        forget();
    }
    QString ini(const char *key) const { return GetSpeechValue(QLatin1String(key)); }
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
    // Values handed to a voice's engine, in order, for one kind of call.
    static QStringList calls(const Voice &voice, Kind kind)
    {
        QStringList values;
        for (const auto &call : voice.recording->calls())
            if (call.kind == kind)
                values.append(kind == Kind::Select ? call.text : QString::number(call.value));
        return values;
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
    void eachControlActsOnTheShownVoiceOnly()
    {
        Bench b("IESpeed=220", "IESpeed=999"); // the engine keeps at most 400
        QCOMPARE(QApplication::focusWidget(), b.panel->VoxComboBox2);
        QCOMPARE(b.panel->VoxComboBox1->currentText(), QStringLiteral("Recording voice 2"));
        QCOMPARE(b.panel->ScrollBar1->value(), 400);
        QCOMPARE(b.ini("IESpeed"), QStringLiteral("400"));
        QCOMPARE(b.ini("CESpeed"), QStringLiteral("180"));

        b.key(b.panel->VoxComboBox2, Qt::Key_Down); // the channel voice
        QCOMPARE(b.ini("ActiveControl"), QStringLiteral("1"));
        QCOMPARE(b.panel->VoxComboBox1->currentText(), QStringLiteral("Recording voice 3"));
        QCOMPARE(b.panel->ScrollBar1->value(), 180);
        b.forget();
        b.key(b.panel->ScrollBar1, Qt::Key_Right);
        b.key(b.panel->ScrollBar2, Qt::Key_PageDown);
        b.key(b.panel->ScrollBar3, Qt::Key_Home);
        QCOMPARE(Bench::calls(b.v2, Kind::Speed), QStringList{"181"});
        QCOMPARE(Bench::calls(b.v2, Kind::Pitch), QStringList{"30"});
        QCOMPARE(Bench::calls(b.v2, Kind::Volume), QStringList{"0"});
        QCOMPARE(Bench::calls(b.v1, Kind::Speed) + Bench::calls(b.v1, Kind::Pitch) +
                     Bench::calls(b.v1, Kind::Volume),
                 QStringList());
        QCOMPARE(b.ini("CESpeed") + b.ini("CEPitch") + b.ini("CEVolume"), "181300");
        QCOMPARE(b.ini("IESpeed") + b.ini("IEPitch"), "40050");
        // The bar says its label on focus and its new value after the key, on the
        // interface voice.
        QVERIFY(b.v1.recording->spokenTexts().contains("Скорость 180"));
        QVERIFY(b.v1.recording->spokenTexts().contains("181"));

        // Another engine for the channel voice: it starts from its own speed.
        b.forget();
        b.key(b.panel->VoxComboBox1, Qt::Key_Up);
        QCOMPARE(Bench::calls(b.v2, Kind::Select), QStringList{"Recording voice 2"});
        QCOMPARE(Bench::calls(b.v1, Kind::Select), QStringList());
        QCOMPARE(b.ini("ChannelEngineName"), QStringLiteral("Recording voice 2"));
        QCOMPARE(b.v2.speech->Speed(), 170u);
        // The test phrase on the shown voice; "Сброс чтения" always stops the channel voice.
        b.forget();
        b.key(b.panel->VoxButton1, Qt::Key_Space);
        QCOMPARE(b.v2.recording->speakAndStop(), QStringList{Phrase});
        QVERIFY(!b.v1.recording->spokenTexts().contains(Phrase));
        b.key(b.panel->VoxComboBox2, Qt::Key_Up); // back to the interface voice
        QCOMPARE(b.panel->ScrollBar1->value(), 400);
        b.v2.speech->Speak(QStringLiteral("длинное сообщение канала"));
        b.forget();
        QTest::mouseClick(b.panel->Button1, Qt::LeftButton);
        QCOMPARE(b.v2.recording->speakAndStop(), QStringList{"<stop>"});
        QVERIFY(!b.v1.recording->speakAndStop().contains("<stop>"));
        // "Reset": the interface voice back to its engine's defaults, stored.
        b.forget();
        b.key(b.panel->VoxButton3, Qt::Key_Space);
        QCOMPARE(Bench::calls(b.v1, Kind::Select), QStringList{"Recording voice 2"});
        QCOMPARE(b.panel->ScrollBar1->value(), 170);
        QCOMPARE(b.ini("IESpeed") + b.ini("IEPitch"), "170100");
        QCOMPARE(b.errors, QStringList());
    }

    // The interface voice off: the bars change no voice but still rewrite speech.ini;
    // switching it on again works at once.
    void switchedOffVoiceAndSwitchingItBackOn()
    {
        Bench b("UseInterfaceEngine=-1", "UseInterfaceEngine=0");
        QVERIFY(!b.panel->VoxCheckBox5->isChecked());
        QVERIFY(!b.v1.speech->Enabled());
        QVERIFY(QFile::remove(b.dir.filePath("config/speech.ini")));
        b.key(b.panel->ScrollBar1, Qt::Key_Right);
        QCOMPARE(Bench::calls(b.v1, Kind::Speed) + Bench::calls(b.v2, Kind::Speed), QStringList());
        QCOMPARE(b.ini("IESpeed") + b.ini("UseInterfaceEngine"), "2200");
        b.key(b.panel->VoxCheckBox5, Qt::Key_Space);
        QVERIFY(b.v1.speech->Enabled());
        QCOMPARE(b.ini("UseInterfaceEngine"), QStringLiteral("-1"));
        b.forget();
        b.key(b.panel->VoxButton1, Qt::Key_Space);
        QCOMPARE(b.v1.recording->spokenTexts().last(), Phrase);
        b.key(b.panel->VoxCheckBox5, Qt::Key_Space);
        QVERIFY(!b.v1.speech->Enabled());
        QCOMPARE(b.ini("UseInterfaceEngine"), QStringLiteral("0"));

        // A speech.ini that cannot be written: the change still reaches the voice, and the
        // failure is reported instead of escaping into Qt.
        b.key(b.panel->VoxCheckBox5, Qt::Key_Space);
        QCOMPARE(b.errors, QStringList());
        QVERIFY(QFile::remove(b.dir.filePath("config/speech.ini")));
        QVERIFY(QDir(b.dir.path()).mkpath("config/speech.ini"));
        const quint32 speed = b.v1.speech->Speed();
        b.key(b.panel->ScrollBar1, Qt::Key_Right);
        QCOMPARE(b.v1.speech->Speed(), speed + 1);
        QCOMPARE(b.errors.size(), 1);
        QVERIFY2(b.errors.first().contains("speech.ini"), qPrintable(b.errors.first()));
    }
};

QTEST_MAIN(TestSpeechPanel)
#include "test_speech_panel.moc"
