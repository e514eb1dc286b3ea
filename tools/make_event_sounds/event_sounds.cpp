#include "event_sounds.h"

#include "wave_file.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double AttackMs = 8.0;
constexpr double ReleaseMs = 12.0;

// Notes of the equal-tempered scale used below.
constexpr double C4 = 261.63, F4s = 369.99, G4 = 392.00, A4s = 466.16, C5 = 523.25, D5 = 587.33,
                 E5 = 659.25, G5 = 783.99, A5 = 880.00, C6 = 1046.50, D6 = 1174.66, E6 = 1318.51,
                 G6 = 1567.98, A6 = 1760.00;

// Gain of the attack and the final fade of one tone at time t (seconds) into it.
double envelope(const Tone &tone, double t)
{
    const double length = tone.lengthMs / 1000.0;
    const double attack = AttackMs / 1000.0;
    const double release = std::min(ReleaseMs / 1000.0, length / 2);
    double gain = std::exp(-tone.decay * t);
    if (t < attack)
        gain *= t / attack;
    if (t > length - release)
        gain *= std::max(0.0, (length - t) / release);
    return gain;
}

void mixTone(const Tone &tone, std::vector<double> &mix)
{
    const std::size_t first = std::size_t(tone.startMs * SoundSampleRate / 1000.0);
    const std::size_t count = std::size_t(tone.lengthMs * SoundSampleRate / 1000.0);
    // Harmonic k at 1/k^1.5 of the fundamental, scaled so the peak stays at tone.level.
    double norm = 0;
    for (int k = 1; k <= tone.harmonics; ++k)
        norm += 1.0 / std::pow(k, 1.5);
    double phase = 0;
    for (std::size_t i = 0; i < count && first + i < mix.size(); ++i) {
        const double t = double(i) / SoundSampleRate;
        const double progress = count > 1 ? double(i) / double(count - 1) : 0.0;
        // A glide in pitch sounds even when it is geometric, not linear, in frequency.
        const double hz = tone.fromHz * std::pow(tone.toHz / tone.fromHz, progress);
        double wave = 0;
        for (int k = 1; k <= tone.harmonics; ++k)
            wave += std::sin(phase * k) / std::pow(k, 1.5);
        mix[first + i] += tone.level * envelope(tone, t) * wave / norm;
        phase += 2 * std::numbers::pi * hz / SoundSampleRate;
    }
}

} // namespace

const std::vector<EventSound> &EventSounds()
{
    static const std::vector<EventSound> sounds = {
        // A connection opens: a rising fifth.
        {"connect", 270, {{0, 130, C5, C5, 0.35, 6, 2}, {120, 150, G5, G5, 0.35, 6, 2}}},
        // The connection closes: the same fifth falling, an octave lower.
        {"Disconnect", 270, {{0, 130, G4, G4, 0.38, 6, 2}, {120, 150, C4, C4, 0.38, 6, 2}}},
        // Data arrive / leave: a faint high tick each, told apart by pitch and glide.
        {"recive", 60, {{0, 60, A6, A5 * 1.5, 0.07, 30, 1}}},
        {"send", 60, {{0, 60, E6 * 0.9, E6, 0.07, 30, 1}}},
        // The keep-alive answered: two light taps, high then low.
        {"pingpong", 170, {{0, 65, C6, C6, 0.16, 25, 1}, {90, 80, G5, G5, 0.16, 25, 1}}},
        // Someone is kicked: a falling sweep.
        {"kick", 280, {{0, 280, 700, 220, 0.35, 3, 3}}},
        // You are kicked: three falling buzzy notes, the most insistent sound of all.
        {"Kiked",
         400,
         {{0, 140, D5, D5, 0.35, 4, 5},
          {130, 140, A4s, A4s, 0.35, 4, 5},
          {260, 140, F4s, F4s, 0.35, 4, 5}}},
        // A channel message that is not spoken: one short bell.
        {"message", 200, {{0, 200, E6, E6, 0.25, 14, 2}}},
        // A private message: a rising pair of bells.
        {"pmessage", 310, {{0, 130, E6, E6, 0.25, 12, 2}, {120, 190, A6, A6, 0.25, 10, 2}}},
        // A message naming the user: three quick rising bells.
        {"mention",
         330,
         {{0, 100, E6, E6, 0.25, 12, 2},
          {110, 100, A6, A6, 0.25, 12, 2},
          {220, 110, E6 * 2, E6 * 2, 0.25, 10, 2}}},
        // A message box: two equal notes and a higher one, asking for attention.
        {"msgbox",
         310,
         {{0, 90, A5, A5, 0.3, 8, 3}, {100, 90, A5, A5, 0.3, 8, 3}, {200, 110, D6, D6, 0.3, 8, 3}}},
        // The setup wizard opens: a welcoming major arpeggio.
        {"Startmaster",
         400,
         {{0, 130, C5, C5, 0.28, 5, 2},
          {90, 130, E5, E5, 0.28, 5, 2},
          {180, 130, G5, G5, 0.28, 5, 2},
          {270, 130, C6, C6, 0.28, 5, 2}}},
    };
    return sounds;
}

std::vector<std::int16_t> RenderEventSound(const EventSound &sound)
{
    std::vector<double> mix(std::size_t(sound.lengthMs * SoundSampleRate / 1000.0), 0.0);
    for (const Tone &tone : sound.tones)
        mixTone(tone, mix);
    std::vector<std::int16_t> samples;
    samples.reserve(mix.size());
    for (double v : mix)
        samples.push_back(std::int16_t(std::lround(std::clamp(v, -1.0, 1.0) * 32767)));
    return samples;
}
