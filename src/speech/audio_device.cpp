#include "speech/audio_device.h"

#include <QLibrary>

#include <cstdint>
#include <mutex>

// The few entry points of the audio library espeak-ng itself depends on.
struct TAudioDevice::Library
{
    using Create = void *(*)(const char *device, const char *application, const char *description);
    using Open = int (*)(void *object, int format, uint32_t rate, uint8_t channels);
    using Close = void (*)(void *object);
    using Destroy = void (*)(void *object);
    using Write = int (*)(void *object, const void *data, size_t bytes);
    using Drain = int (*)(void *object);
    using Flush = int (*)(void *object);

    Create create = nullptr;
    Open open = nullptr;
    Close close = nullptr;
    Destroy destroy = nullptr;
    Write write = nullptr;
    Drain drain = nullptr;
    Flush flush = nullptr;
};

namespace {
constexpr int FormatS16LE = 2; // the library's format number for signed 16-bit little endian
}

const TAudioDevice::Library *TAudioDevice::library()
{
    static Library lib;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        static QLibrary handle(QStringLiteral("pcaudio"), 0);
        if (!handle.load())
            return;
        lib.create =
            reinterpret_cast<Library::Create>(handle.resolve("create_audio_device_object"));
        lib.open = reinterpret_cast<Library::Open>(handle.resolve("audio_object_open"));
        lib.close = reinterpret_cast<Library::Close>(handle.resolve("audio_object_close"));
        lib.destroy = reinterpret_cast<Library::Destroy>(handle.resolve("audio_object_destroy"));
        lib.write = reinterpret_cast<Library::Write>(handle.resolve("audio_object_write"));
        lib.drain = reinterpret_cast<Library::Drain>(handle.resolve("audio_object_drain"));
        lib.flush = reinterpret_cast<Library::Flush>(handle.resolve("audio_object_flush"));
        loaded = lib.create && lib.open && lib.close && lib.destroy && lib.write && lib.drain &&
                 lib.flush;
    });
    return loaded ? &lib : nullptr;
}

TAudioDevice::TAudioDevice()
{
    if (const Library *lib = library())
        m_object = lib->create(nullptr, "Talvin", "Talvin speech");
}

TAudioDevice::~TAudioDevice()
{
    close();
    if (m_object)
        library()->destroy(m_object);
}

bool TAudioDevice::open(int sampleRate)
{
    if (!m_object)
        return false;
    if (m_open && m_rate == sampleRate)
        return true;
    close();
    m_open = library()->open(m_object, FormatS16LE, uint32_t(sampleRate), 1) == 0;
    m_rate = sampleRate;
    return m_open;
}

bool TAudioDevice::write(const short *samples, int count)
{
    if (!m_open)
        return false;
    return library()->write(m_object, samples, size_t(count) * sizeof(short)) == 0;
}

void TAudioDevice::drain()
{
    if (m_open)
        library()->drain(m_object);
}

void TAudioDevice::flush()
{
    if (m_open)
        library()->flush(m_object);
}

void TAudioDevice::close()
{
    if (m_open)
        library()->close(m_object);
    m_open = false;
}
