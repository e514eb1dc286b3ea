#include "channels/mentions.h"

namespace {

bool NickCharacter(QChar c)
{
    return c.isLetterOrNumber() || QStringLiteral("_-[]\\`^{}|").contains(c);
}

bool ContainsWord(const QString &text, const QString &word)
{
    if (word.isEmpty())
        return false;
    for (qsizetype at = text.indexOf(word, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(word, at + 1, Qt::CaseInsensitive)) {
        const qsizetype end = at + word.size();
        const bool startsWord = at == 0 || !NickCharacter(text.at(at - 1));
        const bool endsWord = end == text.size() || !NickCharacter(text.at(end));
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

} // namespace

bool IsMention(const QString &text, const QString &ownNick, const QStringList &words)
{
    if (ContainsWord(text, ownNick))
        return true;
    for (const QString &word : words) {
        if (ContainsWord(text, word.trimmed()))
            return true;
    }
    return false;
}

TMentionList &TMentionList::Instance()
{
    static TMentionList list;
    return list;
}

void TMentionList::Add(const TMention &mention)
{
    m_items.push_back(mention);
    if (int(m_items.size()) > Limit)
        m_items.pop_front();
}
