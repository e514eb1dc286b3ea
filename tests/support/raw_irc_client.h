#pragma once

#include "ngircd_server.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>

// The other user in a conversation test: a plain socket that registers with the server,
// sends raw lines and reads until a text turns up. Its waits keep the event loop running,
// so the program under test goes on working meanwhile.
class RawIrcClient
{
public:
    bool connectTo(const NgircdServer &server, const QByteArray &nick)
    {
        socket.connectToHost(server.host(), server.port());
        if (!socket.waitForConnected(5000))
            return false;
        send("NICK " + nick);
        send("USER " + nick + " 0 * :" + nick);
        return waitFor(" 001 ");
    }
    void send(const QByteArray &line)
    {
        socket.write(line + "\r\n");
        socket.flush();
    }
    bool waitFor(const QByteArray &text, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!received.contains(text)) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents();
            // Bytes may already have been buffered while events were processed.
            socket.waitForReadyRead(20);
            received += socket.readAll();
        }
        return true;
    }

    QTcpSocket socket;
    QByteArray received;
};
