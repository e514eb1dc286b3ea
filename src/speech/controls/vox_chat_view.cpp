#include "speech/controls/vox_chat_view.h"

#include "speech/controls/vox_rich_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>

TVoxChatView::TVoxChatView(QWidget *parent)
    : QPlainTextEdit(parent), m_voice(this, QStringLiteral("rich edit")),
      // One of the rich edits to the speech: it shares their saved caret.
      m_textSpeech(m_voice, VoxTextSpeech::Kind::RichEdit, TVoxRichEdit::s_savedCaretPosition)
{}

void TVoxChatView::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    m_voice.forgetKeys();
    if (AnnouncesFocus(this, event))
        m_textSpeech.focusIn(caretText(), event);
}

void TVoxChatView::keyPressEvent(QKeyEvent *event)
{
    const DocumentCaretText state = caretText();
    m_voice.keyWentDown(event);
    m_textSpeech.keyDown(event, state);
    m_textSpeech.characterTyped(event, state, true);
    QPlainTextEdit::keyPressEvent(event);
}

void TVoxChatView::keyReleaseEvent(QKeyEvent *event)
{
    if (m_voice.keyWentUp(event))
        m_textSpeech.keyUp(event, caretText());
    QPlainTextEdit::keyReleaseEvent(event);
}

DocumentCaretText TVoxChatView::caretText() const
{
    return DocumentCaretText(document(), textCursor());
}
