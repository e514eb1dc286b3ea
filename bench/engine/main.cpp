// Engine benchmark: how fast the IRC engine takes in server traffic, and what a big channel
// costs. Lines are fed through the client's own receive path (LineArrived: OnReceive,
// parse, dispatch, registry updates, events) without a socket, so the figures are the
// engine's alone. Prints one line per figure: "name value unit".
#include "irc/irc_client.h"
#include "irc/irc_tags.h"

#include <QByteArray>
#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Lines = std::vector<QByteArray>;
using Clock = std::chrono::steady_clock;

// Exposes the receive path a reading thread would call.
class BenchClient : public TIrcClient
{
public:
    BenchClient()
    {
        SetState(stConnected);
        // The engine learns its nick from Connect. Without a socket, a NICK line without a
        // prefix counts as the client's own (empty sender, empty current nick) and sets it.
        QByteArray line("NICK me");
        LineArrived(line);
    }
    void Feed(QByteArray &line) { LineArrived(line); }
    void FeedAll(Lines &lines)
    {
        for (QByteArray &line : lines)
            LineArrived(line);
    }
};

volatile long g_sink = 0;

// Every event the traffic raises gets a handler that does next to nothing.
void bindTrivialHandlers(TIrcClient &c)
{
    c.OnReceive = [](TIrcClient *, QByteArray &line) { g_sink = g_sink + line.size(); };
    c.OnRaw = [](TIrcClient *, TIrcUser *, const QByteArray &, const QByteArray &, bool &) {
        g_sink = g_sink + 1;
    };
    auto text = [](TIrcClient *, TIrcUser *, TIrcChannel *, const QByteArray &t) {
        g_sink = g_sink + t.size();
    };
    c.OnMessage = text;
    c.OnNotice = text;
    c.OnAction = text;
    auto member = [](TIrcClient *, TIrcUser *, TIrcChannel *) { g_sink = g_sink + 1; };
    c.OnJoin = member;
    c.OnPart = member;
    c.OnJoined = [](TIrcClient *, TIrcChannel *) { g_sink = g_sink + 1; };
    c.OnQuit = [](TIrcClient *, TIrcUser *) { g_sink = g_sink + 1; };
    c.OnNickChange = [](TIrcClient *, TIrcUser *, const QByteArray &) { g_sink = g_sink + 1; };
    auto target = [](TIrcClient *, TIrcUser *, TIrcChannel *, TIrcUser *) { g_sink = g_sink + 1; };
    c.OnOp = target;
    c.OnDeop = target;
    c.OnChannelMode = [](TIrcClient *, TIrcUser *, TIrcChannel *, const QByteArray &,
                         const QByteArray &) { g_sink = g_sink + 1; };
    c.OnSystem = [](TIrcClient *, TIrcUser *, int, const QByteArray &, const QByteArray &) {
        g_sink = g_sink + 1;
    };
    c.OnTopic = [](TIrcClient *, TIrcUser *, TIrcChannel *, const QByteArray &,
                   const QByteArray &) { g_sink = g_sink + 1; };
    c.OnNames = [](TIrcClient *, TIrcUsers *, TIrcChannel *) { g_sink = g_sink + 1; };
    c.OnUnknownCommand = [](TIrcClient *, TIrcUser *, const QByteArray &, const QByteArray &) {
        g_sink = g_sink + 1;
    };
    // Not connected: the mode query after joining lands here.
    c.OnError = [](TIrcClient *, TIrcUser *, const QByteArray &, const QByteArray &) {
        g_sink = g_sink + 1;
    };
    c.OnChannelUpdate = [](TIrcChannel *, TIrcChannelUpdateType, TIrcUser *, int info) {
        g_sink = g_sink + info;
    };
}

const char *const kWords[] = {
    "hello", "world", "the",    "quick", "brown",   "fox",    "jumps", "over",  "lazy",
    "dog",   "irc",   "talk",   "lorem", "ipsum",   "dolor",  "sit",   "amet",  "server",
    "chan",  "voice", "speak",  "blind", "screen",  "reader", "help",  "time",  "good",
    "news",  "linux", "debian", "qt",    "release", "bug",    "patch", "build", "test"};
// "Привет всем", "Как дела", "Добрый вечер" in Windows-1251.
const char *const kCyrillic[] = {"\xcf\xf0\xe8\xe2\xe5\xf2 \xe2\xf1\xe5\xec",
                                 "\xca\xe0\xea \xe4\xe5\xeb\xe0",
                                 "\xc4\xee\xe1\xf0\xfb\xe9 \xe2\xe5\xf7\xe5\xf0"};

