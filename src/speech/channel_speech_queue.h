#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

class QTimer;
class TSpeech;

// Keeps the channel voice close to the present. At most Limit texts are handed to the
// voice at a time (its start and stop notifications tell how many it still has; a voice
// that has never reported is not waited for); the rest wait here. When more than Limit wait, the
// oldest are dropped from speech and counted per window; before the next texts are read, each such
// count is said as one summary ("ещё 37 сообщений в #канал"). So after a flood the voice reads a
// summary and the newest messages instead of falling minutes behind. Nothing is dropped from the
// windows or the logs: this decides only what is read aloud.
class TChannelSpeechQueue : public QObject
{
public:
    static constexpr int DefaultLimit = 5;
    // Without any notification from the voice for this long, the voice is taken to have
    // lost count (an engine that does not report every text) and is fed again.
    static constexpr int StallMs = 20000;

    // The voice's OnStart and OnStop are taken over.
    explicit TChannelSpeechQueue(TSpeech *voice, QObject *parent = nullptr);

    // The summary said for count dropped texts of a window: "ещё %1 сообщений в %2" with
    // the right plural unless set otherwise.
    std::function<QString(int count, const QString &window)> SummaryText;

    int Limit() const { return m_limit; }
    void SetLimit(int limit);
    // Muted: Speak drops texts; SpeakNow still speaks (the user asked for it).
    bool Muted() const { return m_muted; }
    void SetMuted(bool muted) { m_muted = muted; }

    // A text from a window, queued behind the rest. Raises what TSpeech::Speak raises.
    void Speak(const QString &text, const QString &window);
    // Cuts off everything said and waiting, then speaks the text.
    void SpeakNow(const QString &text);
    // Cuts off everything said and waiting.
    void Drop();

    // Texts waiting here (not yet handed to the voice) and summaries still due.
    int Waiting() const { return int(m_waiting.size() + m_dropped.size()); }
    // Texts handed to the voice that it has not finished.
    int Speaking() const { return m_speaking; }
    bool Idle() const { return m_speaking == 0 && Waiting() == 0; }

    // The plural form of "ещё N сообщений в #канал" for a count.
    static QString RussianSummary(int count, const QString &window);
    // A summary from a pattern: %1 the count, %2 the window. A pattern of three forms
    // separated by "|" (for 1, 2 and 5) is declined as Russian is; one form is used as it
    // is. Empty when the pattern has no %1.
    static QString Summary(const QString &pattern, int count, const QString &window);

private:
    struct Pending
    {
        QString Text;
        QString Window;
    };
    struct Dropped
    {
        QString Window;
        int Count = 0;
    };

    void handOver(const QString &text);
    void feed();
    void voiceStopped();
    void checkStall();

    TSpeech *m_voice;
    int m_limit = DefaultLimit;
    bool m_muted = false;
    bool m_reporting = false; // the voice has reported a start or a stop
    int m_speaking = 0;
    std::deque<Pending> m_waiting;
    std::vector<Dropped> m_dropped; // in the order of the first text dropped
    QTimer *m_stallTimer = nullptr;
    QElapsedTimer m_lastNotice;
};
