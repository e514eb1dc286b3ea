#pragma once

#include "speech/controls/vox_voice.h"

#include <QModelIndex>
#include <QTreeView>

class TSpeech;

// The report-style list of TVoxListView over a model of the caller's (rows with columns, no
// tree decoration), for lists too long for one item object per row. It speaks the same:
// its name and the selected row's first column on focus and after every key, and the row
// on a click.
class TVoxModelListView : public QTreeView
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TVoxModelListView(QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    void setSpeechName(const QString &name) { m_voice.setSpeechName(name); }

    void Announce(const QString &text) { m_voice.announce(text); }

    // The row the speech means: the current row when it is selected, otherwise the first
    // selected one (invalid when none is). Column 0.
    QModelIndex SelectedRow() const;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString nameAndSelection() const;

    VoxVoice m_voice;
};
