#pragma once

#include <QString>

// Plays the event sounds <ProgramDir>/config/<name>.wav. Playback is asynchronous: the
// call returns at once and never reports a failure (a missing file or a machine without
// an audio device is simply silent).
class IEventSoundPlayer
{
public:
    virtual ~IEventSoundPlayer() = default;
    virtual void play(const QString &name) = 0;
};

// The player PlayEventSound uses. Without one installed, sounds are not played. The
// caller keeps ownership; pass nullptr to remove it.
void SetEventSoundPlayer(IEventSoundPlayer *player);
IEventSoundPlayer *EventSoundPlayer();

void PlayEventSound(const QString &name);

// <ProgramDir>/config/<name>.wav
QString EventSoundPath(const QString &name);
