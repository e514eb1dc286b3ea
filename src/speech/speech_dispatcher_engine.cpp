#include "speech/speech_dispatcher_engine.h"

#include "speech/ssip_voice_list.h"

#include <libspeechd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

const QString EnginePrefix = QStringLiteral("speech-dispatcher");
// Modules whose voices are not worth offering: the dummy module only plays a recording
// saying that speech does not work.
const QByteArray SkippedModule = QByteArrayLiteral("dummy");
// speech-dispatcher lists every voice variant (thousands for espeak-ng); no module offers
// more than this many entries.
constexpr int MaxVoicesPerModule = 200;
// A daemon that has not answered one request for this long, its connection still open, is
// taken for dead: a stopped or hung daemon would otherwise swallow every text unheard.
constexpr auto HangTimeout = std::chrono::seconds(4);

struct AddressState
{
    bool failed = false;
    bool listed = false;
    QList<TSpeechMode> modes;
};

// Shared with worker threads that may outlive every voice (an abandoned connection), so
// these live until the process ends and are never destroyed.
struct Registry
{
    std::mutex mutex;
    std::map<QByteArray, AddressState> addresses;
    std::map<size_t, TSpeechDispatcherEngine::Connection *> clients;
};

Registry &registry()
{
    static Registry *instance = new Registry;
    return *instance;
}

} // namespace

struct TSpeechDispatcherEngine::Connection
{
    struct Command
    {
        bool isSpeech;
        // Negative when speaking or cancelling failed: the connection is broken.
        std::function<int(SPDConnection *)> run;
        QString text = QString(); // what a speech command says
    };
    enum class State { Connecting, Connected, Failed };

    std::mutex mutex;
    std::condition_variable changed;
    State state = State::Connecting;
    bool abandoned = false;
    bool quit = false;
    std::atomic<bool> broken{false};
    std::deque<Command> commands;
    QList<TSpeechMode> modes;
    // The request the connection's thread is waiting on, if any.
    bool busy = false;
    std::chrono::steady_clock::time_point busySince;
    QString busyText; // what it says, for a speech request
    bool busyHandedBack = false;
    QByteArray defaultModule; // set before the connection is in use

    // Guarded by the registry's mutex: the callbacks reach the voice through these.
    TSpeechDispatcherEngine *engine = nullptr;
    std::set<size_t> begun;

    void post(Command command, bool first = false)
    {
        {
            std::lock_guard lock(mutex);
            if (first)
                commands.push_front(std::move(command));
            else
                commands.push_back(std::move(command));
        }
        changed.notify_all();
    }
};

