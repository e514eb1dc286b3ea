#pragma once

#include <QByteArray>
#include <QString>

// Turns the identity the user typed into what the IRC engine sends.

// Text as the connection carries it: UTF-8 on a UTF-8 server, else Windows-1251, where
// characters that code page lacks become "?".
QByteArray ToConnectionText(const QString &text);

// The user field of the USER line. Servers take one word of plain letters, digits and a few
// marks there: a blank splits the line ("Иван Петров" makes the server answer "Syntax
// error") and Cyrillic is refused ("Invalid user name"), and either way registration never
// completes. So the stored user name is used when it is such a word; otherwise the nick
// without the characters the field cannot hold; otherwise "user". At most 10 characters,
// the common server limit.
QByteArray IrcUserField(const QString &userName, const QString &nick);
