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
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Stop = QStringLiteral("<stop>");
const QString Left = QStringLiteral("вышел из меню");

// The shape of the main window's menu: a separator, a sub-menu, one command in two menus.
struct MenuBench
{
    MenuBench()
    {
        SetProgramDir(dir.path());
        auto *server = window.menuBar()->addMenu(QStringLiteral("&Сервер"));
        connect = server->addAction(QStringLiteral("Подключиться"));
        server->addSeparator();
        server->addAction(QStringLiteral("Настройки"));
        server->addAction(QStringLiteral("Выход"));
        auto *commands = window.menuBar()->addMenu(QStringLiteral("&Команды"));
        commands->addAction(QStringLiteral("Войти"));
        list = commands->addAction(QStringLiteral("Список каналов"));
        codePage = commands->addMenu(QStringLiteral("Кодировка"));
        codePage->addAction(QStringLiteral("KOI-8"));
        codePage->addAction(QStringLiteral("OEM"));
        commands->addAction(QStringLiteral("Уведомление"));
        auto *help = window.menuBar()->addMenu(QStringLiteral("&Помощь"));
        help->addAction(QStringLiteral("О программе"));
        announcer = new TMenuAnnouncer(window.menuBar(), voice.speech.get(), &window);
        // The command speaks, as the main window's commands do.
        QObject::connect(connect, &QAction::triggered, [this] {
            voice.speech->Stop();
            voice.speech->Speak(QStringLiteral("Подключение"));
        });
        window.setCentralWidget(new QLineEdit);
        window.show();
        QApplication::setActiveWindow(&window);
        active = QTest::qWaitForWindowActive(&window);
        window.centralWidget()->setFocus();
        voice.recording->clear();
    }

    // Sends a key to whatever has the keyboard now (an open menu, the bar, the window).
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *target = QApplication::activePopupWidget();
        if (!target)
            target = QApplication::focusWidget();
        if (!target)
            target = &window;
        // Letters outside ASCII go with their text, as a keyboard layout delivers them.
        if (key > 0x7f && key < 0x10000)
            QTest::sendKeyEvent(QTest::Click, target, key, QString(QChar(key).toLower()),
                                modifiers);
        else
            QTest::keyClick(target, key, modifiers);
        // Lets the menu settle (menus decide about leaving after the event).
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    QStringList said()
    {
        const QStringList result = voice.recording->speakAndStop();
        voice.recording->clear();
        return result;
    }

    QTemporaryDir dir;
    TRecordedVoice voice = MakeRecordedVoice();
    QMainWindow window;
    QAction *connect = nullptr;
    QAction *list = nullptr;
    QMenu *codePage = nullptr;
    TMenuAnnouncer *announcer = nullptr;
    bool active = false;
};

} // namespace

// An input line that announces the keyboard language on every key, as the program's input
// fields do.
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

private:
    TKeyboardLanguage *m_language;
};

class TestMenuAnnouncer : public QObject
{
    Q_OBJECT

private slots:
    void walkingTheMenusSaysCaptionsAndItems()
    {
        MenuBench b;
        QVERIFY(b.active);
        b.key(Qt::Key(u'С'), Qt::AltModifier);
        QCOMPARE(b.said(), QStringList({Stop, "Сервер", Stop, "Подключиться"}));
        b.key(Qt::Key_Down); // over the separator
        QCOMPARE(b.said(), QStringList({Stop, "Настройки"}));
        b.key(Qt::Key_Down);
        QCOMPARE(b.said(), QStringList({Stop, "Выход"}));
        // Moving to the next menu is no leaving.
        b.key(Qt::Key_Right);
        QCOMPARE(b.said(), QStringList({Stop, "Команды", Stop, "Войти"}));
        b.key(Qt::Key_Down);
        b.key(Qt::Key_Down);
        QCOMPARE(b.said(), QStringList({Stop, "Список каналов", Stop, "Кодировка"}));
        // The sub-menu's own items are heard too.
        b.key(Qt::Key_Right);
        QCOMPARE(b.said(), QStringList({Stop, "KOI-8"}));
        b.key(Qt::Key_Down);
        QCOMPARE(b.said(), QStringList({Stop, "OEM"}));
        b.key(Qt::Key_Left); // closes the sub-menu only
        QCOMPARE(b.said(), QStringList());
        b.key(Qt::Key_Left);
        QCOMPARE(b.said(), QStringList({Stop, "Сервер", Stop, "Подключиться"}));
        // Escape closes the menu, the bar keeps its highlight; a second Escape leaves.
        b.key(Qt::Key_Escape);
        QCOMPARE(b.said(), QStringList({Stop, "Сервер"}));
        b.key(Qt::Key_Escape);
        QCOMPARE(b.said(), QStringList({Stop, Left}));
        QVERIFY(!b.window.menuBar()->activeAction());
        // Nothing more once out of the menu.
        b.key(Qt::Key_A);
        QCOMPARE(b.said(), QStringList());
    }

