#include "irc/ctcp.h"

#include <QElapsedTimer>

namespace Ctcp {

TSplit Split(QByteArrayView text)
{
    TSplit split;
    const qsizetype length = text.size();
    if (length < 2)
        return split;
    const qsizetype blank = text.indexOf(' ');
    if (blank >= 0) {
        if (blank > 1)
            split.Word = text.sliced(1, blank - 1);
        // Arguments run to the byte before the last one; a blank right before it leaves none.
        if (blank + 1 <= length - 1)
            split.Args = text.sliced(blank + 1, length - 1 - (blank + 1));
    } else {
        split.Word = text.sliced(1, length - 2);
    }
    return split;
}

std::vector<QByteArrayView> DccItems(QByteArrayView args)
{
    std::vector<QByteArrayView> items;
    qsizetype start = 0;
    // Every blank ends an item, and so does the end of the text (a blank is imagined there).
    for (qsizetype i = 0; i <= args.size(); ++i) {
        if (i == args.size() || args[i] == ' ') {
            items.push_back(args.sliced(start, i - start));
            start = i + 1;
        }
    }
    return items;
}

QByteArray DccItem(const std::vector<QByteArrayView> &items, std::size_t i)
{
    return i < items.size() ? items[i].toByteArray() : QByteArray();
}

} // namespace Ctcp

TCtcpAnswerLimiter::TCtcpAnswerLimiter()
{
    Clock = [] {
        static QElapsedTimer timer = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        return timer.elapsed();
    };
}

bool TCtcpAnswerLimiter::TryTake()
{
    const qint64 now = Clock();
    while (!m_sent.empty() && now - m_sent.front() >= kWindowMs)
        m_sent.pop_front();
    if (int(m_sent.size()) >= kMaxAnswers)
        return false;
    m_sent.push_back(now);
    return true;
}
