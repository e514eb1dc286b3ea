// talvin-bench-flood: end-to-end flood figure. The real main window with the channel routing
// attached as the program does it, in a private copy of the shipped program directory,
// connects to the shared fake server (fakeircd.py --scenario flood), joins #bench and keeps
// that window open but not focused, speech on with the default options. The server times the
// first payload byte to the PONG of its closing PING; its lines_per_s is the figure.
// No sound device exists on the bench machines, so both voices are recording engines: the
// speech layer's filtering and queueing runs, the synthesis does not.
//
//   talvin-bench-flood [count] [path/to/fakeircd.py]   (defaults 200000 and ../shared/bench)
#include "app/main_window.h"
#include "app/talvin_application.h"
#include "channels/channel_event_router.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "channels/channel_list_hooks.h"
#include "config/config_files.h"
#include "config/event_sound.h"
#include "config/sound_effect_player.h"
#include "irc/irc_client.h"
#include "speech/controls/vox_controls.h"
#include "speech/recording_speech_engine.h"

#include "directory_tree.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TalvinApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvin"));
    const QString count = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("200000");
    const QString server = argc > 2
                               ? QString::fromLocal8Bit(argv[2])
                               : QStringLiteral(TALVIN_SOURCE_DIR "/../shared/bench/fakeircd.py");
    QTemporaryDir dir;
    CopyDirectoryTree(QStringLiteral(TALVIN_SOURCE_DIR "/dist"), dir.path());
    QDir(dir.path()).mkpath(QStringLiteral("log"));
    QDir::setCurrent(dir.path());
    SetProgramDir(dir.path());

    // The server picks a free port and writes it to the port file.
    const QString portFile = dir.path() + QStringLiteral("/fakeircd.port");
    QProcess fake;
    fake.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    fake.start(QStringLiteral("python3"),
               {server, QStringLiteral("--scenario"), QStringLiteral("flood"),
                QStringLiteral("--count"), count, QStringLiteral("--port-file"), portFile});
    QString port;
    for (int i = 0; i < 500 && port.isEmpty(); ++i) {
        QTest::qWait(20);
        QFile file(portFile);
        if (file.open(QIODevice::ReadOnly))
            port = QString::fromLatin1(file.readAll()).trimmed();
    }
    if (port.isEmpty()) {
        std::fprintf(stderr, "fake server did not start\n");
        return 1;
    }
    SetConfigValue(QStringLiteral("connect.ini"), QStringLiteral("Connect"),
                   QStringLiteral("Server"), QStringLiteral("127.0.0.1"));
    SetConfigValue(QStringLiteral("connect.ini"), QStringLiteral("Connect"), QStringLiteral("Port"),
                   port);
    SetCaption(QStringLiteral("smode"), QStringLiteral("connect"));

    // As the program's main() builds it, with recording voices in place of the speech
    // daemon. With the default options a window without the focus does not speak a message
    // but plays the "message" sound, so the event sounds go through the program's player.
    SoundEffectPlayer sounds;
    SetEventSoundPlayer(&sounds);
    auto interface = MakeRecordedVoice(1);
    auto channel = MakeRecordedVoice(2);
    TRecordingSpeechEngine *channelRecording = channel.recording;
    TForm1 window(std::move(interface.speech), std::move(channel.speech));
    window.CreateApplicationWindows();
    TChannelEventRouter::AttachChannelRouting(window.IRC);
    AttachChannelList(&window);
    window.OpenPrivateForm = [](const QString &nick) { return NewPrivateForm(nick); };
    window.show();
    window.activateWindow();

    // After the welcome (the program joins #talvin by itself) ask for #bench, then give the
    // focus back to #talvin so the flooded window stays in the background.
    bool askedBench = false;
    bool focusMoved = false;
    QTimer settle;
    settle.setInterval(20);
    QObject::connect(&settle, &QTimer::timeout, [&] {
        const int talvin = FindChannelForm(QStringLiteral("#talvin"));
        if (!askedBench && talvin >= 0) {
            window.IRC->Join("#bench");
            askedBench = true;
        }
        const int bench = FindChannelForm(QStringLiteral("#bench"));
        if (askedBench && bench >= 0 && !focusMoved) {
            TChannelForm *form = ChannelFormAt(talvin);
            form->activateWindow();
            form->raise();
            form->VoxEdit1->setFocus();
            focusMoved = true;
            settle.stop();
        }
    });
    settle.start();

    QEventLoop loop;
    QObject::connect(&fake, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    loop.exec();
    SetEventSoundPlayer(nullptr);

    const QByteArray output = fake.readAllStandardOutput();
    const QJsonObject result = QJsonDocument::fromJson(output).object();
    if (!result.value(QStringLiteral("ok")).toBool()) {
        std::fprintf(stderr, "fake server: %s\n", output.constData());
        return 1;
    }
    std::fprintf(stderr, "fake server: %s", output.constData());
    // What the program made of it, as a check that the lines went the whole way.
    const int benchSlot = FindChannelForm(QStringLiteral("#bench"));
    if (benchSlot >= 0) {
        TChannelForm *form = ChannelFormAt(benchSlot);
        std::fprintf(stderr, "#bench view blocks: %d, focused: %s\n",
                     form->VoxRichEdit1->document()->blockCount(),
                     form->VoxEdit1->hasFocus() ? "yes" : "no");
    }
    std::fprintf(stderr, "channel voice: %lld texts spoken\n",
                 static_cast<long long>(channelRecording->spokenTexts().size()));
    std::printf("flood_e2e_lines_per_s %.1f lines/s\n",
                result.value(QStringLiteral("lines_per_s")).toDouble());
    std::fflush(stdout);
    return 0;
}
