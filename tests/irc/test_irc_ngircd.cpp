// The whole engine against a real IRC server: Debian's ngircd on a loopback port, with two
// real clients talking to each other through it.
#include "irc/connection_intercept.h"
#include "irc/irc_client.h"
#include "irc/irc_read_thread.h"
#include "irc/socket_error.h"

#include "ngircd_server.h"

#include <QTest>

#include <memory>

namespace {

QString S(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}
QString U(const TIrcUser *user)
{
    return user ? S(user->Nick) : QStringLiteral("nil");
}
QString C(const TIrcChannel *channel)
{
    return channel ? S(channel->Name()) : QStringLiteral("nil");
}

// One client on the test server with everything it raises written down as text lines.
class Client
{
public:
    explicit Client(const QByteArray &nick)
    {
        irc.SetNick(nick);
        irc.AltNick = nick + "_";
        irc.Username = "u" + nick;
        irc.RealName = "Real " + nick;
        irc.Intercept = &intercept;
        bind();
    }

    TIrcClient irc;
    TConnectionIntercept intercept;
    QStringList events;
    QList<QByteArray> sent;
    QList<QByteArray> received;
    QList<QList<QByteArray>> listCalls; // the AChans of each OnList call
    QList<QPair<int, bool>> listPositions;

    bool has(const QString &event) const { return events.contains(event); }
    // Everything raised so far, for failure messages.
    QByteArray dump() const { return "\n  " + events.join(QStringLiteral("\n  ")).toLatin1(); }
    bool hasPrefix(const QString &prefix) const
    {
        for (const QString &e : events)
            if (e.startsWith(prefix))
                return true;
        return false;
    }
    QString firstWithPrefix(const QString &prefix) const
    {
        for (const QString &e : events)
            if (e.startsWith(prefix))
                return e;
        return QString();
    }
    bool waitFor(const QString &event, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return has(event); }, ms);
    }
    bool waitForPrefix(const QString &prefix, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return hasPrefix(prefix); }, ms);
    }

    void connectTo(const NgircdServer &server)
    {
        irc.Host = server.host();
        irc.Port = server.port();
        irc.Connect();
    }
    bool registered(int ms = 5000)
    {
        return QTest::qWaitFor([&] { return irc.State() == stConnected; }, ms);
    }
    // A member's flags in this client's record of channel, -1 when not listed.
    int memberFlags(const QByteArray &channel, const QByteArray &nick)
    {
        TIrcChannel *record = irc.Channels().Get(channel);
        if (!record)
            return -1;
        const int index = record->Names().IndexOf(nick);
        return index < 0 ? -1 : record->Names().Flags(index);
    }

