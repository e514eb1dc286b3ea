#pragma once

#include "speech/controls/vox_text_speech.h"
#include "speech/controls/vox_voice.h"

#include <QPlainTextEdit>

class TSpeech;

// The conversation of a channel or dialogue window: speaks exactly as a rich edit does (its
// name and the caret's line on focus, what the caret reaches as it moves), but is built on
// the plain-text layout, which lays out only the lines on screen. A rich text view lays
// out every line as it arrives and again after the oldest are trimmed, which was most of
// the program's work in a flood. Character formats (colours, bold) show as in a rich edit.
class TVoxChatView : public QPlainTextEdit
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TVoxChatView(QWidget *parent = nullptr);

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
    DocumentCaretText caretText() const;

    VoxVoice m_voice;
    VoxTextSpeech m_textSpeech;
};
