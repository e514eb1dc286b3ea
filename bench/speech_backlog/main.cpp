// talvin-bench-backlog: how long the channel voice lags behind a flood. 2,000 channel
// messages arrive through the engine (Dispatch) into the focused channel window, 20 per
// event-loop turn; the channel voice is real espeak-ng synthesis written to a wave file (no
// sound device is needed, and synthesis costs what it costs when speaking). The figure is the
// time from the last message being shown until the channel voice has nothing left to say.
// Prints "name value unit" lines.
#include "app/main_window.h"
#include "channels/channel_event_router.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "config/config_files.h"
#include "irc/irc_client.h"
#include "scripted_peer.h"
#include "speech/channel_speech_queue.h"
#include "speech/controls/vox_controls.h"
#include "speech/espeak_engine.h"
#include "speech/recording_speech_engine.h"
#include "speech/tspeech.h"

#include "../window_bench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

void Print(const char *name, double value, const char *unit)
{
    std::printf("%s %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!TEspeakEngine::available()) {
        std::fprintf(stderr, "espeak-ng cannot be initialised\n");
        return 1;
    }
    QTemporaryDir dir;
    UseProgramCopy(dir);
    // Every text handed to a voice is appended here: the count of what the channel voice read.
    QDir(dir.path()).mkpath(QStringLiteral("log"));
    QFile(dir.filePath(QStringLiteral("log/speech.txt"))).open(QIODevice::WriteOnly);

    auto interface = MakeRecordedVoice(1);
    TForm1 window(std::move(interface.speech),
                  std::make_unique<TSpeech>(std::make_unique<TEspeakEngine>()));
    TSpeech *voice = window.Speech2;
    voice->SelectEngine(voice->EngineNames().value(0));
    voice->SetFilename(dir.filePath(QStringLiteral("channel.wav")));
    voice->SetOutput(soFile);
    ScriptedPeer peer;
    ShowRegistered(window, peer);
    window.IRC->Dispatch(":me!u@h JOIN #flood");
    TChannelForm *flood = ChannelFormAt(FindChannelForm(QStringLiteral("#flood")));
    flood->VoxEdit1->setFocus();
    QApplication::processEvents();

    const int total = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int perTurn = 20;
    QList<QByteArray> lines;
    for (int i = 0; i < total; ++i)
        lines << QByteArray(":nick") + QByteArray::number(i % 40) +
                     "!u@h PRIVMSG #flood :сообщение номер " + QByteArray::number(i) +
                     " с обычными словами, около шестидесяти знаков";
    const QString last = QStringLiteral("номер %1 ").arg(total - 1);

    QElapsedTimer clock;
    clock.start();
    LineFeeder feeder(window.IRC, lines, perTurn);
    feeder.start();
    QTextDocument *document = flood->VoxRichEdit1->document();
    while (!document->lastBlock().text().contains(last))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    const double shown = clock.nsecsElapsed() / 1e9;
    while (!window.ChannelQueue->Idle())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    Print("flood_shown_s", shown, "s");
    Print("speech_backlog_s", clock.nsecsElapsed() / 1e9 - shown, "s");
    QFile transcript(dir.filePath(QStringLiteral("log/speech.txt")));
    int read = 0;
    if (transcript.open(QIODevice::ReadOnly))
        for (const QByteArray &line : transcript.readAll().split('\n'))
            read += line.startsWith("2 ");
    Print("speech_backlog_texts_read", read, "texts");
    return 0;
}
