#include "speech/espeak_engine.h"

#include "speech/audio_device.h"

#include <QFile>

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int DefaultRate = 175;
constexpr int MinRate = 80;
constexpr int MaxRate = 450;
constexpr int DefaultPitch = 50;
constexpr int MaxPitch = 100;
const QString EngineId = QStringLiteral("espeak-ng");

// libespeak-ng keeps one synthesizer per process; every use goes through this lock.
std::mutex &synthMutex()
{
    static std::mutex mutex;
    return mutex;
}

// What the synthesis callback fills; set while the lock is held.
struct Collector
{
    std::vector<short> *samples = nullptr;
    std::function<bool()> cancelled;
};
Collector *g_collector = nullptr;
QByteArray g_currentVoice;

int collectSamples(short *wav, int count, espeak_EVENT *)
{
    if (!g_collector)
        return 1;
    if (wav && count > 0)
        g_collector->samples->insert(g_collector->samples->end(), wav, wav + count);
    return g_collector->cancelled() ? 1 : 0;
}

// Sample rate of the synthesizer, or 0 when it could not be initialised.
int sampleRate()
{
    static int rate = 0;
    static std::once_flag once;
    std::call_once(once, [] {
        std::lock_guard lock(synthMutex());
        // Without the flag a missing voice data directory would end the whole program.
        const int result =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (result > 0) {
            rate = result;
            espeak_SetSynthCallback(collectSamples);
        } else {
            qWarning("espeak-ng could not be initialised (%d)", result);
        }
    });
    return rate;
}

QString genderName(unsigned char gender)
{
    switch (gender) {
    case 0:
        return QStringLiteral("NEUTRAL");
    case 1:
        return QStringLiteral("MALE");
    case 2:
        return QStringLiteral("FEMALE");
    default:
        return QString();
    }
}

QList<TSpeechMode> listVoices()
{
    QList<TSpeechMode> result;
    if (!sampleRate())
        return result;
    std::lock_guard lock(synthMutex());
    const espeak_VOICE **voices = espeak_ListVoices(nullptr);
    for (int i = 0; voices && voices[i]; ++i) {
        const espeak_VOICE *voice = voices[i];
        if (!voice->name || !voice->languages)
            continue;
        TSpeechMode mode;
        // languages is a list of (priority byte, language string) pairs.
        mode.language = QString::fromUtf8(voice->languages + 1);
        mode.key = QString::fromUtf8(voice->name);
        mode.name = QStringLiteral("espeak-ng %1 (%2)").arg(mode.key, mode.language);
        mode.info.Dialect = mode.language;
        mode.info.MfgName = QStringLiteral("eSpeak NG");
        mode.info.ProductName = EngineId;
        mode.info.ModeID = EngineId + u':' + QString::fromUtf8(voice->identifier);
        mode.info.EngineID = EngineId;
        mode.info.Speaker = mode.key;
        mode.info.Gender = genderName(voice->gender);
        mode.info.Age = voice->age;
        result.append(mode);
    }
    std::sort(result.begin(), result.end(),
              [](const TSpeechMode &a, const TSpeechMode &b) { return a.name < b.name; });
    return result;
}

// The espeak voice for a language such as "ru" or "en-US"; Russian when nothing fits, the
// language the program speaks.
QString voiceForLanguage(const QString &language)
{
    const QList<TSpeechMode> voices = listVoices();
    const QString wanted = language.section(u'-', 0, 0).toLower();
    for (const TSpeechMode &mode : voices) {
        if (mode.language.compare(language, Qt::CaseInsensitive) == 0)
            return mode.key;
    }
    for (const TSpeechMode &mode : voices) {
        if (mode.language.section(u'-', 0, 0).toLower() == wanted)
            return mode.key;
    }
    return QStringLiteral("Russian");
}

void putLe(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

bool writeWave(const QString &fileName, const std::vector<short> &samples, int rate)
{
    const quint32 dataBytes = quint32(samples.size() * sizeof(short));
    QByteArray header;
    header.append("RIFF");
    putLe(header, 36 + dataBytes, 4);
    header.append("WAVEfmt ");
    putLe(header, 16, 4); // format chunk size
    putLe(header, 1, 2);  // PCM
    putLe(header, 1, 2);  // mono
    putLe(header, quint32(rate), 4);
    putLe(header, quint32(rate) * 2, 4); // bytes per second
    putLe(header, 2, 2);                 // block align
    putLe(header, 16, 2);                // bits per sample
    header.append("data");
    putLe(header, dataBytes, 4);

    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray data(reinterpret_cast<const char *>(samples.data()), qsizetype(dataBytes));
    return file.write(header) == header.size() && file.write(data) == data.size();
}

} // namespace

