#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// Text preparation shared by the channel windows and the channel list.

// Removes mIRC colour codes: a code 3 goes with the character after it when that is a
// digit or anything from "," up, and then with one more digit. NUL becomes a blank; the
// other control characters (bold, underline, ...) stay.
QString StripControlCodes(const QString &text);

// The bytes a channel window sends for text: stripped, in Windows-1251 (the engine converts
// them to the server's code page as the line goes out).
QByteArray ChannelSendBytes(const QString &text);

// Russian letters typed on an English layout (and back for a few signs) when the main
// window's keyboard conversion is on; any other character is returned unchanged.
QChar ConvertKey(QChar character);
