// talvin-bench-view: a channel window under a flood. Channel messages go through the engine
// (Dispatch), the channel routing and the window into its conversation view, 100 lines per
// event-loop turn; the window is open but not focused and speaks with the default options
// on a recording voice. Prints "name value unit" lines.
#include "app/main_window.h"
#include "channels/channel_event_router.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "config/config_files.h"
#include "irc/irc_client.h"
#include "scripted_peer.h"
#include "speech/controls/vox_controls.h"
#include "speech/recording_speech_engine.h"

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
    std::printf("%s %.1f %s\n", name, value, unit);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    UseProgramCopy(dir);
    auto interface = MakeRecordedVoice(1);
    auto channel = MakeRecordedVoice(2);
    TForm1 window(std::move(interface.speech), std::move(channel.speech));
    ScriptedPeer peer;
    ShowRegistered(window, peer);
    window.IRC->Dispatch(":me!u@h JOIN #flood");
    window.IRC->Dispatch(":me!u@h JOIN #quiet"); // holds the focus
    TChannelForm *flood = ChannelFormAt(FindChannelForm(QStringLiteral("#flood")));
    TChannelForm *quiet = ChannelFormAt(FindChannelForm(QStringLiteral("#quiet")));
    quiet->VoxEdit1->setFocus();
    QApplication::processEvents();

    const int total = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int perTurn = 100;
    QList<QByteArray> lines;
    lines.reserve(total);
    for (int i = 0; i < total; ++i)
        lines << QByteArray(":nick") + QByteArray::number(i % 40) +
                     "!u@h PRIVMSG #flood :message " + QByteArray::number(i) +
                     " with some ordinary words in it, about sixty chars";
    const QString last = QStringLiteral("message %1").arg(total - 1);

    QElapsedTimer clock;
    clock.start();
    LineFeeder feeder(window.IRC, lines, perTurn);
    feeder.start();
    QTextDocument *document = flood->VoxRichEdit1->document();
    while (!document->lastBlock().text().startsWith(last))
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    const double seconds = clock.nsecsElapsed() / 1e9;
    Print("channel_view_lines_per_s", total / seconds, "lines/s");
    Print("channel_view_blocks", document->blockCount(), "blocks");

    // A key typed in another window and a switch to the flooded one, with the view full.
    clock.restart();
    for (int i = 0; i < 100; ++i)
        QTest::keyClick(quiet->VoxEdit1, Qt::Key_A);
    QApplication::processEvents();
    Print("keystroke_ms", clock.nsecsElapsed() / 1e6 / 100, "ms");
    clock.restart();
    flood->WatchButton()->click();
    QApplication::processEvents();
    Print("switch_window_ms", clock.nsecsElapsed() / 1e6, "ms");
    clock.restart();
    for (int i = 0; i < 100; ++i)
        QTest::keyClick(flood->VoxEdit1, Qt::Key_A);
    QApplication::processEvents();
    Print("keystroke_flooded_window_ms", clock.nsecsElapsed() / 1e6 / 100, "ms");
    return 0;
}
