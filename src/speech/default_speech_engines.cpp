#include "speech/default_speech_engines.h"

std::vector<std::unique_ptr<ISpeechEngine>> CreateDefaultSpeechEngines()
{
    return {};
}
