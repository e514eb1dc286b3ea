#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// Debian's ngircd on a free 127.0.0.1 port, for integration tests against a real server.
// The temporary configuration lifts the limits that would slow a test down or refuse it:
// no penalty time (a fast client is not throttled), unlimited joins, LIST entries and
// connections per address, nicks of up to 30 characters, no DNS/ident/PAM look-ups. It
// also defines one IRC operator (OperName/OperPassword) for tests that need KILL or the
// like. The server is killed when the object is destroyed.
class NgircdServer
{
public:
    struct Options
    {
        // Connection password (PASS) the server demands; empty for none.
        QByteArray password;
        // Extra lines for the [Global] section.
        QByteArray extraGlobal;
    };

    static constexpr const char *ServerName = "irc.test.local";
    static constexpr const char *OperName = "testoper";
    static constexpr const char *OperPassword = "operpass";

    explicit NgircdServer(const Options &options = {}) : m_options(options) {}
    ~NgircdServer();
    NgircdServer(const NgircdServer &) = delete;
    NgircdServer &operator=(const NgircdServer &) = delete;

    // Writes the configuration, starts ngircd and waits (at most a few seconds) until it
    // accepts connections. False with errorString() set when it does not come up; tries a
    // few ports in case another process takes the chosen one first.
    bool start();
    // Stops the server and starts it again on the same port (clients see their link drop
    // and may reconnect to the same address).
    bool restart();
    // Kills the server: every client connection is closed by the system.
    void stop();

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

private:
    bool startOnce(quint16 port = 0);
    QByteArray output() const; // what ngircd printed
    QByteArray configText() const;

    Options m_options;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
    QString m_logPath;
};
