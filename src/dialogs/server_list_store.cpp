#include "dialogs/server_list_store.h"

#include "config/config_files.h"
#include "dialogs/numbered_list_file.h"

#include <QLocale>

#include <array>
#include <utility>

namespace {

const QString ServersFile = QStringLiteral("servers.ini");
const QString ServersSection = QStringLiteral("IRCServers");
const QString StoredDateFormat = QStringLiteral("dd.MM.yyyy HH:mm:ss");
constexpr quint16 DefaultPort = 6667;

QString numbered(const char *key, int n)
{
    return QLatin1String(key) + QString::number(n);
}

// The keys a record has only when it identifies with SASL, with their fields.
template <typename Record> auto saslFields(Record &record)
{
    using Field = decltype(&record.SaslMechanism);
    return std::array<std::pair<const char *, Field>, 4>{{
        {"SaslMechanism", &record.SaslMechanism},
        {"SaslAccount", &record.SaslAccount},
        {"SaslPassword", &record.SaslPassword},
        {"ClientCert", &record.ClientCert},
    }};
}

std::optional<quint16> portFromText(const QString &text)
{
    bool ok = false;
    const uint port = text.trimmed().toUInt(&ok);
    if (!ok || port > 65535)
        return std::nullopt;
    return quint16(port);
}

QList<ServerRecord> readServers()
{
    const ConfigSection file = ConfigSection::read(ServersFile, ServersSection);
    QList<ServerRecord> list;
    for (int n = 1; n <= MaxServers; ++n) {
        // Present means the key is there, whatever its text says.
        if (!file.contains(numbered("Desc", n)))
            continue;
        ServerRecord record;
        record.Desc = file.value(numbered("Desc", n));
        record.Name = file.value(numbered("Name", n));
        const QString portText = file.value(numbered("Port", n));
        if (const auto port = portFromText(portText)) {
            record.Port = *port;
        } else {
            qWarning("servers.ini: record %d has no usable port (\"%s\"); using %d", n,
                     qUtf8Printable(portText), DefaultPort);
            record.Port = DefaultPort;
        }
        record.AddDateText = file.value(numbered("AddDate", n));
        record.LastConnectText = file.value(numbered("LastConnect", n));
        record.AddDate = TextToDateTime(record.AddDateText);
        record.LastConnect = TextToDateTime(record.LastConnectText);
        if ((!record.AddDate.isValid() && !record.AddDateText.isEmpty()) ||
            (!record.LastConnect.isValid() && !record.LastConnectText.isEmpty()))
            qWarning("servers.ini: record %d keeps a date it cannot read", n);
        if (file.contains(numbered("CodePage", n)))
            record.CodePage = file.value(numbered("CodePage", n));
        for (auto [key, field] : saslFields(record))
            if (file.contains(numbered(key, n)))
                *field = file.value(numbered(key, n));
        const QString tls = file.value(numbered("TLS", n)).trimmed();
        record.Tls = tls == QLatin1String("-1") || tls == QLatin1String("1") ||
                     tls.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        record.Fingerprint = file.value(numbered("Fingerprint", n)).trimmed();
        list.append(record);
    }
    return list;
}

} // namespace

QList<ServerRecord> &ServerList()
{
    static QList<ServerRecord> list;
    return list;
}

ServerRecord *ServerAt(int slot)
{
    if (slot < 1 || slot > ServerCount())
        return nullptr;
    return &ServerList()[slot - 1];
}

QString &SelectedServer()
{
    static QString server;
    return server;
}

void LoadServerList()
{
    ServerList() = readServers();
}

void SaveServerList()
{
    ConfigEntries entries;
    int n = 0;
    for (const ServerRecord &record : ServerList()) {
        ++n;
        entries.append({numbered("Name", n), record.Name});
        entries.append({numbered("Desc", n), record.Desc});
        entries.append({numbered("Port", n), QString::number(record.Port)});
        entries.append(
            {numbered("AddDate", n), ServerDateText(record.AddDate, record.AddDateText)});
        entries.append({numbered("LastConnect", n),
                        ServerDateText(record.LastConnect, record.LastConnectText)});
        entries.append({numbered("CodePage", n), record.CodePage});
        for (auto [key, field] : saslFields(record))
            if (!field->isEmpty())
                entries.append({numbered(key, n), *field});
        // Written only when on, so a list without TLS servers keeps its old form.
        if (record.Tls)
            entries.append({numbered("TLS", n), QStringLiteral("-1")});
        if (!record.Fingerprint.isEmpty())
            entries.append({numbered("Fingerprint", n), record.Fingerprint});
    }
    WriteConfigSection(ServersFile, ServersSection, entries, SectionWrite::ReplaceKeys);
}