struct Rng
{
    std::mt19937 gen{20261206};
    double real() { return std::uniform_real_distribution<double>(0, 1)(gen); }
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen); }
    const char *word() { return kWords[below(int(std::size(kWords)))]; }
};

QByteArray userhost(const QByteArray &nick)
{
    unsigned sum = 0;
    for (char ch : nick)
        sum += static_cast<unsigned char>(ch);
    char host[16];
    std::snprintf(host, sizeof host, "%06x", unsigned((sum * 2654435761ULL) % 0xffffff));
    return nick + "!~" + nick.left(9) + '@' + host + ".users.example.net";
}

QByteArray words(Rng &rng, int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        if (i)
            text += ' ';
        text += rng.word();
    }
    return text;
}

Lines namesLines(const QByteArray &channel, const std::vector<QByteArray> &members)
{
    Lines out;
    const QByteArray head = ":irc.bench.example 353 me = " + channel + " :";
    QByteArray current = head;
    for (const QByteArray &m : members) {
        if (current.size() > head.size() && current.size() + m.size() + 1 > 400) {
            out.push_back(current);
            current = head;
        }
        if (current.size() > head.size())
            current += ' ';
        current += m;
    }
    if (current.size() > head.size())
        out.push_back(current);
    out.push_back(":irc.bench.example 366 me " + channel + " :End of /NAMES list.");
    return out;
}

// Joining a channel of 48 regulars, then (replayed as often as needed) a recorded-looking mix:
// 90 % PRIVMSG (of which 10 % Cyrillic, 10 % colour codes, 5 % ACTION), 10 % JOIN, PART,
// QUIT, NICK and MODE. The mix leaves the registries as it found them, so it can be replayed.
void makeDispatchMix(Lines &setup, Lines &mix)
{
    Rng rng;
    std::vector<QByteArray> regulars;
    for (int i = 0; i < 48; ++i)
        regulars.push_back(QByteArray(rng.word()) + QByteArray::number(i));
    setup.push_back(":" + userhost("me") + " JOIN #bench");
    std::vector<QByteArray> names{"@me"};
    names.insert(names.end(), regulars.begin(), regulars.end());
    const Lines n = namesLines("#bench", names);
    setup.insert(setup.end(), n.begin(), n.end());

    std::vector<QByteArray> masks;
    for (const QByteArray &r : regulars)
        masks.push_back(userhost(r));

    // Visitors come and go: 0 away, 1 present as v<k>, 2 present renamed to w<k>.
    const int visitors = 64;
    std::vector<int> visitorState(visitors, 0);
    std::vector<bool> opped(regulars.size(), false);
    auto visitorName = [&](int k) {
        return (visitorState[k] == 2 ? "w" : "v") + QByteArray::number(k);
    };

    const int count = 100000;
    for (int i = 0; i < count; ++i) {
        const double r = rng.real();
        if (r < 0.90) {
            QByteArray text;
            const double t = rng.real();
            if (t < 0.10)
                text = QByteArray(kCyrillic[rng.below(3)]) + ' ' + words(rng, rng.below(8));
            else if (t < 0.20)
                text = "\x03"
                       "04" +
                       words(rng, 2) + "\x03 \x02" + words(rng, 2) + "\x02 \x1f" + words(rng, 2) +
                       "\x1f\x0f done";
            else if (t < 0.25)
                text = "\x01"
                       "ACTION " +
                       words(rng, 2 + rng.below(8)) + '\x01';
            else
                text = words(rng, 3 + rng.below(27));
            mix.push_back(':' + masks[rng.below(int(masks.size()))] + " PRIVMSG #bench :" + text);
            continue;
        }
        const int k = rng.below(visitors);
        const double e = rng.real();
        if (e < 0.8) {
            // Membership of a visitor.
            const QByteArray name = visitorName(k);
            if (visitorState[k] == 0) {
                mix.push_back(':' + userhost(name) + " JOIN #bench");
                visitorState[k] = 1;
            } else if (e < 0.3) {
                mix.push_back(':' + userhost(name) + " PART #bench :see you");
                visitorState[k] = 0;
            } else if (e < 0.5) {
                mix.push_back(':' + userhost(name) + " QUIT :Quit: leaving");
                visitorState[k] = 0;
            } else {
                visitorState[k] = visitorState[k] == 1 ? 2 : 1;
                mix.push_back(':' + userhost(name) + " NICK :" + visitorName(k));
            }
        } else {
            const int m = rng.below(int(regulars.size()));
            mix.push_back(":ChanServ!ChanServ@services.example.net MODE #bench " +
                          QByteArray(opped[m] ? "-o " : "+o ") + regulars[m]);
            opped[m] = !opped[m];
        }
    }
    // Put everything back for the next replay.
    for (int k = 0; k < visitors; ++k) {
        if (visitorState[k] == 0)
            continue;
        mix.push_back(':' + userhost(visitorName(k)) + " PART #bench");
        visitorState[k] = 0;
    }
    for (std::size_t m = 0; m < regulars.size(); ++m) {
        if (opped[m])
            mix.push_back(":ChanServ!ChanServ@services.example.net MODE #bench -o " + regulars[m]);
    }
}