struct TEspeakEngine::Worker
{
    struct Job
    {
        QString text;
        TSpeechOutput output;
        QString fileName;
        QString voice;
        int rate;
        int pitch;
        int amplitude;
        quint64 generation;
    };

    explicit Worker(TEspeakEngine *owner) : engine(owner) {}

    void run()
    {
        loop();
        std::lock_guard lock(mutex);
        finished = true;
        wake.notify_all();
    }

    void notify(bool started)
    {
        std::lock_guard lock(notifyMutex);
        if (engine && started)
            engine->notifyStarted();
        else if (engine)
            engine->notifyStopped();
    }

    // Whether the sound device takes samples now. A failed open is not retried for two
    // seconds: each attempt reads the whole audio configuration, and without a card every
    // queued text would pay for it.
    static bool deviceReady(TAudioDevice &device, std::chrono::steady_clock::time_point &failed)
    {
        const auto now = std::chrono::steady_clock::now();
        if (failed != std::chrono::steady_clock::time_point{} &&
            now - failed < std::chrono::seconds(2))
            return false;
        if (device.open(sampleRate())) {
            failed = {};
            return true;
        }
        failed = now;
        return false;
    }

    // The sound device would not play this text: nothing was heard, so nothing is reported
    // as spoken; the text goes back to the voice, which has another engine say it.
    void notPlayed(const QString &text)
    {
        if (!soundFailed.exchange(true))
            qWarning("espeak-ng: the sound device cannot play; the text is handed over");
        std::lock_guard lock(notifyMutex);
        if (engine)
            engine->notifyLostText(text);
    }

    void loop()
    {
        TAudioDevice device;
        std::chrono::steady_clock::time_point deviceFailed;
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return quit || !queue.empty(); });
                if (quit)
                    return;
                job = std::move(queue.front());
                queue.pop_front();
            }
            auto cancelled = [this, &job] { return quit || generation != job.generation; };
            if (job.output != soFile && !deviceReady(device, deviceFailed)) {
                // Nobody can hear it: rendering it anyway kept a core busy on machines
                // without a sound card. It is not reported as spoken; it goes back.
                if (!cancelled())
                    notPlayed(job.text);
                continue;
            }
            std::vector<short> samples;
            synthesize(job, &samples, cancelled);
            if (cancelled())
                continue;
            notify(true);
            if (job.output == soFile) {
                if (!writeWave(job.fileName, samples, sampleRate()))
                    qWarning("Speech not written to %s", qUtf8Printable(job.fileName));
            } else {
                if (!play(device, samples, cancelled))
                    notPlayed(job.text);
                else
                    soundFailed = false;
                // Let go of the device between bursts of speech: without a sound server
                // the other voice (or another program) could not open it meanwhile.
                std::lock_guard lock(mutex);
                if (queue.empty())
                    device.close();
            }
            notify(false);
        }
    }

    static void synthesize(const Job &job, std::vector<short> *samples,
                           const std::function<bool()> &cancelled)
    {
        if (!sampleRate())
            return;
        std::lock_guard lock(synthMutex());
        const QByteArray voice = job.voice.toUtf8();
        if (voice != g_currentVoice) {
            if (espeak_SetVoiceByName(voice.constData()) == EE_OK)
                g_currentVoice = voice;
        }
        espeak_SetParameter(espeakRATE, job.rate, 0);
        espeak_SetParameter(espeakPITCH, job.pitch, 0);
        espeak_SetParameter(espeakVOLUME, job.amplitude, 0);
        Collector collector{samples, cancelled};
        g_collector = &collector;
        // Plain text only: no SSML and no phoneme input, so nothing in a chat line is
        // taken as a command.
        const QByteArray text = job.text.toUtf8();
        espeak_Synth(text.constData(), size_t(text.size()) + 1, 0, POS_CHARACTER, 0,
                     espeakCHARS_UTF8, nullptr, nullptr);
        g_collector = nullptr;
    }

    // In short pieces, so that a Stop cuts the sound within a few hundredths of a second.
    // False when the device failed.
    static bool play(TAudioDevice &device, const std::vector<short> &samples,
                     const std::function<bool()> &cancelled)
    {
        if (samples.empty())
            return true;
        if (!device.open(sampleRate()))
            return false;
        const int piece = sampleRate() / 20;
        for (size_t at = 0; at < samples.size(); at += size_t(piece)) {
            if (cancelled()) {
                device.flush();
                return true;
            }
            const int count = int(std::min(samples.size() - at, size_t(piece)));
            if (!device.write(samples.data() + at, count))
                return false;
        }
        device.drain();
        return true;
    }

    // Cleared when the engine goes; a worker that outlives it then reports to no one.
    std::mutex notifyMutex;
    TEspeakEngine *engine;

    std::mutex mutex;
    bool finished = false;
    std::condition_variable wake;
    std::deque<Job> queue;
    std::atomic<bool> quit{false};
    std::atomic<quint64> generation{0};
    // Set while the sound device fails; the voice then speaks with another engine.
    std::atomic<bool> soundFailed{false};

    // The voice's settings; only the owning thread touches them.
    QString voice = QStringLiteral("Russian");
    int rate = DefaultRate;
    int pitch = DefaultPitch;
    quint32 volume = 0xFFFFFFFFu;
    TSpeechOutput output = soGeneral;
    QString fileName;
    std::thread thread;
};

