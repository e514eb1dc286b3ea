#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// Secrets in IRC lines: what every record and presentation of a line hides, while the line
// itself goes to the server unchanged. The traffic log, the status window, the speech and
// its transcript must be safe to show a sighted helper or to read aloud in a room.
//
// A line may carry IRCv3 tags and a ":prefix" (received and echoed lines); commands and
// service words match in any letter case. The secrets are:
//   PASS <all>, AUTHENTICATE <all>, OPER <name> <all after the name>,
//   JOIN <channels> <keys> (a line from us; server JOIN lines carry no keys),
//   MODE <channel> ... and the reply 324: the argument of every "k",
//   PRIVMSG/NOTICE/SQUERY/MSG to a service (NickServ, ChanServ, any "...Serv", Q, X), and
//   the service aliases (NS, CS, NICKSERV, ...), with the service words
//   IDENTIFY/ID/REGISTER/AUTH/LOGIN <all>, GHOST/RELEASE/RECOVER <nick> <all after it>,
//   SET PASSWORD <all>; a bare IDENTIFY/REGISTER/... command is treated the same way.

struct SecretSpan
{
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const SecretSpan &) const = default;
};

// Where the secrets of one line lie, in order.
QList<SecretSpan> FindSecrets(QStringView line);
// The secrets of a line typed into an input line: a line beginning with "/" is a raw
// command (positions still count the "/"), so is every line when target is empty (the
// status window); anything else is the text of a message to target.
QList<SecretSpan> FindTypedSecrets(QStringView typed, QStringView target);

// Every secret replaced by SecretMask, which hides its length too.
inline constexpr QStringView SecretMask = u"********";
QString MaskSpans(const QString &text, const QList<SecretSpan> &spans);
// Every character of a secret replaced by "*": the text keeps its length, so a caret
// position in it still means the same character (for the speech of an input line).
QString StarSpans(const QString &text, const QList<SecretSpan> &spans);

QString MaskSecrets(const QString &line);
// The same for the bytes of a line in any single-byte code page.
QByteArray MaskSecrets(const QByteArray &line);
// The mode string and its arguments of a channel mode change ("+lk 10 key"), keys masked.
QByteArray MaskChannelModes(const QByteArray &modes);
