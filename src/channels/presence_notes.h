#pragma once

#include "channels/net_split.h"
#include "channels/presence_speech.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// The joins, parts and quits of one channel window, worded as its lines and sentences.
// Each is handed to Show with whether it is to be heard under the window's setting. The
// quits of a net split are gathered while they keep coming and become one line and one
// sentence; so do the joins of the same users once the split heals.
class TPresenceNotes : public QObject
{
public:
    explicit TPresenceNotes(QObject *parent = nullptr);

    // Receives each line (without the event mark), what is said for it and whether to
    // say it.
    std::function<void(const QString &line, const QString &spoken, bool speak)> Show;
    // The window's own setting; without one the default of the settings window holds,
    // changes to it included.
    std::optional<TPresenceSpeech> Own;
    TPresenceSpeech Setting() const { return Own.value_or(DefaultPresenceSpeech()); }

    // A split's quits (or rejoins) end once none has come for this long.
    static inline int QuietMs = 2000;
    // Users lost in a split count as coming back from it for this long.
    static constexpr qint64 RejoinWindowMs = 60 * 60 * 1000;

    void Spoke(const QString &nick);
    void Renamed(const QString &oldNick, const QString &newNick);
    void Join(const QString &nick, const QString &channel);
    void Part(const QString &nick, const QString &channel);
    void Quit(const QString &nick, const QString &reason);
    // Ends a gathering split or rejoin now (the window closes, a test looks).
    void Flush();

private:
    struct Batch
    {
        TNetSplitServers Servers;
        QStringList Nicks;
        bool Rejoin = false;
    };
    struct SplitOut
    {
        TNetSplitServers Servers;
        qint64 At = 0;
    };

    qint64 now() const { return m_clock.elapsed(); }
    bool recent(const QString &nick) const;
    void single(const QString &text, const QString &nick);
    void gather(const QString &nick, const TNetSplitServers &servers, bool rejoin);

    QElapsedTimer m_clock;
    QHash<QString, qint64> m_lastSpoke;  // lower-case nick -> clock
    QHash<QString, SplitOut> m_splitOut; // lower-case nick -> the split that took them
    Batch m_batch;
    QTimer m_quiet;
};
