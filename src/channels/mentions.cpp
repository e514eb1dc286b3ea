#include "channels/mentions.h"

namespace {

bool NickCharacter(QChar c)
{
    return c.isLetterOrNumber() || QStringLiteral("_-[]\\`^{}|").contains(c);
}

// Where word occurs in text from position from on, in any case, as QString::indexOf with
// Qt::CaseInsensitive finds it. That search folds every character of the text and was 4 %
// of a flood's work; here only the characters that match the word's first in some case are
// compared further. (Case pairs share their UTF-16 length and, beyond the first plane,
// their high surrogate, so comparing first units folded finds every match.)
qsizetype FindInAnyCase(const QString &text, const QString &word, qsizetype from)
{
    const char32_t first = QChar::toCaseFolded(char32_t(word.front().unicode()));
    const QStringView view(text);
    for (qsizetype at = from; at + word.size() <= view.size(); ++at) {
        if (QChar::toCaseFolded(char32_t(view[at].unicode())) == first &&
            view.sliced(at, word.size()).compare(word, Qt::CaseInsensitive) == 0)
            return at;
    }
    return -1;
}

bool ContainsWord(const QString &text, const QString &word)
{
    if (word.isEmpty())
        return false;
    for (qsizetype at = FindInAnyCase(text, word, 0); at >= 0;
         at = FindInAnyCase(text, word, at + 1)) {
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
