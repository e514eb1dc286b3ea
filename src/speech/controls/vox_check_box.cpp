#include "speech/controls/vox_check_box.h"

#include <QFocusEvent>

TVoxCheckBox::TVoxCheckBox(QWidget *parent) : TVoxCheckBox(QString(), parent)
{}

TVoxCheckBox::TVoxCheckBox(const QString &text, QWidget *parent)
    : QCheckBox(text, parent), m_voice(this, QStringLiteral("CheckBox"), VoxVoice::Interrupt::No,
                                       VoxVoice::AccessibleName::WithCaption)
{
    // Connected first, so the state is heard before the window's own handlers run.
    connect(this, &QCheckBox::toggled, this, &TVoxCheckBox::announceState);
}

void TVoxCheckBox::setText(const QString &text)
{
    QCheckBox::setText(text);
    m_voice.refreshAccessibleName();
}

void TVoxCheckBox::focusInEvent(QFocusEvent *event)
{
    QCheckBox::focusInEvent(event);
    if (!AnnouncesFocus(this, event))
        return;
    m_voice.refreshAccessibleName();
    m_voice.stopForFocus(event);
    Announce(SpeechName() + QLatin1Char(' ') + CaptionForSpeech(text()));
}

void TVoxCheckBox::announceState()
{
    if (!hasFocus())
        return;
    Announce(SpeechName() + QLatin1Char(' ') +
             (isChecked() ? QStringLiteral("-1") : QStringLiteral("0")));
}
