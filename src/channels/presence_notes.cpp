#include "channels/presence_notes.h"

#include "config/config_files.h"

namespace {

QString CaptionOr(const char *key, const char *fallback)
{
    const QString value = GetCaption(QLatin1String(key));
    return value.isEmpty() || value.startsWith(QLatin1String("err-")) ? QString::fromUtf8(fallback)
                                                                      : value;
}

} // namespace

TPresenceNotes::TPresenceNotes(QObject *parent) : QObject(parent)
{
    m_clock.start();
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &TPresenceNotes::Flush);
}

void TPresenceNotes::Spoke(const QString &nick)
{
    m_lastSpoke.insert(nick.toLower(), now());
}

void TPresenceNotes::Renamed(const QString &oldNick, const QString &newNick)
{
    const auto spoke = m_lastSpoke.constFind(oldNick.toLower());
    if (spoke != m_lastSpoke.cend())
        m_lastSpoke.insert(newNick.toLower(), m_lastSpoke.take(oldNick.toLower()));
}

bool TPresenceNotes::recent(const QString &nick) const
{
    const auto spoke = m_lastSpoke.constFind(nick.toLower());
    return SpeakPresence(Setting(),
                         spoke == m_lastSpoke.cend() ? std::nullopt : std::optional(*spoke), now());
}

void TPresenceNotes::single(const QString &text, const QString &nick)
{
    if (Show)
        Show(text, text, recent(nick));
}

void TPresenceNotes::Join(const QString &nick, const QString &channel)
{
    // A user back from the split being gathered: that split is over.
    if (!m_batch.Nicks.isEmpty() && !m_batch.Rejoin &&
        m_batch.Nicks.contains(nick, Qt::CaseInsensitive))
        Flush();
    const auto out = m_splitOut.constFind(nick.toLower());
    if (out != m_splitOut.cend()) {
        const SplitOut split = *out;
        m_splitOut.erase(out);
        if (now() - split.At <= RejoinWindowMs) {
            gather(nick, split.Servers, true);
            return;
        }
    }
    // The words the window has always shown for a join.
    single(nick + QStringLiteral(" вошел в ") + channel, nick);
}

void TPresenceNotes::Part(const QString &nick, const QString &channel)
{
    single(nick + QStringLiteral(" вышел ") + channel, nick);
}

void TPresenceNotes::Quit(const QString &nick, const QString &reason)
{
    if (const auto servers = NetSplitServers(reason)) {
        gather(nick, *servers, false);
        return;
    }
    QString text = nick + QLatin1Char(' ') + CaptionOr("CFQuit", "вышел из сети");
    if (!reason.isEmpty())
        text += QStringLiteral(" (") + reason + QLatin1Char(')');
    single(text, nick);
}

void TPresenceNotes::gather(const QString &nick, const TNetSplitServers &servers, bool rejoin)
{
    if (!m_batch.Nicks.isEmpty() && (m_batch.Rejoin != rejoin || !(m_batch.Servers == servers)))
        Flush();
    m_batch.Servers = servers;
    m_batch.Rejoin = rejoin;
    m_batch.Nicks << nick;
    m_quiet.start(QuietMs);
}

void TPresenceNotes::Flush()
{
    m_quiet.stop();
    if (m_batch.Nicks.isEmpty())
        return;
    const Batch batch = std::exchange(m_batch, Batch());
    if (!batch.Rejoin) {
        const qint64 at = now();
        m_splitOut.removeIf(
            [at](const auto &entry) { return at - entry.value().At > RejoinWindowMs; });
        for (const QString &nick : batch.Nicks)
            m_splitOut.insert(nick.toLower(), SplitOut{batch.Servers, at});
    }
    const int count = int(batch.Nicks.size());
    const QString sentence = batch.Rejoin ? NetJoinSentence(batch.Servers, count)
                                          : NetSplitSentence(batch.Servers, count);
    if (Show)
        Show(NetSplitLine(sentence, batch.Nicks), sentence, SpeakNetSplit(Setting()));
}
