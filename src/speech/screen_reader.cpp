#include "speech/screen_reader.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace ScreenReader {

bool BusSaysEnabled(const QDBusConnection &bus, int timeoutMs)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled");
    const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    // The property comes back wrapped in a D-Bus variant.
    QVariant value = reply.arguments().constFirst();
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toBool();
}

bool ProcessRunning(const QStringList &names, const QString &procDir)
{
    const uint me = ::getuid();
    const QStringList entries = QDir(procDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isProcess = false;
        entry.toUInt(&isProcess);
        if (!isProcess)
            continue;
        const QString dir = procDir + QLatin1Char('/') + entry;
        if (QFileInfo(dir).ownerId() != me)
            continue;
        QFile comm(dir + QStringLiteral("/comm"));
        // A process that ended between the listing and here has no comm any more.
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        if (names.contains(QString::fromUtf8(comm.readAll().trimmed())))
            return true;
    }
    return false;
}

bool Running()
{
    return ProcessRunning() || BusSaysEnabled(QDBusConnection::sessionBus(), 1000);
}

} // namespace ScreenReader
