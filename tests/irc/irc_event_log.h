#pragma once

// Binds every event of a TIrcClient to a recorder that writes one readable line per event,
// so a test can compare what the client raised, in order, with a list of expected lines.
#include "irc/irc_client.h"

#include <QByteArrayList>

class IrcEventLog
{
public:
    QByteArrayList lines;

    static QByteArray u(const TIrcUser *user) { return user ? "<" + user->Nick + ">" : "nil"; }
    static QByteArray c(const TIrcChannel *channel) { return channel ? channel->Name() : "nil"; }

    void add(const QByteArray &line) { lines.append(line); }
    QByteArrayList take()
    {
        QByteArrayList out = lines;
        lines.clear();
        return out;
    }

    void bind(TIrcClient &client)
    {
        using B = const QByteArray &;
        client.OnMessage = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B t) {
            add("Message " + u(a) + ' ' + c(ch) + ' ' + t);
        };
        client.OnNotice = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B t) {
            add("Notice " + u(a) + ' ' + c(ch) + ' ' + t);
        };
        client.OnAction = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B t) {
            add("Action " + u(a) + ' ' + c(ch) + ' ' + t);
        };
        client.OnJoin = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch) {
            add("Join " + u(a) + ' ' + c(ch));
        };
        client.OnJoined = [this](TIrcClient *, TIrcChannel *ch) {
            add("Joined " + c(ch) + " active=" + QByteArray::number(ch->Active()));
        };
        client.OnPart = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch) {
            add("Part " + u(a) + ' ' + c(ch) + " reason=" + a->Reason);
        };
        client.OnParted = [this](TIrcClient *, TIrcChannel *ch) {
            add("Parted " + c(ch) + " active=" + QByteArray::number(ch ? ch->Active() : -1) +
                " leftby=" + QByteArray::number(ch ? int(ch->LeftBy()) : -1));
        };
        client.OnKick = [this](TIrcClient *, TIrcUser *a, TIrcUser *v, TIrcChannel *ch) {
            add("Kick " + u(a) + ' ' + u(v) + ' ' + c(ch) + " reason=" + v->Reason);
        };
        client.OnKicked = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch) {
            add("Kicked " + u(a) + ' ' + c(ch) +
                " leftby=" + QByteArray::number(ch ? int(ch->LeftBy()) : -1));
        };
        client.OnNickChange = [this](TIrcClient *, TIrcUser *a, B n) {
            add("NickChange " + u(a) + ' ' + n);
        };
        client.OnNickChanged = [this](TIrcClient *s, B old) {
            add("NickChanged " + old + " -> " + s->CurrentNick());
        };
        client.OnTopic = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B name, B t) {
            add("Topic " + u(a) + ' ' + c(ch) + ' ' + name + ' ' + t);
        };
        client.OnNoTopic = [this](TIrcClient *, TIrcChannel *ch, B t) {
            add("NoTopic " + c(ch) + ' ' + t);
        };
        client.OnQuit = [this](TIrcClient *, TIrcUser *a) {
            add("Quit " + u(a) + " reason=" + a->Reason);
        };
        client.OnNames = [this](TIrcClient *s, TIrcUsers *users, TIrcChannel *ch) {
            add("Names " + c(ch) + (users == &s->Users() ? " registry" : " other"));
        };
        client.OnInvite = [this](TIrcClient *, TIrcUser *a, B ch) {
            add("Invite " + u(a) + ' ' + ch);
        };
        client.OnInviting = [this](TIrcClient *, B n, B ch) { add("Inviting " + n + ' ' + ch); };
        client.OnKill = [this](TIrcClient *, TIrcUser *a, B v, B r) {
            add("Kill " + u(a) + ' ' + v + ' ' + r);
        };
        client.OnPingPong = [this](TIrcClient *) { add("PingPong"); };
        client.OnWallops = [this](TIrcClient *, TIrcUser *a, B t) {
            add("Wallops " + u(a) + ' ' + t);
        };
        client.OnError = [this](TIrcClient *, TIrcUser *a, B n, B t) {
            add("Error " + u(a) + ' ' + n + ' ' + t);
        };
        client.OnAway = [this](TIrcClient *, TIrcUser *a) {
            add("Away " + u(a) + " reason=" + a->Reason);
        };
        client.OnNowAway = [this](TIrcClient *, B t) { add("NowAway " + t); };
        client.OnUnAway = [this](TIrcClient *, B t) { add("UnAway " + t); };
        client.OnSystem = [this](TIrcClient *, TIrcUser *a, int code, B label, B t) {
            add("System " + u(a) + ' ' + QByteArray::number(code) + ' ' + label + " [" + t + "]");
        };
        client.OnOp = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, TIrcUser *t) {
            add("Op " + u(a) + ' ' + c(ch) + ' ' + u(t));
        };
        client.OnDeop = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, TIrcUser *t) {
            add("Deop " + u(a) + ' ' + c(ch) + ' ' + u(t));
        };
        client.OnVoice = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, TIrcUser *t) {
            add("Voice " + u(a) + ' ' + c(ch) + ' ' + u(t));
        };
        client.OnDevoice = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, TIrcUser *t) {
            add("Devoice " + u(a) + ' ' + c(ch) + ' ' + u(t));
        };
        client.OnBan = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B m) {
            add("Ban " + u(a) + ' ' + c(ch) + ' ' + m);
        };
        client.OnUnban = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B m) {
            add("Unban " + u(a) + ' ' + c(ch) + ' ' + m);
        };
        client.OnChannelMode = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B n, B m) {
            add("ChannelMode " + u(a) + ' ' + c(ch) + ' ' + n + " [" + m + "]");
        };
        client.OnUserMode = [this](TIrcClient *, B m) { add("UserMode " + m); };
        client.OnUserModeChanged = [this](TIrcClient *s) {
            add("UserModeChanged " + QByteArray::number(s->UserMode()));
        };
        client.OnLinks = [this](TIrcClient *, B m, B s, B h, B i) {
            add("Links " + m + '|' + s + '|' + h + '|' + i);
        };
        client.OnUnknownCommand = [this](TIrcClient *, TIrcUser *a, B cmd, B t) {
            add("Unknown " + u(a) + ' ' + cmd + " [" + t + "]");
        };
        client.OnCTCPQuery = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B cmd, B args,
                                    bool &) {
            add("CTCPQuery " + u(a) + ' ' + c(ch) + ' ' + cmd + " [" + args + "]");
        };
        client.OnCTCPReply = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B cmd, B args) {
            add("CTCPReply " + u(a) + ' ' + c(ch) + ' ' + cmd + " [" + args + "]");
        };
        client.OnDCCChat = [this](TIrcClient *, B n, B ip, B port) {
            add("DCCChat " + n + '|' + ip + '|' + port);
        };
        client.OnDCCSend = [this](TIrcClient *, B n, B ip, B port, B file, B size) {
            add("DCCSend " + n + '|' + ip + '|' + port + '|' + file + '|' + size);
        };
        client.OnDCCResume = [this](TIrcClient *, B n, B port, B file, B pos) {
            add("DCCResume " + n + '|' + port + '|' + file + '|' + pos);
        };
        client.OnDCCAccept = [this](TIrcClient *, B n, B port, B file, B pos) {
            add("DCCAccept " + n + '|' + port + '|' + file + '|' + pos);
        };
    }
};
