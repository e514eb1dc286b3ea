#pragma once

#include <QByteArray>

class TIrcChannel;
class TIrcClient;
class TIrcUser;

// The channel-window side of the engine's events. The main window's handlers write their
// status and event lines and then call the matching function here, which finds (or opens)
// the window concerned and keeps its conversation and user table current.
namespace TChannelEventRouter {

// OnMessage (and OnAction, its text marked with "* "): a channel message goes to its window (none
// open: dropped); a private message to the window named after the sender, opened when there is
// none.
void Message(TIrcUser *user, TIrcChannel *channel, const QByteArray &text);
// OnNotice without a channel (NickServ, say): the sender's private window when one is open,
// otherwise the status window.
void PrivateNotice(TIrcUser *user, const QByteArray &text);
// A private message or notice no window can take (every private slot taken, the window
// closing): a status line, spoken with the channel voice when a user sent it.
void PrivateToStatus(const QString &nick, const QString &text, bool notice);
// OnJoined: a new channel window (always a new one) and its join line.
void Joined(TIrcChannel *channel);
// OnKicked, OnNames (end of the names reply): the window's user table takes the channel's
// members it lacks, in one batch.
void Members(TIrcChannel *channel);
// OnJoin: the joining user gets a row.
void Join(TIrcUser *user, TIrcChannel *channel);
// OnChannelMode / OnChannelModeChanged: caption "name[modes]".
void ChannelMode(TIrcChannel *channel);
// OnPart: the user leaves the window's table.
void Part(TIrcUser *user, TIrcChannel *channel);
// OnParted: the window closes (after the main window's event line).
void Parted(TIrcChannel *channel);
// OnKick: the victim leaves the table.
void Kick(TIrcUser *victim, TIrcChannel *channel);
// OnNickChange (another user; call before the engine renames the record) and
// OnNickChanged (own nick): every window's entry follows the new nick.
void NickChange(const QByteArray &oldNick, const QByteArray &newNick);
// OnQuit: the user leaves every window's table.
void Quit(TIrcUser *user);

// Binds the functions above to the engine's events, each after the handler already bound
// (the main window's status and event lines come first, as the windows expect). One call
// after the main window has bound its own handlers.
void AttachChannelRouting(TIrcClient *irc);

} // namespace TChannelEventRouter
