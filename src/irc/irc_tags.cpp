#include "irc/irc_tags.h"

namespace {

QByteArray unescaped(QByteArrayView raw)
{
    // Most values hold no escape at all: one copy, not one append per byte.
    if (!raw.contains('\\'))
        return raw.toByteArray();
    QByteArray out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == raw.size())
            break; // a lone backslash at the end stands for nothing
        switch (raw[i]) {
        case ':':
            out += ';';
            break;
        case 's':
            out += ' ';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            out += raw[i]; // "\\" and any other escaped character stand for themselves
        }
    }
    return out;
}

// The digits at text[from, from + count) as a number; -1 when any is not a digit.
int digits(QByteArrayView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "YYYY-MM-DDThh:mm:ss.sssZ", the form servers send, read field by field: a tenth of the
// work of the general ISO 8601 reader, which every channel message with the tag went
// through. Invalid when the text has another form.
QDateTime utcMoment(QByteArrayView t)
{
    if (t.size() != 24 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
        t[16] != ':' || t[19] != '.' || t[23] != 'Z')
        return {};
    const QDate date(digits(t, 0, 4), digits(t, 5, 2), digits(t, 8, 2));
    const QTime time(digits(t, 11, 2), digits(t, 14, 2), digits(t, 17, 2), digits(t, 20, 3));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

QByteArrayView LineTags(QByteArrayView line)
{
    if (line.isEmpty() || line[0] != '@')
        return {};
    const qsizetype blank = line.indexOf(' ');
    return line.sliced(1, (blank < 0 ? line.size() : blank) - 1);
}

bool FindTag(QByteArrayView tagText, QByteArrayView key, QByteArray &value)
{
    bool found = false;
    qsizetype pos = 0;
    while (pos <= tagText.size()) {
        qsizetype end = tagText.indexOf(';', pos);
        if (end < 0)
            end = tagText.size();
        const QByteArrayView tag = tagText.sliced(pos, end - pos);
        const qsizetype equals = tag.indexOf('=');
        const QByteArrayView name = equals < 0 ? tag : tag.first(equals);
        if (name == key) {
            // Keep looking: the last occurrence of a tag is the one that counts.
            value = equals < 0 ? QByteArray() : unescaped(tag.sliced(equals + 1));
            found = true;
        }
        pos = end + 1;
    }
    return found;
}

QDateTime ServerTime(QByteArrayView tagText)
{
    QByteArray text;
    if (!FindTag(tagText, "time", text))
        return {};
    const QDateTime moment = utcMoment(text);
    return moment.isValid() ? moment
                            : QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
}
