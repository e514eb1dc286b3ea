#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The two servers a net split separated, as the quit reason names them.
struct TNetSplitServers
{
    QString Near;
    QString Far;
    bool operator==(const TNetSplitServers &) const = default;
};

// A server writes the quit reason of users lost in a split as the two server names, one
// blank between them ("irc.a.net irc.b.net"); users cannot (their reasons come with
// "Quit: " in front). Anything else: none.
std::optional<TNetSplitServers> NetSplitServers(const QString &reason);

// One sentence for a split in a window: "разрыв сети между irc.a.net и irc.b.net: ушли 37
// пользователей", worded by the caption file (three plural forms) with a Russian fallback.
QString NetSplitSentence(const TNetSplitServers &servers, int count);
// The same for the users who came back after it.
QString NetJoinSentence(const TNetSplitServers &servers, int count);
// The window's line: the sentence and the nicks.
QString NetSplitLine(const QString &sentence, const QStringList &nicks);