private:
    void log(const QString &line) { events << line; }

    void bind()
    {
        using B = const QByteArray &;
        TIrcClient &c = irc;
        c.OnSend = [this](TIrcClient *, B line) { sent << line; };
        c.OnReceive = [this](TIrcClient *, QByteArray &line) { received << line; };
        c.OnReadError = [this](TTcpConnection *, const QString &m) { log("readerror " + m); };
        c.OnSystem = [this](TIrcClient *, TIrcUser *, int code, B label, B) {
            log(QStringLiteral("system %1 %2").arg(code).arg(S(label)));
        };
        c.OnError = [this](TIrcClient *, TIrcUser *, B numeric, B text) {
            log("error " + S(numeric) + ' ' + S(text));
        };
        c.OnMessage = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B t) {
            log("message " + U(a) + ' ' + C(ch) + ' ' + S(t));
        };
        c.OnNotice = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B t) {
            log("notice " + U(a) + ' ' + C(ch) + ' ' + S(t));
        };
        c.OnAction = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B t) {
            log("action " + U(a) + ' ' + C(ch) + ' ' + S(t));
        };
        c.OnJoined = [this](TIrcClient *, TIrcChannel *ch) { log("joined " + C(ch)); };
        c.OnJoin = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch) {
            log("join " + U(a) + ' ' + C(ch));
        };
        c.OnParted = [this](TIrcClient *, TIrcChannel *ch) { log("parted " + C(ch)); };
        c.OnPart = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch) {
            log("part " + U(a) + ' ' + C(ch) + ' ' + S(a->Reason));
        };
        c.OnKick = [this](TIrcClient *, TIrcUser *a, TIrcUser *v, TIrcChannel *ch) {
            log("kick " + U(a) + ' ' + U(v) + ' ' + C(ch) + ' ' + S(v->Reason));
        };
        c.OnKicked = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch) {
            log("kicked " + U(a) + ' ' + C(ch) + ' ' + S(a->Reason));
        };
        c.OnNickChange = [this](TIrcClient *, TIrcUser *a, B n) {
            log("nick " + U(a) + ' ' + S(n));
        };
        c.OnNickChanged = [this](TIrcClient *s, B old) {
            log("nickchanged " + S(old) + ' ' + S(s->CurrentNick()));
        };
        c.OnTopic = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B name, B topic) {
            log("topic " + U(a) + ' ' + C(ch) + ' ' + S(name) + ' ' + S(topic));
        };
        c.OnUnknownCommand = [this](TIrcClient *, TIrcUser *, B command, B content) {
            log("unknown " + S(command) + ' ' + S(content));
        };
        c.OnKill = [this](TIrcClient *, TIrcUser *a, B victim, B reason) {
            log("kill " + U(a) + ' ' + S(victim) + ' ' + S(reason));
        };
        c.OnQuit = [this](TIrcClient *, TIrcUser *a) { log("quit " + U(a) + ' ' + S(a->Reason)); };
        c.OnNames = [this](TIrcClient *, TIrcUsers *, TIrcChannel *ch) { log("names " + C(ch)); };
        c.OnOp = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, TIrcUser *t) {
            log("op " + U(a) + ' ' + C(ch) + ' ' + U(t));
        };
        c.OnDeop = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, TIrcUser *t) {
            log("deop " + U(a) + ' ' + C(ch) + ' ' + U(t));
        };
        c.OnVoice = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, TIrcUser *t) {
            log("voice " + U(a) + ' ' + C(ch) + ' ' + U(t));
        };
        c.OnDevoice = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, TIrcUser *t) {
            log("devoice " + U(a) + ' ' + C(ch) + ' ' + U(t));
        };
        c.OnBan = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B mask) {
            log("ban " + U(a) + ' ' + C(ch) + ' ' + S(mask));
        };
        c.OnUnban = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B mask) {
            log("unban " + U(a) + ' ' + C(ch) + ' ' + S(mask));
        };
        c.OnChannelMode = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B name, B modes) {
            log("chanmode " + U(a) + ' ' + C(ch) + ' ' + S(name) + ' ' + S(modes));
        };
        c.OnCTCPQuery = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B w, B args, bool &) {
            log("ctcpquery " + U(a) + ' ' + C(ch) + ' ' + S(w) + ' ' + S(args));
        };
        c.OnCTCPReply = [this](TIrcClient *, TIrcUser *a, TIrcChannel *ch, B w, B args) {
            log("ctcpreply " + U(a) + ' ' + C(ch) + ' ' + S(w) + ' ' + S(args));
        };
        c.OnDCCSend = [this](TIrcClient *, B nick, B ip, B port, B file, B size) {
            log("dccsend " + S(nick) + ' ' + S(ip) + ' ' + S(port) + ' ' + S(file) + ' ' + S(size));
        };
        c.OnDCCChat = [this](TIrcClient *, B nick, B ip, B port) {
            log("dccchat " + S(nick) + ' ' + S(ip) + ' ' + S(port));
        };
        c.OnList = [this](TIrcClient *, const QList<QByteArray> &chans, int position, bool last) {
            listCalls << chans;
            listPositions << qMakePair(position, last);
        };
        c.OnConnect = [this](TIrcClient *) { log("connect"); };
        c.OnDisconnect = [this](TIrcClient *) { log("disconnect"); };
        c.OnDisconnected = [this](TTcpConnection *) { log("disconnected"); };
        intercept.OnDisconnect = [this](TConnectionIntercept *) { log("intercept-disconnect"); };
    }
};

} // namespace

