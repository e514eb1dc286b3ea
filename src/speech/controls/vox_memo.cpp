#include "speech/controls/vox_memo.h"

#include <QFocusEvent>
#include <QKeyEvent>

int TVoxMemo::s_savedCaretPosition = 0;

TVoxMemo::TVoxMemo(QWidget *parent)
    : QPlainTextEdit(parent), m_voice(this, QStringLiteral("мемо")),
      m_textSpeech(m_voice, VoxTextSpeech::Kind::Memo, s_savedCaretPosition)
{}

void TVoxMemo::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    m_voice.forgetKeys();
    if (AnnouncesFocus(this, event))
        m_textSpeech.focusIn(caretText(), event);
}

void TVoxMemo::keyPressEvent(QKeyEvent *event)
{
    const DocumentCaretText state = caretText();
    m_voice.keyWentDown(event);
    m_textSpeech.keyDown(event, state);
    m_textSpeech.characterTyped(event, state, true);
    QPlainTextEdit::keyPressEvent(event);
}

void TVoxMemo::keyReleaseEvent(QKeyEvent *event)
{
    if (m_voice.keyWentUp(event))
        m_textSpeech.keyUp(event, caretText());
    QPlainTextEdit::keyReleaseEvent(event);
}

DocumentCaretText TVoxMemo::caretText() const
{
    return DocumentCaretText(document(), textCursor());
}
