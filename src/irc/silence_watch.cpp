#include "irc/silence_watch.h"

#include <QElapsedTimer>

#include <memory>

TSilenceWatch::TSilenceWatch(TClock clock) : m_clock(std::move(clock))
{
    if (!m_clock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        m_clock = [timer] { return timer->elapsed(); };
    }
    m_lastReceived = m_clock();
}

void TSilenceWatch::Received()
{
    m_lastReceived = m_clock();
    m_pingSentAt = -1;
    m_lost = false;
}

TSilenceWatch::TVerdict TSilenceWatch::Check()
{
    const qint64 now = m_clock();
    if (m_lost)
        return TVerdict::Quiet;
    if (m_pingSentAt < 0) {
        if (now - m_lastReceived < PingAfterMs)
            return TVerdict::Quiet;
        m_pingSentAt = now;
        return TVerdict::SendPing;
    }
    if (now - m_pingSentAt < LostAfterMs)
        return TVerdict::Quiet;
    m_lost = true;
    return TVerdict::Lost;
}
