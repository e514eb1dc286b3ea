// The speaking tree, list, list box, combo box, button and check box driven by real key
// and mouse events, with the exact order of speak and stop calls; and the accessibility
// labels every speaking control hands to screen readers.

#include "speech/controls/vox_controls.h"
#include "vox_test_support.h"

#include <QAccessible>
#include <QLabel>
#include <QVBoxLayout>

class TestVoxChoiceControls : public QObject
{
    Q_OBJECT

private:
    struct Bench : VoxTestBench
    {
        Bench()
        {
            auto *layout = new QVBoxLayout(&window);
            layout->addWidget(tree);
            layout->addWidget(list);
            layout->addWidget(box);
            layout->addWidget(combo);
            layout->addWidget(button);
            layout->addWidget(check);
            tree->setSpeech(voice.speech.get());
            list->setSpeech(voice.speech.get());
            box->setSpeech(voice.speech.get());
            combo->setSpeech(voice.speech.get());
            button->setSpeech(voice.speech.get());
            check->setSpeech(voice.speech.get());
        }
        TVoxTreeView *tree = new TVoxTreeView;
        TVoxListView *list = new TVoxListView;
        TVoxListBox *box = new TVoxListBox;
        TVoxComboBox *combo = new TVoxComboBox;
        TVoxButton *button = new TVoxButton(QStringLiteral("&OK"));
        TVoxCheckBox *check = new TVoxCheckBox(QStringLiteral("Показывать время"));
    };

