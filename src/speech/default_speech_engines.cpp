#include "speech/default_speech_engines.h"

#include "speech/espeak_engine.h"
#include "speech/speech_dispatcher_engine.h"

namespace {
// How long start-up waits for speech-dispatcher before speaking with espeak-ng alone.
constexpr int SpeechDispatcherTimeoutMs = 2000;
} // namespace

std::vector<std::unique_ptr<ISpeechEngine>> CreateDefaultSpeechEngines()
{
    std::vector<std::unique_ptr<ISpeechEngine>> engines;
    // The user's default address (SPEECHD_ADDRESS or the standard socket).
    if (auto dispatcher = TSpeechDispatcherEngine::connect(QByteArray(), SpeechDispatcherTimeoutMs))
        engines.push_back(std::move(dispatcher));
    if (TEspeakEngine::available())
        engines.push_back(std::make_unique<TEspeakEngine>());
    return engines;
}
