#include "channels/message_review.h"

#include "base/time_text.h"

#include <algorithm>

void TMessageReview::Add(const QString &nick, const QString &text, const QDateTime &time)
{
    m_messages.push_back(Message{nick, text, time});
    if (int(m_messages.size()) > Limit) {
        m_messages.pop_front();
        // The reading position stays on the message it was on.
        if (m_position > 0)
            --m_position;
    }
}

const TMessageReview::Message *TMessageReview::Recent(int n) const
{
    if (n < 1 || n > int(m_messages.size()))
        return nullptr;
    return &m_messages[m_messages.size() - size_t(n)];
}

const TMessageReview::Message *TMessageReview::Walk(Step step)
{
    const int count = int(m_messages.size());
    if (count == 0)
        return nullptr;
    const int newest = count - 1;
    switch (step) {
    case Step::First:
        m_position = 0;
        break;
    case Step::Last:
        m_position = newest;
        break;
    case Step::Older:
        m_position = m_position < 0 ? newest : std::max(m_position - 1, 0);
        break;
    case Step::Newer:
        m_position = m_position < 0 ? newest : std::min(m_position + 1, newest);
        break;
    }
    m_position = std::clamp(m_position, 0, newest);
    return &m_messages[size_t(m_position)];
}

QString TMessageReview::Spoken(const Message &message, bool withTime)
{
    QString spoken =
        message.Nick.isEmpty() ? message.Text : message.Nick + QLatin1Char(' ') + message.Text;
    if (withTime && message.Time.isValid())
        spoken += QStringLiteral(", ") + LongTimeText(message.Time.toLocalTime().time());
    return spoken;
}
