#pragma once

#include <QByteArray>

#include <memory>

// Plays 16-bit mono samples on the default audio device through the same small audio
// library espeak-ng plays with (loaded at run time: the program needs no extra build
// dependency and stays silent, not failing, where it or a device is missing).
//
// One object per voice, used from that voice's worker thread only.
class TAudioDevice
{
public:
    TAudioDevice();
    ~TAudioDevice();
    TAudioDevice(const TAudioDevice &) = delete;
    TAudioDevice &operator=(const TAudioDevice &) = delete;

    // Opens the device for the rate; false when there is no usable device.
    bool open(int sampleRate);
    // Blocks until the device has taken the samples. False on a device error.
    bool write(const short *samples, int count);
    // Waits until everything written has been heard.
    void drain();
    // Drops what is buffered but not yet heard.
    void flush();
    void close();

private:
    struct Library;
    static const Library *library();
    void *m_object = nullptr;
    bool m_open = false;
    int m_rate = 0;
};