// Own JOIN, topic, names of 20,000 members (2 % ops, 5 % voiced), then 10,000 membership
// events: JOIN, PART, QUIT, NICK and MODE +o.
void makeNamesScenario(Lines &names, Lines &events)
{
    Rng rng;
    const int count = 20000;
    const QByteArray channel = "#names";
    std::vector<QByteArray> users;
    for (int i = 0; i < count - 1; ++i) {
        char nick[32];
        std::snprintf(nick, sizeof nick, "u%06d%.4s", i, rng.word());
        users.emplace_back(nick);
    }
    std::vector<QByteArray> prefixed{"me"};
    for (const QByteArray &u : users) {
        const double r = rng.real();
        prefixed.push_back(r < 0.02 ? '@' + u : r < 0.07 ? '+' + u : u);
    }
    names.push_back(':' + userhost("me") + " JOIN " + channel);
    names.push_back(":irc.bench.example 332 me " + channel + " :A channel with 20000 users");
    const Lines n = namesLines(channel, prefixed);
    names.insert(names.end(), n.begin(), n.end());

    std::vector<QByteArray> members = users;
    std::unordered_map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < members.size(); ++i)
        index[members[i].toStdString()] = i;
    auto remove = [&](const QByteArray &u) {
        const std::size_t i = index[u.toStdString()];
        index.erase(u.toStdString());
        const QByteArray last = members.back();
        members.pop_back();
        if (last != u) {
            members[i] = last;
            index[last.toStdString()] = i;
        }
    };
    auto add = [&](const QByteArray &u) {
        index[u.toStdString()] = members.size();
        members.push_back(u);
    };
    int fresh = count;
    for (int i = 0; i < count / 2; ++i) {
        const double r = rng.real();
        char nick[32];
        if (r < 0.30 || members.size() < 10) {
            std::snprintf(nick, sizeof nick, "n%06d%.4s", fresh++, rng.word());
            add(nick);
            events.push_back(':' + userhost(nick) + " JOIN " + channel);
            continue;
        }
        const QByteArray u = members[rng.below(int(members.size()))];
        if (r < 0.55) {
            remove(u);
            events.push_back(':' + userhost(u) + " PART " + channel + " :see you");
        } else if (r < 0.70) {
            remove(u);
            events.push_back(':' + userhost(u) + " QUIT :Quit: leaving");
        } else if (r < 0.85) {
            std::snprintf(nick, sizeof nick, "r%06d%s", fresh++, u.right(4).constData());
            remove(u);
            add(nick);
            events.push_back(':' + userhost(u) + " NICK :" + nick);
        } else {
            events.push_back(":ChanServ!ChanServ@services.example.net MODE " + channel + " +o " +
                             u);
        }
    }
}

