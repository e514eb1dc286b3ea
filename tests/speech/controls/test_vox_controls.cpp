// The speaking controls driven by real key and mouse events on a shown window: what each
// says on focus, on caret movement, Backspace, Delete and typing, and on choosing, in exact
// order with every stop.

#include "config/config_files.h"
#include "speech/controls/vox_controls.h"
#include "speech/recording_speech_engine.h"

#include <QApplication>
#include <QKeySequence>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QString S = "<stop>";

// Every speaking control in one shown, active window with a recorded interface voice and a
// private program directory (the voice's transcript stays inside).
struct Bench
{
    Bench()
    {
        SetProgramDir(programDir.path());
        window.setObjectName("Form2");
        auto *layout = new QVBoxLayout(&window);
        [&](auto *...control) {
            (layout->addWidget(control), ...);
            (control->setSpeech(voice.speech.get()), ...);
        }(edit, edit2, memo, rich, chat, tree, list, box, combo, button, check);
        edit->setObjectName("VoxEdit1");
        edit->setSpeechName("Ник");
        edit2->setSpeechName("Редактор");
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            qWarning("window not active");
    }
    // Gives the widget the focus as the Tab key would, and returns what was said.
    QStringList focus(QWidget *widget)
    {
        widget->clearFocus();
        voice.recording->clear();
        widget->setFocus(Qt::TabFocusReason);
        return said();
    }
    QStringList said() const { return voice.recording->speakAndStop(); }
    void forget() { voice.recording->clear(); }

    QTemporaryDir programDir;
    TRecordedVoice voice = MakeRecordedVoice();
    QWidget window;
    TVoxEdit *edit = new TVoxEdit;
    TVoxEdit *edit2 = new TVoxEdit;
    TVoxMemo *memo = new TVoxMemo;
    TVoxRichEdit *rich = new TVoxRichEdit;
    TVoxChatView *chat = new TVoxChatView; // a rich edit to the ear
    TVoxTreeView *tree = new TVoxTreeView;
    TVoxListView *list = new TVoxListView;
    TVoxListBox *box = new TVoxListBox;
    TVoxComboBox *combo = new TVoxComboBox;
    TVoxButton *button = new TVoxButton("&OK");
    TVoxCheckBox *check = new TVoxCheckBox("Показывать время");
};

// Types text the way a keyboard layout delivers it (QTest::keyClicks cannot type Cyrillic).
void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Runs steps separated by "|": a key ("Ctrl+Left", "Backspace") or 'text to type.
void runKeys(QWidget *widget, const QString &script)
{
    for (const QString &step : script.split(u'|', Qt::SkipEmptyParts)) {
        if (step.startsWith(u'\'')) {
            typeText(widget, step.mid(1));
        } else {
            const QKeyCombination key = QKeySequence(step)[0];
            QTest::keyClick(widget, key.key(), key.keyboardModifiers());
        }
    }
}

} // namespace