class TestIrcNgircd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void registersWithPassword();
    void registersWithoutPasswordAndFallsBackOnNickInUse();
    void channelLifeTrackedByBothClients();
    void modesTrackedByBothClients();
    void ctcpQueriesAnsweredThroughTheServer();
    void dccOfferDecoded();
    void listOfAThousandChannels();
    void koi8rBytesPassUnchanged();
    void quitClosesTheConnection();
    void serverClosingIsNoticed();
    void killedByAnOperator();
    void cleanupTestCase();

private:
    // Two registered clients on the shared server, both in channel.
    bool pair(Client &a, Client &b, const QByteArray &channel);
    std::unique_ptr<NgircdServer> m_server;
};

void TestIrcNgircd::initTestCase()
{
    m_server = std::make_unique<NgircdServer>();
    if (!m_server->start())
        QFAIL(qPrintable("ngircd did not start: " + m_server->errorString()));
}

void TestIrcNgircd::cleanupTestCase()
{
    m_server.reset();
    QVERIFY(QTest::qWaitFor([] { return TIrcReadThread::RunningCount() == 0; }, 5000));
}

bool TestIrcNgircd::pair(Client &a, Client &b, const QByteArray &channel)
{
    a.connectTo(*m_server);
    b.connectTo(*m_server);
    if (!a.registered() || !b.registered())
        return false;
    a.irc.Join(channel);
    if (!a.waitFor("joined " + S(channel)))
        return false;
    b.irc.Join(channel);
    return b.waitFor("joined " + S(channel)) &&
           a.waitFor("join " + S(b.irc.CurrentNick()) + ' ' + S(channel));
}

void TestIrcNgircd::registersWithPassword()
{
    NgircdServer::Options options;
    options.password = "secret";
    NgircdServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    Client a("alice");
    a.irc.Password = "secret";
    a.connectTo(server);
    QCOMPARE(a.irc.State(), stRegistering);
    QVERIFY(a.registered());
    QCOMPARE(a.sent.size(), 3);
    QCOMPARE(a.sent.at(0), QByteArray("PASS secret"));
    QCOMPARE(a.sent.at(1), QByteArray("NICK alice"));
    QVERIFY(a.sent.at(2).startsWith("USER ualice "));
    QVERIFY(a.sent.at(2).endsWith(" :Real alice"));
    QCOMPARE(a.irc.ServerName(), QByteArray(NgircdServer::ServerName));
    QCOMPARE(a.irc.CurrentNick(), QByteArray("alice"));
    QVERIFY(a.has("system 1 WELCOME"));
    QVERIFY(a.events.indexOf("connect") < a.events.indexOf("system 1 WELCOME"));

    // A wrong password is refused by the server, which then closes the connection.
    Client b("bob");
    b.irc.Password = "wrong";
    b.connectTo(server);
    QVERIFY2(b.waitFor("intercept-disconnect"), b.dump());
    QVERIFY(b.irc.State() != stConnected);
    QVERIFY(!b.irc.Connected());

    a.irc.Disconnect(true);
    QVERIFY(!a.irc.Connected());
}

