// The text-editing speaking controls driven by real key events: what each says on focus,
// on caret movement, on Backspace/Delete and on typing, in exact order with every stop.

#include "speech/controls/vox_edit.h"
#include "speech/controls/vox_memo.h"
#include "speech/controls/vox_rich_edit.h"
#include "vox_test_support.h"

#include <QVBoxLayout>

class TestVoxTextControls : public QObject
{
    Q_OBJECT

private:
    struct Bench : VoxTestBench
    {
        Bench()
        {
            auto *layout = new QVBoxLayout(&window);
            for (QWidget *w : {static_cast<QWidget *>(edit), static_cast<QWidget *>(edit2),
                               static_cast<QWidget *>(memo), static_cast<QWidget *>(rich)})
                layout->addWidget(w);
            edit->setObjectName(QStringLiteral("VoxEdit1"));
            edit->setSpeechName(QStringLiteral("Ник"));
            edit2->setSpeechName(QStringLiteral("Редактор"));
            for (auto *e : {edit, edit2})
                e->setSpeech(voice.speech.get());
            memo->setSpeech(voice.speech.get());
            rich->setSpeech(voice.speech.get());
        }
        TVoxEdit *edit = new TVoxEdit;
        TVoxEdit *edit2 = new TVoxEdit;
        TVoxMemo *memo = new TVoxMemo;
        TVoxRichEdit *rich = new TVoxRichEdit;
    };

