#pragma once

// What the window benchmarks share: a private copy of the shipped program directory, the
// main window shown with the channel routing, registered as "me" at a loopback peer that
// stands in for the server, and a feeder that dispatches lines a number per event-loop turn.

#include "app/main_window.h"
#include "channels/channel_event_router.h"
#include "config/config_files.h"
#include "directory_tree.h"
#include "irc/irc_client.h"
#include "scripted_peer.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

inline void UseProgramCopy(const QTemporaryDir &dir)
{
    CopyDirectoryTree(QStringLiteral(TALVIN_SOURCE_DIR "/dist"), dir.path());
    QDir::setCurrent(dir.path());
    SetProgramDir(dir.path());
}

inline void ShowRegistered(TForm1 &window, ScriptedPeer &peer)
{
    TChannelEventRouter::AttachChannelRouting(window.IRC);
    window.resize(900, 700);
    window.show();
    if (!QTest::qWaitForWindowActive(&window))
        std::fprintf(stderr, "main window not active\n");
    window.IRC->SetNick("me");
    window.IRC->Host = QStringLiteral("127.0.0.1");
    window.IRC->Port = peer.port();
    window.IRC->Connect();
    peer.sendLine(":irc.test 001 me :Welcome");
    while (window.IRC->State() != stConnected)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Dispatches perTurn lines in each event-loop turn from start() on, as a reading thread
// hands over what one read brought.
class LineFeeder
{
public:
    LineFeeder(TIrcClient *client, const QList<QByteArray> &lines, int perTurn)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this, client, &lines, perTurn] {
            for (int i = 0; i < perTurn && m_sent < lines.size(); ++i)
                client->Dispatch(lines[m_sent++]);
            if (m_sent >= lines.size())
                m_timer.stop();
        });
    }
    void start() { m_timer.start(); }

private:
    QTimer m_timer;
    qsizetype m_sent = 0;
};
