#pragma once

#include <QtGlobal>

// The waits between attempts to reconnect after a lost connection: 5 seconds, doubling up
// to 5 minutes, so a server that is down for long is not hammered and one that is back
// soon is found soon.
class TReconnectDelay
{
public:
    int FirstMs = 5000;
    int MaxMs = 5 * 60 * 1000;

    // The wait before the next attempt.
    int Next()
    {
        const int delay = m_nextMs > 0 ? m_nextMs : FirstMs;
        m_nextMs = qMin(delay * 2, MaxMs);
        return delay;
    }
    // Back to the first wait (a connection was made).
    void Reset() { m_nextMs = 0; }

private:
    int m_nextMs = 0;
};
