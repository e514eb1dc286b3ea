// The whole engine against a real IRC server: Debian's ngircd on a loopback port, with two
// real clients talking to each other through it.
#include "irc_event_log.h"
#include "ngircd_server.h"

#include "irc/connection_intercept.h"
#include "irc/irc_read_thread.h"

#include <QTest>

#include <memory>

namespace {

// One client on the test server with everything it raises and sends written down.
struct Client
{
    explicit Client(const QByteArray &nick)
    {
        irc.SetNick(nick);
        irc.AltNick = nick + "_";
        irc.Username = "u" + nick;
        irc.RealName = "Real " + nick;
        irc.Intercept = &intercept;
        log.bind(irc);
        irc.OnSend = [this](TIrcClient *, const QByteArray &line) { sent << line; };
        intercept.OnDisconnect = [this](TConnectionIntercept *) { log.lines << "Closed"; };
    }

    TConnectionIntercept intercept; // declared first: it outlives the client
    TIrcClient irc;
    IrcEventLog log;
    QByteArrayList sent;

    // Waits until count logged lines start with prefix.
    bool waitFor(const QByteArray &prefix, int count = 1)
    {
        const QString start = '^' + QRegularExpression::escape(QString::fromLatin1(prefix));
        return QTest::qWaitFor([&] { return Grep(log.lines, start).size() >= count; }, 5000);
    }
    QByteArray dump() const { return "\n  " + log.lines.join("\n  "); }
    void connectTo(const NgircdServer &server)
    {
        irc.Host = server.host();
        irc.Port = server.port();
        irc.Connect();
    }
    bool registered()
    {
        return QTest::qWaitFor([&] { return irc.State() == stConnected; }, 5000);
    }
    // A member's flags in this client's record of channel, -1 when not listed.
    int flags(const QByteArray &channel, const QByteArray &nick)
    {
        TIrcChannel *record = irc.Channels().Get(channel);
        const int index = record ? record->Names().IndexOf(nick) : -1;
        return index < 0 ? -1 : record->Names().Flags(index);
    }
    TIrcChannel *chan(const QByteArray &name) { return irc.Channels().Get(name); }
};

#define WAIT(client, line) QVERIFY2((client).waitFor(line), (client).dump())

} // namespace

class TestIrcNgircd : public QObject
{
    Q_OBJECT

    std::unique_ptr<NgircdServer> m_server;

    // Two registered clients on the shared server, both in channel.
    bool pair(Client &a, Client &b, const QByteArray &channel)
    {
        a.connectTo(*m_server);
        b.connectTo(*m_server);
        if (!a.registered() || !b.registered())
            return false;
        a.irc.Join(channel);
        if (!a.waitFor("Joined " + channel + " active=1"))
            return false;
        b.irc.Join(channel);
        return b.waitFor("Joined " + channel + " active=1") &&
               a.waitFor("Join <" + b.irc.CurrentNick() + "> " + channel);
    }

private slots:
    void initTestCase()
    {
        m_server = std::make_unique<NgircdServer>();
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
    }
    void cleanupTestCase()
    {
        m_server.reset();
        QVERIFY(QTest::qWaitFor([] { return TIrcReadThread::RunningCount() == 0; }, 5000));
    }

