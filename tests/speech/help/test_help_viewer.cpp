// The help viewer: tree loading, topic reading, its keys, and how missing or damaged help
// files are reported aloud instead of leaving the user in silence.

#include "help_test_support.h"
#include "speech/controls/vox_edit.h"
#include "speech/controls/vox_tree_view.h"
#include "speech/help/help_form.h"

#include <QAccessible>
#include <QDialog>
#include <QTextBlock>

namespace {

const QString Tree = QStringLiteral("Status\n"
                                    "Подключение\n"
                                    "\tДиалог настройки соединения\n"
                                    "\t\tAddServer\n"
                                    "\tserveroptions\n"
                                    "\n");
const QString StatusText = QStringLiteral("Status\nОкно статуса показывает сообщения сервера.\n");
const QString OptionsText = QStringLiteral("serveroptions\nПараметры сервера.");

QTreeWidgetItem *findNode(QTreeWidget *tree, const QString &text)
{
    const QList<QTreeWidgetItem *> found =
        tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

} // namespace

class TestHelpViewer : public QObject
{
    Q_OBJECT

private:
    static void writeAll(HelpBench &bench)
    {
        bench.write(QStringLiteral("helptree.txt"), Tree);
        bench.write(QStringLiteral("Status.txt"), StatusText);
        bench.write(QStringLiteral("serveroptions.txt"), OptionsText);
    }

private slots:
    void cleanup()
    {
        // Let the window system's late activations arrive before the viewer goes away.
        QTest::qWait(20);
        HelpForm()->hide();
        QTest::qWait(20);
    }

    void showHelpLoadsTheTreeAndReadsTheTopic()
    {
        HelpBench bench;
        writeAll(bench);
        ShowHelp(QStringLiteral("Status"));
        THelpForm *form = HelpForm();
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Помощь Talvin"));
        QVERIFY(form->minimumSize() == QSize(550, 350));

        // The focused tree names itself first; then the topic is read whole.
        QCOMPARE(bench.said(), QStringList({Stop, Stop, QStringLiteral("Дерево помощи Status"),
                                            Stop, StatusText.trimmed() + QStringLiteral("\n")}));
        QCOMPARE(bench.player.sounds, QStringList());

        QTreeWidget *tree = form->VoxTreeView1;
        QCOMPARE(tree->topLevelItemCount(), 2);
        QTreeWidgetItem *connection = tree->topLevelItem(1);
        QCOMPARE(connection->text(0), QStringLiteral("Подключение"));
        QCOMPARE(connection->childCount(), 2);
        QCOMPARE(connection->child(0)->child(0)->text(0), QStringLiteral("AddServer"));
        QCOMPARE(connection->child(1)->text(0), QStringLiteral("serveroptions"));

        // The title line is bold, the text after it is not.
        QTextDocument *doc = form->VoxRichEdit1->document();
        QCOMPARE(doc->firstBlock().text(), QStringLiteral("Status"));
        QTextCursor cursor(doc->firstBlock());
        cursor.movePosition(QTextCursor::NextCharacter);
        QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
        cursor.setPosition(doc->firstBlock().next().position() + 2);
        QVERIFY(cursor.charFormat().fontWeight() != int(QFont::Bold));

        // Opened afresh on a topic deep in the tree: the tree stands on that topic.
        form->close();
        bench.forget();
        ShowHelp(QStringLiteral("serveroptions"));
        QCOMPARE(bench.said(),
                 QStringList({Stop, Stop, QStringLiteral("Дерево помощи serveroptions"), Stop,
                              OptionsText}));
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("serveroptions"));
        QVERIFY(tree->currentItem()->parent()->isExpanded());

        // Shown again: the tree is reloaded, not doubled.
        ShowHelp(QStringLiteral("Status"));
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(form->VoxRichEdit1->toPlainText(), StatusText);
    }

