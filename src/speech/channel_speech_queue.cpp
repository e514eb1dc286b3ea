#include "speech/channel_speech_queue.h"

#include "speech/tspeech.h"

#include <QDebug>
#include <QTimer>

#include <algorithm>

TChannelSpeechQueue::TChannelSpeechQueue(TSpeech *voice, QObject *parent)
    : QObject(parent), m_voice(voice), m_stallTimer(new QTimer(this))
{
    m_voice->OnStart = [this](TSpeech *) {
        m_reporting = true;
        m_lastNotice.start();
    };
    m_voice->OnStop = [this](TSpeech *) {
        m_reporting = true;
        voiceStopped();
    };
    m_stallTimer->setInterval(StallMs / 4);
    connect(m_stallTimer, &QTimer::timeout, this, [this] { checkStall(); });
    m_lastNotice.start();
}

void TChannelSpeechQueue::SetLimit(int limit)
{
    m_limit = std::max(limit, 1);
    feed();
}

QString TChannelSpeechQueue::Summary(const QString &pattern, int count, const QString &window)
{
    const QStringList forms = pattern.split(QLatin1Char('|'));
    qsizetype form = 0;
    if (forms.size() == 3) {
        const int tens = count % 100;
        const int ones = count % 10;
        form = (tens >= 11 && tens <= 14) ? 2 : ones == 1 ? 0 : (ones >= 2 && ones <= 4) ? 1 : 2;
    }
    const QString chosen = forms.at(form);
    if (!chosen.contains(QLatin1String("%1")))
        return QString();
    return QString(chosen)
        .replace(QLatin1String("%1"), QString::number(count))
        .replace(QLatin1String("%2"), window);
}

QString TChannelSpeechQueue::RussianSummary(int count, const QString &window)
{
    return Summary(QStringLiteral("ещё %1 сообщение в %2|ещё %1 сообщения в %2|ещё %1 "
                                  "сообщений в %2"),
                   count, window);
}

void TChannelSpeechQueue::Speak(const QString &text, const QString &window)
{
    if (m_muted || text.isEmpty())
        return;
    // An engine that never reports is spoken to as if there were no queue, rather than left
    // silent. One that says it reports is waited for from its first text on: a flood that
    // arrives before its first notification must not all be handed over.
    const bool counts = m_reporting || m_voice->ReportsProgress();
    if (!counts || (m_speaking < m_limit && m_waiting.empty() && m_dropped.empty())) {
        handOver(text);
        return;
    }
    m_waiting.push_back(Pending{text, window});
    while (int(m_waiting.size()) > m_limit) {
        const QString from = m_waiting.front().Window;
        m_waiting.pop_front();
        auto it = std::find_if(m_dropped.begin(), m_dropped.end(),
                               [&](const Dropped &d) { return d.Window == from; });
        if (it == m_dropped.end())
            m_dropped.push_back(Dropped{from, 1});
        else
            ++it->Count;
    }
    m_stallTimer->start();
}

void TChannelSpeechQueue::SpeakNow(const QString &text)
{
    Drop();
    handOver(text);
}

void TChannelSpeechQueue::Drop()
{
    m_waiting.clear();
    m_dropped.clear();
    m_speaking = 0;
    m_stallTimer->stop();
    m_voice->Stop();
}

void TChannelSpeechQueue::handOver(const QString &text)
{
    m_voice->Speak(text);
    if (m_speaking == 0)
        m_lastNotice.start();
    ++m_speaking;
}

void TChannelSpeechQueue::voiceStopped()
{
    m_lastNotice.start();
    m_speaking = std::max(m_speaking - 1, 0);
    feed();
}

void TChannelSpeechQueue::feed()
{
    // Called from the voice's notification: a text that cannot be spoken is logged and
    // dropped, the rest still get their turn.
    while (m_speaking < m_limit && Waiting() > 0) {
        QString text;
        if (!m_dropped.empty()) {
            const Dropped dropped = m_dropped.front();
            m_dropped.erase(m_dropped.begin());
            text = SummaryText ? SummaryText(dropped.Count, dropped.Window)
                               : RussianSummary(dropped.Count, dropped.Window);
        } else {
            text = m_waiting.front().Text;
            m_waiting.pop_front();
        }
        try {
            handOver(text);
        } catch (const std::exception &error) {
            qWarning("Channel voice: %s", error.what());
        }
    }
    if (Waiting() == 0)
        m_stallTimer->stop();
}

void TChannelSpeechQueue::checkStall()
{
    if (Waiting() > 0 && m_lastNotice.elapsed() >= StallMs) {
        qWarning("Channel voice: no word from the engine for %d s, feeding it again",
                 StallMs / 1000);
        m_speaking = 0;
        feed();
    }
}
