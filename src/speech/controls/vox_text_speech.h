#pragma once

#include <QString>

class QKeyEvent;
class VoxVoice;

// What a text control shows the speech at one moment: its whole text, the caret as the
// number of characters before it, and the line that holds the caret.
struct CaretText
{
    QString text;
    int caret = 0;
    QString caretLine;
    bool masked = false; // a password field: characters are heard as "*"
};

// The speech of the three text-editing controls (rich edit, memo, one-line edit), which
// differ only in a few places (see Kind). Every control class keeps one saved caret position
// shared by all its instances: it is taken when a key goes down and read when it comes up,
// which is how Ctrl+arrow finds the word the caret left.
class VoxTextSpeech
{
public:
    enum class Kind {
        RichEdit, // focus reads the caret line; Up/Down read the line; typed letters spelled
        Memo,     // focus reads the text (up to 20 characters); Up/Down read the line
        Edit,     // focus reads the text; Up/Down read characters; typing only when asked
    };

    VoxTextSpeech(const VoxVoice &voice, Kind kind, int &savedCaretPosition);

    void focusIn(const CaretText &state) const;
    // A key going down: records the caret, reads what Backspace or Delete will remove.
    void keyDown(const QKeyEvent *event, const CaretText &state) const;
    // The character a key press types. speakTyped is false for an edit without echo.
    void characterTyped(const QKeyEvent *event, const CaretText &state, bool speakTyped) const;
    // A key coming up: after caret movement, reads where the caret went.
    void keyUp(const QKeyEvent *event, const CaretText &state) const;

    // The word around position k of the text (positions counting from 1): from just after
    // the nearest separator at or left of k - 1 up to the next separator.
    static QString WordAt(const QString &text, int k);
    // How a typed character is said in the rich edit and the memo.
    static QString SpokenCharacter(QChar ch);

private:
    QString characterAt(const CaretText &state, int position) const; // 1-based

    const VoxVoice &m_voice;
    Kind m_kind;
    int &m_saved;
};

// The words the text controls say.
namespace VoxWords {
inline const QString EmptyLine = QStringLiteral("строка пуста");
inline const QString LineEnd = QStringLiteral("конец строки");
inline const QString LineStart = QStringLiteral("начало строки");
inline const QString ManyCharacters = QStringLiteral(" много символов");
inline const QString Empty = QStringLiteral(" пуст");
} // namespace VoxWords
