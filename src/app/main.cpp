#include "app/command_line.h"
#include "app/main_window.h"
#include "app/single_instance.h"
#include "app/talvin_application.h"
#include "channels/channel_event_router.h"
#include "channels/channel_forms.h"
#include "channels/channel_list_hooks.h"
#include "config/event_sound.h"
#include "config/program_home.h"
#include "config/sound_effect_player.h"
#include "speech/tspeech.h"

#include <QDir>
#include <QMessageBox>

#include <cstdio>

namespace {

void Print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char *argv[])
{
    const bool russian = UserPrefersRussian();
    // --version and --help answer before the application object exists: they must work
    // without a display, from a terminal or a packaging script.
    QStringList rawArgs;
    for (int i = 1; i < argc; ++i)
        rawArgs.append(QString::fromLocal8Bit(argv[i]));
    for (const QString &arg : rawArgs) {
        if (arg == QLatin1String("--version") || arg == QLatin1String("-v")) {
            Print(stdout, VersionText());
            return 0;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            Print(stdout, HelpText(russian));
            return 0;
        }
    }

    TalvinApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvin"));
    // Qt has taken its own options (-platform and the like) out of the argument list by now.
    const TCommandLine line = ParseCommandLine(QApplication::arguments().mid(1), russian);
    if (line.Action == TCommandLine::TAction::Error) {
        Print(stderr, line.Error + QStringLiteral("\n\n") + HelpText(russian));
        return 2;
    }

    // The program reads and writes everything under its program directory, made from the
    // shipped template on first start; files the user already has are never replaced.
    const QString home = ResolveProgramHome(line.Home);
    const ProgramHomeResult prepared =
        PrepareProgramHome(FindProgramTemplate(QApplication::applicationDirPath()), home);
    if (!prepared.ok) {
        Print(stderr, prepared.error + QLatin1Char('\n'));
        // Started from a menu there is no terminal: a message box is read by the screen
        // reader.
        QMessageBox::critical(nullptr, QStringLiteral("Talvin"), prepared.error);
        return 1;
    }
    if (!prepared.added.isEmpty())
        qInfo("Program directory %s: %lld files added from the template", qUtf8Printable(home),
              static_cast<long long>(prepared.added.size()));

    TSingleInstance instance(home);
    if (instance.AskRunningToFront()) {
        Print(stdout, AlreadyRunningText(russian));
        return 0;
    }
    QDir::setCurrent(home);

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
    instance.OnAnotherStart = [&window] {
        if (window.isMinimized())
            window.showNormal();
        window.raise();
        window.activateWindow();
        RunGuarded([&window] { window.Speech1->Speak(QStringLiteral("Талвин уже запущен.")); });
    };
    instance.Listen();
    window.show();
    const int result = app.exec();
    SetEventSoundPlayer(nullptr);
    return result;
}