namespace {

void onEvent(size_t messageId, size_t clientId, SPDNotificationType type)
{
    Registry &reg = registry();
    std::lock_guard lock(reg.mutex);
    const auto client = reg.clients.find(clientId);
    if (client == reg.clients.end())
        return;
    TSpeechDispatcherEngine::Connection *connection = client->second;
    if (type == SPD_EVENT_BEGIN) {
        connection->begun.insert(messageId);
    } else if (connection->begun.erase(messageId) == 0) {
        return; // cancelled before it was heard: nothing started, nothing to stop
    }
    if (connection->engine)
        connection->engine->notifyFromDaemon(type == SPD_EVENT_BEGIN);
}

SPDConnectionAddress *parseAddress(const QByteArray &address)
{
    if (address.isEmpty())
        return nullptr;
    auto *result = static_cast<SPDConnectionAddress *>(calloc(1, sizeof(SPDConnectionAddress)));
    if (address.startsWith("unix_socket:")) {
        result->method = SPD_METHOD_UNIX_SOCKET;
        result->unix_socket_name = strdup(address.mid(12).constData());
    } else if (address.startsWith("inet_socket:")) {
        const QList<QByteArray> parts = address.mid(12).split(':');
        result->method = SPD_METHOD_INET_SOCKET;
        result->inet_socket_host = strdup(parts.value(0).constData());
        result->inet_socket_port = parts.value(1).toInt();
    } else {
        free(result);
        return nullptr;
    }
    return result;
}

void freeAddress(SPDConnectionAddress *address)
{
    if (!address)
        return;
    free(address->unix_socket_name);
    free(address->inet_socket_host);
    free(address);
}

bool isBaseVoice(const TSsipVoice &voice)
{
    return voice.variant.isEmpty() || voice.variant == "none";
}

// The address libspeechd connects to when given none, in our "method:where" form.
QByteArray defaultAddress()
{
    char *error = nullptr;
    SPDConnectionAddress *address = spd_get_default_address(&error);
    free(error);
    QByteArray result;
    if (address && address->method == SPD_METHOD_UNIX_SOCKET && address->unix_socket_name)
        result = QByteArray("unix_socket:") + address->unix_socket_name;
    else if (address && address->method == SPD_METHOD_INET_SOCKET && address->inet_socket_host)
        result = QByteArray("inet_socket:") + address->inet_socket_host + ':' +
                 QByteArray::number(address->inet_socket_port);
    if (address)
        SPDConnectionAddress__free(address);
    return result;
}

// Through libspeechd: slow for long lists, used only when our own request failed.
QList<TSsipVoice> listVoicesThroughLibrary(SPDConnection *spd)
{
    QList<TSsipVoice> result;
    char **modules = spd_list_modules(spd);
    for (int m = 0; modules && modules[m]; ++m) {
        const QByteArray module = modules[m];
        if (module == SkippedModule || spd_set_output_module(spd, module.constData()) != 0)
            continue;
        SPDVoice **voices = spd_list_synthesis_voices(spd);
        for (int v = 0; voices && voices[v]; ++v) {
            if (voices[v]->name)
                result.append({module, voices[v]->name, voices[v]->language, voices[v]->variant});
        }
        free_spd_voices(voices);
    }
    free_spd_modules(modules);
    return result;
}

// One entry per voice: the base voices (variant "none") of every module; a module that
// marks none as such offers its first voices as listed.
QList<TSpeechMode> listModes(SPDConnection *spd, const QByteArray &address)
{
    QList<TSsipVoice> voices;
    if (!ListSsipVoices(address.isEmpty() ? defaultAddress() : address, SkippedModule, 10000,
                        &voices))
        voices = listVoicesThroughLibrary(spd);

    // First the voice the user chose for speech-dispatcher (its default module, RHVoice for
    // example), speaking Russian: what the program's automatic engine choice takes.
    QList<TSpeechMode> result;
    TSpeechMode own;
    own.name = TSpeechDispatcherEngine::DefaultVoiceName;
    own.language = QStringLiteral("ru");
    own.info.Dialect = own.language;
    own.info.ProductName = EnginePrefix;
    own.info.ModeID = EnginePrefix + QStringLiteral(":default");
    own.info.EngineID = EnginePrefix;
    result.append(own);
    for (qsizetype first = 0; first < voices.size();) {
        const QByteArray module = voices[first].module;
        qsizetype end = first;
        bool anyBase = false;
        for (; end < voices.size() && voices[end].module == module; ++end)
            anyBase = anyBase || isBaseVoice(voices[end]);
        int taken = 0;
        for (qsizetype v = first; v < end && taken < MaxVoicesPerModule; ++v) {
            const TSsipVoice &voice = voices[v];
            if (anyBase && !isBaseVoice(voice))
                continue;
            TSpeechMode mode;
            const QString moduleName = QString::fromUtf8(module);
            const QString name = QString::fromUtf8(voice.name);
            mode.name = QStringLiteral("%1 %2: %3").arg(EnginePrefix, moduleName, name);
            mode.key = moduleName + u'\t' + name;
            mode.language = QString::fromUtf8(voice.language);
            mode.info.Dialect = mode.language;
            mode.info.MfgName = moduleName;
            mode.info.ProductName = EnginePrefix;
            mode.info.ModeID = EnginePrefix + u':' + mode.key;
            mode.info.EngineID = EnginePrefix;
            mode.info.Speaker = name;
            mode.info.Style = QString::fromUtf8(voice.variant);
            result.append(mode);
            ++taken;
        }
        first = end;
    }
    return result;
}

// Texts a broken connection could not say go back to the voice.
void reportLost(TSpeechDispatcherEngine::Connection &connection, const QStringList &texts)
{
    std::lock_guard regLock(registry().mutex);
    for (const QString &text : texts) {
        if (connection.engine && !text.isEmpty())
            connection.engine->notifyLostText(text);
    }
}

// Beside the connection's thread, for as long as the connection is in use: a request that
// stays unanswered past HangTimeout breaks the connection. The text waiting on it and every
// queued one are handed back; the stuck thread is left to itself.
void watchConnection(std::shared_ptr<TSpeechDispatcherEngine::Connection> connection)
{
    std::unique_lock lock(connection->mutex);
    while (!connection->quit && !connection->broken) {
        connection->changed.wait_for(lock, std::chrono::milliseconds(250));
        if (connection->quit || connection->broken || !connection->busy ||
            std::chrono::steady_clock::now() - connection->busySince < HangTimeout)
            continue;
        connection->broken = true;
        connection->busyHandedBack = true;
        QStringList lost{connection->busyText};
        for (const auto &command : connection->commands) {
            if (command.isSpeech)
                lost.append(command.text);
        }
        auto &commands = connection->commands;
        commands.erase(std::remove_if(commands.begin(), commands.end(),
                                      [](const auto &c) { return c.isSpeech; }),
                       commands.end());
        lock.unlock();
        qWarning("speech-dispatcher has not answered for %d s; the voice is handed over",
                 int(std::chrono::duration_cast<std::chrono::seconds>(HangTimeout).count()));
        reportLost(*connection, lost);
        return;
    }
}

// The connection's thread: connects, then runs the queued requests one by one. It owns
// the libspeechd connection; nothing else calls libspeechd with it.
void runConnection(std::shared_ptr<TSpeechDispatcherEngine::Connection> connection,
                   QByteArray address, QByteArray key)
{
    using Connection = TSpeechDispatcherEngine::Connection;
    Registry &reg = registry();

    SPDConnectionAddress *spdAddress = parseAddress(address);
    char *error = nullptr;
    SPDConnection *spd =
        spd_open2("talvin", "voice", nullptr, SPD_MODE_THREADED, spdAddress, 1, &error);
    freeAddress(spdAddress);
    // A connection given up on has been reported already; its thread may come back as late
    // as the program's exit, when logging is no longer safe.
    auto stillWanted = [&connection] {
        std::lock_guard lock(connection->mutex);
        return !connection->abandoned;
    };
    if (!spd) {
        if (stillWanted())
            qWarning("speech-dispatcher not reachable: %s", error ? error : "no reason given");
        free(error);
        std::lock_guard lock(connection->mutex);
        connection->state = Connection::State::Failed;
        connection->changed.notify_all();
        return;
    }
    free(error);

    // libspeechd reads replies of a broken connection as null strings and crashes on
    // them, so after the first failed call this connection is never used again (and
    // never closed: closing talks to the daemon too).
    spd->callback_begin = onEvent;
    spd->callback_end = onEvent;
    spd->callback_cancel = onEvent;
    const bool ready = spd_set_data_mode(spd, SPD_DATA_TEXT) == 0 &&
                       spd_set_notification_on(spd, SPD_BEGIN) == 0 &&
                       spd_set_notification_on(spd, SPD_END) == 0 &&
                       spd_set_notification_on(spd, SPD_CANCEL) == 0;
    const int clientId = ready ? spd_get_client_id(spd) : -1;
    if (clientId > 0) {
        // The module the user's configuration starts with, for the default voice.
        char *module = spd_get_output_module(spd);
        connection->defaultModule = module ? QByteArray(module) : QByteArray();
        free(module);
    }
    if (clientId <= 0) {
        if (stillWanted())
            qWarning("speech-dispatcher connected but does not answer properly; not using it");
        std::lock_guard lock(connection->mutex);
        connection->state = Connection::State::Failed;
        connection->changed.notify_all();
        return;
    }

    bool listed;
    {
        std::lock_guard lock(reg.mutex);
        listed = reg.addresses[key].listed;
        if (listed)
            connection->modes = reg.addresses[key].modes;
        if (clientId > 0)
            reg.clients[size_t(clientId)] = connection.get();
    }
    if (!listed) {
        QList<TSpeechMode> modes = listModes(spd, address);
        std::lock_guard lock(reg.mutex);
        reg.addresses[key].listed = true;
        reg.addresses[key].modes = modes;
        connection->modes = modes;
    }

    {
        std::unique_lock lock(connection->mutex);
        if (!connection->abandoned) {
            connection->state = Connection::State::Connected;
            connection->changed.notify_all();
            std::thread(watchConnection, connection).detach();
            for (;;) {
                connection->changed.wait(
                    lock, [&] { return connection->quit || !connection->commands.empty(); });
                if (connection->quit)
                    break;
                Connection::Command command = std::move(connection->commands.front());
                connection->commands.pop_front();
                const bool broken = connection->broken;
                if (!broken) {
                    connection->busy = true;
                    connection->busySince = std::chrono::steady_clock::now();
                    connection->busyText = command.isSpeech ? command.text : QString();
                }
                lock.unlock();
                const bool failed = !broken && command.run(spd) < 0;
                if (failed && !connection->broken.exchange(true))
                    qWarning("speech-dispatcher stopped answering; the voice is handed over");
                lock.lock();
                // The watch may have handed this text back already, while the request hung.
                const bool handedBack = connection->busyHandedBack;
                connection->busy = false;
                connection->busyHandedBack = false;
                if (command.isSpeech && (broken || failed) && !handedBack) {
                    lock.unlock();
                    reportLost(*connection, {command.text});
                    lock.lock();
                }
            }
        }
    }
    {
        std::lock_guard lock(reg.mutex);
        reg.clients.erase(size_t(clientId));
    }
    if (!connection->broken)
        spd_close(spd);
}

} // namespace

