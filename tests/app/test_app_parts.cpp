// The parts around the windows: KOI8-R conversions against the system's code pages, the status
// view under a burst, the program directory and single start, a screen reader beside the
// program; the speech panel (which voice each control acts on, speech.ini afterwards) and the
// menus ("вышел из меню" only when they are left altogether), by real keys.
#include "app/codepage.h"
#include "app/menu_announcer.h"
#include "app/screen_reader_choice.h"
#include "app/single_instance.h"
#include "app/speech_panel.h"
#include "app/status_window.h"
#include "config/config_files.h"
#include "config/program_home.h"
#include "file_bytes.h"
#include "speech/controls/vox_controls.h"
#include "speech/recording_speech_engine.h"
#include "speech/screen_reader.h"
#include "speech/speech_config.h"
#include "speech/speech_filters.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <numeric>

namespace {
// The byte a character of one code page has in another, or -1 when that page lacks it.
int byteIn(const char *to, const char *from, int b)
{
    const char byte = static_cast<char>(b);
    const QChar ch = QTextCodec::codecForName(from)->toUnicode(&byte, 1).at(0);
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    const QByteArray out = QTextCodec::codecForName(to)->fromUnicode(&ch, 1, &state);
    return state.invalidChars == 0 && out.size() == 1 ? static_cast<unsigned char>(out[0]) : -1;
}

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

// The desktop's accessibility bus launcher, as far as its screen reader switch goes.
class FakeA11yStatus : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.a11y.Status")
    Q_PROPERTY(bool ScreenReaderEnabled MEMBER enabled)
public:
    bool enabled = false;
};

class TestAppParts : public QObject
{
    Q_OBJECT
private slots:
    // Where the target page lacks the character, the tables take a look-alike.
    void codePageTablesFollowTheSystemCodePages()
    {
        const QHash<int, int> lacking = {{0x93, 0xF4}, {0x97, 0xF7}, {0x98, 0xF3}, {0x99, 0xF2},
                                         {0x9B, 0xF5}, {0x9D, 0xFD}, {0x9F, 0xF6}, {0xBF, 0xFC}};
        const QHash<int, int> listed = {{0x8A, 0x3C}, {0x95, 0xA9}, {0x9B, 0x3E}, {0x9C, 0xB0},
                                        {0x9E, 0xB7}, {0xA1, 0xF6}, {0xA2, 0xF7}, {0xA3, 0x4A},
                                        {0xA5, 0xE7}, {0xAA, 0xB4}, {0xAB, 0x3C}, {0xAF, 0xB7},
                                        {0xB2, 0x49}, {0xB3, 0x69}, {0xB4, 0xC7}, {0xB9, 0xBF},
                                        {0xBA, 0xA4}, {0xBB, 0x3E}, {0xBC, 0x6A}, {0xBF, 0xA7}};
        for (int b = 0x80; b <= 0xFF; ++b) {
            const int in866 = byteIn("IBM866", "KOI8-R", b);
            QCOMPARE(in866 < 0, lacking.contains(b));
            QCOMPARE(int(Koi8ToCp866Table[b - 0x80]), in866 < 0 ? lacking.value(b) : in866);
            const bool letter = b >= 0xC0 || b == 0xA8 || b == 0xB8 || b == 0xB0 || b == 0xB7;
            QCOMPARE(int(Cp1251ToKoi8Table[b - 0x80]),
                     letter ? byteIn("KOI8-R", "windows-1251", b) : listed.value(b, b));
        }
        // Received through 866 and OEM-to-ANSI: every letter comes back, box drawing reads as
        // ASCII, never the length or the ASCII half.
        for (int b = 0xC0; b <= 0xFF; ++b) {
            QByteArray line = ConvertCp1251ToKoi8(QByteArray(1, char(b)));
            ConvertKoi8LineToCp1251(line);
            QCOMPARE(quint8(line[0]), quint8(b));
        }
        QByteArray frame("\x82\x80\x83\x81\x8A\xB3\xA3"), all(255, 0), line; // ┌─┐│┼Ёё
        ConvertKoi8LineToCp1251(frame);
        QCOMPARE(frame, QByteArray("+-+|+\xA8\xB8"));
        std::iota(all.begin(), all.end(), char(1));
        ConvertKoi8LineToCp1251(line = all);
        QCOMPARE(line.size() + ConvertCp1251ToKoi8(all).size(), 2 * all.size());
        QCOMPARE(line.left(0x7F) + ConvertCp1251ToKoi8(all).left(0x7F), all.left(0x7F).repeated(2));
        QCOMPARE(DecodeText("\xB3", TextEncoding::Koi8r), "Ё");
        QCOMPARE(DecodeText("\x98", TextEncoding::Cp1251).size(), 1); // unassigned, not lost
        QCOMPARE(EncodeText("№", TextEncoding::Koi8r), QByteArray("?"));
    }

