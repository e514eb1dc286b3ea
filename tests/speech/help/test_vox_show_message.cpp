// The spoken message box: sound first, then its text (never its title) with the interface
// voice, then the OK button; closed by real keys and clicks, re-used, and safe to nest.

#include "help_test_support.h"
#include "speech/controls/vox_button.h"

#include <QAccessible>

class TestVoxShowMessage : public QObject
{
    Q_OBJECT

private slots:
    void soundThenTextThenButton()
    {
        HelpBench bench;
        MessageCloser closer(bench.voice.recording);
        VoxShowMessage(QStringLiteral("Ошибка соединения"), QStringLiteral("Сервер не отвечает."));
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Ошибка соединения"));
        QCOMPARE(closer.seen[0].said,
                 QStringList({Stop, QStringLiteral("Сервер не отвечает."), "Button OK"}));
        QCOMPARE(bench.player.sounds, QStringList({"msgbox"}));
        QCOMPARE(bench.player.saidBefore, QList<int>({0})); // the sound comes before speech
        QVERIFY(!VoxShowMessageForm()->isVisible());
        QCOMPARE(VoxShowMessageForm()->result(), int(QDialog::Rejected));
    }

    void closesOnEscapeEnterSpaceAndClick()
    {
        HelpBench bench;
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space}) {
            MessageCloser closer(bench.voice.recording, key);
            VoxShowMessage(QStringLiteral("Заголовок"), QStringLiteral("Текст"));
            QCOMPARE(closer.seen.size(), 1);
            QVERIFY(!VoxShowMessageForm()->isVisible());
        }

        bool clicked = false;
        QTimer::singleShot(0, [&] {
            QVERIFY(QTest::qWaitForWindowActive(VoxShowMessageForm()));
            QTest::mouseClick(VoxShowMessageForm()->VoxButton1, Qt::LeftButton);
            clicked = true;
        });
        QTimer::singleShot(5000, VoxShowMessageForm(), &QDialog::reject); // never hang
        VoxShowMessage(QStringLiteral("Заголовок"), QStringLiteral("Текст"));
        QVERIFY(clicked);
        QCOMPARE(VoxShowMessageForm()->result(), int(QDialog::Rejected));
        QCOMPARE(bench.player.sounds.size(), 4);
    }

    void closedAtOnceByTheUsualTestIdiom()
    {
        // Closed before the window system got round to activating it: nothing is said or
        // played late, after the box is gone.
        HelpBench bench;
        QStringList saidAtClose;
        QStringList soundsAtClose;
        QTimer::singleShot(0, [&] {
            QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
            saidAtClose = bench.said();
            soundsAtClose = bench.player.sounds;
        });
        VoxShowMessage(QStringLiteral("Заголовок"), QStringLiteral("Текст"));
        QVERIFY(!VoxShowMessageForm()->isVisible());
        QTest::qWait(50);
        QCOMPARE(bench.said(), saidAtClose);
        QCOMPARE(bench.player.sounds, soundsAtClose);
    }

    void reusedBoxShowsOnlyTheNewMessage()
    {
        HelpBench bench;
        MessageCloser closer(bench.voice.recording);
        VoxShowMessage(QStringLiteral("Первый"), QStringLiteral("Первый текст\nвторая строка"));
        VoxShowMessage(QStringLiteral("Второй"), QStringLiteral("Второй текст"));
        QCOMPARE(closer.seen.size(), 2);
        QCOMPARE(closer.seen[1].title, QStringLiteral("Второй"));
        QCOMPARE(closer.seen[1].text, QStringLiteral("Второй текст"));
        QCOMPARE(VoxShowMessageForm()->VoxRichEdit1->textCursor().position(), 0);
    }

    void aMessageWhileAnotherIsOpenGetsItsOwnBox()
    {
        HelpBench bench;
        QStringList titles;
        QTimer::singleShot(0, [&] {
            QVERIFY(QTest::qWaitForWindowActive(VoxShowMessageForm()));
            titles << QApplication::activeModalWidget()->windowTitle();
            MessageCloser closer(bench.voice.recording);
            VoxShowMessage(QStringLiteral("Внутренний"), QStringLiteral("Второе сообщение"));
            titles << closer.seen.value(0).title;
            QTest::keyClick(VoxShowMessageForm(), Qt::Key_Escape);
        });
        QTimer::singleShot(5000, VoxShowMessageForm(), &QDialog::reject); // never hang
        VoxShowMessage(QStringLiteral("Внешний"), QStringLiteral("Первое сообщение"));
        QCOMPARE(titles, QStringList({QStringLiteral("Внешний"), QStringLiteral("Внутренний")}));
        QCOMPARE(bench.player.sounds, QStringList({"msgbox", "msgbox"}));
    }

    void silentWithoutVoice()
    {
        HelpBench bench;
        SetHelpSpeech(nullptr);
        MessageCloser closer(bench.voice.recording);
        VoxShowMessage(QStringLiteral("Заголовок"), QStringLiteral("Текст"));
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(bench.said(), QStringList());
        QCOMPARE(bench.player.sounds, QStringList({"msgbox"}));
    }

    void everyFocusableControlIsLabelled()
    {
        HelpBench bench;
        bool checked = false;
        QTimer::singleShot(0, [&] {
            QVERIFY(QTest::qWaitForWindowActive(VoxShowMessageForm()));
            for (QWidget *w : VoxShowMessageForm()->findChildren<QWidget *>()) {
                QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
                if (face && face->state().focusable)
                    QVERIFY2(!face->text(QAccessible::Name).isEmpty(),
                             w->metaObject()->className());
            }
            checked = true;
            VoxShowMessageForm()->reject();
        });
        QTimer::singleShot(5000, VoxShowMessageForm(), &QDialog::reject); // never hang
        VoxShowMessage(QStringLiteral("Заголовок"), QStringLiteral("Текст"));
        QVERIFY(checked);
    }
};

QTEST_MAIN(TestVoxShowMessage)
#include "test_vox_show_message.moc"
