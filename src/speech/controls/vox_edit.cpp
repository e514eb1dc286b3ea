#include "speech/controls/vox_edit.h"

#include "speech/controls/vox_name_file.h"

#include <QFocusEvent>
#include <QKeyEvent>

int TVoxEdit::s_savedCaretPosition = 0;

TVoxEdit::TVoxEdit(QWidget *parent)
    : QLineEdit(parent), m_voice(this, QString()),
      m_textSpeech(m_voice, VoxTextSpeech::Kind::Edit, s_savedCaretPosition)
{}

void TVoxEdit::setIniFileName(const QString &fileName)
{
    m_iniFileName = fileName;
    if (fileName.isEmpty() || !parentWidget())
        return;
    if (const auto name = LookUpSpokenName(fileName, window()->objectName(),
                                           objectName() + QStringLiteral("_sn"), SpeechName()))
        setSpeechName(*name);
}

void TVoxEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    m_voice.forgetKeys();
    if (AnnouncesFocus(this, event))
        m_textSpeech.focusIn(caretText(), event);
}

void TVoxEdit::keyPressEvent(QKeyEvent *event)
{
    const StringCaretText state = caretText();
    m_voice.keyWentDown(event);
    m_textSpeech.keyDown(event, state);
    if (typesSecret(event))
        m_textSpeech.characterTyped(event, StringCaretText(state.text(), state.caret(), true),
                                    m_speakMode);
    else
        m_textSpeech.characterTyped(event, state, m_speakMode);
    QLineEdit::keyPressEvent(event);
}

void TVoxEdit::keyReleaseEvent(QKeyEvent *event)
{
    if (m_voice.keyWentUp(event))
        m_textSpeech.keyUp(event, caretText());
    QLineEdit::keyReleaseEvent(event);
}

StringCaretText TVoxEdit::caretText() const
{
    // A password must not be read aloud: the speech gets one star per character.
    const bool masked = echoMode() != QLineEdit::Normal;
    if (masked)
        return StringCaretText(QString(text().size(), QLatin1Char('*')), cursorPosition(), true);
    return StringCaretText(m_speechMask ? m_speechMask(text()) : text(), cursorPosition());
}

bool TVoxEdit::typesSecret(const QKeyEvent *event) const
{
    const QString typed = event->text();
    if (!m_speechMask || typed.isEmpty() || !typed.front().isPrint())
        return false;
    // The text as it will be once the key has typed its character over the selection.
    QString after = text();
    qsizetype at = cursorPosition();
    if (hasSelectedText()) {
        at = selectionStart();
        after.remove(at, selectedText().size());
    }
    after.insert(at, typed);
    const QString masked = m_speechMask(after);
    return masked.size() == after.size() && masked.at(at) == u'*' && after.at(at) != u'*';
}
