// Writes the program's event sounds as WAV files into the directory given on the command
// line. Run by the build; see event_sounds.cpp for the sounds themselves.
#include "event_sounds.h"
#include "wave_file.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    int failures = 0;
    for (const EventSound &sound : EventSounds()) {
        const std::string path = dir + "/" + sound.name + ".wav";
        if (!WriteWaveFile(path, RenderEventSound(sound))) {
            std::fprintf(stderr, "make_event_sounds: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
