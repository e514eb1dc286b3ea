#pragma once

#include "speech/controls/vox_voice.h"

#include <QListWidget>

class TSpeech;

// A list of single-line items that speaks its name and the selected item on focus, and
// the selected item after each arrow key.
class TVoxListBox : public QListWidget
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TVoxListBox(QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    void setSpeechName(const QString &name) { m_voice.setSpeechName(name); }

    void Announce(const QString &text) { m_voice.announce(text); }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    VoxVoice m_voice;
};
