#pragma once

#include "speech/controls/vox_voice.h"

#include <QTableView>

class TSpeech;

// The channel list's table: a model/view list (50,000 rows cost no widget each) that speaks
// like the program's other report lists: its name and the selected row's channel when it
// takes the focus (after a stop) and again after every key released here, and the channel
// on a click.
class TChannelListView : public QTableView
{
    Q_OBJECT
    Q_PROPERTY(QString SpeechName READ SpeechName WRITE setSpeechName)

public:
    explicit TChannelListView(QWidget *parent = nullptr);

    TSpeech *Speech() const { return m_voice.speech(); }
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    QString SpeechName() const { return m_voice.speechName(); }
    void setSpeechName(const QString &name) { m_voice.setSpeechName(name); }
    void Announce(const QString &text) { m_voice.announce(text); }

    // The selected row (the current one when selected, else the first selected); -1 when
    // none is selected.
    int SelectedRow() const;

signals:
    // Enter or Return pressed in the list.
    void EnterPressed();

protected:
    // Home and End go to the first and last row, as in any list; the columns are not
    // separate stops.
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString nameAndSelection() const;

    VoxVoice m_voice;
};
