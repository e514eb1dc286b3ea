#pragma once

#include <QByteArray>

// How many token slots a parsed line has: slot 0 the prefix, slot 1 the command word,
// slots 2 to 29 the parameters.
constexpr int IrcTokenCount = 30;

// The parse of one server line. Rebuilt for every line; the slots keep their storage from
// line to line so that parsing a line normally allocates nothing.
struct TIrcParseState
{
    QByteArray Line;
    QByteArray Tokens[IrcTokenCount];
    QByteArray SenderNick;
    QByteArray SenderAddress;
    QByteArray CommandWord;
    QByteArray ParamText;
    // Slots filled by the last parse (the rest are empty).
    int Filled = 0;
};

// Splits state.Line into the prefix (sender nick and address), the command word, the
// parameter text and the parameter slots:
// - a leading ":" starts the prefix, which runs to the first blank; "nick!user@host" gives
//   the nick and the address, a prefix without "!" is the address alone (a server);
// - the command word runs to the next blank; a command with no parameters at all keeps its
//   word (the text is then the word, not a parameter);
// - what follows the prefix is cut to 512 bytes, as the protocol allows no more;
// - each parameter runs to the next blank, and a run of blanks is one separator, so a
//   middle parameter is never empty; one that starts with ":" takes the rest of the line
//   without the colon;
// - a line with more parameters than slots does not fail: the last slot takes everything
//   from its parameter to the end of the line, blanks included.
void ParseLine(TIrcParseState &state);
