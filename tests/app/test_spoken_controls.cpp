// The speech panel and the menu bar, driven by real key events over recording voices: which
// voice each control acts on and what speech.ini holds afterwards; each menu caption and
// item, "вышел из меню" only when the menus are left altogether.
#include "app/menu_announcer.h"
#include "app/speech_panel.h"
#include "config/config_files.h"
#include "file_bytes.h"
#include "speech/controls/vox_controls.h"
#include "speech/recording_speech_engine.h"
#include "speech/speech_config.h"
#include "speech/speech_filters.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace {

using Kind = TRecordingSpeechEngine::CallKind;
const QString Phrase = "Талвин ай эр це клиент.";

// Both voices configured from the given speech.ini and the panel shown in an active window.
struct Bench
{
    explicit Bench(const QByteArray &replace = {}, const QByteArray &with = {})
    {
        SetProgramDir(dir.path());
        WriteBytes(dir.filePath("config/speech.ini"),
                   QByteArray("[Speech]\nUseInterfaceEngine=-1\nUseChannelEngine=-1\n"
                              "InterfaceEngineName=Recording voice 2\nIESpeed=220\nIEPitch=50\n"
                              "IEVolume=100\nIEUseMultiFilter=0\nIEUseSingleFilter=0\n"
                              "ChannelEngineName=Recording voice 3\nCESpeed=180\nCEPitch=40\n"
                              "CEVolume=90\nCEUseMultiFilter=0\nCEUseSingleFilter=0\n"
                              "ActiveControl=0\n")
                       .replace(replace, with));
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
    static QStringList calls(const TRecordedVoice &voice, Kind kind)
    {
        QStringList values;
        for (const auto &call : voice.recording->calls())
            if (call.kind == kind)
                values.append(kind == Kind::Select ? call.text : QString::number(call.value));
        return values;
    }

    QTemporaryDir dir;
    TRecordedVoice v1 = MakeRecordedVoice(), v2 = MakeRecordedVoice(2);
    QStringList errors;
    QWidget window;
    TSpeechPanel *panel = nullptr;
};

const QString Stop = "<stop>";

const QString Left = "вышел из меню";

// The shape of the main window's menu: a separator and a sub-menu.
struct MenuBench
{
    MenuBench()
    {
        SetProgramDir(dir.path());
        QMenuBar *bar = window.menuBar();
        QMenu *server = bar->addMenu("&Сервер");
        connect = server->addAction("Подключиться");
        server->addSeparator();
        server->addAction("Выход");
        QMenu *commands = bar->addMenu("&Команды");
        commands->addAction("Список каналов");
        QMenu *codePage = commands->addMenu("Кодировка");
        codePage->addAction("KOI-8");
        codePage->addAction("OEM");
        new TMenuAnnouncer(bar, voice.speech.get(), &window);
        QObject::connect(connect, &QAction::triggered, [this] { // speaks, as commands do
            voice.speech->Stop();
            voice.speech->Speak("Подключение");
        });
        window.setCentralWidget(new QLineEdit);
        window.show();
        QApplication::setActiveWindow(&window);
        active = QTest::qWaitForWindowActive(&window);
    }

    // Sends a key to whatever has the keyboard now (an open menu, the bar, the window);
    // letters outside ASCII go with their text, as a keyboard layout delivers them.
    QStringList key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        voice.recording->clear();
        QWidget *target = QApplication::activePopupWidget();
        target = target ? target : QApplication::focusWidget();
        target = target ? target : &window;
        if (key > 0x7f && key < 0x10000)
            QTest::sendKeyEvent(QTest::Click, target, key, QString(QChar(key).toLower()),
                                modifiers);
        else
            QTest::keyClick(target, key, modifiers);
        // Lets the menu settle (menus decide about leaving after the event).
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return voice.recording->speakAndStop();
    }

