#pragma once

#include <QByteArray>
#include <QByteArrayView>

// What a server says of itself in its 005 replies (ISUPPORT) that the client acts on: how
// it compares names, which characters start a channel name, the status symbols in front
// of nicks, and the network's name. A server that sends no 005 leaves the defaults, which
// are what the client assumed before it read the replies at all.
struct TIrcIsupport
{
    QByteArray CaseMapping; // empty while the server has not named its rule
    QByteArray ChanTypes = "#&!+";
    QByteArray PrefixModes = "ov";   // mode letters, highest rank first
    QByteArray PrefixSymbols = "@+"; // the symbols in the same order
    QByteArray Network;              // empty until the server names it

    // Takes one parameter of a 005 reply ("KEY=value", "KEY" or "-KEY"); true when it
    // changed something kept here. Values arrive with "\xHH" escapes, which are undone.
    bool ReadToken(QByteArrayView token);

    bool IsChannelName(QByteArrayView name) const;
    // A NAMES entry without the status symbols in front of it (several with multi-prefix);
    // the symbols go to *symbols when given.
    QByteArrayView StripPrefixes(QByteArrayView entry, QByteArray *symbols = nullptr) const;
};
