#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Cutting a message that would not fit in one protocol line (512 bytes with CR LF, counted
// as the receivers get it: with the ":nick!user@host " prefix the server puts in front).

// The parts of text, each at most maxBytes long: cut at the last blank that fits (the blank
// itself is dropped), else at the last character boundary, never inside a UTF-8 sequence
// when the text is UTF-8. A text that fits, or a limit below 4 bytes, gives the text whole.
QList<QByteArray> SplitMessageText(QByteArrayView text, qsizetype maxBytes);

// Room for the text of "<command> <target> :<text>" sent by nick, whose "user@host" is
// address (empty while the server has not shown it: the longest usual one is assumed).
qsizetype MessageTextRoom(QByteArrayView command, QByteArrayView target, QByteArrayView nick,
                          QByteArrayView address);