std::unique_ptr<TSpeechDispatcherEngine> TSpeechDispatcherEngine::connect(const QByteArray &address,
                                                                          int timeoutMs)
{
    // libspeechd writes to its socket with plain write(): a daemon that went away would end
    // the whole program with SIGPIPE. The failed write is reported as an error instead.
    static std::once_flag ignorePipe;
    std::call_once(ignorePipe, [] { std::signal(SIGPIPE, SIG_IGN); });
    // The default address depends on the environment, so that is part of the key.
    const QByteArray key = address.isEmpty() ? "default:" + qgetenv("SPEECHD_ADDRESS") : address;
    Registry &reg = registry();
    {
        std::lock_guard lock(reg.mutex);
        if (reg.addresses[key].failed)
            return nullptr;
    }
    auto connection = std::make_shared<Connection>();
    std::thread(runConnection, connection, address, key).detach();

    std::unique_lock lock(connection->mutex);
    const bool answered =
        connection->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            return connection->state != Connection::State::Connecting;
        });
    if (!answered || connection->state == Connection::State::Failed) {
        if (!answered)
            qWarning("speech-dispatcher did not answer within %d ms; not using it", timeoutMs);
        // The thread may still be stuck in libspeechd; it cleans up when it comes back.
        connection->abandoned = true;
        lock.unlock();
        std::lock_guard regLock(reg.mutex);
        reg.addresses[key].failed = true;
        return nullptr;
    }
    lock.unlock();
    return std::unique_ptr<TSpeechDispatcherEngine>(new TSpeechDispatcherEngine(connection));
}

