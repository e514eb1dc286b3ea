#pragma once

#include "speech/controls/vox_voice.h"

#include <QComboBox>

class TSpeech;

// A drop-down list that speaks its name and its text on focus, and the chosen item after
// each arrow key.
class TVoxComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TVoxComboBox(QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    // Also labels the drop-down list and the edit line, which a screen reader meets as
    // objects of their own.
    void setSpeechName(const QString &name);

    void Announce(const QString &text) { m_voice.announce(text); }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void labelParts();

    VoxVoice m_voice;
};
