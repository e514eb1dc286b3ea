#pragma once

#include <QString>
#include <QStringList>

// The lines the user sent in one window, for Up and Down in its input line. Up goes back
// one line at a time; Down comes forward and, past the newest line, gives back what was
// being typed before the first Up.
class TInputHistory
{
public:
    static constexpr int Limit = 100;

    // A line was sent: it becomes the newest (a repeat of the newest is kept once).
    void Add(const QString &line);
    // The next older line; false at the oldest or with nothing sent yet.
    // current: the input line's text, kept as the draft when the walk starts.
    bool Older(const QString &current, QString &line);
    // The next newer line, or the draft past the newest; false when not walking.
    bool Newer(QString &line);

private:
    QStringList m_lines; // oldest first
    int m_position = -1; // index in m_lines while walking, -1 when not walking
    QString m_draft;
};
