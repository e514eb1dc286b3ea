#pragma once

#include <QByteArray>
#include <QList>

// Lists speech-dispatcher's voices over a plain connection of our own. libspeechd parses a
// long reply in time that grows with the square of its length: the 13,000 voice variants
// of espeak-ng take it seconds, longer than start-up may wait, while the daemon sends them
// in well under one.

struct TSsipVoice
{
    QByteArray module;
    QByteArray name;
    QByteArray language;
    QByteArray variant;
};

// address is "unix_socket:<path>" or "inet_socket:<host>:<port>". Every output module's
// voices except those of skippedModule, in the daemon's order. False when the daemon could
// not be asked or did not answer within timeoutMs in all.
bool ListSsipVoices(const QByteArray &address, const QByteArray &skippedModule, int timeoutMs,
                    QList<TSsipVoice> *voices);
