#pragma once

#include "speech/controls/vox_text_speech.h"
#include "speech/controls/vox_voice.h"

#include <QLineEdit>

#include <functional>

class TSpeech;

// A one-line editor that speaks: on focus its name and its text (or "много символов" when
// it is long), while the caret moves the character or word it reaches, and, with
// SpeakMode, every typed character. A password field is heard as stars, and so are the
// secrets of a command line given a speech mask.
class TVoxEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)
    Q_PROPERTY(bool SpeakMode READ SpeakMode WRITE setSpeakMode)
    Q_PROPERTY(QString IniFileName READ IniFileName WRITE setIniFileName)

public:
    explicit TVoxEdit(QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    void setSpeechName(const QString &name) { m_voice.setSpeechName(name); }
    bool SpeakMode() const { return m_speakMode; }
    void setSpeakMode(bool on) { m_speakMode = on; }

    // A profile file that may rename the control: section = the window's object name,
    // key = this control's object name + "_sn" (see vox_name_file.h). Set the object names
    // before assigning it.
    QString IniFileName() const { return m_iniFileName; }
    void setIniFileName(const QString &fileName);

    void Announce(const QString &text) { m_voice.announce(text); }

    // For a line whose text goes to the server: the mask gives the text with every
    // character of a secret (a password, a channel key) replaced by "*", keeping its
    // length. Everything the line says aloud is read from the masked text.
    void setSpeechMask(std::function<QString(const QString &)> mask)
    {
        m_speechMask = std::move(mask);
    }

    // Shared by every edit: the caret as the last key went down.
    static int SavedCaretPosition() { return s_savedCaretPosition; }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    StringCaretText caretText() const;
    // Whether the character the key types lands inside a secret.
    bool typesSecret(const QKeyEvent *event) const;

    VoxVoice m_voice;
    VoxTextSpeech m_textSpeech;
    bool m_speakMode = false;
    QString m_iniFileName;
    std::function<QString(const QString &)> m_speechMask;
    static int s_savedCaretPosition;
};
