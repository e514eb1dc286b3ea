#pragma once

#include <QDateTime>
#include <QString>

#include <deque>

// The messages of one window kept for review keys: the newest Limit, oldest first, and a
// reading position for walking them one by one without touching the input line.
class TMessageReview
{
public:
    static constexpr int Limit = 1000;

    struct Message
    {
        QString Nick;
        QString Text;
        QDateTime Time;
    };

    enum class Step { Older, Newer, First, Last };

    void Add(const QString &nick, const QString &text, const QDateTime &time);
    int Count() const { return int(m_messages.size()); }
    // The n-th most recent message (1 = the newest), or nullptr.
    const Message *Recent(int n) const;
    // Moves the reading position and returns the message there, or nullptr when there
    // are no messages. The first step of a walk (Older or Newer) lands on the newest;
    // at either end the position stays on the end message.
    const Message *Walk(Step step);
    // What a message says aloud: the nick and the text, and with withTime the time it was
    // sent after them.
    static QString Spoken(const Message &message, bool withTime = false);

private:
    std::deque<Message> m_messages;
    int m_position = -1; // index while walking, -1 before the first step
};