TSpeechDispatcherEngine::TSpeechDispatcherEngine(std::shared_ptr<Connection> connection)
    : m_connection(std::move(connection))
{
    std::lock_guard lock(registry().mutex);
    m_connection->engine = this;
}

TSpeechDispatcherEngine::~TSpeechDispatcherEngine()
{
    {
        std::lock_guard lock(registry().mutex);
        m_connection->engine = nullptr;
    }
    {
        std::lock_guard lock(m_connection->mutex);
        m_connection->quit = true;
        m_connection->commands.clear();
    }
    m_connection->changed.notify_all();
}

void TSpeechDispatcherEngine::notifyLostText(const QString &text)
{
    notifyLost(text);
}

bool TSpeechDispatcherEngine::broken() const
{
    return m_connection->broken;
}

void TSpeechDispatcherEngine::notifyFromDaemon(bool started)
{
    if (started)
        notifyStarted();
    else
        notifyStopped();
}

QList<TSpeechMode> TSpeechDispatcherEngine::modes()
{
    return m_connection->modes;
}

bool TSpeechDispatcherEngine::select(const TSpeechMode &mode)
{
    // The default voice has no key: the user's own module, its voice for the language.
    const bool own = mode.key.isEmpty();
    const QByteArray module =
        own ? m_connection->defaultModule : mode.key.section(u'\t', 0, 0).toUtf8();
    const QByteArray voice = mode.key.section(u'\t', 1).toUtf8();
    const QByteArray language = mode.language.toUtf8();
    m_pitch = 100;
    m_speed = 100;
    m_volume = 0xFFFFFFFFu;
    m_connection->post({false, [own, module, voice, language](SPDConnection *spd) {
                            // A voice the module no longer has is refused; speaking
                            // goes on with the module's default, so that is no failure.
                            if (!module.isEmpty())
                                spd_set_output_module(spd, module.constData());
                            if (own)
                                spd_set_language(spd, language.constData());
                            else
                                spd_set_synthesis_voice(spd, voice.constData());
                            spd_set_voice_rate(spd, 0);
                            spd_set_voice_pitch(spd, 0);
                            spd_set_volume(spd, 100);
                            return 0;
                        }});
    return true;
}

