#include "channels/input_history.h"

void TInputHistory::Add(const QString &line)
{
    m_position = -1;
    if (line.isEmpty() || (!m_lines.isEmpty() && m_lines.last() == line))
        return;
    m_lines.append(line);
    if (m_lines.size() > Limit)
        m_lines.removeFirst();
}

bool TInputHistory::Older(const QString &current, QString &line)
{
    if (m_lines.isEmpty() || m_position == 0)
        return false;
    if (m_position < 0) {
        m_draft = current;
        m_position = int(m_lines.size());
    }
    line = m_lines.at(--m_position);
    return true;
}

bool TInputHistory::Newer(QString &line)
{
    if (m_position < 0)
        return false;
    if (++m_position >= m_lines.size()) {
        m_position = -1;
        line = m_draft;
        return true;
    }
    line = m_lines.at(m_position);
    return true;
}