void TestIrcNgircd::registersWithoutPasswordAndFallsBackOnNickInUse()
{
    Client a("samenick");
    a.connectTo(*m_server);
    QVERIFY(a.registered());
    // No password: no PASS line. The first connect knows no server name yet, so the local
    // address fills both middle fields of USER.
    QCOMPARE(a.sent.first(), QByteArray("NICK samenick"));
    const QList<QByteArray> user = a.sent.at(1).split(' ');
    QCOMPARE(user.size(), 6);
    QCOMPARE(user.at(0), QByteArray("USER"));
    QCOMPARE(user.at(1), QByteArray("usamenick"));
    QCOMPARE(user.at(2), user.at(3));
    QCOMPARE(user.at(4) + ' ' + user.at(5), QByteArray(":Real samenick"));

    Client b("samenick");
    b.irc.AltNick = "othernick";
    b.connectTo(*m_server);
    QVERIFY(b.registered());
    QCOMPARE(b.sent.first(), QByteArray("NICK samenick"));
    QVERIFY(b.hasPrefix("error 433 "));
    QVERIFY(b.sent.contains("NICK othernick"));
    QCOMPARE(b.irc.CurrentNick(), QByteArray("othernick"));
    // After registration a refused nick is only reported.
    const qsizetype before = b.sent.size();
    b.irc.SetNick("samenick");
    QVERIFY2(QTest::qWaitFor([&] { return b.events.filter("error 433").size() == 2; }, 5000),
             b.dump());
    QCOMPARE(b.irc.CurrentNick(), QByteArray("othernick"));
    QCOMPARE(b.sent.size(), before + 1);
    QVERIFY(b.irc.Connected());
}

void TestIrcNgircd::channelLifeTrackedByBothClients()
{
    Client a("chanop");
    Client b("member");
    QVERIFY(pair(a, b, "#life"));

    // Both registries list both members; the creator is an operator.
    QCOMPARE(a.memberFlags("#life", "chanop"), MemberOp);
    QCOMPARE(a.memberFlags("#life", "member"), 0);
    QCOMPARE(b.memberFlags("#life", "chanop"), MemberOp);
    QCOMPARE(b.memberFlags("#life", "member"), 0);
    QVERIFY(b.has("names #life"));

    // NAMES on request.
    b.events.clear();
    b.irc.Raw("NAMES #life");
    QVERIFY2(b.waitFor("names #life"), b.dump());

    // TOPIC.
    a.irc.SetTopic("#life", "the topic text");
    QVERIFY2(b.waitFor("topic chanop #life #life the topic text"), b.dump());
    QVERIFY2(a.waitFor("topic chanop #life #life the topic text"), a.dump());
    QCOMPARE(b.irc.Channels().Get("#life")->Topic(), QByteArray("the topic text"));
    QCOMPARE(a.irc.Channels().Get("#life")->Topic(), QByteArray("the topic text"));

    // NICK of the other.
    b.irc.SetNick("member2");
    QVERIFY2(a.waitFor("nick member member2"), a.dump());
    QVERIFY2(b.waitFor("nickchanged member member2"), b.dump());
    QCOMPARE(a.memberFlags("#life", "member"), -1);
    QCOMPARE(a.memberFlags("#life", "member2"), 0);
    QCOMPARE(b.memberFlags("#life", "member2"), 0);

    // PART with a reason.
    b.irc.Part("#life", "going away");
    QVERIFY2(a.waitFor("part member2 #life going away"), a.dump());
    QVERIFY2(b.waitFor("parted #life"), b.dump());
    QCOMPARE(a.memberFlags("#life", "member2"), -1);
    QVERIFY(!b.irc.Channels().Get("#life"));

    // KICK.
    b.irc.Join("#life");
    QVERIFY2(a.waitFor("join member2 #life"), a.dump());
    a.irc.Kick("#life", "member2", "out you go");
    QVERIFY2(a.waitFor("kick chanop member2 #life out you go"), a.dump());
    QVERIFY2(b.waitFor("kicked chanop #life out you go"), b.dump());
    QCOMPARE(a.memberFlags("#life", "member2"), -1);
    QVERIFY(!b.irc.Channels().Get("#life"));

    // QUIT of the other removes it from every channel.
    b.irc.Join("#life");
    QVERIFY2(QTest::qWaitFor([&] { return a.events.count("join member2 #life") == 2; }, 5000),
             a.dump());
    b.irc.Quit("see you");
    QVERIFY2(a.waitForPrefix("quit member2 "), a.dump());
    QVERIFY2(a.firstWithPrefix("quit member2 ").contains("see you"),
             qPrintable(a.firstWithPrefix("quit member2 ")));
    QCOMPARE(a.memberFlags("#life", "member2"), -1);
    QVERIFY(!a.hasPrefix("readerror"));
    QVERIFY(!b.hasPrefix("readerror"));
    a.irc.Disconnect(true);
}

