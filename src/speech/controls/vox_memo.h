#pragma once

#include "speech/controls/vox_text_speech.h"
#include "speech/controls/vox_voice.h"

#include <QPlainTextEdit>

class TSpeech;

// A multi-line plain text editor that speaks: on focus its name and its text (or "много
// символов" when it is long), while the caret moves the character, word or line it
// reaches, and every typed character (a few letters spelled as words).
class TVoxMemo : public QPlainTextEdit
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TVoxMemo(QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    void setSpeechName(const QString &name) { m_voice.setSpeechName(name); }

    void Announce(const QString &text) { m_voice.announce(text); }

    // Shared by every memo: the caret as the last key went down.
    static int SavedCaretPosition() { return s_savedCaretPosition; }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    DocumentCaretText caretText() const;

    VoxVoice m_voice;
    VoxTextSpeech m_textSpeech;
    static int s_savedCaretPosition;
};
