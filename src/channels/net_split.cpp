#include "channels/net_split.h"

#include "config/config_files.h"
#include "speech/channel_speech_queue.h"

#include <QRegularExpression>

namespace {

bool IsServerName(const QString &name)
{
    // Letters, digits, hyphens and at least one dot between labels; '*' for masked
    // server names some networks use.
    static const QRegularExpression host(QStringLiteral("^[A-Za-z0-9*_-]+(\\.[A-Za-z0-9*_-]+)+$"));
    return host.match(name).hasMatch();
}

QString Worded(const char *key, const char *fallback, const TNetSplitServers &servers, int count)
{
    QString pattern = GetCaption(QLatin1String(key));
    if (pattern.isEmpty() || pattern.startsWith(QLatin1String("err-")) ||
        !pattern.contains(QLatin1String("%1")))
        pattern = QString::fromUtf8(fallback);
    pattern.replace(QLatin1String("%3"), servers.Far);
    return TChannelSpeechQueue::Summary(pattern, count, servers.Near);
}

} // namespace

std::optional<TNetSplitServers> NetSplitServers(const QString &reason)
{
    const QStringList parts = reason.split(QLatin1Char(' '));
    if (parts.size() != 2 || parts[0] == parts[1] || !IsServerName(parts[0]) ||
        !IsServerName(parts[1]))
        return std::nullopt;
    return TNetSplitServers{parts[0], parts[1]};
}

QString NetSplitSentence(const TNetSplitServers &servers, int count)
{
    return Worded("CFNetSplit",
                  "разрыв сети между %2 и %3: ушёл %1 пользователь|разрыв сети между %2 и %3: "
                  "ушли %1 пользователя|разрыв сети между %2 и %3: ушли %1 пользователей",
                  servers, count);
}

QString NetJoinSentence(const TNetSplitServers &servers, int count)
{
    return Worded("CFNetJoin",
                  "после разрыва сети между %2 и %3 вернулся %1 пользователь|после разрыва сети "
                  "между %2 и %3 вернулись %1 пользователя|после разрыва сети между %2 и %3 "
                  "вернулись %1 пользователей",
                  servers, count);
}

QString NetSplitLine(const QString &sentence, const QStringList &nicks)
{
    return sentence + QStringLiteral(" (") + nicks.join(QStringLiteral(", ")) + QLatin1Char(')');
}
