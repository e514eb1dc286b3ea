#pragma once

#include "speech/controls/vox_voice.h"

#include <QTreeWidget>

class TSpeech;

// A report-style list (rows with columns, no tree decoration) that speaks its name and the
// selected row's first column on focus and after every key, and the row on a click.
class TVoxListView : public QTreeWidget
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TVoxListView(QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    void setSpeechName(const QString &name) { m_voice.setSpeechName(name); }

    void Announce(const QString &text) { m_voice.announce(text); }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString nameAndSelection() const;

    VoxVoice m_voice;
};
