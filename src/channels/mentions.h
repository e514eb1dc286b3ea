#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <deque>

// Whether a message names the user: the own nick or one of the highlight words, as a
// whole word, letter case ignored. A nick inside a longer nick ("bob" in "bobby") does not
// count; characters that may belong to a nick ("_", "-", "[", "]", "\", "`", "^", "{",
// "}", "|") continue a word.
bool IsMention(const QString &text, const QString &ownNick, const QStringList &words);

// Every mention of the session, oldest first, for the mentions window.
struct TMention
{
    QString Window;
    QString Nick;
    QString Text;
    QDateTime Time;
};

class TMentionList
{
public:
    static constexpr int Limit = 500;
    static TMentionList &Instance();

    void Add(const TMention &mention);
    const std::deque<TMention> &Items() const { return m_items; }
    void Clear() { m_items.clear(); }

private:
    std::deque<TMention> m_items;
};
