#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// Debian's ngircd on a free 127.0.0.1 port, killed with the object. Its configuration lifts
// what would slow a test down or refuse it (penalty time, join, list and connection limits,
// short nicks, DNS/ident/PAM look-ups) and defines one IRC operator.
class NgircdServer
{
public:
    struct Options
    {
        QByteArray password;    // demanded with PASS; empty for none
        QByteArray extraGlobal; // lines for the [Global] section
    };

    static constexpr const char *ServerName = "irc.test.local";
    static constexpr const char *OperName = "testoper";
    static constexpr const char *OperPassword = "operpass";

    explicit NgircdServer(const Options &options = {}) : m_options(options) {}
    ~NgircdServer();
    NgircdServer(const NgircdServer &) = delete;
    NgircdServer &operator=(const NgircdServer &) = delete;

    // Starts ngircd and waits until it accepts connections; false with errorString() set when
    // it does not come up (a few ports are tried, in case another process takes one first).
    bool start();
    bool restart(); // on the same port: clients see their link drop and may come back
    void stop();    // kills it: the system closes every client connection

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

private:
    bool startOnce(quint16 port = 0);
    QByteArray configText() const;

    Options m_options;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
    QString m_logPath;
};