void TestIrcNgircd::modesTrackedByBothClients()
{
    Client a("modeop");
    Client b("modeuser");
    QVERIFY(pair(a, b, "#modes"));

    // Voice on a member both clients know (the joiner learnt it from the names reply).
    a.irc.Mode("#modes", "+v", "modeop");
    QVERIFY2(b.waitFor("voice modeop #modes modeop"), b.dump());
    QVERIFY2(a.waitFor("voice modeop #modes modeop"), a.dump());
    QCOMPARE(a.memberFlags("#modes", "modeop"), MemberOp | MemberVoice);
    QCOMPARE(b.memberFlags("#modes", "modeop"), MemberOp | MemberVoice);

    // Op for the later joiner: its own registry marks it. (The op's registry holds no user
    // record for a member that joined after it, so its event carries no target there.)
    a.irc.Mode("#modes", "+o", "modeuser");
    QVERIFY2(b.waitFor("op modeop #modes modeuser"), b.dump());
    QVERIFY2(a.waitForPrefix("op modeop #modes "), a.dump());
    QCOMPARE(b.memberFlags("#modes", "modeuser"), MemberOp);

    // The new operator takes op and voice away from the first: both registries follow.
    b.irc.Mode("#modes", "-o", "modeop");
    QVERIFY2(a.waitFor("deop modeuser #modes modeop"), a.dump());
    QVERIFY2(b.waitFor("deop modeuser #modes modeop"), b.dump());
    QCOMPARE(a.memberFlags("#modes", "modeop"), MemberVoice);
    QCOMPARE(b.memberFlags("#modes", "modeop"), MemberVoice);
    b.irc.Mode("#modes", "-v", "modeop");
    QVERIFY2(a.waitFor("devoice modeuser #modes modeop"), a.dump());
    QVERIFY2(b.waitFor("devoice modeuser #modes modeop"), b.dump());
    QCOMPARE(a.memberFlags("#modes", "modeop"), 0);
    QCOMPARE(b.memberFlags("#modes", "modeop"), 0);
    b.irc.Mode("#modes", "+o", "modeop");
    QVERIFY2(a.waitFor("op modeuser #modes modeop"), a.dump());
    QCOMPARE(a.memberFlags("#modes", "modeop"), MemberOp);
    QVERIFY2(QTest::qWaitFor([&] { return b.memberFlags("#modes", "modeop") == MemberOp; }, 5000),
             b.dump());

    a.irc.Mode("#modes", "+k", "sesame");
    QVERIFY2(b.waitFor("chanmode modeop #modes #modes +k sesame"), b.dump());
    QVERIFY2(a.waitFor("chanmode modeop #modes #modes +k sesame"), a.dump());
    QCOMPARE(b.irc.Channels().Get("#modes")->Key(), QByteArray("sesame"));
    QVERIFY(a.irc.Channels().Get("#modes")->Mode() & cfKey);

    a.irc.Mode("#modes", "+l", "10");
    QVERIFY2(b.waitFor("chanmode modeop #modes #modes +l 10"), b.dump());
    QVERIFY2(a.waitFor("chanmode modeop #modes #modes +l 10"), a.dump());
    QCOMPARE(b.irc.Channels().Get("#modes")->Limit(), 10);
    QCOMPARE(a.irc.Channels().Get("#modes")->Limit(), 10);

    a.irc.Mode("#modes", "+b", "bad!*@*");
    QVERIFY2(b.waitFor("ban modeop #modes bad!*@*"), b.dump());
    QVERIFY2(a.waitFor("ban modeop #modes bad!*@*"), a.dump());
    a.irc.Mode("#modes", "-b", "bad!*@*");
    QVERIFY2(b.waitFor("unban modeop #modes bad!*@*"), b.dump());

    // A key set on the channel is needed to come back in.
    b.irc.Part("#modes");
    QVERIFY2(b.waitFor("parted #modes"), b.dump());
    b.events.clear();
    b.irc.Join("#modes");
    QVERIFY2(b.waitForPrefix("error 475 "), b.dump());
    b.irc.Join("#modes", "sesame");
    QVERIFY2(b.waitFor("joined #modes"), b.dump());
    // The joiner's mode query fills its record from the 324 reply.
    QVERIFY(QTest::qWaitFor(
        [&] {
            return b.irc.Channels().Get("#modes") &&
                   b.irc.Channels().Get("#modes")->Key() == "sesame";
        },
        5000));
    QCOMPARE(b.irc.Channels().Get("#modes")->Limit(), 10);
    QVERIFY(!a.hasPrefix("readerror"));
    QVERIFY(!b.hasPrefix("readerror"));
    a.irc.Disconnect(true);
    b.irc.Disconnect(true);
}

