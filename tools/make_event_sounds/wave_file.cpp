#include "wave_file.h"

#include <fstream>

namespace {

// RIFF is little-endian whatever the machine is.
void put16(std::ofstream &out, std::uint16_t v)
{
    const char bytes[2] = {char(v & 0xff), char(v >> 8)};
    out.write(bytes, 2);
}

void put32(std::ofstream &out, std::uint32_t v)
{
    const char bytes[4] = {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff),
                           char(v >> 24)};
    out.write(bytes, 4);
}

} // namespace

bool WriteWaveFile(const std::string &path, const std::vector<std::int16_t> &samples)
{
    constexpr std::uint16_t channels = 1;
    constexpr std::uint16_t bitsPerSample = 16;
    constexpr std::uint16_t blockAlign = channels * bitsPerSample / 8;
    const std::uint32_t dataSize = std::uint32_t(samples.size()) * blockAlign;

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write("RIFF", 4);
    put32(out, 36 + dataSize);
    out.write("WAVE", 4);
    out.write("fmt ", 4);
    put32(out, 16); // size of the PCM format block
    put16(out, 1);  // PCM
    put16(out, channels);
    put32(out, SoundSampleRate);
    put32(out, SoundSampleRate * blockAlign);
    put16(out, blockAlign);
    put16(out, bitsPerSample);
    out.write("data", 4);
    put32(out, dataSize);
    for (std::int16_t s : samples)
        put16(out, std::uint16_t(s));
    out.close();
    return bool(out);
}
