#pragma once

#include "channels/input_history.h"
#include "channels/message_review.h"
#include "channels/nick_completion.h"

#include <QElapsedTimer>
#include <QObject>

class QAction;
class QKeyEvent;
class TChannelForm;

// The typing and review keys of a channel window. In the input line: Tab completes a nick
// from the user table (again for the next one), Up and Down recall the lines sent in this
// window. Anywhere in the window: Alt+1 ... Alt+0 read the 1st ... 10th most recent
// message with the channel voice (the same key twice quickly copies it), Alt+Shift+Up,
// Down, Home and End walk the messages, Alt+Shift+T tells the time of the message last
// read. None of them moves the input line's caret or changes its text, except Tab, Up and
// Down in the line itself.
class TChannelKeys : public QObject
{
    Q_OBJECT
public:
    // Two presses of the same review key within this time copy the message.
    static constexpr int DoublePressMs = 600;

    explicit TChannelKeys(TChannelForm *form);

    // A key pressed in the input line; true when it was used here.
    bool InputKey(QKeyEvent *event);
    // The user sent a line from this window.
    void LineSent(const QString &line);
    // A message shown in the window (nick empty for a line without a sender).
    void MessageShown(const QString &nick, const QString &text, const QDateTime &time);

    const TMessageReview &Review() const { return m_review; }
    QList<QAction *> Actions() const { return m_actions; }

private:
    void readRecent(int n);
    void walk(TMessageReview::Step step);
    void speakTime();
    void speak(const QString &text);
    void announceInput(const QString &text);

    TChannelForm *m_form;
    TNickCompletion m_completion;
    TInputHistory m_history;
    TMessageReview m_review;
    QList<QAction *> m_actions;
    QDateTime m_lastReadTime; // of the message last read, for Alt+Shift+T
    int m_lastKey = 0;
    QElapsedTimer m_lastKeyClock;
};
