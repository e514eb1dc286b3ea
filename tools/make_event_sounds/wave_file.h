#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Mono 16-bit PCM samples at the rate every event sound uses.
constexpr int SoundSampleRate = 22050;

// Writes the samples as a RIFF/WAVE file (PCM, mono, 16 bit, SoundSampleRate). Returns false
// when the file cannot be written completely.
bool WriteWaveFile(const std::string &path, const std::vector<std::int16_t> &samples);