    // Lines wait while another window is current and all come in order when the status
    // window is activated; the newest LineLimit are kept under the note.
    void statusBurstKeepsNewestLinesInOrder_data()
    {
        QTest::addColumn<bool>("behindAnother");
        QTest::newRow("current, trimmed in the view") << false;
        QTest::newRow("behind another, all waiting") << true;
    }
    void statusBurstKeepsNewestLinesInOrder()
    {
        QFETCH(bool, behindAnother);
        QMdiArea area;
        auto *status = new TStatusForm(nullptr);
        QMdiSubWindow *statusWindow = area.addSubWindow(status);
        QMdiSubWindow *other = area.addSubWindow(new QWidget);
        area.show();
        statusWindow->showMaximized();
        area.setActiveSubWindow(behindAnother ? other : statusWindow);
        const int total = TStatusForm::LineLimit + TStatusForm::LineSlack + 7;
        for (int i = 0; i < total; ++i) {
            status->AddToStatus(QString::number(i), Qt::black);
            if (i % TStatusForm::LinesPerTurn == 0)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        QTextDocument *document = status->RichEdit1->document();
        QVERIFY(behindAnother ? document->isEmpty()
                              : document->blockCount() >= 3 * TStatusForm::LinesPerTurn);
        area.setActiveSubWindow(statusWindow);
        status->FlushLines();
        const QStringList shown = status->RichEdit1->toPlainText().split(u'\n');
        const int kept = int(shown.size()) - 1;
        QVERIFY(kept >= TStatusForm::LineLimit && kept <= TStatusForm::LineLimit + 10);
        QCOMPARE(shown.first(), TStatusForm::TrimNote);
        for (int i = 1; i <= kept; ++i)
            QCOMPARE(shown[i], QString::number(total - kept + i - 1));
        QCOMPARE(status->RichEdit1->textCursor().position(), document->characterCount() - 1);
    }

    void homeIsMadeFromTemplateWithoutTouchingUserFiles()
    {
        QTemporaryDir dir;
        const QString templ = dir.filePath("share/talvin"), home = dir.filePath("home/talvin");
        for (const auto &[name, bytes] : {std::pair{"caption.ini", "new template\n"},
                                          {"send.wav", "RIFF"},
                                          {"../help/Status.txt", "help\n"}})
            QVERIFY(WriteBytes(templ + "/config/" + name, bytes));
        QDir().mkpath(templ + "/log");
        QFile::setPermissions(templ + "/config/send.wav", QFileDevice::ReadOwner);
        // The user's edited file is older than the template's and must survive.
        WriteBytes(home + "/config/caption.ini", "user's edit\n");
        const ProgramHomeResult result = PrepareProgramHome(templ, home);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(ReadBytes(home + "/config/caption.ini") + ReadBytes(home + "/help/Status.txt"),
                 "user's edit\nhelp\n");
        QVERIFY(QFileInfo(home + "/log").isDir() &&
                QFileInfo(home + "/config/send.wav").isWritable());
        QStringList added = result.added;
        added.sort();
        QCOMPARE(added, QStringList({"config/send.wav", "help/Status.txt"}));
        QVERIFY(PrepareProgramHome(templ, home).added.isEmpty()); // a second start adds nothing

        // The option wins over TALVIN_HOME, which wins over an absolute XDG_DATA_HOME.
        QStringList homes;
        for (const auto &[option, talvinHome, dataHome] : {std::tuple{"/o/t", "/e/t", "/x"},
                                                           {"", "/e/t", "/x"},
                                                           {"", "", "/x"},
                                                           {"", "", "rel"}}) {
            qputenv("TALVIN_HOME", talvinHome);
            qputenv("XDG_DATA_HOME", dataHome);
            homes << ResolveProgramHome(option);
        }
        qunsetenv("TALVIN_HOME");
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(homes, QStringList({"/o/t", "/e/t", "/x/talvin",
                                     QDir::homePath() + "/.local/share/talvin"}));
    }

    void secondStartHandsOverToTheRunningOne()
    {
        QTemporaryDir home, other;
        // A stale socket file from a program that died must neither answer nor block.
        TSingleInstance running(home.path());
        WriteBytes(running.ServerName(), "stale");
        QVERIFY(!TSingleInstance(home.path()).AskRunningToFront(500));
        QVERIFY(running.Listen());
        int calls = 0;
        running.OnAnotherStart = [&] { ++calls; };
        QFuture<bool> second =
            QtConcurrent::run([&] { return TSingleInstance(home.path()).AskRunningToFront(); });
        QTRY_VERIFY(second.isFinished());
        QVERIFY(second.result() && calls == 1);
        QVERIFY(!TSingleInstance(other.path()).AskRunningToFront(500));
    }

    void screenReaderDetection()
    {
        QTemporaryDir dir;
        const QString name = QStringLiteral("tsr%1").arg(QCoreApplication::applicationPid());
        QFile::copy("/bin/sleep", dir.filePath(name));
        QProcess reader;
        reader.start(dir.filePath(name), {"30"});
        QVERIFY(reader.waitForStarted() && ScreenReader::ProcessRunning({name}));
        reader.kill();
        QVERIFY(reader.waitForFinished() && !ScreenReader::ProcessRunning({name}));

        // A bus of our own that starts no services (the system's launcher would answer).
        QVERIFY(WriteBytes(dir.filePath("bus.conf"),
                           "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>"
                           "EXTERNAL</auth><policy context='default'><allow own='*'/><allow "
                           "send_destination='*' eavesdrop='true'/><allow eavesdrop='true'/>"
                           "</policy></busconfig>"));
        QProcess daemon;
        daemon.start("dbus-daemon",
                     {"--config-file=" + dir.filePath("bus.conf"), "--nofork", "--print-address"});
        QVERIFY(daemon.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(daemon.readLine().trimmed());
        QDBusConnection client = QDBusConnection::connectToBus(address, "client");
        // Asked from another thread: the launcher answers through this one.
        auto ask = [&client] {
            QFuture<bool> answer =
                QtConcurrent::run([&client] { return ScreenReader::BusSaysEnabled(client, 2000); });
            return QTest::qWaitFor([&] { return answer.isFinished(); }) && answer.result();
        };
        QVERIFY(!ask()); // no launcher on the bus
        FakeA11yStatus status;
        QDBusConnection bus = QDBusConnection::connectToBus(address, "launcher");
        QVERIFY(bus.registerService("org.a11y.Bus"));
        QVERIFY(bus.registerObject("/org/a11y/bus", &status, QDBusConnection::ExportAllProperties));
        QVERIFY(!ask());
        status.enabled = true;
        QVERIFY(ask());
        daemon.kill();
        daemon.waitForFinished();
    }

    // The answer kept, whether a screen reader runs, the key that answers ("": no question
    // expected) and the answer kept afterwards.
    void screenReaderQuestion_data()
    {
        QTest::addColumn<QString>("row");
        for (const char *row :
             {"|run|Tab|1", "|run|Escape|0", "x|run|Escape|0", "|||", "1|run||1", "0|run||0"})
            QTest::newRow(row) << QString(row);
    }
    void screenReaderQuestion()
    {
        QFETCH(QString, row);
        const QString kept = row.section(u'|', 0, 0), keptAfter = row.section(u'|', 3);
        const bool runs = !row.section(u'|', 1, 1).isEmpty();
        const int answer = QStringList{"", "Tab", "Escape"}.indexOf(row.section(u'|', 2, 2));
        QTemporaryDir dir;
        QDir(dir.path()).mkpath("config");
        SetProgramDir(dir.path());
        if (!kept.isEmpty())
            SetConfigValue("settings.ini", "Speech", "ScreenReaderControls", kept);
        auto voice = MakeRecordedVoice();
        QWidget window;
        auto *first = new TVoxCheckBox(&window), *second = new TVoxCheckBox(&window);
        first->setSpeech(voice.speech.get());
        second->setSpeech(voice.speech.get());
        window.show();
        bool asked = false;
        QTimer::singleShot(0, [&] {
            QWidget *box = QApplication::activeModalWidget();
            if (!(asked = box) || !QTest::qWaitForWindowActive(box))
                return;
            if (answer == 1) // Tab from "Нет", which has the focus, to "Да"
                QTest::keyClick(box->focusWidget(), Qt::Key_Tab);
            QTest::keyClick(box->focusWidget(), answer == 1 ? Qt::Key_Return : Qt::Key_Escape);
        });
        SettleScreenReaderChoice(voice.speech.get(), &window, [runs] { return runs; });
        QCOMPARE(asked, answer != 0);
        QCOMPARE(voice.recording->spokenTexts().join('|').contains("экранный диктор"), asked);
        const QString after = GetConfigValue("settings.ini", "Speech", "ScreenReaderControls");
        QCOMPARE(IsConfigValue(after) ? after : QString(), keptAfter);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        first->setFocus();
        voice.recording->clear();
        QTest::keyClick(first, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), second);
        QCOMPARE(voice.recording->spokenTexts().isEmpty(), keptAfter == "1");
    }

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

QTEST_MAIN(TestAppParts)
#include "test_app_parts.moc"