void TestIrcNgircd::ctcpQueriesAnsweredThroughTheServer()
{
    Client a("asker");
    Client b("answerer");
    QVERIFY(pair(a, b, "#ctcp"));
    b.irc.Replies.Version = "Talvin client http://talvin.example 1.5.6";

    // Sent to the channel, answered to the asker's nick.
    a.irc.Say("#ctcp", "\x01VERSION\x01");
    QVERIFY2(b.waitFor("ctcpquery asker #ctcp VERSION "), b.dump());
    // The answer comes back as a NOTICE to the asker's nick: no channel record.
    QVERIFY2(a.waitFor("ctcpreply answerer nil VERSION Talvin client http://talvin.example 1.5.6"),
             a.dump());
    QVERIFY(
        b.sent.contains("NOTICE asker :\x01VERSION Talvin client http://talvin.example 1.5.6\x01"));

    a.irc.Say("answerer", "\x01PING 12345\x01");
    QVERIFY2(a.waitForPrefix("ctcpreply answerer "), a.dump());
    QVERIFY(QTest::qWaitFor([&] { return a.events.filter(" PING 12345").size() == 1; }, 5000));
    QVERIFY(b.sent.contains("NOTICE asker :\x01PING 12345\x01"));

    a.irc.Say("answerer", "\x01TIME\x01");
    QVERIFY(
        QTest::qWaitFor([&] { return !a.events.filter(" TIME Local time is ").isEmpty(); }, 5000));

    // An action is not a query.
    a.irc.Say("#ctcp", "\x01"
                       "ACTION waves\x01");
    QVERIFY2(b.waitFor("action asker #ctcp waves"), b.dump());
    QVERIFY(!b.hasPrefix("ctcpquery asker #ctcp ACTION"));
    QVERIFY(!b.hasPrefix("readerror"));
    a.irc.Disconnect(true);
    b.irc.Disconnect(true);
}

void TestIrcNgircd::dccOfferDecoded()
{
    Client a("dccsender");
    Client b("dccreceiver");
    QVERIFY(pair(a, b, "#dcc"));
    a.irc.Say("dccreceiver", "\x01"
                             "DCC SEND report.txt 2130706433 5000 1024\x01");
    QVERIFY2(b.waitFor("dccsend dccsender 2130706433 5000 report.txt 1024"), b.dump());
    a.irc.Say("dccreceiver", "\x01"
                             "DCC CHAT chat 2130706433 5001\x01");
    QVERIFY2(b.waitFor("dccchat dccsender 2130706433 5001"), b.dump());
    // A short offer still arrives, with empty items, and reading goes on.
    a.irc.Say("dccreceiver", "\x01"
                             "DCC SEND short.txt\x01");
    QVERIFY2(b.waitFor("dccsend dccsender   short.txt "), b.dump());
    a.irc.Say("dccreceiver", "after");
    QVERIFY2(b.waitFor("message dccsender nil after"), b.dump());
    QVERIFY(!b.hasPrefix("readerror"));
    a.irc.Disconnect(true);
    b.irc.Disconnect(true);
}

