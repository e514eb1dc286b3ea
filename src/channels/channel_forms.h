#pragma once

#include <QString>

class TChannelForm;

// The table of channel and private windows lives in the main window (ChannelForms, slots
// 0 to 100); these open windows in it and look them up.

// The window in a slot, or nil.
TChannelForm *ChannelFormAt(int slot);
// The slot of the window with this name (letter case ignored, the highest slot when
// several match), or -1.
int FindChannelForm(const QString &name);
// A channel window in the first free slot from 0, with the channel defaults: show nick,
// text and events, speech on, a sound when not spoken, speak the nick, speak outgoing.
// Raises ETalvinError when every slot is taken.
int NewChannelForm(const QString &channel);
// A private window in the first free slot from 1, user list hidden, every option off.
// Opened for an incoming message (activate false), it does not take the keyboard focus
// from the window the user is typing in: the rest of a line must not go to someone else.
int NewPrivateForm(const QString &nick, bool activate = true);
