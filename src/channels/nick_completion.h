#pragma once

#include <QString>
#include <QStringList>

// Completes the nick being typed in an input line. The first Tab takes the word before the
// caret as a prefix and offers the first matching nick (letter case ignored, in the order
// of the user table); every further Tab offers the next one, round and round, until the
// text is changed by anything else. At the start of the line a completed nick is followed
// by ": ", elsewhere by a blank, as people address each other in channels.
class TNickCompletion
{
public:
    struct Result
    {
        QString Text;  // the whole line after completion
        int Caret = 0; // where the caret goes
        QString Nick;  // the nick put in
    };

    // Completes text at caret from nicks; false (and nothing changes) when no nick fits.
    bool Complete(const QString &text, int caret, const QStringList &nicks, Result &result);
    // Forgets the cycle: the next Complete starts from the typed prefix again.
    void Reset() { m_active = false; }

private:
    bool m_active = false;
    QString m_prefix;   // what the user typed before the first Tab
    int m_start = 0;    // where the completed word begins
    QString m_lastText; // the line as the last completion left it
    int m_lastCaret = 0;
    QString m_lastNick;
};
