#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <deque>
#include <functional>
#include <vector>

// The texts the client answers the standard CTCP queries with.
struct TIrcReplies
{
    QByteArray Finger;
    QByteArray Version = "Talvin IRC engine";
    QByteArray UserInfo;
    QByteArray ClientInfo =
        "Talvin IRC engine: ACTION PING FINGER USERINFO VERSION CLIENTINFO TIME";
};

namespace Ctcp {

// A CTCP text is byte 1, the word, optionally a blank and the arguments, byte 1. The first
// and the last byte are dropped unseen, so a text missing its closing byte 1 loses its last
// character all the same (peers rely on nothing better).
struct TSplit
{
    QByteArrayView Word;
    QByteArrayView Args;
};
TSplit Split(QByteArrayView text);

// The blank-separated items of a DCC offer ("SEND file ip port size"); consecutive blanks
// give empty items.
std::vector<QByteArrayView> DccItems(QByteArrayView args);

// Item i of a DCC offer, or the empty string when the offer has fewer items: a short or
// malformed offer still raises its event rather than failing.
QByteArray DccItem(const std::vector<QByteArrayView> &items, std::size_t i);

} // namespace Ctcp

// Limits automatic CTCP answers to a few per sliding window, so a flood of queries cannot
// make the server drop us for excess flood. The clock gives milliseconds and may be
// replaced in tests.
class TCtcpAnswerLimiter
{
public:
    static constexpr int kMaxAnswers = 5;
    static constexpr qint64 kWindowMs = 30000;

    std::function<qint64()> Clock;

    TCtcpAnswerLimiter();

    // True (and the answer counted) when another answer may go out now.
    bool TryTake();
    void Reset() { m_sent.clear(); }

private:
    std::deque<qint64> m_sent;
};