    QTemporaryDir dir;
    TRecordedVoice voice = MakeRecordedVoice();
    QMainWindow window;
    QAction *connect = nullptr;
    bool active = false;
};

QStringList said(std::initializer_list<const char *> texts)
{
    QStringList result;
    for (const char *text : texts)
        result << Stop << QString::fromUtf8(text);
    return result;
}

} // namespace

class TestSpokenControls : public QObject
{
    Q_OBJECT

private slots:
    void eachControlActsOnTheShownVoiceOnly()
    {
        Bench b("IESpeed=220", "IESpeed=999"); // the engine keeps at most 400
        QCOMPARE(QApplication::focusWidget(), b.panel->VoxComboBox2);
        QCOMPARE(b.panel->VoxComboBox1->currentText() + b.ini("IESpeed") + b.ini("CESpeed") +
                     QString::number(b.panel->ScrollBar1->value()),
                 "Recording voice 2400180400");

        b.key(b.panel->VoxComboBox2, Qt::Key_Down); // the channel voice
        QCOMPARE(b.ini("ActiveControl") + b.panel->VoxComboBox1->currentText() +
                     QString::number(b.panel->ScrollBar1->value()),
                 "1Recording voice 3180");
        b.forget();
        b.key(b.panel->ScrollBar1, Qt::Key_Right);
        b.key(b.panel->ScrollBar2, Qt::Key_PageDown);
        b.key(b.panel->ScrollBar3, Qt::Key_Home);
        // Speed, pitch and volume of the channel voice only.
        QCOMPARE(Bench::calls(b.v2, Kind::Speed) + Bench::calls(b.v2, Kind::Pitch) +
                     Bench::calls(b.v2, Kind::Volume) + Bench::calls(b.v1, Kind::Speed) +
                     Bench::calls(b.v1, Kind::Pitch) + Bench::calls(b.v1, Kind::Volume),
                 QStringList({"181", "30", "0"}));
        QCOMPARE(b.ini("CESpeed") + b.ini("CEPitch") + b.ini("CEVolume") + b.ini("IESpeed") +
                     b.ini("IEPitch"),
                 "18130040050");
        // The bar says its label on focus and its new value after the key, on the
        // interface voice.
        QVERIFY(b.v1.recording->spokenTexts().contains("Скорость 180") &&
                b.v1.recording->spokenTexts().contains("181"));

        // Another engine for the channel voice: it starts from its own speed.
        b.forget();
        b.key(b.panel->VoxComboBox1, Qt::Key_Up);
        QCOMPARE(Bench::calls(b.v2, Kind::Select) + Bench::calls(b.v1, Kind::Select),
                 QStringList{"Recording voice 2"});
        QCOMPARE(b.ini("ChannelEngineName") + QString::number(b.v2.speech->Speed()),
                 "Recording voice 2170");
        // The test phrase on the shown voice; "Сброс чтения" always stops the channel voice.
        b.forget();
        b.key(b.panel->VoxButton1, Qt::Key_Space);
        QCOMPARE(b.v2.recording->speakAndStop(), QStringList{Phrase});
        QVERIFY(!b.v1.recording->spokenTexts().contains(Phrase));
        b.key(b.panel->VoxComboBox2, Qt::Key_Up); // back to the interface voice
        QCOMPARE(b.panel->ScrollBar1->value(), 400);
        b.v2.speech->Speak("длинное сообщение канала");
        b.forget();
        QTest::mouseClick(b.panel->Button1, Qt::LeftButton);
        QCOMPARE(b.v2.recording->speakAndStop(), QStringList{"<stop>"});
        QVERIFY(!b.v1.recording->speakAndStop().contains("<stop>"));
        // "Reset": the interface voice back to its engine's defaults, stored.
        b.forget();
        b.key(b.panel->VoxButton3, Qt::Key_Space);
        QCOMPARE(Bench::calls(b.v1, Kind::Select), QStringList{"Recording voice 2"});
        QCOMPARE(QString::number(b.panel->ScrollBar1->value()) + b.ini("IESpeed") +
                     b.ini("IEPitch") + b.errors.join(u'|'),
                 "170170100");
    }

