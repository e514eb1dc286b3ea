#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <array>
#include <functional>

// How urgent an outgoing line is. Urgent lines (PONG, QUIT) overtake everything and are
// never held back; the user's own lines go before the client's automatic answers.
enum class TSendPriority { Urgent, User, Automatic };

// The paced queue of outgoing lines. Servers disconnect a client that sends faster than
// they allow ("Excess Flood"), so lines go out in a burst of up to Burst lines and then one
// every IntervalMs: the classic client rule, where every line sent pushes a virtual clock
// IntervalMs ahead and a line may leave while that clock is at most (Burst - 1) intervals
// ahead of now. After a quiet spell the full burst is available again.
//
// The clock is injected (milliseconds, monotonic) so the timing can be tested without
// waiting. The queue decides only when; the caller writes the lines it is given.
class TSendQueue
{
public:
    using TClock = std::function<qint64()>;

    // Without a clock the queue uses a monotonic system clock.
    explicit TSendQueue(TClock clock = TClock());

    // Lines that may leave at once after a quiet spell.
    int Burst = 5;
    // Distance between lines once the burst is spent; 0 sends everything at once.
    int IntervalMs = 2000;

    void Push(const QByteArray &line, TSendPriority priority);

    // The lines that may leave now, in the order they are to be written.
    QList<QByteArray> TakeDue();

    // Milliseconds until the next queued line may leave; -1 when nothing is queued.
    qint64 MsUntilNext() const;

    bool IsEmpty() const;
    int Size() const;
    // Drops every queued line (the connection is gone); the pacing clock is kept, so a
    // quick reconnection cannot send a second full burst at once.
    void Clear();

private:
    qint64 Now() const;
    // The earliest time the next ordinary line may leave.
    qint64 ReadyAt() const;

    TClock m_clock;
    std::array<QList<QByteArray>, 3> m_lines; // by priority
    qint64 m_virtualClock = 0;                // "sent up to" time of the flood rule
    bool m_started = false;
};
