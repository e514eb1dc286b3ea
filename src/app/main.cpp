#include "app/main_window.h"
#include "app/talvin_application.h"
#include "channels/channel_event_router.h"
#include "channels/channel_forms.h"
#include "channels/channel_list_hooks.h"
#include "config/event_sound.h"
#include "config/sound_effect_player.h"

int main(int argc, char *argv[])
{
    TalvinApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvin"));
    // The program reads no arguments: everything lives under the directory it was started
    // from, which the main window records as it is created.
    SoundEffectPlayer sounds;
    SetEventSoundPlayer(&sounds);
    TForm1 window;
    window.QuitOnClose = true;
    window.CreateApplicationWindows();
    // The channel windows and the channel list hang their work behind the main window's
    // own engine handlers.
    TChannelEventRouter::AttachChannelRouting(window.IRC);
    AttachChannelList(&window);
    window.OpenPrivateForm = [](const QString &nick) { return NewPrivateForm(nick); };
    app.CloseOnTermination(&window);
    window.show();
    const int result = app.exec();
    SetEventSoundPlayer(nullptr);
    return result;
}