    // The interface voice off: the bars change no voice but still rewrite speech.ini;
    // switching it on again works at once.
    void switchedOffVoiceAndSwitchingItBackOn()
    {
        Bench b("UseInterfaceEngine=-1", "UseInterfaceEngine=0");
        QVERIFY(!b.panel->VoxCheckBox5->isChecked() && !b.v1.speech->Enabled());
        QVERIFY(QFile::remove(b.dir.filePath("config/speech.ini")));
        b.key(b.panel->ScrollBar1, Qt::Key_Right);
        QCOMPARE(Bench::calls(b.v1, Kind::Speed) + Bench::calls(b.v2, Kind::Speed), QStringList());
        QCOMPARE(b.ini("IESpeed") + b.ini("UseInterfaceEngine"), "2200");
        b.key(b.panel->VoxCheckBox5, Qt::Key_Space);
        QVERIFY(b.v1.speech->Enabled() && b.ini("UseInterfaceEngine") == "-1");
        b.forget();
        b.key(b.panel->VoxButton1, Qt::Key_Space);
        QCOMPARE(b.v1.recording->spokenTexts().last(), Phrase);
        b.key(b.panel->VoxCheckBox5, Qt::Key_Space);
        QVERIFY(!b.v1.speech->Enabled() && b.ini("UseInterfaceEngine") == "0");

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

    void walkingTheMenusSaysCaptionsAndItems()
    {
        MenuBench b;
        QVERIFY(b.active);
        QCOMPARE(b.key(Qt::Key(u'С'), Qt::AltModifier), said({"Сервер", "Подключиться"}));
        QCOMPARE(b.key(Qt::Key_Down), said({"Выход"})); // over the separator
        // Moving to the next menu is no leaving; the sub-menu's own items are heard too.
        QCOMPARE(b.key(Qt::Key_Right), said({"Команды", "Список каналов"}));
        QCOMPARE(b.key(Qt::Key_Down), said({"Кодировка"}));
        QCOMPARE(b.key(Qt::Key_Right), said({"KOI-8"}));
        QCOMPARE(b.key(Qt::Key_Down), said({"OEM"}));
        QCOMPARE(b.key(Qt::Key_Left), QStringList()); // closes the sub-menu only
        QCOMPARE(b.key(Qt::Key_Left), said({"Сервер", "Подключиться"}));
        // Escape closes the menu, the bar keeps its highlight; a second Escape leaves.
        QCOMPARE(b.key(Qt::Key_Escape), said({"Сервер"}));
        QCOMPARE(b.key(Qt::Key_Escape), QStringList({Stop, Left}));
        QCOMPARE(b.key(Qt::Key_A), QStringList());
        // Alt alone puts the bar in keyboard mode, as on other desktops.
        QCOMPARE(b.key(Qt::Key_Alt), said({"Сервер"}));
        QCOMPARE(b.key(Qt::Key_Right), said({"Команды"}));
        QCOMPARE(b.key(Qt::Key_Escape), QStringList({Stop, Left}));
        // Chosen by key or by mouse: leaving is said once, before the command speaks.
        b.key(Qt::Key(u'С'), Qt::AltModifier);
        QCOMPARE(b.key(Qt::Key_Return), QStringList({Stop, Left, Stop, "Подключение"}));
        b.key(Qt::Key(u'С'), Qt::AltModifier);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(b.connect).center());
        QCoreApplication::processEvents();
        const QStringList heard = b.voice.recording->speakAndStop();
        QCOMPARE(heard.mid(heard.indexOf(Left) - 1),
                 QStringList({Stop, Left, Stop, "Подключение"}));
    }
};

QTEST_MAIN(TestSpokenControls)
#include "test_spoken_controls.moc"
