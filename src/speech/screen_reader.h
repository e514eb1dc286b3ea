#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>

// Whether a screen reader runs in the user's session. Two signs, either is enough:
// - the accessibility bus's status (org.a11y.Status.ScreenReaderEnabled on the session bus),
//   which the desktop sets when its screen reader is switched on;
// - a process of this user named like a known screen reader (Orca started by hand, from a
//   terminal or another desktop's autostart, does not always set the status).
namespace ScreenReader {

// Asks the accessibility bus launcher on the given bus; false without a bus, without the
// launcher, or when it does not answer within timeoutMs.
bool BusSaysEnabled(const QDBusConnection &bus, int timeoutMs);

// Scans procDir (normally /proc) for a process of this user whose name is one of names.
bool ProcessRunning(const QStringList &names = {QStringLiteral("orca")},
                    const QString &procDir = QStringLiteral("/proc"));

// Both signs, on the session bus, waiting at most a second for the bus.
bool Running();

} // namespace ScreenReader
