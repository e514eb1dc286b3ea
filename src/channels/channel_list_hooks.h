#pragma once

class TForm1;

// Binds the channel list to the main window, once, after the main window has bound its own
// engine handlers and installed itself as the dialogs' host: the engine's OnList fills the
// browser (and writes "1.lst" at the end of the list), and the channel-list action (Ctrl+L,
// the channels tool button, and Join, which triggers it) shows the request dialog. The
// request dialog is made here, with the program's other windows.
void AttachChannelList(TForm1 *form);