    static QPoint centreOf(QTreeWidget *view, QTreeWidgetItem *item)
    {
        return view->visualItemRect(item).center();
    }

private slots:
    void treeInterruptsEveryAnnouncement()
    {
        Bench bench;
        QVERIFY(bench.activate());
        // Empty tree: the name on focus, name + " пуст" after a key.
        QCOMPARE(bench.focus(bench.tree), QStringList({Stop, Stop, "Tree View"}));
        bench.forget();
        QTest::keyClick(bench.tree, Qt::Key_Down);
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("Tree View пуст")}));

        auto *first = new QTreeWidgetItem(bench.tree, {QStringLiteral("Status")});
        auto *second = new QTreeWidgetItem(bench.tree, {QStringLiteral("AddServer")});
        auto *child = new QTreeWidgetItem(second, {QStringLiteral("serveroptions")});
        bench.tree->expandAll();
        bench.tree->setSpeechName(QStringLiteral("Дерево"));
        // Re-entering the tree with its cursor on a node nobody selected selects that node.
        bench.tree->setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
        QCOMPARE(bench.focus(bench.tree),
                 QStringList({Stop, Stop, QStringLiteral("Дерево Status")}));
        QVERIFY(first->isSelected());

        bench.forget();
        QTest::keyClick(bench.tree, Qt::Key_Down);
        QTest::keyClick(bench.tree, Qt::Key_Down);
        QCOMPARE(bench.said(), QStringList({Stop, "AddServer", Stop, "serveroptions"}));
        QCOMPARE(bench.tree->currentItem(), child);

        // Any key, not only movement, repeats the node.
        bench.forget();
        QTest::keyClick(bench.tree, Qt::Key_F5);
        QCOMPARE(bench.said(), QStringList({Stop, "serveroptions"}));

        bench.forget();
        QTest::mouseClick(bench.tree->viewport(), Qt::LeftButton, {}, centreOf(bench.tree, first));
        QCOMPARE(bench.tree->currentItem(), first);
        QCOMPARE(bench.said(), QStringList({Stop, "Status"}));
    }

    void listViewQueuesItsAnnouncements()
    {
        Bench bench;
        QVERIFY(bench.activate());
        bench.list->setColumnCount(2);
        bench.list->setSpeechName(QStringLiteral("Пользователи"));
        QCOMPARE(bench.focus(bench.list), QStringList({Stop, QStringLiteral("Пользователи")}));
        auto *anna = new QTreeWidgetItem(bench.list, {"anna", "3"});
        auto *boris = new QTreeWidgetItem(bench.list, {"boris", "0"});
        bench.list->setCurrentItem(anna);
        QCOMPARE(bench.focus(bench.list), QStringList({Stop, QStringLiteral("Пользователи anna")}));

        // Each release queues name and row, without cutting what is being said.
        bench.forget();
        QTest::keyClick(bench.list, Qt::Key_Down);
        QTest::keyClick(bench.list, Qt::Key_Up);
        QTest::keyClick(bench.list, Qt::Key_Shift);
        QCOMPARE(bench.said(), QStringList({QStringLiteral("Пользователи boris"),
                                            QStringLiteral("Пользователи anna"),
                                            QStringLiteral("Пользователи anna")}));

        bench.forget();
        QTest::mouseClick(bench.list->viewport(), Qt::LeftButton, {}, centreOf(bench.list, boris));
        QCOMPARE(bench.said(), QStringList({"boris"}));
    }

    void listBoxCutsAndReadsItems()
    {
        Bench bench;
        QVERIFY(bench.activate());
        QCOMPARE(bench.focus(bench.box), QStringList({Stop, "List box"}));
        bench.box->addItems({"#linux", "#debian", "#qt"});
        bench.box->setSpeechName(QStringLiteral("Избранное: "));
        // Nothing chosen yet: the focus chooses the first item, so Down reaches the second.
        QVERIFY(bench.box->selectedItems().isEmpty());
        QCOMPARE(bench.focus(bench.box), QStringList({Stop, QStringLiteral("Избранное: #linux")}));
        QCOMPARE(bench.box->selectedItems().value(0)->text(), QStringLiteral("#linux"));

        bench.forget();
        QTest::keyClick(bench.box, Qt::Key_Down);
        QTest::keyClick(bench.box, Qt::Key_Down);
        QTest::keyClick(bench.box, Qt::Key_Home); // moves, stops, says nothing
        QTest::keyClick(bench.box, Qt::Key_Return);
        QCOMPARE(bench.said(), QStringList({Stop, "#debian", Stop, "#qt", Stop}));
        QCOMPARE(bench.box->currentRow(), 0);
    }

    void comboBoxReadsItsChoice()
    {
        Bench bench;
        QVERIFY(bench.activate());
        bench.combo->addItems({"WIN1251", "OEM", "KOI8"});
        bench.combo->setSpeechName(QStringLiteral("Кодировка "));
        QCOMPARE(bench.focus(bench.combo),
                 QStringList({Stop, QStringLiteral("Кодировка WIN1251")}));
        bench.forget();
        QTest::keyClick(bench.combo, Qt::Key_Down);
        QTest::keyClick(bench.combo, Qt::Key_End);
        QCOMPARE(bench.said(), QStringList({Stop, "OEM", Stop}));
        QCOMPARE(bench.combo->currentText(), QStringLiteral("KOI8"));

        // An editable box reads its edit text on focus.
        bench.combo->setEditable(true);
        bench.combo->setEditText(QStringLiteral("irc.example.net"));
        bench.combo->setSpeechName(QStringLiteral("Сервер "));
        QCOMPARE(bench.focus(bench.combo),
                 QStringList({Stop, QStringLiteral("Сервер irc.example.net")}));
    }

    void buttonQueuesItsName()
    {
        Bench bench;
        QVERIFY(bench.activate());
        int clicks = 0;
        connect(bench.button, &QPushButton::clicked, [&] { ++clicks; });
        // No stop: a dialog's own message goes on, the button follows it.
        QCOMPARE(bench.focus(bench.button), QStringList({"Button OK"}));
        bench.button->setSpeechName(QStringLiteral("Кнопка"));
        bench.button->setText(QStringLiteral("Далее &>"));
        QCOMPARE(bench.focus(bench.button), QStringList({QStringLiteral("Кнопка Далее >")}));
        bench.forget();
        QTest::keyClick(bench.button, Qt::Key_Space);
        QTest::mouseClick(bench.button, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(bench.said(), QStringList());
    }

    void checkBoxSaysItsStateAsNumber()
    {
        Bench bench;
        QVERIFY(bench.activate());
        QStringList order;
        connect(bench.check, &QCheckBox::toggled,
                [&] { order = bench.said(); }); // the window's own handler comes second
        QCOMPARE(bench.focus(bench.check),
                 QStringList({Stop, QStringLiteral("CheckBox Показывать время")}));
        bench.forget();
        QTest::keyClick(bench.check, Qt::Key_Space);
        QCOMPARE(order, QStringList({"CheckBox -1"}));
        QTest::keyClick(bench.check, Qt::Key_Space);
        QCOMPARE(bench.said(), QStringList({"CheckBox -1", "CheckBox 0"}));

        // Toggled by the program while another control has the focus: silent.
        bench.focus(bench.button);
        bench.forget();
        bench.check->setChecked(true);
        bench.check->setChecked(false);
        QCOMPARE(bench.said(), QStringList());

        // A mouse click focuses the box first, then the new state is heard.
        QTest::mouseClick(bench.check, Qt::LeftButton, {}, QPoint(5, bench.check->height() / 2));
        QVERIFY(bench.check->isChecked());
        QCOMPARE(bench.said(),
                 QStringList({Stop, QStringLiteral("CheckBox Показывать время"), "CheckBox -1"}));
    }

    void tabIntoAListIsAnnouncedOnce()
    {
        Bench bench;
        QVERIFY(bench.activate());
        new QTreeWidgetItem(bench.list, {"anna"});
        new QTreeWidgetItem(bench.tree, {"Status"});
        bench.focus(bench.box);
        bench.forget();
        // The release of Tab reaches the list that took the focus; it is not the list's key.
        QTest::keyPress(bench.box, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), bench.list);
        QTest::keyRelease(bench.list, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(bench.said(), QStringList({Stop, "List View anna"}));
        bench.forget();
        QTest::keyPress(bench.list, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyRelease(bench.tree, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(bench.said(), QStringList({Stop, Stop, "Tree View Status"}));
    }

    void everyFocusableControlIsLabelled()
    {
        Bench bench;
        auto *edit = new TVoxEdit;
        auto *memo = new TVoxMemo;
        auto *rich = new TVoxRichEdit;
        auto *label = new QLabel(QStringLiteral("Ник:"));
        auto *labelled = new TVoxEdit;
        label->setBuddy(labelled);
        for (QWidget *w : std::initializer_list<QWidget *>{edit, memo, rich, label, labelled})
            bench.window.layout()->addWidget(w);
        edit->setSpeechName(QStringLiteral("Редактор"));
        bench.combo->setEditable(true); // its line edit is a widget of its own
        QVERIFY(bench.activate());

        for (QWidget *w : bench.window.findChildren<QWidget *>()) {
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
            QVERIFY(face);
            if (!face->state().focusable)
                continue;
            QVERIFY2(!face->text(QAccessible::Name).isEmpty(), w->metaObject()->className());
        }
        auto nameOf = [](QWidget *w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        };
        QCOMPARE(nameOf(edit), QStringLiteral("Редактор"));
        QCOMPARE(nameOf(labelled), QStringLiteral("Ник:")); // no spoken name: the label
        QCOMPARE(nameOf(bench.tree), QStringLiteral("Tree View"));
        QCOMPARE(nameOf(bench.button), QStringLiteral("OK")); // default name: the caption
        bench.check->setSpeechName(QStringLiteral("Флажок"));
        QCOMPARE(nameOf(bench.check), QStringLiteral("Флажок Показывать время"));
        bench.check->setText(QStringLiteral("Звук"));
        QCOMPARE(nameOf(bench.check), QStringLiteral("Флажок Звук"));
        bench.list->setSpeechName(QStringLiteral("Пользователи"));
        QCOMPARE(nameOf(bench.list), QStringLiteral("Пользователи"));
    }

    void defaultNames()
    {
        QCOMPARE(TVoxRichEdit().SpeechName(), QStringLiteral("rich edit"));
        QCOMPARE(TVoxMemo().SpeechName(), QStringLiteral("мемо"));
        QCOMPARE(TVoxEdit().SpeechName(), QString());
        QCOMPARE(TVoxTreeView().SpeechName(), QStringLiteral("Tree View"));
        QCOMPARE(TVoxButton().SpeechName(), QStringLiteral("Button"));
        QCOMPARE(TVoxCheckBox().SpeechName(), QStringLiteral("CheckBox"));
        QCOMPARE(TVoxComboBox().SpeechName(), QStringLiteral("Combo Box"));
        QCOMPARE(TVoxListBox().SpeechName(), QStringLiteral("List box"));
        QCOMPARE(TVoxListView().SpeechName(), QStringLiteral("List View"));
        TVoxButton button;
        button.setSpeechName(QString());
        QCOMPARE(button.SpeechName(), QString()); // assigned empty stays empty
    }
};

QTEST_MAIN(TestVoxChoiceControls)
#include "test_vox_choice_controls.moc"
