#pragma once

#include <QString>
#include <QTextCursor>

class QTextDocument;

class QFocusEvent;
class QKeyEvent;
class VoxVoice;

// What a text control shows the speech, read at the moment of asking: its text, the caret
// as the number of characters before it, and the line that holds the caret. Controls
// with long texts (a conversation) answer from their document without copying it.
class CaretText
{
public:
    virtual ~CaretText() = default;
    virtual int length() const = 0;
    // 0-based; a line break reads as "\n".
    virtual QChar at(int index) const = 0;
    // The whole text; asked for only when it is short.
    virtual QString text() const = 0;
    virtual int caret() const = 0;
    virtual QString caretLine() const = 0;
    // A password field: characters are heard as "*".
    virtual bool masked() const { return false; }
};

// A plain string with the caret at a given place.
class StringCaretText : public CaretText
{
public:
    explicit StringCaretText(QString text, int caret = 0, bool masked = false)
        : m_text(std::move(text)), m_caret(caret), m_masked(masked)
    {}
    int length() const override { return int(m_text.size()); }
    QChar at(int index) const override { return m_text.at(index); }
    QString text() const override { return m_text; }
    int caret() const override { return m_caret; }
    QString caretLine() const override { return m_text; }
    bool masked() const override { return m_masked; }

private:
    QString m_text;
    int m_caret;
    bool m_masked;
};

// A text document (rich edit, memo) and its cursor.
class DocumentCaretText : public CaretText
{
public:
    DocumentCaretText(const QTextDocument *document, QTextCursor cursor)
        : m_document(document), m_cursor(std::move(cursor))
    {}
    int length() const override;
    QChar at(int index) const override;
    QString text() const override;
    int caret() const override { return m_cursor.position(); }
    QString caretLine() const override;

private:
    const QTextDocument *m_document;
    QTextCursor m_cursor;
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

    void focusIn(const CaretText &state, const QFocusEvent *event) const;
    // A key going down: records the caret, reads what Backspace or Delete will remove.
    void keyDown(const QKeyEvent *event, const CaretText &state) const;
    // The character a key press types. speakTyped is false for an edit without echo.
    void characterTyped(const QKeyEvent *event, const CaretText &state, bool speakTyped) const;
    // A key coming up: after caret movement, reads where the caret went.
    void keyUp(const QKeyEvent *event, const CaretText &state) const;

    // The word around position k of the text (positions counting from 1): from just after
    // the nearest separator at or left of k - 1 up to the next separator.
    static QString WordAt(const CaretText &text, int k);
    static QString WordAt(const QString &text, int k) { return WordAt(StringCaretText(text), k); }
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
