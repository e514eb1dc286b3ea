#include "speech/speech_text_cleanup.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

bool Invisible(char32_t c)
{
    return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF ||
           c == 0x061C || c == 0x00AD || c == 0xFE0E || c == 0xFE0F;
}

// Punctuation, symbols and emoji: anything that is not a letter, digit, mark or blank.
bool Symbol(char32_t c)
{
    if (c < 0x20)
        return false;
    const QChar::Category category = QChar::category(c);
    switch (category) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Control:
        return false;
    default:
        return true;
    }
}

QString Host(const QString &address)
{
    QString full = address;
    if (full.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        full.prepend(QLatin1String("http://"));
    QString host = QUrl(full, QUrl::TolerantMode).host();
    if (host.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        host = host.mid(4);
    return host.isEmpty() ? address : host;
}

// A surrogate without its partner: the code-point loops below read it as U+FFFD.
bool LoneSurrogate(const QString &text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate())
        return i + 1 == text.size() || !text[i + 1].isLowSurrogate();
    return c.isLowSurrogate() && (i == 0 || !text[i - 1].isHighSurrogate());
}

// Most chat lines need none of the rewriting below; telling so from the UTF-16 units
// alone spares a code-point list and a string per character for every spoken line.
bool NeedsVisibleCopy(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (Invisible(text[i].unicode()) || (text[i].isSurrogate() && LoneSurrogate(text, i)))
            return true;
    }
    return false;
}

// Also true for U+FEFF, which the rewriting loop drops (it reads as a byte order mark
// there); the cleaning before it has removed every one from spoken text anyway.
bool NeedsCollapsing(const QString &text)
{
    char32_t previous = 0;
    int run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (c == 0xFEFF)
            return true;
        if (text[i].isSurrogate()) {
            if (LoneSurrogate(text, i))
                return true;
            if (text[i].isLowSurrogate())
                continue; // counted with its high half
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
        }
        run = c == previous ? run + 1 : 1;
        previous = c;
        if (run >= MinSymbolRun && Symbol(c))
            return true;
    }
    return false;
}

// Whether the text holds "://" or "www." (in any case), as every address the pattern in
// CleanSpeechText finds does. One pass over the UTF-16 units: a case-insensitive search
// folds the case of every character and cost more than the rest of the cleaning.
bool MayHoldAddress(QStringView text)
{
    const auto lower = [&text](qsizetype i) { return char16_t(text[i].unicode() | 0x20); };
    for (qsizetype i = 0; i + 3 <= text.size(); ++i) {
        if (text[i] == u':' && text[i + 1] == u'/' && text[i + 2] == u'/')
            return true;
        // Only 'W' and 'w' give 'w' with the 0x20 bit set.
        if (i + 4 <= text.size() && lower(i) == u'w' && lower(i + 1) == u'w' &&
            lower(i + 2) == u'w' && text[i + 3] == u'.')
            return true;
    }
    return false;
}

} // namespace

QString CleanSpeechText(const QString &text)
{
    QString visible;
    if (NeedsVisibleCopy(text)) {
        visible.reserve(text.size());
        for (const char32_t c : text.toUcs4()) {
            if (!Invisible(c))
                visible.append(QString::fromUcs4(&c, 1));
        }
    } else {
        visible = text;
    }
    if (!MayHoldAddress(visible))
        return visible;
    static const QRegularExpression address(
        QStringLiteral(R"((?:\b(?:https?|ftp)://|\bwww\.)[^\s<>"]+)"),
        QRegularExpression::CaseInsensitiveOption);
    QString result;
    qsizetype from = 0;
    for (auto it = address.globalMatch(visible); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += visible.mid(from, match.capturedStart() - from);
        result += Host(match.captured());
        from = match.capturedEnd();
    }
    result += visible.mid(from);
    return result;
}

QString CollapseSymbolRuns(const QString &text)
{
    if (!NeedsCollapsing(text))
        return text;
    const QList<uint> points = text.toUcs4();
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < points.size();) {
        qsizetype end = i + 1;
        while (end < points.size() && points[end] == points[i])
            ++end;
        const char32_t c = points[i];
        const QString one = QString::fromUcs4(&c, 1);
        if (end - i >= MinSymbolRun && Symbol(c)) {
            result += one + QLatin1Char(' ') + QString::number(end - i);
            // The count must not run into a following word or digit.
            if (end < points.size() && !QChar::isSpace(points[end]))
                result += QLatin1Char(' ');
        } else {
            for (qsizetype k = i; k < end; ++k)
                result += one;
        }
        i = end;
    }
    return result;
}
