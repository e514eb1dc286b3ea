#pragma once

#include "speech/controls/vox_text_speech.h"
#include "speech/controls/vox_voice.h"

#include <QTextEdit>

class TSpeech;

// A rich text view or editor that speaks: on focus its name and the caret's line, while
// the caret moves the character, word or line it reaches, and every typed character
// (a few letters spelled as words so they are not misheard).
class TVoxRichEdit : public QTextEdit
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TVoxRichEdit(QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    void setSpeechName(const QString &name) { m_voice.setSpeechName(name); }

    void Announce(const QString &text) { m_voice.announce(text); }

    // Shared by every rich edit: the caret as the last key went down.
    static int SavedCaretPosition() { return s_savedCaretPosition; }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    friend class TVoxChatView; // a rich edit to the speech, on another layout
    DocumentCaretText caretText() const;

    VoxVoice m_voice;
    VoxTextSpeech m_textSpeech;
    static int s_savedCaretPosition;
};
