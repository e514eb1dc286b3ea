// Walking a real menu bar with real key events: each menu's caption, each item (in
// sub-menus too), "вышел из меню" only when the menu is left altogether and before the
// chosen command speaks; and the keyboard language said once per change.

#include "app/keyboard_language.h"
#include "app/menu_announcer.h"
#include "config/config_files.h"
#include "speech/recording_speech_engine.h"

#include <QAction>
#include <QApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Stop = QStringLiteral("<stop>");
const QString Left = QStringLiteral("вышел из меню");

// The shape of the main window's menu: a separator and a sub-menu.
struct MenuBench
{
    MenuBench()
    {
        SetProgramDir(dir.path());
        QMenuBar *bar = window.menuBar();
        QMenu *server = bar->addMenu(QStringLiteral("&Сервер"));
        connect = server->addAction(QStringLiteral("Подключиться"));
        server->addSeparator();
        server->addAction(QStringLiteral("Выход"));
        QMenu *commands = bar->addMenu(QStringLiteral("&Команды"));
        commands->addAction(QStringLiteral("Список каналов"));
        QMenu *codePage = commands->addMenu(QStringLiteral("Кодировка"));
        codePage->addAction(QStringLiteral("KOI-8"));
        codePage->addAction(QStringLiteral("OEM"));
        new TMenuAnnouncer(bar, voice.speech.get(), &window);
        QObject::connect(connect, &QAction::triggered, [this] { // speaks, as commands do
            voice.speech->Stop();
            voice.speech->Speak(QStringLiteral("Подключение"));
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

// An input line that announces the keyboard language on every key, as the program's do.
class LanguageEdit : public QLineEdit
{
public:
    explicit LanguageEdit(TKeyboardLanguage *language) : m_language(language) {}

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        m_language->SpeakLang();
        QLineEdit::keyPressEvent(event);
    }
    TKeyboardLanguage *m_language;
};

} // namespace

class TestMenuAnnouncer : public QObject
{
    Q_OBJECT

private slots:
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

    void keyboardLanguageSaidOncePerChange()
    {
        QTemporaryDir dir;
        SetProgramDir(dir.path());
        TRecordedVoice channel = MakeRecordedVoice(2);
        TKeyboardLanguage language(channel.speech.get());
        LanguageEdit edit(&language);
        edit.show();
        QApplication::setActiveWindow(&edit);
        QVERIFY(QTest::qWaitForWindowActive(&edit));
        const auto type = [&](const QString &text) {
            channel.recording->clear();
            for (const QChar c : text)
                QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_unknown, QString(c), {});
            return channel.recording->spokenTexts();
        };
        QCOMPARE(type("hi"), QStringList{"Английский"});
        QCOMPARE(language.LastKeyboardLanguage, int(QLocale::English));
        QCOMPARE(type("при1"), QStringList{"Русский"});
        // A letter only Ukrainian has switches; shared letters keep Ukrainian.
        QCOMPARE(type("ів"), QStringList{"Украинский"});
        QCOMPARE(type("ы"), QStringList{"Русский"});
        QCOMPARE(edit.text(), QStringLiteral("hiпри1івы"));
        // An input method that reports layout switches is believed over the letters.
        language.InputMethodLocale = [] { return QLocale(QLocale::German); };
        emit QGuiApplication::inputMethod()->localeChanged();
        QCOMPARE(type("жж"), QStringList{"Язык неизвестен"});
    }
};

QTEST_MAIN(TestMenuAnnouncer)
#include "test_menu_announcer.moc"