int FindServer(const QString &name)
{
    const QString wanted = name.toUpper();
    int found = 0;
    for (int slot = 1; slot <= ServerCount(); ++slot) {
        if (ServerList().at(slot - 1).Name.toUpper() == wanted)
            found = slot;
    }
    return found;
}

std::optional<ServerRecord> ReadServerRecord(const QString &name)
{
    std::optional<ServerRecord> found;
    for (const ServerRecord &record : readServers()) {
        if (record.Name.compare(name, Qt::CaseInsensitive) == 0)
            found = record;
    }
    return found;
}

void StoreServerFingerprint(const QString &name, quint16 port, const QString &fingerprint)
{
    LoadServerList();
    ServerRecord *record = ServerAt(FindServer(name));
    if (!record) {
        ServerRecord added;
        added.Name = name;
        added.Desc = name;
        added.Port = port;
        added.Tls = true;
        added.AddDate = added.LastConnect = QDateTime::currentDateTime();
        ServerList().append(added);
        record = &ServerList().last();
    }
    record->Fingerprint = fingerprint;
    SaveServerList();
}

int AddServer(const QString &name)
{
    if (SelectedServer().isEmpty() || ServerCount() >= MaxServers)
        return 0;
    ServerRecord record;
    record.Name = name;
    ServerList().append(record);
    return ServerCount();
}

int DeleteServer(const QString &name)
{
    return DeleteServerAt(FindServer(name));
}

int DeleteServerAt(int slot)
{
    if (!ServerAt(slot))
        return 0;
    ServerList().removeAt(slot - 1);
    SaveServerList();
    return ServerCount();
}

void WriteConnectServer(const QString &name)
{
    std::optional<quint16> port;
    if (const ServerRecord *record = ServerAt(FindServer(name))) {
        port = record->Port;
    } else {
        // Not in the list as loaded here: the file may know it (the wizard never loads it).
        const QString wanted = name.toUpper();
        for (const ServerRecord &stored : readServers()) {
            if (stored.Name.toUpper() == wanted)
                port = stored.Port;
        }
    }
    const QString file = QStringLiteral("connect.ini");
    const QString section = QStringLiteral("Connect");
    SetConfigValue(file, section, QStringLiteral("Server"), name);
    // A server the list does not know keeps the port the user set by hand in connect.ini;
    // only a file without a usable port gets the usual one.
    if (!port && !portFromText(GetConnectValue(QStringLiteral("Port"))))
        port = DefaultPort;
    if (port)
        SetConfigValue(file, section, QStringLiteral("Port"), QString::number(*port));
}

QString DateTimeToText(const QDateTime &dateTime)
{
    return dateTime.toString(StoredDateFormat);
}

QDateTime TextToDateTime(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    const QLocale system = QLocale::system();
    const QStringList formats = {
        StoredDateFormat,
        QStringLiteral("d.M.yyyy H:mm:ss"),
        QStringLiteral("d.M.yy H:mm:ss"),
        QStringLiteral("d.M.yyyy H:mm"),
        system.dateFormat(QLocale::ShortFormat) + u' ' + system.timeFormat(QLocale::LongFormat),
        system.dateTimeFormat(QLocale::ShortFormat),
    };
    for (const QString &format : formats) {
        QDateTime parsed = QDateTime::fromString(t, format);
        if (!parsed.isValid())
            parsed = system.toDateTime(t, format);
        if (parsed.isValid())
            return parsed;
    }
    return QDateTime::fromString(t, Qt::ISODate);
}

QString ServerDateText(const QDateTime &dateTime, const QString &keptText)
{
    return dateTime.isValid() ? DateTimeToText(dateTime) : keptText;
}
