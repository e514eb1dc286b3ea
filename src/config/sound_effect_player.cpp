#include "config/sound_effect_player.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

SoundEffectPlayer::SoundEffectPlayer(QObject *parent) : QObject(parent)
{}

void SoundEffectPlayer::play(const QString &name)
{
    const QString path = EventSoundPath(name);
    if (!QFileInfo::exists(path))
        return; // a missing sound is silence, not an error
    QSoundEffect *&effect = m_effects[name];
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(path));
    }
    effect->stop();
    effect->play();
}
