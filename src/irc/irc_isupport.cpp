#include "irc/irc_isupport.h"

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray unescaped(QByteArrayView value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 3 < value.size() && value[i + 1] == 'x') {
            const int high = hexDigit(value[i + 2]), low = hexDigit(value[i + 3]);
            if (high >= 0 && low >= 0) {
                out.append(char(high * 16 + low));
                i += 3;
                continue;
            }
        }
        out.append(value[i]);
    }
    return out;
}

} // namespace

bool TIrcIsupport::ReadToken(QByteArrayView token)
{
    const bool negated = token.startsWith('-');
    if (negated)
        token = token.sliced(1);
    const qsizetype equals = token.indexOf('=');
    const QByteArrayView key = equals >= 0 ? token.first(equals) : token;
    const QByteArray value = equals >= 0 ? unescaped(token.sliced(equals + 1)) : QByteArray();
    const TIrcIsupport defaults;
    if (key == "CASEMAPPING") {
        CaseMapping = negated || value.isEmpty() ? defaults.CaseMapping : value;
    } else if (key == "CHANTYPES") {
        // "CHANTYPES=" is a server without channels; keep what makes names recognisable.
        ChanTypes = negated || value.isEmpty() ? defaults.ChanTypes : value;
    } else if (key == "PREFIX") {
        const qsizetype close = value.indexOf(')');
        if (negated || !value.startsWith('(') || close < 0 ||
            value.size() - close - 1 != close - 1) {
            PrefixModes = defaults.PrefixModes;
            PrefixSymbols = defaults.PrefixSymbols;
        } else {
            PrefixModes = value.mid(1, close - 1);
            PrefixSymbols = value.mid(close + 1);
        }
    } else if (key == "NETWORK") {
        Network = negated ? QByteArray() : value;
    } else {
        return false;
    }
    return true;
}

bool TIrcIsupport::IsChannelName(QByteArrayView name) const
{
    return !name.isEmpty() && ChanTypes.contains(name[0]);
}

QByteArrayView TIrcIsupport::StripPrefixes(QByteArrayView entry, QByteArray *symbols) const
{
    qsizetype at = 0;
    while (at < entry.size() - 1 && PrefixSymbols.contains(entry[at]))
        ++at;
    if (symbols)
        *symbols = entry.first(at).toByteArray();
    return entry.sliced(at);
}
