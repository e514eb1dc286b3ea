#include "speech/controls/vox_button.h"

#include <QFocusEvent>
#include <QKeyEvent>

TVoxButton::TVoxButton(QWidget *parent) : TVoxButton(QString(), parent)
{}

TVoxButton::TVoxButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent), m_voice(this, QStringLiteral("Button"), VoxVoice::Interrupt::No,
                                         VoxVoice::AccessibleName::WithCaption)
{}

void TVoxButton::setText(const QString &text)
{
    QPushButton::setText(text);
    m_voice.refreshAccessibleName();
}

void TVoxButton::focusInEvent(QFocusEvent *event)
{
    QPushButton::focusInEvent(event);
    if (!AnnouncesFocus(this, event))
        return;
    m_voice.refreshAccessibleName();
    Announce(SpeechName() + QLatin1Char(' ') + CaptionForSpeech(text()));
}

void TVoxButton::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && modifiers == Qt::NoModifier) {
        if (isEnabled())
            click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}