bool TEspeakEngine::broken() const
{
    return m_worker->soundFailed;
}

void TEspeakEngine::notifyLostText(const QString &text)
{
    notifyLost(text);
}

bool TEspeakEngine::available()
{
    return sampleRate() > 0;
}

TEspeakEngine::TEspeakEngine() : m_worker(std::make_shared<Worker>(this))
{
    m_worker->thread = std::thread([worker = m_worker] { worker->run(); });
}

// The worker stops at its next step; only a sound device that hangs keeps it longer, and
// then it is left to finish on its own rather than hang the caller.
TEspeakEngine::~TEspeakEngine()
{
    {
        std::lock_guard lock(m_worker->notifyMutex);
        m_worker->engine = nullptr;
    }
    std::unique_lock lock(m_worker->mutex);
    m_worker->quit = true;
    m_worker->queue.clear();
    ++m_worker->generation;
    m_worker->wake.notify_all();
    const bool finished = m_worker->wake.wait_for(lock, std::chrono::seconds(1),
                                                  [this] { return m_worker->finished; });
    lock.unlock();
    if (finished)
        m_worker->thread.join();
    else
        m_worker->thread.detach();
}

QList<TSpeechMode> TEspeakEngine::modes()
{
    return listVoices();
}

bool TEspeakEngine::select(const TSpeechMode &mode)
{
    if (!available())
        return false;
    m_worker->voice = mode.info.EngineID == EngineId ? mode.key : voiceForLanguage(mode.language);
    m_worker->rate = DefaultRate;
    m_worker->pitch = DefaultPitch;
    m_worker->volume = 0xFFFFFFFFu;
    return true;
}

bool TEspeakEngine::setOutput(TSpeechOutput output, const QString &fileName)
{
    if (output == soFile) {
        // Refuse at once, as the caller must hear of an unwritable file now, not later.
        QFile file(fileName);
        if (fileName.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
    }
    m_worker->output = output;
    m_worker->fileName = fileName;
    return true;
}

void TEspeakEngine::speak(const QString &text)
{
    const int amplitude = int((m_worker->volume & 0xFFFFu) * 100 / 65535);
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->queue.push_back({text, m_worker->output, m_worker->fileName, m_worker->voice,
                                   m_worker->rate, m_worker->pitch, amplitude,
                                   m_worker->generation});
    }
    m_worker->wake.notify_all();
}

void TEspeakEngine::stop()
{
    std::lock_guard lock(m_worker->mutex);
    m_worker->queue.clear();
    ++m_worker->generation;
}

void TEspeakEngine::setPitch(quint16 pitch)
{
    m_worker->pitch = std::min<int>(pitch, MaxPitch);
}

quint16 TEspeakEngine::pitch() const
{
    return quint16(m_worker->pitch);
}

void TEspeakEngine::setSpeed(quint32 speed)
{
    m_worker->rate = int(std::clamp<quint32>(speed, MinRate, MaxRate));
}

quint32 TEspeakEngine::speed() const
{
    return quint32(m_worker->rate);
}

void TEspeakEngine::setVolume(quint32 volume)
{
    m_worker->volume = volume;
}

quint32 TEspeakEngine::volume() const
{
    return m_worker->volume;
}
