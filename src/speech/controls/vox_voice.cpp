#include "speech/controls/vox_voice.h"

#include "speech/tspeech.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QWidget>

namespace {
bool s_screenReaderReadsControls = false;
int s_quietDepth = 0;

bool controlsSilent()
{
    return s_screenReaderReadsControls || s_quietDepth > 0;
}
} // namespace

VoxVoice::QuietControls::QuietControls()
{
    ++s_quietDepth;
}

VoxVoice::QuietControls::~QuietControls()
{
    --s_quietDepth;
}

bool VoxVoice::ControlsQuiet()
{
    return s_quietDepth > 0;
}

void VoxVoice::SetScreenReaderReadsControls(bool reads)
{
    s_screenReaderReadsControls = reads;
}

bool VoxVoice::ScreenReaderReadsControls()
{
    return s_screenReaderReadsControls;
}

VoxVoice::VoxVoice(QWidget *widget, QString defaultName, Interrupt interrupt,
                   AccessibleName accessible)
    : m_widget(widget), m_defaultName(std::move(defaultName)), m_interrupt(interrupt),
      m_accessible(accessible)
{
    refreshAccessibleName();
}

TSpeech *VoxVoice::speech() const
{
    return m_speech;
}

// Guarded: a voice destroyed before the window leaves the control silent, not dangling.
void VoxVoice::setSpeech(TSpeech *speech)
{
    m_speech = speech;
}

void VoxVoice::setSpeechName(const QString &name)
{
    m_name = name;
    m_nameAssigned = true;
    refreshAccessibleName();
}

void VoxVoice::announce(const QString &text) const
{
    if (!m_speech || controlsSilent())
        return;
    if (m_interrupt == Interrupt::Yes)
        m_speech->Stop();
    m_speech->Speak(text);
}

void VoxVoice::stop() const
{
    if (m_speech && !controlsSilent())
        m_speech->Stop();
}

void VoxVoice::stopForFocus(const QFocusEvent *event) const
{
    if (event->reason() != Qt::ActiveWindowFocusReason)
        stop();
}

void VoxVoice::keyWentDown(const QKeyEvent *event)
{
    if (!m_keysDown.contains(event->key()))
        m_keysDown.append(event->key());
}

bool VoxVoice::keyWentUp(const QKeyEvent *event)
{
    return m_keysDown.removeAll(event->key()) > 0;
}

void VoxVoice::refreshAccessibleName()
{
    const QString name = speechName();
    if (m_accessible == AccessibleName::FromSpeechName) {
        // An empty name leaves Qt's own fallback (the buddy label) in place.
        m_widget->setAccessibleName(name);
        return;
    }
    const auto *button = qobject_cast<const QAbstractButton *>(m_widget);
    const QString caption = button ? CaptionForSpeech(button->text()) : QString();
    if (!m_nameAssigned || name == m_defaultName || name.isEmpty())
        m_widget->setAccessibleName(caption);
    else if (caption.isEmpty())
        m_widget->setAccessibleName(name);
    else
        m_widget->setAccessibleName(name + QLatin1Char(' ') + caption);
}

bool AnnouncesFocus(const QWidget *widget, const QFocusEvent *event)
{
    return event->reason() != Qt::PopupFocusReason && widget->hasFocus() && widget->isVisible();
}

QString CaptionForSpeech(const QString &caption)
{
    QString result;
    result.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) {
                result += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        result += caption[i];
    }
    return result;
}