void TestIrcNgircd::listOfAThousandChannels()
{
    Client a("lister");
    Client b("creator");
    a.connectTo(*m_server);
    b.connectTo(*m_server);
    QVERIFY(a.registered());
    QVERIFY(b.registered());
    const int count = 1000;
    for (int i = 0; i < count; ++i)
        b.irc.Join("#list" + QByteArray::number(i).rightJustified(4, '0'));
    QVERIFY(QTest::qWaitFor([&] { return b.irc.Channels().Count() == count; }, 20000));

    a.irc.Raw("LIST");
    QVERIFY(QTest::qWaitFor(
        [&] { return !a.listPositions.isEmpty() && a.listPositions.last().second; }, 20000));
    QCOMPARE(a.listPositions.first(), qMakePair(0, false));
    const QList<QByteArray> &all = a.listCalls.last();
    QSet<QByteArray> names;
    for (const QByteArray &entry : all) {
        const QList<QByteArray> parts = entry.split(' ');
        if (parts.first().startsWith("#list")) {
            names.insert(parts.first());
            QCOMPARE(parts.value(1), QByteArray("1"));
        }
    }
    QCOMPARE(names.size(), count);
    QVERIFY(a.has("system 321 LIST"));
    QVERIFY(a.hasPrefix("system 323 LIST"));
    // Interim calls came every 40 entries.
    QVERIFY(a.listCalls.size() >= count / 40);
    QVERIFY(!a.hasPrefix("readerror"));
    QVERIFY(!b.hasPrefix("readerror"));
    a.irc.Disconnect(true);
    b.irc.Disconnect(true);
}

void TestIrcNgircd::koi8rBytesPassUnchanged()
{
    Client a("koisender");
    Client b("koireceiver");
    QVERIFY(pair(a, b, "#koi8"));
    // "Привет, мир" in KOI8-R, then every byte from 0x80 to 0xFF.
    const QByteArray greeting("\xF0\xD2\xC9\xD7\xC5\xD4, \xCD\xC9\xD2");
    QByteArray high;
    for (int c = 0x80; c <= 0xFF; ++c)
        high += char(c);
    a.irc.Say("#koi8", greeting);
    a.irc.Say("koireceiver", high);
    QVERIFY2(b.waitFor("message koisender #koi8 " + S(greeting)), b.dump());
    QVERIFY2(b.waitFor("message koisender nil " + S(high)), b.dump());
    bool rawLineSeen = false;
    for (const QByteArray &line : b.received)
        rawLineSeen = rawLineSeen || line.endsWith(" PRIVMSG #koi8 :" + greeting);
    QVERIFY(rawLineSeen);
    a.irc.Disconnect(true);
    b.irc.Disconnect(true);
}

