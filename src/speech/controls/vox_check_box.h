#pragma once

#include "speech/controls/vox_voice.h"

#include <QCheckBox>

class TSpeech;

// A check box that says its name and caption on focus and, when the user toggles it, its
// name and the new state as "-1" (checked) or "0" (the word rules may turn these into
// words). Changes made by the program while the box has no focus are silent.
class TVoxCheckBox : public QCheckBox
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TVoxCheckBox(QWidget *parent = nullptr);
    explicit TVoxCheckBox(const QString &text, QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    void setSpeechName(const QString &name) { m_voice.setSpeechName(name); }

    // Keeps the accessible name in step with the caption.
    void setText(const QString &text);

    void Announce(const QString &text) { m_voice.announce(text); }

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    void announceState();

    VoxVoice m_voice;
};
