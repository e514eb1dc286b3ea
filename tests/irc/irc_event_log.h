#pragma once

// Binds every event of a TIrcClient to a recorder that writes one readable line per event
// ("Message <nick> #chan text": users in angle brackets, channels by name, nil for none),
// so a test can compare what the client raised, in order, with a list of expected lines.
#include "irc/irc_client.h"

#include <QByteArrayList>
#include <QRegularExpression>

#include <type_traits>
#include <utility>

class IrcEventLog
{
private:
    // A handler for any event: its name, then each argument after sep (the client and
    // flags left out); with bracketLast the last text stands in [] to show its blanks.
    auto rec(const char *name, bool bracketLast = false, char sep = ' ')
    {
        return [this, name, bracketLast, sep](auto &&...args) {
            QByteArray line = name;
            int texts = (0 + ... + std::is_convertible_v<decltype(args), QByteArray>);
            (append(line, args, sep,
                    bracketLast && std::is_convertible_v<decltype(args), QByteArray> &&
                        --texts == 0),
             ...);
            lines << line;
        };
    }
    static void append(QByteArray &line, const QByteArray &text, char sep, bool bracket)
    {
        line += bracket ? " [" + text + "]" : sep + text;
    }
    static void append(QByteArray &line, TIrcUser *user, char sep, bool) { line += sep + u(user); }
    static void append(QByteArray &line, TIrcChannel *ch, char sep, bool) { line += sep + c(ch); }
    static void append(QByteArray &line, int n, char sep, bool) { line += sep + num(n); }
    template <typename T> static void append(QByteArray &, T *, char, bool) {} // senders
    static void append(QByteArray &, bool &, char, bool) {}
    static QByteArray num(int n) { return QByteArray::number(n); }

public:
    QByteArrayList lines;

    static QByteArray u(const TIrcUser *user) { return user ? "<" + user->Nick + ">" : "nil"; }
    static QByteArray c(const TIrcChannel *channel) { return channel ? channel->Name() : "nil"; }

    QByteArrayList take() { return std::exchange(lines, {}); }
    bool has(const QByteArray &line) const { return lines.contains(line); }
    // The first line that starts with prefix, or an empty one.
    QByteArray find(const QByteArray &prefix) const
    {
        for (const QByteArray &line : lines)
            if (line.startsWith(prefix))
                return line;
        return {};
    }

    void bind(TIrcClient &client)
    {
        // Most events are logged under their own name.
#define TALVIN_LOG(event, ...) client.On##event = rec(#event __VA_OPT__(, ) __VA_ARGS__)
        TALVIN_LOG(Message), TALVIN_LOG(Notice), TALVIN_LOG(Action), TALVIN_LOG(Join);
        TALVIN_LOG(NickChange), TALVIN_LOG(Topic), TALVIN_LOG(NoTopic), TALVIN_LOG(Invite);
        TALVIN_LOG(Inviting), TALVIN_LOG(Kill), TALVIN_LOG(PingPong), TALVIN_LOG(Wallops);
        TALVIN_LOG(Error), TALVIN_LOG(NowAway), TALVIN_LOG(UnAway), TALVIN_LOG(System, true);
        TALVIN_LOG(Op), TALVIN_LOG(Deop), TALVIN_LOG(Voice), TALVIN_LOG(Devoice), TALVIN_LOG(Ban);
        TALVIN_LOG(Unban), TALVIN_LOG(ChannelMode, true), TALVIN_LOG(UserMode), TALVIN_LOG(Links);
        TALVIN_LOG(CTCPQuery, true), TALVIN_LOG(CTCPReply, true), TALVIN_LOG(Names);
        TALVIN_LOG(DCCChat, false, '|'), TALVIN_LOG(DCCSend, false, '|');
        TALVIN_LOG(DCCResume, false, '|'), TALVIN_LOG(DCCAccept, false, '|');
        TALVIN_LOG(Connect), TALVIN_LOG(Disconnect), TALVIN_LOG(Disconnected);
#undef TALVIN_LOG
        client.OnUnknownCommand = rec("Unknown", true);
        client.OnReadError = [this](TTcpConnection *, const QString &m) {
            lines << "ReadError " + m.toLatin1();
        };
        // The events whose meaning lies partly in the records they point to.
        client.OnJoined = [this](TIrcClient *, TIrcChannel *ch) {
            lines << "Joined " + c(ch) + " active=" + num(ch->Active());
        };
        client.OnPart = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch) {
            lines << "Part " + u(a) + ' ' + c(ch) + " reason=" + a->Reason;
        };
        const auto left = [](TIrcChannel *ch) {
            return " leftby=" + num(ch ? int(ch->LeftBy()) : -1);
        };
        client.OnParted = [this, left](TIrcClient *, TIrcChannel *ch) {
            lines << "Parted " + c(ch) + " active=" + num(ch ? ch->Active() : -1) + left(ch);
        };
        client.OnKick = [this](TIrcClient *, TIrcUser *a, TIrcUser *v, TIrcChannel *ch) {
            lines << "Kick " + u(a) + ' ' + u(v) + ' ' + c(ch) + " reason=" + v->Reason;
        };
        client.OnKicked = [this, left](TIrcClient *, TIrcUser *a, TIrcChannel *ch) {
            lines << "Kicked " + u(a) + ' ' + c(ch) + " reason=" + (a ? a->Reason : "") + left(ch);
        };
        client.OnNickChanged = [this](TIrcClient *s, const QByteArray &old) {
            lines << "NickChanged " + old + " -> " + s->CurrentNick();
        };
        client.OnQuit = [this](TIrcClient *, TIrcUser *a) {
            lines << "Quit " + u(a) + " reason=" + a->Reason;
        };
        client.OnAway = [this](TIrcClient *, TIrcUser *a) {
            lines << "Away " + u(a) + " reason=" + a->Reason;
        };
        client.OnUserModeChanged = [this](TIrcClient *s) {
            lines << "UserModeChanged " + num(s->UserMode());
        };
    }
};

// The lines that match pattern (a regular expression).
inline QByteArrayList Grep(const QByteArrayList &lines, const QString &pattern)
{
    const QRegularExpression re(pattern);
    QByteArrayList out;
    for (const QByteArray &line : lines)
        if (re.match(QString::fromLatin1(line)).hasMatch())
            out << line;
    return out;
}
