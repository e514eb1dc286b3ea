#pragma once

#include <QDateTime>

// The moment the server says a message was sent (its "time" tag), handed from the event
// routing to the window that shows the message, whose header then shows that moment
// rather than the moment it arrived. Set only while the routing hands the message over.
class TMessageSentTime
{
public:
    explicit TMessageSentTime(const QDateTime &sent);
    ~TMessageSentTime();
    TMessageSentTime(const TMessageSentTime &) = delete;
    TMessageSentTime &operator=(const TMessageSentTime &) = delete;

    // The moment of the message being handed over, invalid outside such a hand-over (own
    // messages, lines without the tag).
    static QDateTime Current();

private:
    QDateTime m_before;
};
