#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The program's event sounds, made from plain tones so the project needs no recorded audio.
// Each one is short, starts and ends in silence (no click), and is recognisable by ear from
// the others; "recive" and "send", which fire on every packet, are the quietest.

// One tone: a frequency glide from fromHz to toHz with a few harmonics, a quick attack and
// an exponential decay, faded to silence at its end.
struct Tone
{
    double startMs;
    double lengthMs;
    double fromHz;
    double toHz;
    double level;  // peak amplitude, 1.0 = full scale
    double decay;  // exponential decay rate per second (0 = flat)
    int harmonics; // 1 = pure sine; more gives a brighter, buzzier sound
};

struct EventSound
{
    std::string name; // file name without ".wav", case as the program asks for it
    double lengthMs;
    std::vector<Tone> tones;
};

const std::vector<EventSound> &EventSounds();

// Mixes the tones into 16-bit samples at SoundSampleRate.
std::vector<std::int16_t> RenderEventSound(const EventSound &sound);
