#include "irc/send_queue.h"

#include <QElapsedTimer>

#include <limits>
#include <memory>

TSendQueue::TSendQueue(TClock clock) : m_clock(std::move(clock))
{
    if (!m_clock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        m_clock = [timer] { return timer->elapsed(); };
    }
}

qint64 TSendQueue::Now() const
{
    return m_clock();
}

void TSendQueue::Push(const QByteArray &line, TSendPriority priority)
{
    m_lines[static_cast<size_t>(priority)].append(line);
}

qint64 TSendQueue::ReadyAt() const
{
    if (IntervalMs <= 0 || !m_started)
        return std::numeric_limits<qint64>::min();
    return m_virtualClock - qint64(qMax(1, Burst) - 1) * IntervalMs;
}

QList<QByteArray> TSendQueue::TakeDue()
{
    QList<QByteArray> due;
    const qint64 now = Now();
    auto account = [&] {
        if (IntervalMs <= 0)
            return;
        m_virtualClock = m_started ? qMax(m_virtualClock, now) : now;
        m_started = true;
        m_virtualClock += IntervalMs;
    };
    // Urgent lines are never held back, but they count: the server counts them too.
    auto &urgent = m_lines[static_cast<size_t>(TSendPriority::Urgent)];
    while (!urgent.isEmpty()) {
        due.append(urgent.takeFirst());
        account();
    }
    for (size_t level = 1; level < m_lines.size(); ++level) {
        auto &lines = m_lines[level];
        while (!lines.isEmpty() && ReadyAt() <= now) {
            due.append(lines.takeFirst());
            account();
        }
        if (!lines.isEmpty())
            break;
    }
    return due;
}

qint64 TSendQueue::MsUntilNext() const
{
    if (IsEmpty())
        return -1;
    if (!m_lines[0].isEmpty())
        return 0;
    return qMax<qint64>(0, ReadyAt() - Now());
}

bool TSendQueue::IsEmpty() const
{
    return Size() == 0;
}

int TSendQueue::Size() const
{
    int size = 0;
    for (const auto &lines : m_lines)
        size += static_cast<int>(lines.size());
    return size;
}

void TSendQueue::Clear()
{
    for (auto &lines : m_lines)
        lines.clear();
}