    // Puts the caret at p without any speech, then clears the record.
    static void placeCaret(Bench &bench, TVoxEdit *edit, int p)
    {
        edit->setCursorPosition(p);
        bench.forget();
    }

private slots:
    void initTestCase() { QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false); }

    void focusReadsNameAndText()
    {
        Bench bench;
        QVERIFY(bench.activate());

        bench.edit->setText(QStringLiteral("абвгдеёжзийклмнопрст")); // 20 characters
        QCOMPARE(bench.focus(bench.edit),
                 QStringList({Stop, QStringLiteral("Ник абвгдеёжзийклмнопрст")}));
        bench.edit2->setText(QStringLiteral("123456789012345678901")); // 21
        QCOMPARE(bench.focus(bench.edit2),
                 QStringList({Stop, QStringLiteral("Редактор много символов")}));
        bench.edit->clear();
        QCOMPARE(bench.focus(bench.edit), QStringList({Stop, QStringLiteral("Ник пуст")}));

        // The memo follows the same 20-character rule, with its class name by default.
        QCOMPARE(bench.memo->SpeechName(), QStringLiteral("мемо"));
        QCOMPARE(bench.focus(bench.memo), QStringList({Stop, QStringLiteral("мемо пуст")}));
        bench.memo->setPlainText(QStringLiteral("раз\nдва"));
        QCOMPARE(bench.focus(bench.edit), QStringList({Stop, QStringLiteral("Ник пуст")}));
        QCOMPARE(bench.focus(bench.memo), QStringList({Stop, QStringLiteral("мемо раз\nдва")}));

        // An empty rich edit says only its name; otherwise name and caret line, no blank.
        QCOMPARE(bench.focus(bench.rich), QStringList({Stop, QStringLiteral("rich edit")}));
        bench.rich->setSpeechName(QStringLiteral("Текст"));
        bench.rich->setPlainText(QStringLiteral("первая строка\nвторая строка"));
        bench.rich->moveCursor(QTextCursor::End);
        QCOMPARE(bench.focus(bench.edit), QStringList({Stop, QStringLiteral("Ник пуст")}));
        QCOMPARE(bench.focus(bench.rich),
                 QStringList({Stop, QStringLiteral("Текствторая строка")}));
    }

    void caretByCharacter()
    {
        Bench bench;
        QVERIFY(bench.activate());
        bench.edit->setText(QStringLiteral("abc"));
        bench.focus(bench.edit);

        // Right onto the end: the last character, then the end of the line.
        placeCaret(bench, bench.edit, 2);
        QTest::keyClick(bench.edit, Qt::Key_Right);
        QCOMPARE(bench.said(), QStringList({Stop, "c", QStringLiteral("конец строки")}));

        // Left reads the character left of the new caret; at the start only the start.
        placeCaret(bench, bench.edit, 2);
        QTest::keyClick(bench.edit, Qt::Key_Left);
        QCOMPARE(bench.said(), QStringList({Stop, "a"}));
        QTest::keyClick(bench.edit, Qt::Key_Left);
        QCOMPARE(bench.said(), QStringList({Stop, "a", Stop, QStringLiteral("начало строки")}));

        bench.forget();
        QTest::keyClick(bench.edit, Qt::Key_End);
        QTest::keyClick(bench.edit, Qt::Key_Home);
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("конец строки"), Stop,
                                            QStringLiteral("начало строки")}));

        // Up and Down in a one-line edit read like Left and Right (the caret stays put).
        placeCaret(bench, bench.edit, 3);
        QTest::keyClick(bench.edit, Qt::Key_Down);
        QCOMPARE(bench.said(), QStringList({Stop, "c", QStringLiteral("конец строки")}));

        // An empty field says so for every caret key but Home and End.
        bench.edit->clear();
        bench.forget();
        QTest::keyClick(bench.edit, Qt::Key_Right);
        QTest::keyClick(bench.edit, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("строка пуста"), Stop,
                                            QStringLiteral("строка пуста")}));
    }

    void caretByWord()
    {
        Bench bench;
        QVERIFY(bench.activate());
        bench.edit->setText(QStringLiteral("hello world"));
        bench.focus(bench.edit);

        placeCaret(bench, bench.edit, 3);
        QTest::keyClick(bench.edit, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(bench.said(), QStringList({Stop, "hello"}));

        placeCaret(bench, bench.edit, 8);
        QTest::keyClick(bench.edit, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(bench.said(), QStringList({Stop, "world"}));

        // Ctrl+Left from just after the blank reads the word before it.
        placeCaret(bench, bench.edit, 6);
        QTest::keyClick(bench.edit, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(bench.said(), QStringList({Stop, "hello"}));

        // In a memo words also end at line breaks.
        bench.memo->setPlainText(QStringLiteral("один\nдва три"));
        bench.focus(bench.memo);
        QTextCursor cursor = bench.memo->textCursor();
        cursor.setPosition(6);
        bench.memo->setTextCursor(cursor);
        bench.forget();
        QTest::keyClick(bench.memo, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("два")}));

        QCOMPARE(VoxTextSpeech::WordAt(QStringLiteral(" hi"), 1), QString());
        QCOMPARE(VoxTextSpeech::WordAt(QStringLiteral("hi"), -1), QStringLiteral("hi"));
        QCOMPARE(VoxTextSpeech::WordAt(QStringLiteral("hi yo"), 99), QStringLiteral("yo"));
    }

    void caretByLine()
    {
        Bench bench;
        QVERIFY(bench.activate());
        bench.memo->setPlainText(QStringLiteral("первая\nвторая\nтретья"));
        bench.rich->setPlainText(QStringLiteral("один\nдва"));
        bench.focus(bench.memo);
        bench.memo->moveCursor(QTextCursor::Start);
        bench.forget();
        QTest::keyClick(bench.memo, Qt::Key_Down);
        QTest::keyClick(bench.memo, Qt::Key_Down);
        QTest::keyClick(bench.memo, Qt::Key_Up);
        QCOMPARE(bench.said(),
                 QStringList({Stop, QStringLiteral("вторая"), Stop, QStringLiteral("третья"), Stop,
                              QStringLiteral("вторая")}));

        // Right across a line end reads the line break, then the next line's characters.
        bench.focus(bench.rich);
        bench.rich->moveCursor(QTextCursor::Start);
        bench.forget();
        QTest::keyClick(bench.rich, Qt::Key_Down);
        QTest::keyClick(bench.rich, Qt::Key_Right);
        QCOMPARE(bench.said(),
                 QStringList({Stop, QStringLiteral("два"), Stop, QStringLiteral("д")}));
    }

    void backspaceAndDelete()
    {
        Bench bench;
        QVERIFY(bench.activate());
        bench.focus(bench.edit);

        // Empty: both keys say so. Backspace also hands its own character on, as typed.
        bench.forget();
        QTest::keyClick(bench.edit, Qt::Key_Delete);
        QCOMPARE(bench.said(), QStringList({QStringLiteral("строка пуста")}));
        bench.forget();
        QTest::keyClick(bench.edit, Qt::Key_Backspace);
        QCOMPARE(bench.said(), QStringList({QStringLiteral("строка пуста")}));
        bench.edit->setSpeakMode(true);
        bench.forget();
        QTest::keyClick(bench.edit, Qt::Key_Backspace);
        QCOMPARE(bench.said(), QStringList({QStringLiteral("строка пуста"), QString(QChar(8))}));
        bench.edit->setSpeakMode(false);

        bench.edit->setText(QStringLiteral("мир"));
        placeCaret(bench, bench.edit, 3);
        QTest::keyClick(bench.edit, Qt::Key_Delete);
        QCOMPARE(bench.said(), QStringList({QStringLiteral("конец строки")}));
        placeCaret(bench, bench.edit, 1);
        QTest::keyClick(bench.edit, Qt::Key_Delete); // removes "и"
        QCOMPARE(bench.said(), QStringList({QStringLiteral("и")}));
        QCOMPARE(bench.edit->text(), QStringLiteral("мр"));
        placeCaret(bench, bench.edit, 2);
        QTest::keyClick(bench.edit, Qt::Key_Backspace); // removes "р"
        QCOMPARE(bench.said(), QStringList({QStringLiteral("р")}));
        QCOMPARE(bench.edit->text(), QStringLiteral("м"));
        // At the very start Backspace removes nothing and says nothing.
        placeCaret(bench, bench.edit, 0);
        QTest::keyClick(bench.edit, Qt::Key_Backspace);
        QCOMPARE(bench.said(), QStringList());

        // In the memo the Backspace character always follows the removed one.
        bench.memo->setPlainText(QStringLiteral("ок"));
        bench.focus(bench.memo);
        bench.memo->moveCursor(QTextCursor::End);
        bench.forget();
        QTest::keyClick(bench.memo, Qt::Key_Backspace);
        QCOMPARE(bench.said(), QStringList({QStringLiteral("к"), QString(QChar(8))}));
    }

    void typedCharacters()
    {
        Bench bench;
        QVERIFY(bench.activate());
        bench.focus(bench.memo);
        bench.forget();
        for (QChar ch : QStringLiteral("кКхшг $%я"))
            TypeCharacter(bench.memo, ch);
        QCOMPARE(bench.memo->toPlainText(), QStringLiteral("кКхшг $%я"));
        QCOMPARE(bench.said(),
                 QStringList({Stop, QStringLiteral("ка"), Stop, QStringLiteral("К"), Stop,
                              QStringLiteral("ха"), Stop, QStringLiteral("шэ"), Stop,
                              QStringLiteral("гэ"), Stop, QStringLiteral("пробел"), Stop,
                              QStringLiteral("доллар"), Stop, QStringLiteral("проценты"), Stop,
                              QStringLiteral("я")}));

        // The rich edit spells the same way; Enter types nothing audible.
        bench.focus(bench.rich);
        bench.forget();
        TypeCharacter(bench.rich, QChar(0x0445));
        QTest::keyClick(bench.rich, Qt::Key_Return);
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("ха")}));

        // An edit is quiet while typing unless SpeakMode is on, and never spells words.
        bench.focus(bench.edit);
        bench.forget();
        TypeCharacter(bench.edit, QChar(0x043A));
        QTest::keyClicks(bench.edit, "a ");
        QCOMPARE(bench.said(), QStringList());
        bench.edit->setSpeakMode(true);
        TypeCharacter(bench.edit, QChar(0x043A));
        QTest::keyClicks(bench.edit, " ");
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("к"), Stop, " "}));
        QCOMPARE(bench.edit->text(), QStringLiteral("кa к "));
    }

    void savedCaretIsSharedPerClass()
    {
        Bench bench;
        QVERIFY(bench.activate());
        bench.edit->setText(QStringLiteral("hello world"));
        bench.edit2->setText(QStringLiteral("0123456789"));
        bench.memo->setPlainText(QStringLiteral("memo text"));
        bench.memo->moveCursor(QTextCursor::End);
        bench.focus(bench.memo);
        QTest::keyClick(bench.memo, Qt::Key_Shift);
        QCOMPARE(TVoxMemo::SavedCaretPosition(), 9);

        bench.focus(bench.edit2);
        placeCaret(bench, bench.edit2, 8);
        QTest::keyClick(bench.edit2, Qt::Key_Shift);
        QCOMPARE(TVoxEdit::SavedCaretPosition(), 8);
        QCOMPARE(TVoxMemo::SavedCaretPosition(), 9);

        // Right goes down in the first edit, then a key in the second one records its caret:
        // the release in the first edit reads the word at that caret, since the position
        // belongs to the class, not to the field.
        bench.focus(bench.edit);
        placeCaret(bench, bench.edit, 2);
        QTest::keyPress(bench.edit, Qt::Key_Right, Qt::ControlModifier);
        QTest::keyClick(bench.edit2, Qt::Key_Control);
        QTest::keyRelease(bench.edit, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(bench.said(), QStringList({Stop, "world"}));
    }

    void releaseOfAKeyPressedElsewhereIsQuiet()
    {
        // Shift+Tab goes down in one control and comes up in the next: only the focus speaks.
        Bench bench;
        QVERIFY(bench.activate());
        bench.edit->setText(QStringLiteral("abc"));
        bench.focus(bench.edit2);
        bench.forget();
        QTest::keyPress(bench.edit2, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), bench.edit);
        QTest::keyRelease(bench.edit, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyRelease(bench.edit, Qt::Key_Left);
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("Ник abc")}));
    }

    void longTextsKeepTheirCaret()
    {
        // Positions past 65535 (a long conversation) must still find the right word.
        Bench bench;
        QVERIFY(bench.activate());
        bench.memo->setPlainText(QString(70000, QLatin1Char('x')) + QStringLiteral(" конец"));
        bench.focus(bench.memo);
        bench.memo->moveCursor(QTextCursor::End);
        bench.forget();
        QTest::keyClick(bench.memo, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(TVoxMemo::SavedCaretPosition(), 70006);
        QCOMPARE(bench.said(), QStringList({Stop, QStringLiteral("конец")}));
    }

    void passwordFieldsAreHeardAsStars()
    {
        Bench bench;
        QVERIFY(bench.activate());
        bench.edit->setEchoMode(QLineEdit::Password);
        bench.edit->setSpeechName(QStringLiteral("Пароль"));
        bench.edit->setText(QStringLiteral("secret"));
        QCOMPARE(bench.focus(bench.edit), QStringList({Stop, QStringLiteral("Пароль ******")}));
        bench.edit->setSpeakMode(true);
        placeCaret(bench, bench.edit, 6);
        QTest::keyClicks(bench.edit, "x");
        QTest::keyClick(bench.edit, Qt::Key_Left);
        QTest::keyClick(bench.edit, Qt::Key_Backspace);
        QCOMPARE(bench.said(), QStringList({Stop, "*", Stop, "*", "*", QString(QChar(8))}));
    }

    void withoutSpeechStaysSilent()
    {
        Bench bench;
        QVERIFY(bench.activate());
        bench.edit->setSpeech(nullptr);
        bench.edit->setText(QStringLiteral("abc"));
        QCOMPARE(bench.focus(bench.edit), QStringList());
        QTest::keyClick(bench.edit, Qt::Key_Left);
        QTest::keyClick(bench.edit, Qt::Key_Backspace);
        QCOMPARE(bench.edit->text(), QStringLiteral("ac"));
        QCOMPARE(bench.said(), QStringList());

        // A voice that goes away leaves the control silent, not dangling.
        bench.memo->setSpeech(bench.voice.speech.get());
        bench.voice.speech.reset();
        QVERIFY(!bench.memo->Speech());
        bench.memo->setFocus(Qt::TabFocusReason);
        QTest::keyClick(bench.memo, Qt::Key_Left);
    }
};

QTEST_MAIN(TestVoxTextControls)
#include "test_vox_text_controls.moc"
