#include "irc/secret_mask.h"

namespace {

struct Word
{
    qsizetype start;
    qsizetype end;
};

// The words of a text from a position on, split at blanks. A word that starts with ":"
// (after the first) is an IRC trailing parameter: it runs to the end, without its colon.
QList<Word> wordsFrom(QStringView text, qsizetype from, bool trailing)
{
    qsizetype end = text.size();
    while (end > from &&
           (text[end - 1] == u' ' || text[end - 1] == u'\r' || text[end - 1] == u'\n'))
        --end;
    QList<Word> words;
    qsizetype pos = from;
    while (pos < end) {
        while (pos < end && text[pos] == u' ')
            ++pos;
        if (pos >= end)
            break;
        if (trailing && text[pos] == u':' && !words.isEmpty()) {
            words.append({pos + 1, end});
            break;
        }
        const qsizetype start = pos;
        while (pos < end && text[pos] != u' ')
            ++pos;
        words.append({start, pos});
    }
    return words;
}

bool is(QStringView text, const Word &word, QStringView name)
{
    return text.sliced(word.start, word.end - word.start).compare(name, Qt::CaseInsensitive) == 0;
}

bool isAnyOf(QStringView text, const Word &word, std::initializer_list<QStringView> names)
{
    for (QStringView name : names) {
        if (is(text, word, name))
            return true;
    }
    return false;
}

// Everything from word index on, as one secret.
void restFrom(const QList<Word> &words, qsizetype index, QList<SecretSpan> &spans)
{
    if (index < words.size())
        spans.append({words[index].start, words.last().end - words[index].start});
}

// A service by its nick (a target may read "NickServ@services.example").
bool isService(QStringView target)
{
    const qsizetype at = target.indexOf(u'@');
    const QStringView nick = at < 0 ? target : target.first(at);
    return nick.endsWith(u"serv", Qt::CaseInsensitive) ||
           nick.compare(u"Q", Qt::CaseInsensitive) == 0 ||
           nick.compare(u"X", Qt::CaseInsensitive) == 0;
}

// The command words that are themselves addressed to a service (server aliases).
bool isServiceAlias(QStringView text, const Word &command)
{
    const QStringView word = text.sliced(command.start, command.end - command.start);
    return word.endsWith(u"serv", Qt::CaseInsensitive) || isAnyOf(text, command, {u"NS", u"CS"});
}

// A text to a service, from its first word: the command word, then its arguments.
void serviceText(QStringView text, qsizetype from, QList<SecretSpan> &spans)
{
    const QList<Word> words = wordsFrom(text, from, false);
    if (words.isEmpty())
        return;
    if (isAnyOf(text, words[0], {u"IDENTIFY", u"ID", u"REGISTER", u"AUTH", u"LOGIN"}))
        restFrom(words, 1, spans);
    else if (isAnyOf(text, words[0], {u"GHOST", u"RELEASE", u"RECOVER"}))
        restFrom(words, 2, spans);
    else if (words.size() > 1 && is(text, words[0], u"SET") &&
             isAnyOf(text, words[1], {u"PASSWORD", u"PASS"}))
        restFrom(words, 2, spans);
}

bool isServiceWord(QStringView text, const Word &word)
{
    return isAnyOf(text, word,
                   {u"IDENTIFY", u"REGISTER", u"GHOST", u"RELEASE", u"RECOVER", u"LOGIN", u"AUTH"});
}

// The key arguments of a mode change: params[first] is the mode string, the rest are
// arguments, taken in order by the letters that take one.
void channelModes(const QList<Word> &params, qsizetype first, QStringView text,
                  QList<SecretSpan> &spans)
{
    if (first >= params.size())
        return;
    const QStringView modes =
        text.sliced(params[first].start, params[first].end - params[first].start);
    qsizetype argument = first + 1;
    bool adding = true;
    for (QChar letter : modes) {
        if (letter == u'+' || letter == u'-') {
            adding = letter == u'+';
            continue;
        }
        // Lists and member prefixes always take an argument; limits, forwards and
        // throttles only when set. A key is given to remove it too.
        const bool takes = QStringView(u"beIkqaohv").contains(letter) ||
                           (adding && QStringView(u"lfjL").contains(letter));
        if (!takes)
            continue;
        if (argument >= params.size())
            return;
        if (letter == u'k')
            spans.append({params[argument].start, params[argument].end - params[argument].start});
        ++argument;
    }
}

bool isChannel(QStringView text, const Word &word)
{
    return word.end > word.start && QStringView(u"#&+!").contains(text[word.start]);
}

} // namespace

