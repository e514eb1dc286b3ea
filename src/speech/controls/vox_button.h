#pragma once

#include "speech/controls/vox_voice.h"

#include <QPushButton>

class TSpeech;

// A push button that says its name and caption when it takes the focus, queued behind
// whatever is being said (a dialog's own message keeps playing).
class TVoxButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TVoxButton(QWidget *parent = nullptr);
    explicit TVoxButton(const QString &text, QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    void setSpeechName(const QString &name) { m_voice.setSpeechName(name); }

    // Keeps the accessible name in step with the caption.
    void setText(const QString &text);

    void Announce(const QString &text) { m_voice.announce(text); }

protected:
    void focusInEvent(QFocusEvent *event) override;
    // Enter presses the focused button, as Space does, in every window: keyboard users
    // press Enter on a button, and a dialog's own default-button rule would otherwise
    // leave a button without auto-default deaf to it.
    void keyPressEvent(QKeyEvent *event) override;

private:
    VoxVoice m_voice;
};
