#include "config/event_sound.h"

#include "config/config_files.h"

#include <atomic>

namespace {
std::atomic<IEventSoundPlayer *> currentPlayer{nullptr};
}

void SetEventSoundPlayer(IEventSoundPlayer *player)
{
    currentPlayer.store(player);
}

IEventSoundPlayer *EventSoundPlayer()
{
    return currentPlayer.load();
}

void PlayEventSound(const QString &name)
{
    if (IEventSoundPlayer *player = currentPlayer.load())
        player->play(name);
}

QString EventSoundPath(const QString &name)
{
    return ConfigFilePath(name + QStringLiteral(".wav"));
}
