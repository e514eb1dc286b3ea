#pragma once

#include <QtGlobal>

#include <functional>

// Notices a connection that has gone quiet without closing (a dropped route, a sleeping
// laptop's link): after PingAfterMs without any received line the client asks the server
// with a PING; if nothing at all arrives within LostAfterMs more, the connection counts as
// lost. The clock is injected (milliseconds, monotonic) so the rule can be tested without
// waiting; the caller asks Check now and then.
class TSilenceWatch
{
public:
    using TClock = std::function<qint64()>;
    enum class TVerdict { Quiet, SendPing, Lost };

    // Without a clock a monotonic system clock is used.
    explicit TSilenceWatch(TClock clock = TClock());

    int PingAfterMs = 2 * 60 * 1000;
    int LostAfterMs = 60 * 1000;

    // Something was received (any line answers the PING).
    void Received();
    // What to do now; SendPing is given once per silence, Lost once after it.
    TVerdict Check();

private:
    TClock m_clock;
    qint64 m_lastReceived = 0;
    qint64 m_pingSentAt = -1;
    bool m_lost = false;
};
