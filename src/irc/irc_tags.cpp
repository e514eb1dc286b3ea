#include "irc/irc_tags.h"

namespace {

QByteArray unescaped(QByteArrayView raw)
{
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
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
}