class TestVoxControls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false); }

    void textControls_data()
    {
        QTest::addColumn<QString>("control"); // edit, memo, rich or password; "+": SpeakMode on
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");    // -1: at the end
        QTest::addColumn<QString>("keys"); // none: what the focus says
        QTest::addColumn<QString>("said"); // "|" between texts, "S" for a stop, "B" Backspace
        auto row = [](const char *name, const char *control, const QString &text, int caret,
                      const char *keys, const char *said) {
            QTest::newRow(name) << control << text << caret << keys << said;
        };
        // Focus: name and text up to 20 characters; a rich edit says name and caret line.
        row("focus, 20 characters", "edit", "абвгдеёжзийклмнопрст", 0, "",
            "S|Ник абвгдеёжзийклмнопрст");
        row("focus, 21 characters", "edit", "123456789012345678901", 0, "", "S|Ник много символов");
        row("focus, empty", "edit", "", 0, "", "S|Ник пуст");
        row("focus, memo", "memo", "раз\nдва", 0, "", "S|мемо раз\nдва");
        row("focus, empty rich edit", "rich", "", 0, "", "S|rich edit");
        row("focus, rich edit", "rich", "первая строка\nвторая", -1, "",
            "S|rich editпервая строка");
        row("focus, conversation", "chat", "первая строка\nвторая", -1, "",
            "S|rich editпервая строка");
        row("focus, password", "password", "secret", 0, "", "S|Ник ******");
        // Caret keys: the character passed, then the end of the line; the start alone.
        row("Right onto the end", "edit", "abc", 2, "Right", "S|c|конец строки");
        row("Left, Left", "edit", "abc", 2, "Left|Left", "S|a|S|начало строки");
        row("End, Home", "edit", "abc", 2, "End|Home", "S|конец строки|S|начало строки");
        row("empty line", "edit", "", 0, "Right|Ctrl+Left", "S|строка пуста|S|строка пуста");
        row("Ctrl+Right in a word", "edit", "hello world", 3, "Ctrl+Right", "S|hello");
        row("Ctrl+Left after a blank", "edit", "hello world", 6, "Ctrl+Left", "S|hello");
        row("words end at line breaks", "memo", "один\nдва три", 6, "Ctrl+Right", "S|два");
        row("memo lines", "memo", "первая\nвторая\nтретья", 0, "Down|Down|Up",
            "S|вторая|S|третья|S|вторая");
        row("rich edit line, then letter", "rich", "один\nдва", 0, "Down|Right", "S|два|S|д");
        row("conversation line, then letter", "chat", "один\nдва", 0, "Down|Right", "S|два|S|д");
        row("past 65535", "memo", QString(70000, u'x') + " конец", -1, "Ctrl+Left", "S|конец");
        // Backspace and Delete say what they remove.
        row("Backspace, empty, typing heard", "edit+", "", 0, "Backspace", "строка пуста|B");
        row("Delete at the end", "edit", "мир", 3, "Delete", "конец строки");
        row("Delete", "edit", "мир", 1, "Delete", "и");
        row("Backspace", "edit", "мир", 2, "Backspace", "и");
        row("Backspace at the start", "edit", "мир", 0, "Backspace", "");
        row("memo Backspace", "memo", "ок", -1, "Backspace", "к|B");
        // Typing: memo and rich edit spell each letter; an edit only with SpeakMode, plainly.
        row("memo spells", "memo", "", 0, "'кКх $%", "S|ка|S|К|S|ха|S|пробел|S|доллар|S|проценты");
        row("rich edit spells, Enter silent", "rich", "", 0, "'ш|Return", "S|шэ");
        row("edit quiet", "edit", "", 0, "'кa ", "");
        row("edit, typing heard", "edit+", "", 0, "'к ", "S|к|S| ");
        row("password stars", "password+", "secret", 6, "'x|Left|Backspace", "S|*|S|*|*|B");
    }

    void textControls()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QString, keys);
        QFETCH(QString, said);
        Bench bench;
        QWidget *widget = control == "memo"   ? static_cast<QWidget *>(bench.memo)
                          : control == "rich" ? static_cast<QWidget *>(bench.rich)
                          : control == "chat" ? static_cast<QWidget *>(bench.chat)
                                              : bench.edit;
        if (control.startsWith("password"))
            bench.edit->setEchoMode(QLineEdit::Password);
        bench.edit->setSpeakMode(control.endsWith('+'));
        bench.edit->setText(text);
        bench.memo->setPlainText(widget == bench.memo ? text : QString());
        bench.rich->setPlainText(widget == bench.rich ? text : QString());
        bench.chat->setPlainText(widget == bench.chat ? text : QString());
        const QStringList onFocus = bench.focus(widget);
        // The caret is placed after the focus, which moves it.
        const int at = caret < 0 ? int(text.size()) : caret;
        const auto place = [at](auto *edit) {
            QTextCursor cursor = edit->textCursor();
            cursor.setPosition(at);
            edit->setTextCursor(cursor);
        };
        widget == bench.edit   ? bench.edit->setCursorPosition(at)
        : widget == bench.memo ? place(bench.memo)
        : widget == bench.rich ? place(bench.rich)
                               : place(bench.chat);
        QStringList expected = said.split(u'|', Qt::SkipEmptyParts);
        expected.replaceInStrings(QRegularExpression("^S$"), S)
            .replaceInStrings(QRegularExpression("^B$"), QString(QChar(8)));
        if (keys.isEmpty()) {
            QCOMPARE(onFocus, expected);
            return;
        }
        bench.forget();
        runKeys(widget, keys);
        QCOMPARE(bench.said(), expected);
    }

    void releaseOfAKeyPressedElsewhere()
    {
        Bench bench;
        // Shift+Tab goes down in one control and comes up in the next: only the focus speaks.
        bench.edit->setText("abc");
        bench.focus(bench.edit2);
        bench.forget();
        QTest::keyPress(bench.edit2, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), bench.edit);
        QTest::keyRelease(bench.edit, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyRelease(bench.edit, Qt::Key_Left);
        QCOMPARE(bench.said(), QStringList({S, "Ник abc"}));

        // The caret position read on a release belongs to the class, not to the field.
        bench.edit->setText("hello world");
        bench.edit2->setText("0123456789");
        bench.edit->setCursorPosition(2);
        bench.edit2->setCursorPosition(8);
        bench.forget();
        QTest::keyPress(bench.edit, Qt::Key_Right, Qt::ControlModifier);
        QTest::keyClick(bench.edit2, Qt::Key_Control);
        QTest::keyRelease(bench.edit, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(bench.said(), QStringList({S, "world"}));

        // Tab into a list: its release is not the list's key, the list is announced once.
        new QTreeWidgetItem(bench.list, {"anna"});
        new QTreeWidgetItem(bench.tree, {"Status"});
        bench.focus(bench.box);
        bench.forget();
        QTest::keyPress(bench.box, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyRelease(bench.list, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyPress(bench.list, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyRelease(bench.tree, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(bench.said(), QStringList({S, "List View anna", S, S, "Tree View Status"}));
    }

    void treeListsAndComboBoxRead()
    {
        Bench bench;
        QCOMPARE(bench.focus(bench.tree), QStringList({S, S, "Tree View"}));
        bench.forget();
        QTest::keyClick(bench.tree, Qt::Key_Down);
        QCOMPARE(bench.said(), QStringList({S, "Tree View пуст"}));

        auto *first = new QTreeWidgetItem(bench.tree, {"Status"});
        auto *child =
            new QTreeWidgetItem(new QTreeWidgetItem(bench.tree, {"AddServer"}), {"serveroptions"});
        bench.tree->expandAll();
        bench.tree->setSpeechName("Дерево");
        // Re-entering the tree with its cursor on a node nobody selected selects that node.
        bench.tree->setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
        QCOMPARE(bench.focus(bench.tree), QStringList({S, S, "Дерево Status"}));
        QVERIFY(first->isSelected());
        bench.forget();
        runKeys(bench.tree, "Down|Down|F5"); // any key repeats the node
        QCOMPARE(bench.said(),
                 QStringList({S, "AddServer", S, "serveroptions", S, "serveroptions"}));
        QCOMPARE(bench.tree->currentItem(), child);
        bench.forget();
        QTest::mouseClick(bench.tree->viewport(), Qt::LeftButton, {},
                          bench.tree->visualItemRect(first).center());
        QCOMPARE(bench.said(), QStringList({S, "Status"}));
        // The list view queues name and row on each release, cutting nothing.
        bench.list->setSpeechName("Пользователи");
        QCOMPARE(bench.focus(bench.list), QStringList({S, "Пользователи"}));
        auto *anna = new QTreeWidgetItem(bench.list, {"anna"});
        new QTreeWidgetItem(bench.list, {"boris"});
        bench.list->setCurrentItem(anna);
        bench.forget();
        runKeys(bench.list, "Down|Up");
        QTest::keyClick(bench.list, Qt::Key_Shift);
        QCOMPARE(bench.said(),
                 QStringList({"Пользователи boris", "Пользователи anna", "Пользователи anna"}));

        // The list box: with nothing chosen the focus chooses the first item.
        QCOMPARE(bench.focus(bench.box), QStringList({S, "List box"}));
        bench.box->addItems({"#linux", "#debian", "#qt"});
        bench.box->setSpeechName("Избранное: ");
        QCOMPARE(bench.focus(bench.box), QStringList({S, "Избранное: #linux"}));
        bench.forget();
        runKeys(bench.box, "Down|Down|Home|Return"); // Home moves, stops, says nothing
        QCOMPARE(bench.said(), QStringList({S, "#debian", S, "#qt", S}));
        QCOMPARE(bench.box->currentRow(), 0);

        bench.combo->addItems({"WIN1251", "OEM", "KOI8"});
        bench.combo->setSpeechName("Кодировка ");
        QCOMPARE(bench.focus(bench.combo), QStringList({S, "Кодировка WIN1251"}));
        bench.forget();
        runKeys(bench.combo, "Down|End");
        QCOMPARE(bench.said(), QStringList({S, "OEM", S}));
        QCOMPARE(bench.combo->currentText(), "KOI8");
        bench.combo->setEditable(true); // an editable box reads its edit text
        bench.combo->setEditText("irc.example.net");
        QCOMPARE(bench.focus(bench.combo), QStringList({S, "Кодировка irc.example.net"}));
    }

    void buttonCheckBoxAndNoVoice()
    {
        Bench bench;
        int clicks = 0;
        connect(bench.button, &QPushButton::clicked, [&] { ++clicks; });
        // No stop: a dialog's own message goes on, the button follows it.
        QCOMPARE(bench.focus(bench.button), QStringList({"Button OK"}));
        bench.button->setText("Далее &>");
        QCOMPARE(bench.focus(bench.button), QStringList({"Button Далее >"}));
        bench.forget();
        QTest::keyClick(bench.button, Qt::Key_Space);
        QTest::mouseClick(bench.button, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(bench.said(), QStringList());

        QStringList order;
        connect(bench.check, &QCheckBox::toggled,
                [&] { order = bench.said(); }); // the window's own handler
        QCOMPARE(bench.focus(bench.check), QStringList({S, "CheckBox Показывать время"}));
        bench.forget();
        runKeys(bench.check, "Space");
        QCOMPARE(order, QStringList({"CheckBox -1"}));
        runKeys(bench.check, "Space");
        QCOMPARE(bench.said(), QStringList({"CheckBox -1", "CheckBox 0"}));
        // Toggled by the program while another control has the focus: silent.
        bench.focus(bench.button);
        bench.forget();
        bench.check->setChecked(true);
        bench.check->setChecked(false);
        QCOMPARE(bench.said(), QStringList());
        // A mouse click focuses the box first, then the new state is heard.
        QTest::mouseClick(bench.check, Qt::LeftButton, {}, QPoint(5, bench.check->height() / 2));
        QCOMPARE(bench.said(), QStringList({S, "CheckBox Показывать время", "CheckBox -1"}));
        // A voice that goes away leaves the controls silent and working.
        bench.edit->setText("abc");
        bench.voice.speech.reset();
        QVERIFY(!bench.memo->Speech());
        bench.edit->setFocus(Qt::TabFocusReason);
        runKeys(bench.edit, "Left|Backspace|'x");
        QCOMPARE(bench.edit->text(), "axc");
    }
};

QTEST_MAIN(TestVoxControls)
#include "test_vox_controls.moc"
