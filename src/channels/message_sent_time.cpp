#include "channels/message_sent_time.h"

namespace {

// Windows are fed on the window thread only.
QDateTime &current()
{
    static QDateTime moment;
    return moment;
}

} // namespace

TMessageSentTime::TMessageSentTime(const QDateTime &sent) : m_before(current())
{
    current() = sent;
}

TMessageSentTime::~TMessageSentTime()
{
    current() = m_before;
}

QDateTime TMessageSentTime::Current()
{
    return current();
}
