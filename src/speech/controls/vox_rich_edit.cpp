#include "speech/controls/vox_rich_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>

int TVoxRichEdit::s_savedCaretPosition = 0;

TVoxRichEdit::TVoxRichEdit(QWidget *parent)
    : QTextEdit(parent), m_voice(this, QStringLiteral("rich edit")),
      m_textSpeech(m_voice, VoxTextSpeech::Kind::RichEdit, s_savedCaretPosition)
{}

void TVoxRichEdit::focusInEvent(QFocusEvent *event)
{
    QTextEdit::focusInEvent(event);
    m_voice.forgetKeys();
    if (AnnouncesFocus(this, event))
        m_textSpeech.focusIn(caretText(), event);
}

void TVoxRichEdit::keyPressEvent(QKeyEvent *event)
{
    const DocumentCaretText state = caretText();
    m_voice.keyWentDown(event);
    m_textSpeech.keyDown(event, state);
    m_textSpeech.characterTyped(event, state, true);
    QTextEdit::keyPressEvent(event);
}

void TVoxRichEdit::keyReleaseEvent(QKeyEvent *event)
{
    if (m_voice.keyWentUp(event))
        m_textSpeech.keyUp(event, caretText());
    QTextEdit::keyReleaseEvent(event);
}

DocumentCaretText TVoxRichEdit::caretText() const
{
    return DocumentCaretText(document(), textCursor());
}
