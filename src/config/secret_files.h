#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Configuration files that hold secrets are readable and writable by their owner only
// (mode 0600). A file holds a secret when a key whose name speaks of a password has a value
// ("FaworPassword3=key", "Password=" in connect.ini, a server list's SASL password).

bool HoldsSecrets(const QByteArray &bytes);
// Whether a file about to hold these bytes is written for its owner only: the server list
// and the favourites always, since their next entry may carry a password; any other file
// when it holds a secret.
bool WrittenOwnerOnly(const QString &path, const QByteArray &bytes);

// Narrows an open file to its owner. False when the system refused.
bool MakeOwnerOnly(int fileDescriptor);

// Every file under <ProgramDir>/config that holds a secret and that others may read or
// write is narrowed to its owner; one message per file changed (or that could not be),
// also written as a warning. Run once at start.
QStringList TightenSecretFiles();
