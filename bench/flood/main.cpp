// talvin-bench-flood: end-to-end flood figures, plain and over TLS, from the same run. The
// real main window with the channel routing attached as the program does it, in a private
// copy of the shipped program directory, connects to the shared fake server (fakeircd.py
// --scenario flood), joins #bench and keeps that window open but not focused, speech on with
// the default options. The server times the first payload byte to the PONG of its closing
// PING; its lines_per_s is the figure. For TLS the same server sits behind tls_relay.py (next
// to this file) with a certificate made here by `openssl`, whose fingerprint the server entry
// accepts, as after the user's answer to the certificate question.
// No sound device exists on the bench machines, so both voices are recording engines: the
// speech layer's filtering and queueing runs, the synthesis does not.
//
//   talvin-bench-flood [count] [path/to/fakeircd.py] [--rounds N]
//       N rounds (default 3) of one plain and one TLS run, each in a fresh process; prints
//       the medians and TLS as a percentage of plain (defaults 200000 and ../shared/bench)
//   talvin-bench-flood --single plain|tls [count] [path/to/fakeircd.py]
//       one run in this process
#include "app/main_window.h"
#include "app/talvin_application.h"
#include "channels/channel_event_router.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "channels/channel_list_hooks.h"
#include "config/config_files.h"
#include "config/event_sound.h"
#include "config/sound_effect_player.h"
#include "dialogs/server_list_store.h"
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

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const QString SourceDir = QStringLiteral(TALVIN_SOURCE_DIR);

// Waits for a child that writes its listening port to a file; empty when it never does.
QString WaitForPortFile(const QString &path, const QProcess &process)
{
    for (int i = 0; i < 500 && process.state() != QProcess::NotRunning; ++i) {
        QTest::qWait(20);
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            if (const QString port = QString::fromLatin1(file.readAll()).trimmed(); !port.isEmpty())
                return port;
    }
    return QString();
}

// A self-signed certificate for 127.0.0.1 in dir; returns its SHA-256 fingerprint.
QString MakeCertificate(const QString &dir)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-keyout"), dir + QStringLiteral("/key.pem"),
                   QStringLiteral("-out"), dir + QStringLiteral("/cert.pem")});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return QString();
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("x509"), QStringLiteral("-noout"), QStringLiteral("-fingerprint"),
                   QStringLiteral("-sha256"), QStringLiteral("-in"),
                   dir + QStringLiteral("/cert.pem")});
    openssl.waitForFinished(60000);
    // "sha256 Fingerprint=AB:CD:..."
    const QString text = QString::fromLatin1(openssl.readAllStandardOutput()).trimmed();
    return text.section(QLatin1Char('='), 1);
}

