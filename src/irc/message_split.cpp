#include "irc/message_split.h"

#include "irc/utf8_text.h"

namespace {

constexpr qsizetype kLineBytes = 510; // 512 less CR LF
// "~" + a 10-character user name, "@", a 63-character host name: what most servers allow.
constexpr qsizetype kUnknownAddressBytes = 11 + 1 + 63;

} // namespace

QList<QByteArray> SplitMessageText(QByteArrayView text, qsizetype maxBytes)
{
    if (text.size() <= maxBytes || maxBytes < 4)
        return {text.toByteArray()};
    const bool utf8 = IsMultiByteUtf8(text);
    QList<QByteArray> parts;
    while (text.size() > maxBytes) {
        qsizetype cut = maxBytes;
        while (utf8 && cut > 0 && !IsUtf8CharStart(text, cut))
            --cut;
        qsizetype blank = cut;
        while (blank > 0 && text[blank] != ' ')
            --blank;
        if (blank > 0) {
            parts.append(text.first(blank).toByteArray());
            text = text.sliced(blank + 1);
        } else {
            parts.append(text.first(cut).toByteArray());
            text = text.sliced(cut);
        }
    }
    if (!text.isEmpty())
        parts.append(text.toByteArray());
    return parts;
}

qsizetype MessageTextRoom(QByteArrayView command, QByteArrayView target, QByteArrayView nick,
                          QByteArrayView address)
{
    const qsizetype addressBytes = address.contains('@') ? address.size() : kUnknownAddressBytes;
    const qsizetype prefix = 1 + nick.size() + 1 + addressBytes + 1;
    return kLineBytes - prefix - (command.size() + 1 + target.size() + 2);
}
