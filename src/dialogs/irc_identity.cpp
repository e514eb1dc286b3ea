#include "dialogs/irc_identity.h"

#include "irc/text_codec_policy.h"

#include <algorithm>

namespace {

constexpr int UserFieldLength = 10;

bool fitsUserField(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'_' || c == u'-' || c == u'.';
}

QByteArray userFieldCharacters(const QString &text)
{
    QByteArray field;
    for (QChar c : text) {
        if (fitsUserField(c))
            field += char(c.unicode());
        if (field.size() == UserFieldLength)
            break;
    }
    return field;
}

} // namespace

QByteArray ToConnectionText(const QString &text)
{
    return EncodeEngineText(text);
}

QByteArray IrcUserField(const QString &userName, const QString &nick)
{
    const QString name = userName.trimmed();
    if (!name.isEmpty() && std::all_of(name.begin(), name.end(), fitsUserField))
        return userFieldCharacters(name);
    const QByteArray fromNick = userFieldCharacters(nick.trimmed());
    if (!fromNick.isEmpty())
        return fromNick;
    return QByteArrayLiteral("user");
}
