#include "speech/speech_filters.h"

#include "config/config_text_file.h"

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

#include <bitset>
#include <memory>
#include <vector>

namespace {

struct SingleRule
{
    QChar character;
    QString replacement;
};

struct MultiRule
{
    QString folded; // source in upper case: what the text is compared with
    QString replacement;
};

// The program's two tables.
std::vector<SingleRule> &singleRules()
{
    static std::vector<SingleRule> rules;
    return rules;
}

std::vector<MultiRule> &multiRules()
{
    static std::vector<MultiRule> rules;
    return rules;
}

// Upper case one character at a time, so positions in the folded text are positions in
// the original (whole-string case mapping may change the length, e.g. for "ß").
QString fold(const QString &text)
{
    QString folded = text;
    for (QChar &c : folded)
        c = c.toUpper();
    return folded;
}

// The lines up to the first empty one; CR LF, LF and CR all end a line.
QStringList linesUntilEmpty(const QString &text)
{
    QStringList lines;
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        if (end == pos)
            break;
        lines.append(text.mid(pos, end - pos));
        if (end < size && text[end] == u'\r' && end + 1 < size && text[end + 1] == u'\n')
            ++end;
        pos = end + 1;
    }
    return lines;
}

bool readRuleFile(const QString &fileName, QStringList *lines)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Speech rules %s not read (%s); speaking without them", qUtf8Printable(fileName),
                 qUtf8Printable(file.errorString()));
        return false;
    }
    *lines = linesUntilEmpty(DecodeTextFile(file.readAll()));
    return true;
}

// Cheap pre-test for the word filter: which characters, pairs and triples of adjacent
// characters occur in the (folded) text. A rule whose first one, two or three characters
// are absent cannot match, which lets nearly every rule of a large table pass without a
// scan of the text.
//
// The bit sets take 144 KiB: zeroing them for every spoken text cost more than filtering
// a short text through a small table, and a join or part in a busy channel is spoken
// every few milliseconds. So one signature per thread is kept, and clear() resets only
// the bits the last text set.
class TextSignature
{
public:
    void add(const QString &folded)
    {
        const qsizetype size = folded.size();
        for (qsizetype i = 0; i < size; ++i) {
            mark(m_chars, m_setChars, folded[i].unicode());
            if (i + 1 < size)
                mark(m_pairs, m_setPairs, pairKey(folded[i], folded[i + 1]));
            if (i + 2 < size)
                mark(m_triples, m_setTriples, tripleKey(folded[i], folded[i + 1], folded[i + 2]));
        }
    }

    bool mayContain(const QString &folded) const
    {
        switch (folded.size()) {
        case 1:
            return m_chars.test(folded[0].unicode());
        case 2:
            return m_pairs.test(pairKey(folded[0], folded[1]));
        default:
            return m_triples.test(tripleKey(folded[0], folded[1], folded[2]));
        }
    }

    void clear()
    {
        unmark(m_chars, m_setChars);
        unmark(m_pairs, m_setPairs);
        unmark(m_triples, m_setTriples);
    }

private:
    template <size_t N>
    static void mark(std::bitset<N> &bits, std::vector<quint32> &set, size_t key)
    {
        if (bits.test(key))
            return;
        bits.set(key);
        set.push_back(quint32(key));
    }
    template <size_t N> static void unmark(std::bitset<N> &bits, std::vector<quint32> &set)
    {
        for (const quint32 key : set)
            bits.reset(key);
        set.clear();
    }
    static size_t pairKey(QChar a, QChar b)
    {
        return ((a.unicode() * 40503u) ^ b.unicode()) & 0xFFFFu;
    }
    static size_t tripleKey(QChar a, QChar b, QChar c)
    {
        const quint32 h = (a.unicode() * 2654435761u) ^ (b.unicode() * 40503u) ^ c.unicode();
        return (h ^ (h >> 15)) & 0xFFFFFu;
    }

    std::bitset<65536> m_chars;
    std::bitset<65536> m_pairs;
    std::bitset<1048576> m_triples;
    std::vector<quint32> m_setChars, m_setPairs, m_setTriples;
};

// This thread's signature, empty between calls.
TextSignature &threadSignature()
{
    thread_local const std::unique_ptr<TextSignature> signature = std::make_unique<TextSignature>();
    return *signature;
}

// Leaves the thread's signature empty however the filter ends.
struct SignatureInUse
{
    TextSignature &signature = threadSignature();
    ~SignatureInUse() { signature.clear(); }
};

} // namespace

bool LoadSingleRules(const QString &fileName)
{
    QStringList lines;
    if (!readRuleFile(fileName, &lines))
        return false;
    std::vector<SingleRule> &rules = singleRules();
    rules.clear();
    for (const QString &line : std::as_const(lines)) {
        if (rules.size() >= size_t(SpeechFilters::MaxSingleRules))
            break;
        if (line.size() < 2)
            continue; // no character to replace
        rules.push_back({line[1], line.mid(4)});
    }
    return true;
}

bool LoadMultiRules(const QString &fileName)
{
    std::vector<MultiRule> &rules = multiRules();
    rules.clear();
    QStringList lines;
    if (!readRuleFile(fileName, &lines))
        return false;
    for (const QString &line : std::as_const(lines)) {
        if (rules.size() >= size_t(SpeechFilters::MaxMultiRules))
            break;
        const qsizetype start = line.startsWith(u'=') ? 1 : 0;
        const qsizetype equals = line.indexOf(u'=', start);
        if (equals < 0 || equals == start)
            continue; // no "=" or nothing to replace
        QString replacement = line.mid(equals + 1);
        replacement.remove(u'=');
        rules.push_back({fold(line.mid(start, equals - start)), replacement});
    }
    return true;
}

void ClearSpeechRules()
{
    singleRules().clear();
    multiRules().clear();
}

int SingleRulesCount()
{
    return int(singleRules().size());
}

int MultiRulesCount()
{
    return int(multiRules().size());
}

QString ApplySingleRules(const QString &text)
{
    if (text.size() != 1)
        return text;
    if (text[0] == u'\r')
        return QString();
    QString candidate;
    for (const SingleRule &rule : singleRules()) {
        if (rule.character == text[0])
            candidate = rule.replacement;
    }
    return candidate.isEmpty() ? text : candidate;
}

QString ApplyMultiRules(const QString &text)
{
    const std::vector<MultiRule> &rules = multiRules();
    if (rules.empty())
        return text;
    QString result = text;
    QString folded = fold(text);
    SignatureInUse inUse;
    TextSignature &signature = inUse.signature;
    signature.add(folded);
    for (const MultiRule &rule : rules) {
        const qsizetype length = rule.folded.size();
        if (length > folded.size() || !signature.mayContain(rule.folded))
            continue;
        bool replaced = false;
        qsizetype i = folded.indexOf(rule.folded, 0, Qt::CaseSensitive);
        while (i >= 0 && i <= folded.size() - length) {
            result.replace(i, length, rule.replacement);
            folded.replace(i, length, fold(rule.replacement));
            replaced = true;
            // Go on one character past the end of the inserted replacement.
            const qsizetype next = i + rule.replacement.size() + 1;
            if (next > folded.size())
                break;
            i = folded.indexOf(rule.folded, next, Qt::CaseSensitive);
        }
        // Characters may have gone, but a signature that still lists them only costs a
        // scan; what matters is that it lists everything now present.
        if (replaced)
            signature.add(folded);
    }
    return result;
}
