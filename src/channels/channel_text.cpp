#include "channels/channel_text.h"

#include "app/codepage.h"

#include <algorithm>

namespace {

// Both rows have 69 characters; a character of the first becomes the one at the same
// place in the second (the first match counts, so "." maps to "ь").
const QString kConvertFrom =
    QStringLiteral("йцукенгшщзхъфывапролджэячсмитьбю.ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮ.123");
const QString kConvertTo =
    QStringLiteral("ычертйуиоп@эасдфгшжкляюзхцвбнмщъьЫЧЕРТЙУИОПЁЭАСДФГШЖКЛЯЮЗХЦВБНМЩЪЬ.,!");

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

QString StripControlCodes(const QString &text)
{
    // Most lines hold neither: they are handed back shared, without a copy built
    // character by character.
    const auto plain = [](QChar c) { return c.unicode() != 0 && c.unicode() != 3; };
    if (std::all_of(text.cbegin(), text.cend(), plain))
        return text;
    QString result;
    result.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c.unicode() == 0) {
            result.append(QLatin1Char(' '));
        } else if (c.unicode() == 3) {
            if (i + 1 < size && (IsDigit(text.at(i + 1)) || text.at(i + 1).unicode() >= 44)) {
                ++i;
                if (i + 1 < size && IsDigit(text.at(i + 1)))
                    ++i;
            }
        } else {
            result.append(c);
        }
    }
    return result;
}

QByteArray ChannelSendBytes(const QString &text)
{
    return EncodeEngineText(StripControlCodes(text));
}

QChar ConvertKey(QChar character)
{
    const qsizetype at = kConvertFrom.indexOf(character);
    if (at < 0 || at >= kConvertTo.size())
        return character;
    return kConvertTo.at(at);
}