bool TSpeechDispatcherEngine::setOutput(TSpeechOutput output, const QString &)
{
    return output == soGeneral; // speech-dispatcher only speaks aloud
}

void TSpeechDispatcherEngine::speak(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    m_connection->post({true,
                        [utf8](SPDConnection *spd) {
                            // Priority "message": queued behind what is being said, also
                            // behind the other voice. (With priority "text" the daemon
                            // throws away one client's text when another client speaks.)
                            return spd_say(spd, SPD_MESSAGE, utf8.constData());
                        },
                        text});
}

void TSpeechDispatcherEngine::stop()
{
    {
        std::lock_guard lock(m_connection->mutex);
        auto &commands = m_connection->commands;
        commands.erase(std::remove_if(commands.begin(), commands.end(),
                                      [](const Connection::Command &c) { return c.isSpeech; }),
                       commands.end());
    }
    // Cancels what this connection has queued at the daemon and what it is saying.
    m_connection->post({false, [](SPDConnection *spd) { return spd_cancel(spd); }}, true);
}

void TSpeechDispatcherEngine::setPitch(quint16 pitch)
{
    m_pitch = std::min<quint16>(pitch, 200);
    const int value = int(m_pitch) - 100;
    m_connection->post({false, [value](SPDConnection *spd) {
                            spd_set_voice_pitch(spd, value);
                            return 0;
                        }});
}

void TSpeechDispatcherEngine::setSpeed(quint32 speed)
{
    m_speed = std::min<quint32>(speed, 200);
    const int value = int(m_speed) - 100;
    m_connection->post({false, [value](SPDConnection *spd) {
                            spd_set_voice_rate(spd, value);
                            return 0;
                        }});
}

void TSpeechDispatcherEngine::setVolume(quint32 volume)
{
    m_volume = volume;
    const int percent = int((volume & 0xFFFFu) * 100 / 65535);
    const int value = percent * 2 - 100;
    m_connection->post({false, [value](SPDConnection *spd) {
                            spd_set_volume(spd, value);
                            return 0;
                        }});
}
