#pragma once

#include "config/event_sound.h"

#include <QHash>
#include <QObject>

class QSoundEffect;

// Plays event sounds with QSoundEffect: loading and playback happen in Qt's audio
// backend, so play() returns at once. Without an audio device the effect loads and stays
// silent; nothing is reported. One effect per sound name is kept and restarted, so a
// burst of "recive" sounds does not pile up players.
class SoundEffectPlayer : public QObject, public IEventSoundPlayer
{
public:
    explicit SoundEffectPlayer(QObject *parent = nullptr);
    void play(const QString &name) override;

private:
    QHash<QString, QSoundEffect *> m_effects;
};
