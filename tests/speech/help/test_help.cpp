// The help viewer and the spoken message box with real keys: the tree and the topic read in
// order, the keys of both panes, missing or damaged help files reported aloud, help from a
// modal dialog; the box's sound, text and button, closing, re-use and nesting; and the help
// shipped with the program, every topic present in UTF-8, naming controls as they are shown.

#include "file_bytes.h"
#include "help_test_support.h"
#include "speech/controls/vox_button.h"
#include "speech/controls/vox_tree_view.h"
#include "speech/help/help_form.h"
#include "speech/help/help_text_file.h"
#include "speech/help/help_tree.h"

#include <QDialog>
#include <QSet>
#include <QStringDecoder>

namespace {

const QString StatusText = "Status\nОкно статуса показывает сообщения сервера.\n";
const QString OptionsText = "serveroptions\nПараметры сервера.";

struct Bench : HelpBench
{
    Bench()
    {
        write("helptree.txt", "Status\nПодключение\n\tДиалог настройки соединения\n\t\tAddServer\n"
                              "\tserveroptions\n\n");
        write("Status.txt", StatusText.toUtf8());
        write("serveroptions.txt", OptionsText.toUtf8());
    }
};

// Runs act once the spoken message box is the active window; rejects it after 5 s.
void whenBoxActive(const std::function<void()> &act)
{
    QTimer::singleShot(0, [act] {
        if (QTest::qWaitForWindowActive(VoxShowMessageForm()))
            act();
    });
    QTimer::singleShot(5000, VoxShowMessageForm(), &QDialog::reject);
}

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        // Let the window system's late activations arrive before the viewer goes away.
        QTest::qWait(20);
        HelpForm()->hide();
        QTest::qWait(20);
    }

    void helpViewerKeysAndMissingFiles()
    {
        Bench bench;
        ShowHelp("Status");
        THelpForm *form = HelpForm();
        QCOMPARE(form->windowTitle(), "Помощь Talvin");
        // The focused tree names itself first; then the topic is read whole.
        QCOMPARE(bench.said(), QStringList({Stop, Stop, "Дерево помощи Status", Stop, StatusText}));
        QTreeWidget *tree = form->VoxTreeView1;
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(1)->child(0)->child(0)->text(0), "AddServer");
        QCOMPARE(tree->topLevelItem(1)->child(1)->text(0), "serveroptions");
        QCOMPARE(UnlabelledControls(form), QStringList());

        // Opened afresh on a topic deep in the tree: the tree stands on that topic.
        form->close();
        bench.forget();
        ShowHelp("serveroptions");
        QCOMPARE(bench.said(),
                 QStringList({Stop, Stop, "Дерево помощи serveroptions", Stop, OptionsText}));
        QVERIFY(tree->currentItem()->parent()->isExpanded());
        ShowHelp("Status"); // shown again: the tree is reloaded, not doubled
        QCOMPARE(tree->topLevelItemCount(), 2);

        // Topic files from older Windows installations are read too.
        bench.write("Old.txt", "\xCF\xF0\xE8\xE2\xE5\xF2\r\n\xEC\xE8\xF0\r\n");
        ShowHelp("Old");
        QCOMPARE(bench.said().last(), "Привет\nмир\n");
        QCOMPARE(bench.player.sounds, QStringList());

        // The keys of the tree and of the text.
        form->VoxTreeView1->setFocus();
        form->VoxTreeView1->setCurrentItem(
            form->VoxTreeView1->findItems("serveroptions", Qt::MatchRecursive).value(0));
        bench.forget();
        // The release of Enter must not cut the topic with the node's name.
        QTest::keyClick(form->VoxTreeView1, Qt::Key_Return);
        QTest::keyClick(form->VoxTreeView1, Qt::Key_Up); // other keys announce the node
        QCOMPARE(bench.said(),
                 QStringList({Stop, OptionsText, Stop, "Диалог настройки соединения"}));

        form->VoxRichEdit1->setFocus(Qt::TabFocusReason);
        bench.forget();
        QTest::keyClick(form->VoxRichEdit1, Qt::Key_Return);
        QCOMPARE(bench.said(), QStringList({Stop, "Текст помощи serveroptions"}));
        form->VoxRichEdit1->clear();
        bench.forget();
        QTest::keyClick(form->VoxRichEdit1, Qt::Key_Enter);
        QTest::keyClick(form->VoxRichEdit1, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        QCOMPARE(bench.said(), QStringList({"Текст помощи пусто", Stop, "Помощь закрыта"}));
        ShowHelp("Status");
        bench.forget();
        form->close(); // closed by the window system it says so; closed again, nothing
        form->close();
        QCOMPARE(bench.said(), QStringList({Stop, "Помощь закрыта"}));

        // Missing or damaged help files are reported aloud, and the rest still works.
        ShowHelp("Status");
        MessageCloser closer(bench.voice.recording);
        ShowHelp("Нет такого");
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, "Не найден раздел справки.");
        const QString text = "Файл \"Нет такого.txt \" отсутствует, либо поврежден.";
        QCOMPARE(closer.seen[0].text, text);
        QCOMPARE(closer.seen[0].said.mid(closer.seen[0].said.size() - 3),
                 QStringList({Stop, text, "Button OK"}));
        QCOMPARE(bench.player.sounds, QStringList({"msgbox"}));
        QCOMPARE(HelpForm()->VoxRichEdit1->toPlainText(), StatusText); // the old text stays

        // No tree, or a jump of two levels: reported, the nodes before it stay, topic read.
        const QString treeText = "Файл \"" + bench.programDir.path() +
                                 "/help/helptree.txt\" отсутствует, либо поврежден.";
        QFile::remove(bench.programDir.filePath("help/helptree.txt"));
        bench.forget();
        ShowHelp("Status");
        bench.write("helptree.txt", "Status\n  Глубоко\nДальше\n");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Invalid level"));
        ShowHelp("Status");
        QCOMPARE(closer.seen.size(), 3);
        QCOMPARE(closer.seen[1].title, "Talvin Help configuration error");
        QCOMPARE(closer.seen[1].text, treeText);
        QCOMPARE(closer.seen[2].text, treeText);
        QCOMPARE(HelpForm()->VoxTreeView1->topLevelItemCount(), 1);
        QCOMPARE(bench.said().mid(bench.said().size() - 2), QStringList({Stop, StatusText}));

        // Without a voice help is still shown.
        SetHelpSpeech(nullptr);
        bench.forget();
        ShowHelp("serveroptions");
        QCOMPARE(HelpForm()->VoxRichEdit1->toPlainText(), OptionsText);
        QCOMPARE(bench.said(), QStringList());
    }

    void helpFromAModalDialogIsReachable()
    {
        Bench bench;
        QDialog dialog;
        bool checked = false;
        QTimer::singleShot(0, &dialog, [&] {
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            ShowHelp("serveroptions");
            // The viewer is on top of the dialog and takes the keys.
            QCOMPARE(QApplication::activeModalWidget(), HelpForm());
            bench.forget();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QCOMPARE(bench.said(), QStringList({Stop, "Помощь закрыта"}));
            QCOMPARE(QApplication::activeModalWidget(), &dialog);
            checked = true;
            dialog.reject();
        });
        QTimer::singleShot(5000, &dialog, &QDialog::reject); // never hang the suite
        dialog.exec();
        QVERIFY(checked);
        ShowHelp("Status"); // from an ordinary window it is an ordinary window again
        QCOMPARE(HelpForm()->windowModality(), Qt::NonModal);
    }

    void messageBoxSoundTextButtonAndClosing()
    {
        HelpBench bench;
        auto closer = std::make_unique<MessageCloser>(bench.voice.recording);
        VoxShowMessage("Ошибка соединения", "Сервер не отвечает.");
        VoxShowMessage("Второй", "Второй текст"); // the box is re-used for the new message only
        QCOMPARE(closer->seen.size(), 2);
        QCOMPARE(closer->seen[0].title, "Ошибка соединения");
        QCOMPARE(closer->seen[0].said, QStringList({Stop, "Сервер не отвечает.", "Button OK"}));
        QCOMPARE(closer->seen[1].text, "Второй текст");
        QCOMPARE(bench.player.sounds, QStringList({"msgbox", "msgbox"}));
        QCOMPARE(bench.player.saidBefore.value(0), 0); // the sound comes before speech
        QCOMPARE(VoxShowMessageForm()->result(), int(QDialog::Rejected));
        bench.forget();
        SetHelpSpeech(nullptr); // silent without a voice, yet shown and heard as a sound
        VoxShowMessage("Заголовок", "Текст");
        QCOMPARE(closer->seen.size(), 3);
        QCOMPARE(closer->seen[2].said, QStringList());
        QCOMPARE(bench.player.sounds.size(), 3);
        closer.reset();
        SetHelpSpeech(bench.voice.speech.get());
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space}) {
            MessageCloser closer(bench.voice.recording, key);
            VoxShowMessage("Заголовок", "Текст");
            QCOMPARE(closer.seen.size(), 1);
            QVERIFY(!VoxShowMessageForm()->isVisible());
        }
        QStringList missing{"not run"};
        whenBoxActive([&] {
            missing = UnlabelledControls(VoxShowMessageForm());
            QTest::mouseClick(VoxShowMessageForm()->VoxButton1, Qt::LeftButton);
        });
        VoxShowMessage("Заголовок", "Текст");
        QCOMPARE(missing, QStringList());
        QCOMPARE(VoxShowMessageForm()->result(), int(QDialog::Rejected));

        // Closed before the window system activated it: nothing is said or played late.
        QStringList saidAtClose, soundsAtClose;
        QTimer::singleShot(0, [&] {
            QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
            saidAtClose = bench.said();
            soundsAtClose = bench.player.sounds;
        });
        VoxShowMessage("Заголовок", "Текст");
        QTest::qWait(50);
        QCOMPARE(bench.said(), saidAtClose);
        QCOMPARE(bench.player.sounds, soundsAtClose);

        // A message while another is open gets its own box.
        QStringList titles;
        whenBoxActive([&] {
            titles << QApplication::activeModalWidget()->windowTitle();
            MessageCloser closer(bench.voice.recording);
            VoxShowMessage("Внутренний", "Второе сообщение");
            titles << closer.seen.value(0).title;
            QTest::keyClick(VoxShowMessageForm(), Qt::Key_Escape);
        });
        VoxShowMessage("Внешний", "Первое сообщение");
        QCOMPARE(titles, QStringList({"Внешний", "Внутренний"}));
    }

    void shippedHelpIsCompleteAndReadable()
    {
        const QString shipped = qEnvironmentVariable("TALVIN_SOURCE_DIR") + "/dist/help";
        QTreeWidget tree;
        LoadHelpTree(&tree, ReadHelpText(shipped + "/helptree.txt").value());
        QStringList topics;
        for (QTreeWidgetItemIterator it(&tree); *it; ++it)
            topics << (*it)->text(0);
        // The topics the windows open must be reachable from the tree too.
        for (const char *topic : {"Status", "Что такое IRC", "Диалог настройки соединения",
                                  "AddServer", "serveroptions"})
            QVERIFY2(topics.contains(QString::fromUtf8(topic)), topic);
        for (int step = 1; step <= 6; ++step)
            topics << QString("masterf%1").arg(step);
        // Every name the help quotes («...») is a caption as a control shows it (quotes, a
        // trailing colon and blanks off), and names the windows never had are gone.
        QSet<QString> captions;
        for (const QString &line :
             QString::fromUtf8(ReadBytes(shipped + "/../config/caption.ini")).split(u'\n'))
            if (!line.startsWith(u';') && line.contains(u'='))
                captions.insert(
                    line.section(u'=', 1).remove(u'"').remove(QRegularExpression("[: ]+$")));
        static const QRegularExpression quoted("«([^»]*)»");
        int names = 0;
        for (const QString &topic : topics) {
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString text = utf8.decode(ReadBytes(shipped + '/' + topic + ".txt"));
            QVERIFY2(!utf8.hasError() && text.size() > 200 &&
                         !text.section('\n', 0, 0).trimmed().isEmpty() &&
                         text.contains(QRegularExpression("[а-яА-Я]")),
                     qPrintable(topic));
            for (auto match = quoted.globalMatch(text); match.hasNext(); ++names) {
                const QString name = match.next().captured(1);
                QVERIFY2(captions.contains(name), qPrintable(topic + ": " + name));
            }
            for (const char *gone :
                 {"IRC сервер:", "Альтернативный ник", "Помощь", "Кнопка Список ", "Кнопка Тест",
                  "ссылки на страницу", "уже указан какой"})
                QVERIFY2(!text.contains(QString::fromUtf8(gone)), gone);
        }
        QVERIFY(names >= 80);
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