void makeListScenario(Lines &lines)
{
    Rng rng;
    lines.push_back(":irc.bench.example 321 me Channel :Users  Name");
    for (int i = 0; i < 50000; ++i) {
        const int users = std::min(99999, int(1.0 / std::pow(1.0 - rng.real(), 1.0 / 1.2)) + 1);
        QByteArray topic = words(rng, rng.below(21));
        if (i % 10 == 0)
            topic = QByteArray(kCyrillic[rng.below(3)]) + ' ' + topic;
        else if (i % 10 == 1)
            topic = "\x02[" + QByteArray(rng.word()) +
                    "]\x02 \x03"
                    "04" +
                    topic + '\x03';
        char name[48];
        std::snprintf(name, sizeof name, "#%s-%05d", rng.word(), i);
        lines.push_back(":irc.bench.example 322 me " + QByteArray(name) + ' ' +
                        QByteArray::number(users) + " :" + topic);
    }
    lines.push_back(":irc.bench.example 323 me :End of /LIST");
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 20, '\n');
    }
    return 0;
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of this thread: what the work cost when other programs share the cores, where
// the wall clock also counts the time the thread waited for a core.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// "dispatch plain|tagged|tagged-time [passes]": that mix alone, a fixed number of passes and no
// timing loop, so that callgrind can count the instructions per line.
int dispatchPasses(const QByteArray &mix, int passes)
{
    Lines setup, lines;
    makeDispatchMix(setup, lines);
    if (mix.startsWith("tagged"))
        for (QByteArray &line : lines)
            line.prepend("@time=2026-12-06T18:00:00.000Z;account=regular ");
    BenchClient client;
    bindTrivialHandlers(client);
    // "tagged-time": messages also read their server-time, as the channel windows do.
    if (mix == "tagged-time")
        client.OnMessage =
            client.OnAction = [](TIrcClient *c, TIrcUser *, TIrcChannel *, const QByteArray &) {
                g_sink = g_sink + ServerTime(LineTags(c->Line())).toMSecsSinceEpoch();
            };
    client.FeedAll(setup);
    const auto start = Clock::now();
    for (int pass = 0; pass < passes; ++pass)
        client.FeedAll(lines);
    std::printf("dispatch_%s_passes_lines_per_s %.0f lines/s\n", mix.constData(),
                double(lines.size()) * passes / (msSince(start) / 1000.0));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && QByteArray(argv[1]) == "dispatch")
        return dispatchPasses(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 1);
    const int rounds = 5;

    Lines namesJoin, namesEvents;
    makeNamesScenario(namesJoin, namesEvents);

    // Memory first, before other work has grown the heap: the registry of one channel with
    // 20,000 members (user records, member list and their indexes).
    {
        auto *client = new BenchClient;
        bindTrivialHandlers(*client);
        Lines copy = namesJoin;
        const long before = residentKb();
        client->FeedAll(copy);
        const long after = residentKb();
        if (client->Channels().Get("#names")->Names().Count() != 20000)
            std::fprintf(stderr, "unexpected member count\n");
        std::printf("rss_20k_users_mb %.1f MB\n", double(after - before) / 1024.0);
        delete client;
    }

    {
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            BenchClient client;
            bindTrivialHandlers(client);
            const auto start = Clock::now();
            client.FeedAll(namesJoin);
            client.FeedAll(namesEvents);
            times.push_back(msSince(start));
        }
        std::printf("names_20k_ms %.1f ms\n", median(times));
    }

    {
        Lines list;
        makeListScenario(list);
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            BenchClient client;
            bindTrivialHandlers(client);
            long calls = 0;
            client.OnList = [&](TIrcClient *, const QList<QByteArray> &chans, int position, bool) {
                calls += chans.size() - position;
            };
            const auto start = Clock::now();
            client.FeedAll(list);
            times.push_back(msSince(start));
            g_sink = g_sink + calls;
        }
        std::printf("list_50k_ms %.1f ms\n", median(times));
    }

    Lines setup, untagged;
    makeDispatchMix(setup, untagged);
    // The same lines as a server with server-time and account-tag sends them.
    Lines tagged;
    for (const QByteArray &line : untagged)
        tagged.push_back("@time=2026-12-06T18:00:00.000Z;account=regular " + line);
    for (const auto &[figure, original] :
         {std::pair{"dispatch_lines_per_s", &untagged}, {"dispatch_tagged_lines_per_s", &tagged}}) {
        std::vector<double> rates, cpuRates;
        for (int round = 0; round < rounds; ++round) {
            BenchClient client;
            bindTrivialHandlers(client);
            client.FeedAll(setup);
            long lines = 0;
            const auto start = Clock::now();
            const double cpuStart = threadCpuMs();
            double elapsed = 0;
            do {
                client.FeedAll(*original);
                lines += long(original->size());
                elapsed = msSince(start);
            } while (elapsed < 1000.0);
            rates.push_back(double(lines) / (elapsed / 1000.0));
            cpuRates.push_back(double(lines) / ((threadCpuMs() - cpuStart) / 1000.0));
            if (client.Users().Count() > 60 ||
                client.Channels().Get("#bench")->Names().Count() != 49)
                std::fprintf(stderr, "registry drifted: %d users, %d members\n",
                             client.Users().Count(),
                             client.Channels().Get("#bench")->Names().Count());
        }
        std::printf("%s %.0f lines/s\n", figure, median(rates));
        std::printf("%s %.0f lines/s\n",
                    QByteArray(figure).replace("per_s", "per_cpu_s").constData(), median(cpuRates));
    }
    return 0;
}