    void enterOnANodeReadsItsTopicUninterrupted()
    {
        HelpBench bench;
        writeAll(bench);
        ShowHelp(QStringLiteral("Status"));
        THelpForm *form = HelpForm();
        form->VoxTreeView1->setFocus();
        QVERIFY(form->VoxTreeView1->hasFocus());
        form->VoxTreeView1->setCurrentItem(findNode(form->VoxTreeView1, "serveroptions"));
        bench.forget();
        QTest::keyClick(form->VoxTreeView1, Qt::Key_Return);
        // The release of Enter must not cut the topic with the node's name.
        QCOMPARE(bench.said(), QStringList({Stop, OptionsText}));
        QCOMPARE(form->VoxRichEdit1->toPlainText(), OptionsText);

        // Other keys on the tree still announce the node.
        bench.forget();
        QTest::keyClick(form->VoxTreeView1, Qt::Key_Up);
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("Диалог настройки соединения")}));
    }

    void f1ReleaseDoesNotCutTheTopic()
    {
        // F1 goes down in a window's field and opens the help; it comes up in the tree,
        // which now has the focus, and must not cut the topic short.
        HelpBench bench;
        writeAll(bench);
        QWidget other;
        auto *field = new TVoxEdit(&other);
        field->setSpeech(bench.voice.speech.get());
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        field->setFocus();
        struct F1Opens : QObject
        {
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::KeyPress &&
                    static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1) {
                    ShowHelp(QStringLiteral("Status"));
                    return true;
                }
                return false;
            }
        } f1;
        field->installEventFilter(&f1);
        bench.forget();
        QTest::keyPress(field, Qt::Key_F1);
        QCOMPARE(QApplication::focusWidget(), HelpForm()->VoxTreeView1);
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_F1);
        QCOMPARE(bench.said().mid(bench.said().size() - 2), QStringList({Stop, StatusText}));
    }

    void enterInTheTextSaysTheTitle()
    {
        HelpBench bench;
        writeAll(bench);
        ShowHelp(QStringLiteral("Status"));
        THelpForm *form = HelpForm();
        bench.forget();
        form->VoxRichEdit1->setFocus(Qt::TabFocusReason);
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("Текст помощиStatus")}));
        bench.forget();
        QTest::keyClick(form->VoxRichEdit1, Qt::Key_Return);
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("Текст помощи Status")}));

        form->VoxRichEdit1->clear();
        bench.forget();
        QTest::keyClick(form->VoxRichEdit1, Qt::Key_Enter);
        QCOMPARE(bench.said(), QStringList({QStringLiteral("Текст помощи пусто")}));
    }

    void escapeAndAnyCloseSayClosed()
    {
        HelpBench bench;
        writeAll(bench);
        ShowHelp(QStringLiteral("Status"));
        THelpForm *form = HelpForm();
        bench.forget();
        QTest::keyClick(form->VoxRichEdit1, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("Помощь закрыта")}));

        // Opened from another window's key and closed by the window system.
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        ShowHelp(QStringLiteral("Status"));
        bench.forget();
        form->close();
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("Помощь закрыта")}));
        // Closing a viewer that is not open says nothing.
        bench.forget();
        form->close();
        QCOMPARE(bench.said(), QStringList());
    }

    void missingTopicIsReportedAndTheOldTextStays()
    {
        HelpBench bench;
        writeAll(bench);
        ShowHelp(QStringLiteral("Status"));
        bench.forget();
        MessageCloser closer(bench.voice.recording);
        ShowHelp(QStringLiteral("Нет такого"));
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Не найден раздел справки."));
        const QString text =
            QStringLiteral("Файл \"Нет такого.txt \" отсутствует, либо поврежден.");
        QCOMPARE(closer.seen[0].text, text);
        const QStringList said = closer.seen[0].said;
        QCOMPARE(said.mid(said.size() - 3), QStringList({Stop, text, "Button OK"}));
        QCOMPARE(bench.player.sounds, QStringList({"msgbox"}));
        QVERIFY(HelpForm()->isVisible());
        QCOMPARE(HelpForm()->VoxRichEdit1->toPlainText(), StatusText);
    }

    void missingOrDamagedTreeIsReportedAndTheTopicStillRead()
    {
        HelpBench bench;
        writeAll(bench);
        bench.remove(QStringLiteral("helptree.txt"));
        const QString text = QStringLiteral("Файл \"") + bench.programDir.path() +
                             QStringLiteral("/help/helptree.txt\" отсутствует, либо поврежден.");
        {
            MessageCloser closer(bench.voice.recording);
            ShowHelp(QStringLiteral("Status"));
            QCOMPARE(closer.seen.size(), 1);
            QCOMPARE(closer.seen[0].title, QStringLiteral("Talvin Help configuration error"));
            QCOMPARE(closer.seen[0].text, text);
        }
        QVERIFY(HelpForm()->isVisible());
        QCOMPARE(HelpForm()->VoxTreeView1->topLevelItemCount(), 0);
        QCOMPARE(bench.said().mid(bench.said().size() - 2), QStringList({Stop, StatusText}));

        // A jump of two levels: the box says so, the nodes before it stay, the topic is read.
        bench.write(QStringLiteral("helptree.txt"), QStringLiteral("Status\n  Глубоко\nДальше\n"));
        bench.forget();
        {
            MessageCloser closer(bench.voice.recording);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Invalid level"));
            ShowHelp(QStringLiteral("Status"));
            QCOMPARE(closer.seen.size(), 1);
            QCOMPARE(closer.seen[0].text, text);
        }
        QCOMPARE(HelpForm()->VoxTreeView1->topLevelItemCount(), 1);
        QCOMPARE(bench.said().mid(bench.said().size() - 2), QStringList({Stop, StatusText}));
    }

    void oldWindowsTopicFilesAreRead()
    {
        HelpBench bench;
        writeAll(bench);
        QFile file(bench.programDir.filePath(QStringLiteral("help/Old.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xCF\xF0\xE8\xE2\xE5\xF2\r\n\xEC\xE8\xF0\r\n"); // "Привет\r\nмир" in CP1251
        file.close();
        ShowHelp(QStringLiteral("Old"));
        QCOMPARE(HelpForm()->VoxRichEdit1->toPlainText(), QStringLiteral("Привет\nмир\n"));
        QCOMPARE(bench.said().last(), QStringLiteral("Привет\nмир\n"));
    }

    void silentVoiceStillShowsHelp()
    {
        HelpBench bench;
        writeAll(bench);
        SetHelpSpeech(nullptr);
        ShowHelp(QStringLiteral("Status"));
        QCOMPARE(HelpForm()->VoxRichEdit1->toPlainText(), StatusText);
        QTest::keyClick(HelpForm()->VoxTreeView1, Qt::Key_Escape);
        QVERIFY(!HelpForm()->isVisible());
        QCOMPARE(bench.said(), QStringList());
    }

    void helpFromAModalDialogIsReachable()
    {
        HelpBench bench;
        writeAll(bench);
        QDialog dialog;
        dialog.resize(200, 100);
        bool checked = false;
        QTimer::singleShot(0, &dialog, [&] {
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            ShowHelp(QStringLiteral("serveroptions"));
            // The viewer is on top of the dialog and takes the keys.
            QCOMPARE(QApplication::activeModalWidget(), HelpForm());
            QCOMPARE(HelpForm()->VoxRichEdit1->toPlainText(), OptionsText);
            bench.forget();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("Помощь закрыта")}));
            QCOMPARE(QApplication::activeModalWidget(), &dialog);
            checked = true;
            dialog.reject();
        });
        QTimer::singleShot(5000, &dialog, &QDialog::reject); // never hang the suite
        dialog.exec();
        QVERIFY(checked);

        // Asked for from an ordinary window it is an ordinary window again.
        ShowHelp(QStringLiteral("Status"));
        QCOMPARE(HelpForm()->windowModality(), Qt::NonModal);
    }

    void everyFocusablePaneIsLabelled()
    {
        HelpBench bench;
        writeAll(bench);
        ShowHelp(QStringLiteral("Status"));
        for (QWidget *w : HelpForm()->findChildren<QWidget *>()) {
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
            if (face && face->state().focusable)
                QVERIFY2(!face->text(QAccessible::Name).isEmpty(), w->metaObject()->className());
        }
    }
};

QTEST_MAIN(TestHelpViewer)
#include "test_help_viewer.moc"
