// Channel list benchmark: what 50,000 channels cost the browser. Offscreen, with the window
// shown, so the table lays out and paints as it would on screen. Prints one line per
// figure: "name value unit".
//
//   list_sort_users_50k_ms  one sort by users (largest first, stable) of 50,000 shown rows
//   list_filter_50k_ms      one change of the minimum users over 50,000 rows
//   list_e2e_50k_ms         the engine connected to a local fake server that answers LIST
//                           with 50,000 channels: from the start of the list until the
//                           browser shows the filtered list and "1.lst" is written
//
// The fake server is the shared IRC benchmark's fakeircd.py: found through TALVIN_FAKEIRCD,
// else beside the source tree (../shared/bench/fakeircd.py). Without python3 or the script
// the end-to-end figure is skipped with a note.
#include "channels/channel_list_form.h"
#include "channels/channel_list_request_form.h"
#include "config/config_files.h"
#include "irc/irc_client.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// 50,000 rows shaped like a big network's list: most channels tiny, a few huge, topics of
// up to 80 characters.
TForm3 *fillBrowser(int count)
{
    TForm3 *form = CreateForm3();
    form->show();
    QRandomGenerator random(42);
    QList<QByteArray> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int users = int(1.0 / (1.0 - random.generateDouble() * 0.999)) % 5000 + 1;
        QByteArray topic(int(random.bounded(80)), 'x');
        entries << "#chan" + QByteArray::number(i) + ' ' + QByteArray::number(users) + ' ' + topic;
    }
    // As the engine delivers it: after every 40 entries, all entries so far (the engine's
    // own buffer, growing in place).
    QList<QByteArray> soFar;
    for (int i = 0; i < count; ++i) {
        soFar.append(entries[i]);
        if (soFar.size() % 40 == 0)
            form->ReceiveList(soFar, int(soFar.size()) - 40, false);
    }
    form->ReceiveList(soFar, count - 1, true);
    settle();
    return form;
}

void benchSortAndFilter()
{
    TForm3 *form = fillBrowser(50000);
    TChannelListForm *dialog = ChannelListForm();
    std::vector<double> sorts;
    for (int round = 0; round < 5; ++round) {
        form->SortNone();
        form->AddFiltredChannel();
        settle();
        QElapsedTimer timer;
        timer.start();
        form->SortByUsers();
        settle();
        sorts.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("list_sort_users_50k_ms %.1f ms\n", median(sorts));

    form->SortNone();
    std::vector<double> filters;
    const int minimums[] = {10, 0, 100, 0, 2, 0};
    for (int minimum : minimums) {
        QElapsedTimer timer;
        timer.start();
        dialog->Edit1->setValue(minimum); // refilters the open browser
        settle();
        filters.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("list_filter_50k_ms %.1f ms\n", median(filters));
    std::fflush(stdout);
    form->close();
    settle();
}

QString fakeServerPath()
{
    const QString configured = qEnvironmentVariable("TALVIN_FAKEIRCD");
    if (!configured.isEmpty())
        return configured;
    return QStringLiteral(TALVIN_SOURCE_DIR "/../shared/bench/fakeircd.py");
}

// withBrowser false: the same road with OnList doing nothing, to show the engine's share.
void benchEndToEnd(bool withBrowser)
{
    const QString script = fakeServerPath();
    if (!QFileInfo::exists(script)) {
        std::printf("# list_e2e_50k_ms skipped: %s not found\n", qPrintable(script));
        return;
    }
    QTemporaryDir work;
    const QString portFile = work.filePath(QStringLiteral("port"));
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral("python3"),
                 {script, QStringLiteral("--scenario"), QStringLiteral("list"),
                  QStringLiteral("--count"), QStringLiteral("50000"), QStringLiteral("--port-file"),
                  portFile});
    if (!server.waitForStarted(5000)) {
        std::printf("# list_e2e_50k_ms skipped: python3 did not start\n");
        return;
    }
    if (!QTest::qWaitFor([&] { return QFileInfo(portFile).size() > 0; }, 10000)) {
        std::printf("# list_e2e_50k_ms skipped: the fake server did not listen\n");
        server.kill();
        server.waitForFinished(2000);
        return;
    }
    QFile portText(portFile);
    portText.open(QIODevice::ReadOnly);
    const quint16 port = quint16(portText.readAll().trimmed().toUShort());

    TIrcClient client;
    client.SetNick("bencher");
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = port;
    QElapsedTimer timer;
    bool started = false;
    bool finished = false;
    double elapsedMs = 0;
    client.OnList = [&](TIrcClient *sender, const QList<QByteArray> &chans, int position,
                        bool last) {
        if (!started) {
            started = true;
            timer.start();
        }
        if (withBrowser)
            ChannelListOnList(sender->Host, chans, position, last);
        if (last) {
            // Until the browser has laid out and painted the filtered list.
            settle();
            elapsedMs = timer.nsecsElapsed() / 1e6;
            finished = true;
        }
    };
    bool asked = false;
    client.OnSystem = [&](TIrcClient *sender, TIrcUser *, int code, const QByteArray &,
                          const QByteArray &) {
        if ((code == 376 || code == 422) && !asked) {
            asked = true;
            sender->Raw("LIST");
        }
    };
    // A real event loop, as the program runs: QTest::qWaitFor naps 10 ms between rounds of
    // events, which would hold every hand-off of the reading thread that long.
    QEventLoop loop;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
    giveUp.start(120000);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished)
            loop.quit();
    });
    poll.start(1);
    client.Connect();
    loop.exec();
    const bool done = finished;
    server.waitForFinished(30000);
    const QByteArray result = server.readAllStandardOutput();
    client.Disconnect(true);
    if (!done) {
        std::printf("# list_e2e_50k_ms failed: the list did not arrive in time\n");
        return;
    }
    if (!withBrowser) {
        std::printf("list_e2e_engine_only_50k_ms %.0f ms\n", elapsedMs);
        return;
    }
    const TForm3 *form = Form3();
    const bool written = QFileInfo(ChannelListFilePath()).size() > 0;
    std::printf("list_e2e_50k_ms %.0f ms\n", elapsedMs);
    std::printf("# rows %d, 1.lst written: %s; fake server: %s\n",
                form ? form->FullList.Count() : -1, written ? "yes" : "no",
                result.trimmed().constData());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir programDir;
    SetProgramDir(programDir.path());
    benchSortAndFilter();
    benchEndToEnd(true);
    benchEndToEnd(false);
    return 0;
}
