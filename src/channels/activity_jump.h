#pragma once

#include <QList>
#include <QString>

// Which window the activity key goes to: among the windows with unread messages (other
// than the current one), private dialogues first, then windows where the user was
// mentioned, then the rest; within each group the next one after the current window in
// slot order, so that pressing again walks on.
struct TWindowActivity
{
    int Slot = -1;
    bool Private = false;
    int Unread = 0;
    bool Mentioned = false;
};

// The slot to go to, or -1 when no other window has unread messages.
int NextActiveWindow(const QList<TWindowActivity> &windows, int currentSlot);