// One run in this process: the figure, or a negative value when it failed.
double RunOnce(bool tls, const QString &count, const QString &server)
{
    QTemporaryDir dir;
    CopyDirectoryTree(SourceDir + QStringLiteral("/dist"), dir.path());
    QDir(dir.path()).mkpath(QStringLiteral("log"));
    QDir::setCurrent(dir.path());
    SetProgramDir(dir.path());

    // The server picks a free port and writes it to the port file.
    QProcess fake;
    fake.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    fake.start(QStringLiteral("python3"),
               {server, QStringLiteral("--scenario"), QStringLiteral("flood"),
                QStringLiteral("--count"), count, QStringLiteral("--port-file"),
                dir.path() + QStringLiteral("/fakeircd.port")});
    QString port = WaitForPortFile(dir.path() + QStringLiteral("/fakeircd.port"), fake);
    if (port.isEmpty()) {
        std::fprintf(stderr, "fake server did not start\n");
        return -1;
    }
    QProcess relay;
    relay.setProcessChannelMode(QProcess::ForwardedChannels);
    if (tls) {
        const QString fingerprint = MakeCertificate(dir.path());
        if (fingerprint.isEmpty()) {
            std::fprintf(stderr, "openssl could not make the certificate\n");
            return -1;
        }
        relay.start(QStringLiteral("python3"),
                    {SourceDir + QStringLiteral("/bench/flood/tls_relay.py"),
                     QStringLiteral("--cert"), dir.path() + QStringLiteral("/cert.pem"),
                     QStringLiteral("--key"), dir.path() + QStringLiteral("/key.pem"),
                     QStringLiteral("--upstream"), port, QStringLiteral("--port-file"),
                     dir.path() + QStringLiteral("/relay.port")});
        port = WaitForPortFile(dir.path() + QStringLiteral("/relay.port"), relay);
        if (port.isEmpty()) {
            std::fprintf(stderr, "TLS relay did not start\n");
            return -1;
        }
        // The server entry as the user leaves it after accepting the certificate.
        StoreServerFingerprint(QStringLiteral("127.0.0.1"), port.toUShort(), fingerprint);
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
    relay.terminate();
    relay.waitForFinished(5000);

    const QByteArray output = fake.readAllStandardOutput();
    const QJsonObject result = QJsonDocument::fromJson(output).object();
    if (!result.value(QStringLiteral("ok")).toBool()) {
        std::fprintf(stderr, "fake server: %s\n", output.constData());
        return -1;
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
    return result.value(QStringLiteral("lines_per_s")).toDouble();
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Plain and TLS runs in turn, each in a fresh process of this program, so both see the
// same machine load as nearly as one command can arrange.
int RunRounds(const char *self, int rounds, const QStringList &passOn)
{
    QList<double> figures[2];
    for (int round = 0; round < rounds; ++round) {
        for (int tls = 0; tls < 2; ++tls) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QString::fromLocal8Bit(self),
                        QStringList{QStringLiteral("--single"),
                                    tls ? QStringLiteral("tls") : QStringLiteral("plain")} +
                            passOn);
            child.waitForFinished(-1);
            const QByteArray line = child.readAllStandardOutput().trimmed();
            const double value = line.split(' ').value(1).toDouble();
            if (child.exitCode() != 0 || value <= 0) {
                std::fprintf(stderr, "run failed: %s\n", line.constData());
                return 1;
            }
            std::fprintf(stderr, "round %d %s: %.1f lines/s\n", round + 1, tls ? "tls" : "plain",
                         value);
            figures[tls].append(value);
        }
    }
    const double plain = Median(figures[0]);
    const double tls = Median(figures[1]);
    std::printf("flood_e2e_lines_per_s %.1f lines/s\n", plain);
    std::printf("tls_flood_e2e_lines_per_s %.1f lines/s\n", tls);
    std::printf("tls_flood_percent_of_plain %.1f %%\n", 100.0 * tls / plain);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TalvinApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvin"));
    QStringList args = QCoreApplication::arguments().mid(1);
    QString single;
    int rounds = 3;
    if (const qsizetype at = args.indexOf(QStringLiteral("--single"));
        at >= 0 && at + 1 < args.size()) {
        single = args.takeAt(at + 1);
        args.removeAt(at);
    }
    if (const qsizetype at = args.indexOf(QStringLiteral("--rounds"));
        at >= 0 && at + 1 < args.size()) {
        rounds = std::max(1, args.takeAt(at + 1).toInt());
        args.removeAt(at);
    }
    if (single.isEmpty())
        return RunRounds(argv[0], rounds, args);

    const QString count = args.value(0, QStringLiteral("200000"));
    const QString server =
        args.value(1, SourceDir + QStringLiteral("/../shared/bench/fakeircd.py"));
    const bool tls = single == QLatin1String("tls");
    const double figure = RunOnce(tls, count, server);
    if (figure < 0)
        return 1;
    std::printf("%sflood_e2e_lines_per_s %.1f lines/s\n", tls ? "tls_" : "", figure);
    std::fflush(stdout);
    return 0;
}