    // Topic, nicks, modes, parts and kicks: both clients' registries follow.
    void channelLifeTrackedByBothClients()
    {
        Client a("chanop");
        Client b("member");
        QVERIFY(pair(a, b, "#life"));
        for (Client *c : {&a, &b}) // the creator is an operator
            QCOMPARE(QList<int>({c->flags("#life", "chanop"), c->flags("#life", "member")}),
                     QList<int>({MemberOp, 0}));
        a.irc.SetTopic("#life", "the topic text");
        WAIT(b, "Topic <chanop> #life #life the topic text");
        QCOMPARE(b.chan("#life")->Topic(), QByteArray("the topic text"));
        b.irc.SetNick("member2");
        WAIT(a, "NickChange <member> member2");
        WAIT(b, "NickChanged member -> member2");
        QCOMPARE(a.flags("#life", "member") + a.flags("#life", "member2"), -1 + 0);
        a.irc.Mode("#life", "+v", "chanop");
        WAIT(b, "Voice <chanop> #life <chanop>");
        WAIT(a, "Voice <chanop> #life <chanop>");
        QCOMPARE(b.flags("#life", "chanop"), MemberOp | MemberVoice);
        // The op's registry holds no user record for a member that joined after it and has
        // said nothing, so its event carries no target there.
        a.irc.Mode("#life", "+o", "member2");
        WAIT(b, "Op <chanop> #life <member2>");
        WAIT(a, "Op <chanop> #life nil");
        b.irc.Mode("#life", "-v", "chanop");
        WAIT(a, "Devoice <member2> #life <chanop>");
        QCOMPARE(a.flags("#life", "chanop"), MemberOp);
        a.irc.Mode("#life", "+k", "sesame");
        a.irc.Mode("#life", "+l", "10");
        a.irc.Mode("#life", "+b", "bad!*@*");
        for (Client *c : {&a, &b}) {
            for (const char *line :
                 {"ChannelMode <chanop> #life #life [+k sesame]",
                  "ChannelMode <chanop> #life #life [+l 10]", "Ban <chanop> #life bad!*@*"})
                WAIT(*c, line);
            QCOMPARE(c->chan("#life")->ModeString(), QByteArray("+lk 10 sesame"));
        }
        // The key is needed to come back in; the joiner's mode query then fills its record.
        b.irc.Part("#life", "going away");
        WAIT(a, "Part <member2> #life reason=going away");
        WAIT(b, "Parted #life active=0 leftby=1");
        QCOMPARE(a.flags("#life", "member2"), -1);
        b.irc.Join("#life");
        WAIT(b, "Error <> 475 ");
        b.irc.Join("#life", "sesame");
        WAIT(a, "Join <member2> #life");
        QVERIFY(QTest::qWaitFor(
            [&] { return b.chan("#life") && b.chan("#life")->Key() == "sesame"; }, 5000));
        QCOMPARE(b.chan("#life")->Limit(), 10);
        a.irc.Kick("#life", "member2", "out you go");
        WAIT(a, "Kick <chanop> <member2> #life reason=out you go");
        WAIT(b, "Kicked <chanop> #life reason=out you go leftby=2");
        QVERIFY(!b.chan("#life") && a.flags("#life", "member2") == -1);
        QVERIFY(a.log.find("ReadError").isEmpty() && b.log.find("ReadError").isEmpty());
    }

    void quitClosesTheConnection()
    {
        Client a("quitter");
        Client b("watcher");
        QVERIFY(pair(a, b, "#quit"));
        a.log.take();
        a.irc.Quit("bye now");
        // The server answers QUIT by closing; the client notices through its reading thread.
        // A close by the server is not the client's own Disconnect: no event, state kept.
        WAIT(a, "Disconnected");
        QCOMPARE(Grep(a.log.lines, "^(Closed|Disconnect)"),
                 (QByteArrayList{"Closed", "Disconnected"}));
        QCOMPARE(a.irc.State(), stConnected);
        WAIT(b, "Quit <quitter> ");
        QVERIFY(b.log.find("Quit <quitter> ").contains("bye now"));
        QCOMPARE(b.flags("#quit", "quitter"), -1);
        // Sending now reports the closed connection instead of writing.
        a.irc.Say("#quit", "hello?");
        QVERIFY(a.log.has("Error nil  Not connected to server."));
        // The client can connect again; now it names the server it knows in USER.
        a.sent.clear();
        a.connectTo(*m_server);
        QVERIFY(a.registered());
        QVERIFY2(a.sent.at(1).endsWith(" irc.test.local :Real quitter"), a.sent.at(1).constData());
        a.irc.Join("#quit");
        WAIT(b, "Join <quitter> #quit");
        // Its own disconnect: the event, the close, and the server tells the other side.
        a.log.take();
        a.irc.Disconnect(false);
        QCOMPARE(a.log.lines.mid(0, 2), (QByteArrayList{"Disconnect", "Closed"}));
        QCOMPARE(a.irc.State(), stDisconnected);
        QVERIFY(QTest::qWaitFor([&] { return Grep(b.log.lines, "Quit <quitter> ").size() == 2; },
                                5000));
    }

    void killIsNoticed()
    {
        Client oper("theoper");
        Client victim("victim");
        QVERIFY(pair(oper, victim, "#kill"));
        oper.irc.Raw(QByteArray("OPER ") + NgircdServer::OperName + ' ' +
                     NgircdServer::OperPassword);
        WAIT(oper, "System <> 381 ");
        victim.log.take();
        oper.irc.Raw("KILL victim :enough");
        // The server tells the victim, then closes its connection; the others see it quit.
        WAIT(victim, "Disconnected");
        WAIT(oper, "Quit <victim> ");
        QCOMPARE(oper.flags("#kill", "victim"), -1);
        // The server's farewell line is dispatched before the close is reported.
        const QByteArray farewell = victim.log.find("Unknown <> ERROR ");
        QVERIFY2(farewell.contains("enough"), victim.dump());
        QCOMPARE(victim.log.lines.mid(victim.log.lines.indexOf(farewell)),
                 (QByteArrayList{farewell, "Closed", "Disconnected"}));
    }
};

QTEST_GUILESS_MAIN(TestIrcNgircd)
#include "test_irc_ngircd.moc"
