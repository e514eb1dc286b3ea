#include "channels/nick_completion.h"

#include <algorithm>

namespace {

QString Suffix(int start)
{
    return start == 0 ? QStringLiteral(": ") : QStringLiteral(" ");
}

} // namespace

bool TNickCompletion::Complete(const QString &text, int caret, const QStringList &nicks,
                               Result &result)
{
    caret = std::clamp(caret, 0, int(text.size()));
    // The cycle goes on only while the line is exactly as the last Tab left it.
    if (!m_active || text != m_lastText || caret != m_lastCaret) {
        int start = caret;
        while (start > 0 && !text.at(start - 1).isSpace())
            --start;
        m_prefix = text.mid(start, caret - start);
        if (m_prefix.isEmpty())
            return false;
        m_start = start;
        m_lastNick.clear();
        m_active = true;
    }
    QStringList matches;
    for (const QString &nick : nicks) {
        if (nick.startsWith(m_prefix, Qt::CaseInsensitive))
            matches.append(nick);
    }
    if (matches.isEmpty()) {
        m_active = false;
        return false;
    }
    const qsizetype last = m_lastNick.isEmpty() ? -1 : matches.indexOf(m_lastNick);
    const QString nick = matches.at((last + 1) % matches.size());
    // The end of what the previous completion (or the typed prefix) put in the line.
    const int end = m_lastNick.isEmpty() ? caret : m_lastCaret;
    const QString suffix = Suffix(m_start);
    result.Text = text.left(m_start) + nick + suffix + text.mid(end);
    result.Caret = m_start + int(nick.size() + suffix.size());
    result.Nick = nick;
    m_lastNick = nick;
    m_lastText = result.Text;
    m_lastCaret = result.Caret;
    return true;
}