void TestIrcNgircd::quitClosesTheConnection()
{
    Client a("quitter");
    Client b("watcher");
    QVERIFY(pair(a, b, "#quit"));
    a.events.clear();
    a.irc.Quit("bye now");
    // The server answers QUIT by closing; the client notices through its reading thread.
    QVERIFY2(a.waitFor("intercept-disconnect"), a.dump());
    QVERIFY2(a.waitFor("disconnected"), a.dump());
    QVERIFY(!a.irc.Connected());
    // A close by the server is not the client's own Disconnect: no OnDisconnect, state kept.
    QVERIFY(!a.has("disconnect"));
    QCOMPARE(a.irc.State(), stConnected);
    QVERIFY2(b.waitForPrefix("quit quitter "), b.dump());
    QVERIFY(b.firstWithPrefix("quit quitter ").contains("bye now"));
    QCOMPARE(b.memberFlags("#quit", "quitter"), -1);
    QVERIFY(!a.hasPrefix("readerror"));

    // Sending now reports the closed connection instead of writing.
    a.events.clear();
    a.irc.Say("#quit", "hello?");
    QVERIFY(a.has("error  Not connected to server."));

    // The client can connect again afterwards; now it names the server it knows in USER.
    a.sent.clear();
    a.connectTo(*m_server);
    QVERIFY(a.registered());
    QVERIFY2(a.sent.at(1).endsWith(" irc.test.local :Real quitter"), a.sent.at(1).constData());
    a.irc.Join("#quit");
    QVERIFY2(b.waitFor("join quitter #quit"), b.dump());
    // Its own disconnect: OnDisconnect, the close, and the server tells the other side.
    a.events.clear();
    a.irc.Disconnect(false);
    QCOMPARE(a.events.first(), QStringLiteral("disconnect"));
    QVERIFY(a.has("intercept-disconnect"));
    QCOMPARE(a.irc.State(), stDisconnected);
    QVERIFY(QTest::qWaitFor([&] { return b.events.filter("quit quitter ").size() == 2; }, 5000));
    b.irc.Disconnect(true);
}

void TestIrcNgircd::serverClosingIsNoticed()
{
    NgircdServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    Client a("first");
    Client b("second");
    a.connectTo(server);
    b.connectTo(server);
    QVERIFY(a.registered());
    QVERIFY(b.registered());
    a.irc.Join("#gone");
    QVERIFY2(a.waitFor("joined #gone"), a.dump());
    server.stop();
    QVERIFY2(a.waitFor("intercept-disconnect"), a.dump());
    QVERIFY2(b.waitFor("intercept-disconnect"), b.dump());
    QVERIFY2(a.waitFor("disconnected"), a.dump());
    QVERIFY(!a.irc.Connected());
    QVERIFY(!b.irc.Connected());
    QVERIFY(QTest::qWaitFor([] { return TIrcReadThread::RunningCount() == 0; }, 5000));
    // Connecting to the stopped server fails with the numbered text.
    try {
        a.irc.Connect();
        QFAIL("connected to a stopped server");
    } catch (const ESocketError &e) {
        QCOMPARE(e.message(), QStringLiteral("Socket Error # 10061\r\nConnection refused."));
    }
    QCOMPARE(a.irc.State(), stConnecting);
}

void TestIrcNgircd::killedByAnOperator()
{
    Client oper("theoper");
    Client victim("victim");
    QVERIFY(pair(oper, victim, "#kill"));
    oper.irc.Raw(QByteArray("OPER ") + NgircdServer::OperName + ' ' + NgircdServer::OperPassword);
    QVERIFY2(oper.waitForPrefix("system 381 "), oper.dump());
    victim.events.clear();
    oper.irc.Raw("KILL victim :enough");
    // The server tells the victim, then closes its connection; the others see it quit.
    QVERIFY2(victim.waitFor("intercept-disconnect"), victim.dump());
    QVERIFY(!victim.irc.Connected());
    QVERIFY2(oper.waitForPrefix("quit victim "), oper.dump());
    QCOMPARE(oper.memberFlags("#kill", "victim"), -1);
    QVERIFY(!victim.hasPrefix("readerror"));
    // The server's farewell line is dispatched before the close is reported.
    const QString farewell = victim.firstWithPrefix("unknown ERROR ");
    QVERIFY2(!farewell.isEmpty(), victim.dump());
    QVERIFY(farewell.contains("enough"));
    QVERIFY(victim.events.indexOf(farewell) < victim.events.indexOf("intercept-disconnect"));
    QCOMPARE(victim.events.last(), QStringLiteral("disconnected"));
    oper.irc.Disconnect(true);
}

QTEST_GUILESS_MAIN(TestIrcNgircd)
#include "test_irc_ngircd.moc"
