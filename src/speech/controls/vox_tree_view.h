#pragma once

#include "speech/controls/vox_voice.h"

#include <QTreeWidget>

class TSpeech;

// A tree that speaks the selected node on focus, after every key and on a click. Each
// announcement cuts the previous one, so walking the tree quickly is heard at once.
class TVoxTreeView : public QTreeWidget
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TVoxTreeView(QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    void setSpeechName(const QString &name) { m_voice.setSpeechName(name); }

    // Stops the voice, then speaks.
    void Announce(const QString &text) { m_voice.announce(text); }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    VoxVoice m_voice;
};
