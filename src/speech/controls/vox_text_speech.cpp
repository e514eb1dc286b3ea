#include "speech/controls/vox_text_speech.h"

#include "speech/controls/vox_voice.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextDocument>

namespace {

bool isCaretKey(int key)
{
    switch (key) {
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

// Words end at blanks and, in multi-line texts, at line breaks.
bool isSeparator(QChar ch)
{
    return ch.isSpace();
}

const QChar Backspace(0x08);

} // namespace

VoxTextSpeech::VoxTextSpeech(const VoxVoice &voice, Kind kind, int &savedCaretPosition)
    : m_voice(voice), m_kind(kind), m_saved(savedCaretPosition)
{}

void VoxTextSpeech::focusIn(const CaretText &state, const QFocusEvent *event) const
{
    const QString name = m_voice.speechName();
    m_voice.stopForFocus(event);
    if (m_kind == Kind::RichEdit) {
        m_voice.announce(state.length() == 0 ? name : name + state.caretLine());
        return;
    }
    if (state.length() > 20)
        m_voice.announce(name + VoxWords::ManyCharacters);
    else if (state.length() == 0)
        m_voice.announce(name + VoxWords::Empty);
    else
        m_voice.announce(name + QLatin1Char(' ') + state.text());
}

void VoxTextSpeech::keyDown(const QKeyEvent *event, const CaretText &state) const
{
    m_saved = state.caret();
    const int p = state.caret();
    if (event->key() == Qt::Key_Backspace) {
        if (state.length() == 0)
            m_voice.announce(VoxWords::EmptyLine);
        else if (p > 0)
            m_voice.announce(characterAt(state, p));
    } else if (event->key() == Qt::Key_Delete) {
        if (state.length() == 0)
            m_voice.announce(VoxWords::EmptyLine);
        else if (p >= state.length())
            m_voice.announce(VoxWords::LineEnd);
        else
            m_voice.announce(characterAt(state, p + 1));
    }
}

void VoxTextSpeech::characterTyped(const QKeyEvent *event, const CaretText &state,
                                   bool speakTyped) const
{
    if (!speakTyped)
        return;
    const QString typed = event->text();
    if (typed.isEmpty())
        return;
    const QChar ch = typed.front();
    if (ch == Backspace) {
        m_voice.announce(QString(Backspace));
        return;
    }
    // Enter, Escape, Tab and Ctrl combinations type control characters: nothing to hear.
    if (!ch.isPrint())
        return;
    m_voice.stop();
    if (state.masked())
        m_voice.announce(QStringLiteral("*"));
    else if (m_kind == Kind::Edit)
        m_voice.announce(QString(ch));
    else
        m_voice.announce(SpokenCharacter(ch));
}

void VoxTextSpeech::keyUp(const QKeyEvent *event, const CaretText &state) const
{
    const int key = event->key();
    if (!isCaretKey(key))
        return;
    m_voice.stop();
    if (key == Qt::Key_Home) {
        m_voice.announce(VoxWords::LineStart);
        return;
    }
    if (key == Qt::Key_End) {
        m_voice.announce(VoxWords::LineEnd);
        return;
    }
    const bool vertical = key == Qt::Key_Up || key == Qt::Key_Down;
    if (vertical && m_kind != Kind::Edit) {
        m_voice.announce(state.caretLine());
        return;
    }
    const bool forward = key == Qt::Key_Right || key == Qt::Key_Down;
    if (state.length() == 0) {
        m_voice.announce(VoxWords::EmptyLine);
        return;
    }
    if (event->modifiers() & Qt::ControlModifier) {
        int k = m_saved;
        if (key == Qt::Key_Right)
            k += 1;
        else if (key == Qt::Key_Left)
            k -= 1;
        m_voice.announce(WordAt(state, k));
        return;
    }
    const int p = state.caret();
    if (p > 0)
        m_voice.announce(characterAt(state, p));
    if (forward && p >= state.length())
        m_voice.announce(VoxWords::LineEnd);
    if (!forward && p == 0)
        m_voice.announce(VoxWords::LineStart);
}

QString VoxTextSpeech::WordAt(const CaretText &text, int k)
{
    const int length = text.length();
    // i walks left over 1-based positions; it stops on a separator or at 0 (the start).
    int i = qBound(0, k - 1, length);
    while (i > 0 && !isSeparator(text.at(i - 1)))
        --i;
    QString word; // from just after the separator up to the next one
    for (int end = i; end < length && !isSeparator(text.at(end)); ++end)
        word += text.at(end);
    return word;
}

QString VoxTextSpeech::SpokenCharacter(QChar ch)
{
    switch (ch.unicode()) {
    case 0x043A: // к
        return QStringLiteral("ка");
    case 0x0445: // х
        return QStringLiteral("ха");
    case 0x0448: // ш
        return QStringLiteral("шэ");
    case 0x0433: // г
        return QStringLiteral("гэ");
    case ' ':
        return QStringLiteral("пробел");
    case '$':
        return QStringLiteral("доллар");
    case '%':
        return QStringLiteral("проценты");
    default:
        return QString(ch);
    }
}

QString VoxTextSpeech::characterAt(const CaretText &state, int position) const
{
    if (position < 1 || position > state.length())
        return QString();
    if (state.masked())
        return QStringLiteral("*");
    return QString(state.at(position - 1));
}

int DocumentCaretText::length() const
{
    // The document counts one more character: the end of its last paragraph.
    return qMax(0, m_document->characterCount() - 1);
}

QChar DocumentCaretText::at(int index) const
{
    const QChar ch = m_document->characterAt(index);
    return ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator ? QChar(u'\n') : ch;
}

QString DocumentCaretText::text() const
{
    return m_document->toPlainText();
}

QString DocumentCaretText::caretLine() const
{
    return m_cursor.block().text();
}
