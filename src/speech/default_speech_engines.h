#pragma once

#include "speech/speech_engine.h"

#include <memory>
#include <vector>

// The engines of a real voice, in the order their modes are listed: speech-dispatcher
// first when it answered within the start-up bound, then espeak-ng.
std::vector<std::unique_ptr<ISpeechEngine>> CreateDefaultSpeechEngines();