    void choosingAnItemSaysLeavingBeforeTheCommand()
    {
        MenuBench b;
        QVERIFY(b.active);
        b.key(Qt::Key(u'С'), Qt::AltModifier);
        b.said();
        b.key(Qt::Key_Return);
        QCOMPARE(b.said(), QStringList({Stop, Left, Stop, "Подключение"}));

        // With the mouse.
        b.key(Qt::Key(u'С'), Qt::AltModifier);
        b.said();
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(b.connect).center());
        QCoreApplication::processEvents();
        QStringList said = b.said();
        QCOMPARE(said.mid(said.lastIndexOf(Left) - 1),
                 QStringList({Stop, Left, Stop, "Подключение"}));
        QCOMPARE(said.count(Left), 1);
    }

    void childWindowSystemMenu()
    {
        MenuBench b;
        auto *area = new QMdiArea;
        b.window.setCentralWidget(area);
        QMdiSubWindow *child = area->addSubWindow(new QLineEdit);
        child->setWindowTitle(QStringLiteral("Статус"));
        child->show();
        b.announcer->AttachSystemMenu(child->systemMenu());
        b.said();
        child->showSystemMenu();
        QCoreApplication::processEvents();
        QStringList heard = b.said();
        QCOMPARE(heard.mid(0, 2), QStringList({Stop, "Системное меню"}));
        QStringList words;
        for (int i = 0; i < 8; ++i) {
            b.key(Qt::Key_Down);
            words += b.said();
        }
        for (const char *word : {"переместить", "размер", "свернуть", "развернуть", "закрыть"})
            QVERIFY2(words.contains(QString::fromUtf8(word)), qPrintable(words.join(u',')));
        b.key(Qt::Key_Escape);
        QCOMPARE(b.said(), QStringList({Stop, Left}));
    }

    // Alt alone puts the bar in keyboard mode, as on other desktops.
    void altAloneWalksTheBar()
    {
        MenuBench b;
        QVERIFY(b.active);
        b.key(Qt::Key_Alt);
        QCOMPARE(b.said(), QStringList({Stop, "Сервер"}));
        b.key(Qt::Key_Right);
        QCOMPARE(b.said(), QStringList({Stop, "Команды"}));
        b.key(Qt::Key_Down);
        QCOMPARE(b.said(), QStringList({Stop, "Войти"}));
        b.key(Qt::Key_Escape);
        b.said();
        b.key(Qt::Key_Escape);
        QCOMPARE(b.said(), QStringList({Stop, Left}));
    }

    void sayMainMenuByPosition()
    {
        MenuBench b;
        b.announcer->SayMainMenu(1, 2);
        QCOMPARE(b.said(), QStringList({Stop, "Кодировка"}));
        b.announcer->SayMainMenu(2, -1);
        QCOMPARE(b.said(), QStringList({Stop, "Помощь"}));
        b.announcer->SayMainMenu(-1, -1);
        b.announcer->SayMainMenu(7, 0);
        b.announcer->SayMainMenu(0, 9);
        QCOMPARE(b.said(), QStringList());
        // The same command in two menus: said by its place in the last one.
        QMenu *help = b.window.menuBar()->actions().at(2)->menu();
        help->addAction(b.list);
        b.announcer->MenuMessage(b.list, help);
        QCOMPARE(b.said(), QStringList({Stop, "Список каналов"}));
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
        auto type = [&](QChar c) {
            QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        };
        auto said = [&] {
            const QStringList result = channel.recording->spokenTexts();
            channel.recording->clear();
            return result;
        };
        type(u'h');
        type(u'i');
        QCOMPARE(said(), QStringList{"Английский"});
        QCOMPARE(language.LastKeyboardLanguage, int(QLocale::English));
        type(u'п');
        type(u'р');
        type(u'и');
        type(u'1');
        QCOMPARE(said(), QStringList{"Русский"});
        // A letter only Ukrainian has switches; shared letters keep Ukrainian.
        type(u'і');
        type(u'в');
        QCOMPARE(said(), QStringList{"Украинский"});
        type(u'ы');
        QCOMPARE(said(), QStringList{"Русский"});
        QCOMPARE(edit.text(), QStringLiteral("hiпри1івы"));

        // An input method that reports layout switches is believed over the letters.
        language.InputMethodLocale = [] { return QLocale(QLocale::German); };
        emit QGuiApplication::inputMethod()->localeChanged();
        type(u'ж');
        type(u'ж');
        QCOMPARE(said(), QStringList{"Язык неизвестен"});
    }
};

QTEST_MAIN(TestMenuAnnouncer)
#include "test_menu_announcer.moc"
