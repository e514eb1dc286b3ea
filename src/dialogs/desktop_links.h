#pragma once

#include <QString>

// Hands a web address or a new e-mail message to the user's default programs
// (QDesktopServices). A failure is said through the spoken message box, never dropped.

// "example.org" is opened as "https://example.org"; an address with a scheme as it is.
bool OpenWebAddress(const QString &address);
// Opens a new message to the address ("mailto:" is added when missing).
bool OpenNewMail(const QString &address);
