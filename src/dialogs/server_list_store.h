#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The program's list of known IRC servers, stored in <ProgramDir>/config/servers.ini,
// section "IRCServers": record n under Name<n>, Desc<n>, Port<n>, AddDate<n>,
// LastConnect<n>, CodePage<n>, numbered from 1 without gaps; TLS<n> ("-1", only when on),
// Fingerprint<n> (the SHA-256 fingerprint of a certificate the user accepted), SaslMechanism<n>,
// SaslAccount<n>, SaslPassword<n> and ClientCert<n> only for a record that has them (the
// file is readable by its owner only, as every server list is). No widgets: the connect
// dialog, the server list window, the server options dialog and the first-run wizard
// share it.

struct ServerRecord
{
    QString Name; // host name; the key of the record (compared without regard to case)
    quint16 Port = 6667;
    QString Desc;
    // "WIN1251", "OEM", "KOI8" or "UTF8"; a file without the key keeps the old default.
    QString CodePage = QStringLiteral("WIN1251");
    QString Password; // kept in memory only, never written
    // SASL identification while registering: "PLAIN" (account and password), "EXTERNAL"
    // (the client certificate, a PEM file holding certificate and key) or empty.
    QString SaslMechanism;
    QString SaslAccount;
    QString SaslPassword;
    QString ClientCert;
    bool Tls = false;    // TLS over the connection
    QString Fingerprint; // certificate accepted although it could not be verified
    QDateTime AddDate;   // invalid when the file held no readable date
    QDateTime LastConnect;
    // The dates as the file held them, written back unchanged when they could not be read
    // (a date in another installation's format is kept, not lost).
    QString AddDateText;
    QString LastConnectText;
};

// At most this many servers are kept.
constexpr int MaxServers = 200;

// The program-wide list: ServerList()[0] is record 1. Its size is the count.
QList<ServerRecord> &ServerList();
inline int ServerCount()
{
    return int(ServerList().size());
}
// Record by slot (1 to ServerCount()); nullptr outside.
ServerRecord *ServerAt(int slot);

// The server text last taken from the connect dialog's server box. AddServer adds nothing
// while it is empty.
QString &SelectedServer();

// Reads servers.ini: every Desc<n> key present for n = 1 to 200 gives one record, in order,
// without gaps. An entry is absent only when its key is absent; a description such as
// "er-net" is a description like any other. A port or a date that cannot be read does not
// drop the record: the port becomes 6667 and the date text is kept as it was (logged).
void LoadServerList();
// Rewrites the section: records 1 to count, six keys each; no stale higher-numbered keys
// remain. One atomic write; comments and other sections of the file are kept.
void SaveServerList();
// Slot of the last record named so (case ignored), or 0.
int FindServer(const QString &name);
// Appends an empty record named so and returns its slot; 0 (nothing added) while
// SelectedServer() is empty or the list is full.
int AddServer(const QString &name);
// Removes the record named so, saves and returns the new count; 0 when no such server.
int DeleteServer(const QString &name);

// Removes the record in that slot, saves and returns the new count; 0 for a slot not in use.
// For a window that shows the rows: two records may carry one name.
int DeleteServerAt(int slot);

// Writes the chosen server to connect.ini (section "Connect"): "Server" := name and
// "Port" := the port of the list entry of that name. For a server the list does not know
// the port already there stays (set by hand for it), 6667 only when there is none. The
// connect action reads both from there.
void WriteConnectServer(const QString &name);

// The record of that name (case ignored, the last one) as servers.ini holds it now, without
// touching the loaded list.
std::optional<ServerRecord> ReadServerRecord(const QString &name);
// Remembers a certificate the user accepted for the server of that name: stored in its
// record, which is added (with TLS on and that port) when the list has none.
void StoreServerFingerprint(const QString &name, quint16 port, const QString &fingerprint);

// The port a server's TLS switch implies: 6697 with TLS, 6667 without.
constexpr quint16 PlainPort = 6667;
constexpr quint16 TlsPort = 6697;

// Date-times as servers.ini stores and the windows show them: "dd.MM.yyyy HH:mm:ss", the
// format the shipped file and older installations use. Reading also accepts the system's
// short date and long time, and ISO 8601; an unreadable text gives an invalid date.
QString DateTimeToText(const QDateTime &dateTime);
QDateTime TextToDateTime(const QString &text);
// The text to show or store for a record date: the date when valid, else the kept text.
QString ServerDateText(const QDateTime &dateTime, const QString &keptText);
