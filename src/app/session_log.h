#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QFile;

// The traffic log <ProgramDir>/log/trafic.log: one header-to-footer block per connection,
// every line sent and received in the bytes that crossed the wire, and every unhandled
// error. Each entry ends in CR LF and is on disk when AddToLog returns, so nothing is lost
// when the program is killed. A missing log directory or an unwritable file loses the
// entries without complaint: the log must never stand in the way of the session.
class TSessionLog
{
public:
    TSessionLog();
    ~TSessionLog();
    TSessionLog(const TSessionLog &) = delete;
    TSessionLog &operator=(const TSessionLog &) = delete;

    // Opens (appending) or creates the file and writes "*** Connected to <host> at <now>".
    void CreateLogFile(const QString &host);
    // Writes "*** Disconnected with <host> at <now>" and closes the file.
    void DestroyLogFile(const QString &host);
    // One entry; dropped while no log is open.
    void AddToLog(const QByteArray &text);
    bool IsOpen() const;

    // <ProgramDir>/log/trafic.log
    static QString LogFilePath();
    // Now in the system's short date and long time format, separated by a blank.
    static QString NowText();

private:
    std::unique_ptr<QFile> m_file;
};

// The optional status transcript: when a file log.txt exists in the current working
// directory, the line and CR LF are appended to it (the program never creates it).
void AppendToStatusTranscript(const QString &line);