QList<SecretSpan> FindSecrets(QStringView line)
{
    QList<SecretSpan> spans;
    qsizetype pos = 0;
    while (pos < line.size() && line[pos] == u' ')
        ++pos;
    auto skipWord = [&] {
        while (pos < line.size() && line[pos] != u' ')
            ++pos;
        while (pos < line.size() && line[pos] == u' ')
            ++pos;
    };
    if (pos < line.size() && line[pos] == u'@')
        skipWord();
    const bool fromServer = pos < line.size() && line[pos] == u':';
    if (fromServer)
        skipWord();
    // The command is the first "word"; the parameters follow, the last maybe after ":".
    const QList<Word> words = wordsFrom(line, pos, true);
    if (words.isEmpty())
        return spans;
    const Word command = words[0];
    const QList<Word> params = words.mid(1);
    auto restOfParams = [&](qsizetype index) { restFrom(params, index, spans); };

    if (isAnyOf(line, command, {u"PASS", u"AUTHENTICATE"})) {
        restOfParams(0);
    } else if (is(line, command, u"OPER")) {
        restOfParams(1);
    } else if (is(line, command, u"JOIN")) {
        if (!fromServer)
            restOfParams(1);
    } else if (is(line, command, u"MODE")) {
        if (!params.isEmpty() && isChannel(line, params[0]))
            channelModes(params, 1, line, spans);
    } else if (is(line, command, u"324")) {
        channelModes(params, 2, line, spans);
    } else if (isAnyOf(line, command, {u"PRIVMSG", u"NOTICE", u"SQUERY", u"MSG"})) {
        if (params.size() > 1 &&
            isService(line.sliced(params[0].start, params[0].end - params[0].start)))
            serviceText(line, params[1].start, spans);
    } else if (isServiceAlias(line, command)) {
        if (!params.isEmpty())
            serviceText(line, params[0].start, spans);
    } else if (isServiceWord(line, command)) {
        serviceText(line, command.start, spans);
    }
    return spans;
}

QList<SecretSpan> FindTypedSecrets(QStringView typed, QStringView target)
{
    if (typed.startsWith(u'/')) {
        QList<SecretSpan> spans = FindSecrets(typed.sliced(1));
        for (SecretSpan &span : spans)
            ++span.start;
        return spans;
    }
    if (target.isEmpty())
        return FindSecrets(typed);
    const QString prefix = QStringLiteral("PRIVMSG ") + target.toString() + QStringLiteral(" :");
    QList<SecretSpan> spans = FindSecrets(QString(prefix + typed.toString()));
    for (SecretSpan &span : spans)
        span.start -= prefix.size();
    return spans;
}

QString MaskSpans(const QString &text, const QList<SecretSpan> &spans)
{
    QString masked = text;
    // From the last span back, so that the earlier positions stay valid.
    for (qsizetype i = spans.size() - 1; i >= 0; --i)
        masked.replace(spans[i].start, spans[i].length, SecretMask.toString());
    return masked;
}

QString StarSpans(const QString &text, const QList<SecretSpan> &spans)
{
    QString starred = text;
    for (const SecretSpan &span : spans)
        starred.replace(span.start, span.length, QString(span.length, u'*'));
    return starred;
}

QString MaskSecrets(const QString &line)
{
    return MaskSpans(line, FindSecrets(line));
}

QByteArray MaskSecrets(const QByteArray &line)
{
    // Latin-1 gives one character per byte, so the positions are byte positions and
    // every other byte stays as it was.
    const QList<SecretSpan> spans = FindSecrets(QString::fromLatin1(line));
    QByteArray masked = line;
    for (qsizetype i = spans.size() - 1; i >= 0; --i)
        masked.replace(spans[i].start, spans[i].length, SecretMask.toLatin1());
    return masked;
}

QByteArray MaskChannelModes(const QByteArray &modes)
{
    static const QByteArray prefix = "MODE # ";
    return MaskSecrets(prefix + modes).mid(prefix.size());
}
