// The IRC client against an in-process peer: what it writes, byte for byte, and what it makes
// of server lines (events with their arguments, registry upkeep, numeric replies). Lines are
// fed straight to Dispatch or, where the receive path matters, sent by the peer.
#include "irc_event_log.h"
#include "scripted_peer.h"

#include "irc/irc_error.h"
#include "irc/irc_read_thread.h"
#include "irc/socket_error.h"

#include <QTcpServer>
#include <QTest>

#include <memory>
#include <stdexcept>

using L = QByteArrayList;

// Wire text written short: '|' ends a line (so does the end), '^' is the CTCP marker byte.
static QByteArray W(const char *text)
{
    const QByteArray bytes = QByteArray(text).replace('^', '\x01').replace("|", "\r\n");
    return bytes.isEmpty() ? bytes : bytes + "\r\n";
}

class TestIrcClient : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedPeer> peer;
    std::unique_ptr<TIrcClient> client;
    IrcEventLog log;

    void connectPeer()
    {
        peer = std::make_unique<ScriptedPeer>();
        client->Host = QStringLiteral("127.0.0.1");
        client->Port = peer->port();
        client->Connect();
    }
    // Connects to a fresh peer, waits for the registration lines and starts the event log.
    void start()
    {
        connectPeer();
        QVERIFY(peer->waitForReceivedContains("USER "));
        QVERIFY(peer->waitForReceivedContains("\r\n", 2000));
        peer->clearReceived();
        log.bind(*client);
    }
    void feed(const QByteArray &line) { client->Dispatch(line); }
    // Users referenced by something other than a names reply or the client itself.
    int users() const { return client->Users().Count(); }
    const TIrcChannel *chan(const char *name) const { return client->Channels().Get(name); }
    void joinOwn(const QByteArray &channel)
    {
        feed(":me!u@h JOIN " + channel);
        QVERIFY(peer->waitForReceivedContains("MODE " + channel + " \r\n"));
        peer->clearReceived();
        log.take();
    }
    // Everything the client sent since the last call, once the PONG to a PING sent now has
    // come back (every line before it has then been dispatched).
    QByteArray sentAfterSync()
    {
        peer->sendLine("PING :sync");
        if (!peer->waitForReceivedContains("PONG :sync\r\n"))
            return "no PONG";
        const QByteArray sent = peer->received();
        peer->clearReceived();
        return sent.chopped(12);
    }
    // What the client wrote, once a marker line written after it has arrived.
    QByteArray sentNow()
    {
        client->Raw("MARK");
        if (!peer->waitForReceivedContains("MARK\r\n"))
            return "no MARK";
        const QByteArray sent = peer->received();
        peer->clearReceived();
        return sent.chopped(6);
    }

private slots:
    void init()
    {
        client = std::make_unique<TIrcClient>();
        client->SetNick("me");
        client->AltNick = "me2";
        client->Username = "user";
        client->RealName = "Real Name";
        log.lines.clear();
    }
    void cleanup()
    {
        client.reset();
        peer.reset();
    }

    // ---- What the client writes ----

    // PASS when set, NICK, USER with the local address in both fields, the handler called
    // in stRegistering before; any server line ends registration. Only the welcome names the
    // server, which a later connect puts in USER, after the bound address.
    void registrationAndTheServersName()
    {
        client->Password = "secret";
        QByteArray sent;
        QList<int> states;
        client->OnSend = [&](TIrcClient *, const QByteArray &line) { sent += line + "\r\n"; };
        client->OnStateChange = [&](TIrcClient *c) { states << c->State(); };
        client->OnConnect = [&](TIrcClient *c) { sent += QByteArray::number(c->State()) + ' '; };
        connectPeer();
        const QByteArray local = TIrcClient::LocalAddress();
        const QByteArray expected =
            W("PASS secret|NICK me") + "USER user " + local + ' ' + local + " :Real Name\r\n";
        QVERIFY(peer->waitForReceived(expected.size()));
        QCOMPARE(peer->received(), expected);
        QCOMPARE(sent, QByteArray::number(stRegistering) + ' ' + expected);
        QCOMPARE(client->SelfUser()->Nick + ' ' + QByteArray::number(users()), QByteArray("me 1"));
        log.bind(*client);
        feed(":irc.example 375 me :- irc.example Message of the day -");
        QCOMPARE(client->State(), stConnected);
        QCOMPARE(client->ServerName(), QByteArray());
        feed(":irc.example 001 me :Welcome");
        QCOMPARE(client->ServerName(), QByteArray("irc.example"));
        QCOMPARE(states, (QList<int>{stConnecting, stRegistering, stConnected}));
        // Connecting again closes the live connection first.
        std::unique_ptr<ScriptedPeer> old = std::move(peer);
        log.take();
        client->Password.clear();
        client->BoundIP = QStringLiteral("127.0.0.1");
        connectPeer();
        QCOMPARE(log.take(), (L{"Disconnect", "Disconnected", "Disconnected", "Connect"}));
        QVERIFY(old->waitForClientClosed());
        QVERIFY(peer->waitForReceivedContains(":Real Name\r\n"));
        QCOMPARE(peer->received(), W("NICK me|USER user 127.0.0.1 irc.example :Real Name"));
    }

    // Commands as lines; line breaks and NULs cut a text into lines of their own, so nothing
    // can be injected. A new nick counts once the server echoes it; the close follows.
    void commandLinesAndTheClose()
    {
        start();
        int sends = 0;
        client->OnSend = [&](TIrcClient *, const QByteArray &) { ++sends; };
        client->Say("#c", "hello");
        client->Notice("nick", "note");
        client->CTCPReply("nick", "VERSION", "v1");
        client->CTCPReply("nick", "PING", "");
        client->Join("#c");
        client->Join("#k", "key");
        client->Part("#c");
        client->Part("#c", "bye");
        client->Kick("#c", "bad", "");
        client->Kick("#c", "bad", "go away");
        client->Quit("");
        client->Mode("#c", "");
        client->Mode("#c", "+o", "nick");
        client->SetTopic("#c", "");
        client->SetTopic("#c", "new topic");
        client->Raw("WHOIS nick");
        feed(":me!u@h JOIN #r");
        TIrcChannel *channel = client->Channels().Get("#r");
        channel->Kick("bad", "reason");
        channel->Op("friend");
        channel->Deop("friend");
        client->Say("#c", "first\r\nQUIT :injected\n\nthird\r");
        client->Notice("nick", QByteArray("a\0JOIN #evil", 12));
        client->Raw("JOIN #a\r\nQUIT :x");
        client->Raw(QByteArray("PRIVMSG #a :x\0y", 15));
        client->Join("#a\r\nQUIT");
        client->Say("#c", "");
        QCOMPARE(sentNow(), W("PRIVMSG #c :hello|NOTICE nick :note|NOTICE nick :^VERSION v1^|"
                              "NOTICE nick :^PING ^|JOIN #c|JOIN #k key|PART #c|PART #c :bye|"
                              "KICK #c bad :|KICK #c bad :go away|QUIT :|MODE #c |MODE #c +o nick|"
                              "TOPIC #c :|TOPIC #c :new topic|WHOIS nick|MODE #r |"
                              "KICK #r bad :reason|MODE #r +o friend|MODE #r -o friend|"
                              "PRIVMSG #c :first|PRIVMSG #c :QUIT :injected|PRIVMSG #c :third|"
                              "NOTICE nick :a|NOTICE nick :JOIN #evil|JOIN #a|PRIVMSG #a :x|"
                              "JOIN #a|PRIVMSG #c :"));
        QCOMPARE(sends, 30);
        client->SetNick("other");
        QCOMPARE(sentNow(), QByteArray("NICK other\r\n"));
        QCOMPARE(client->Nick() + client->CurrentNick(), QByteArray("meme"));
        peer->sendLine(":me!u@h NICK :other");
        peer->sendLine(":s 001 other :Welcome");
        sentAfterSync();
        QCOMPARE(client->Nick(), QByteArray("other"));
        QList<int> states;
        client->OnStateChange = [&](TIrcClient *c) { states << c->State(); };
        log.take();
        client->Disconnect(false);
        QCOMPARE(log.take(), (L{"Disconnect", "Disconnected", "Disconnected"}));
        QCOMPARE(states, (QList<int>{stDisconnecting, stDisconnected}));
        QVERIFY(peer->waitForClientClosed());
        QCOMPARE(client->Nick(), QByteArray("me")); // the stored setting never changed
        QCOMPARE(users(), 0);                       // the client's own record went back
        client->Disconnect(false);                  // not registered: nothing happens
        QCOMPARE(log.take(), L{});
        // Lines that still arrive are dropped.
        int received = 0;
        client->OnReceive = [&](TIrcClient *, QByteArray &) { ++received; };
        peer->sendLine(":a!u@h PRIVMSG me :late");
        QTest::qWait(100);
        QCOMPARE(received, 0);
    }

    void disconnectedSendsNothingAndFailedConnectsKeepTheState()
    {
        log.bind(*client);
        int sends = 0;
        client->OnSend = [&](TIrcClient *, const QByteArray &) { ++sends; };
        client->Say("#c", "hello");
        client->Quit("bye");
        client->SetNick("stored"); // not connected: the nick is stored, not sent
        QCOMPARE(client->Nick(), QByteArray("stored"));
        QCOMPARE(log.take(), L(2, "Error nil  Not connected to server."));
        QCOMPARE(sends, 0);
        client->Host = QStringLiteral("127.0.0.1");
        client->Port = ScriptedPeer().port(); // a port that is closed again
        QVERIFY_THROWS_EXCEPTION(ESocketError, client->Connect());
        QCOMPARE(client->State(), stConnecting);
        // Socket errors while registering become component errors; others pass unchanged.
        client->OnConnect = [](TIrcClient *) { RaiseSocketError(10054); };
        try {
            connectPeer();
            QFAIL("no error");
        } catch (const EComponentError &error) {
            QCOMPARE(error.message(), QStringLiteral("IRC Connect Failed"));
        }
        QCOMPARE(client->State(), stRegistering);
        client->OnConnect = [](TIrcClient *) { throw std::logic_error("handler"); };
        QVERIFY_THROWS_EXCEPTION(std::logic_error, connectPeer());
    }

    // Without a handler the alternative nick is tried, then the connection given up; with one
    // the handler's nick is tried, left unchanged it gives way to a variant; five NICKs at most.
    void nickFallback()
    {
        client->SetNick("a");
        client->AltNick = "b";
        start();
        peer->sendLine(":s 433 * a :Nickname already in use");
        QVERIFY(peer->waitForReceivedContains("NICK b\r\n"));
        QCOMPARE(client->CurrentNick(), QByteArray("b"));
        peer->sendLine(":s 433 * b :Nickname already in use");
        QVERIFY(peer->waitForClientClosed());
        QCOMPARE(client->State(), stDisconnected);
        QCOMPARE(Grep(log.lines, "Error").size(), 2);
        QCOMPARE(peer->received(), QByteArray("NICK b\r\n"));

        start();
        QList<QByteArray> asked, refused;
        client->OnNicksInUse = [&](TIrcClient *, QByteArray &nick) {
            asked << nick;
            if (nick == "a_")
                nick = "c";
        };
        client->OnNicksRefused = [&](TIrcClient *, const QList<QByteArray> &tried) {
            refused = tried;
        };
        for (const char *line : {"433 * a :in use", "432 * b :erroneous", "433 * a_ :in use",
                                 "431 * :no nick", "433 * b_ :in use"})
            peer->sendLine(":s " + QByteArray(line));
        QCOMPARE(sentAfterSync(), W("NICK b|NICK a_|NICK c|NICK b_"));
        QCOMPARE(asked, (QList<QByteArray>{"b", "a_", "c"}));
        QCOMPARE(refused, (QList<QByteArray>{"a", "b", "a_", "c", "b_"}));
        // Once registered, the replies are only errors.
        peer->sendLine(":s 001 c :Welcome");
        peer->sendLine(":s 433 c x :in use");
        QCOMPARE(sentAfterSync(), QByteArray());
        QCOMPARE(asked.size(), 3);
    }

    void ctcpAnswers()
    {
        client->Replies.Finger = "myfinger";
        client->Replies.Version = "Talvin 1.5.6";
        client->Replies.UserInfo = "user info";
        client->Replies.ClientInfo = "Talvin by us";
        start();
        bool suppressVersion = false;
        client->OnCTCPQuery = [&](TIrcClient *, TIrcUser *, TIrcChannel *, const QByteArray &word,
                                  const QByteArray &, bool &suppress) {
            suppress = suppressVersion && word == "VERSION";
        };
        for (const char *query : {"VERSION", "PING 12 345", "FINGER", "USERINFO", "CLIENTINFO"})
            peer->sendLine(":a!u@h PRIVMSG #c :\x01" + QByteArray(query) + "\x01");
        QCOMPARE(sentAfterSync(), W("NOTICE a :^VERSION Talvin 1.5.6^|NOTICE a :^PING 12 345^|"
                                    "NOTICE a :^FINGER myfinger^|NOTICE a :^USERINFO user info^|"
                                    "NOTICE a :^CLIENTINFO Talvin by us^"));
        client->CtcpAnswerLimiter().Reset();
        peer->sendLine(":b!u@h PRIVMSG me :\x01TIME\x01");
        const QByteArray time = sentAfterSync();
        QVERIFY2(time.startsWith("NOTICE b :\x01TIME Local time is ") &&
                     time.endsWith("\x01\r\n") && time.count("\r\n") == 1,
                 time.constData());
        // A handler may suppress the answer; a query in other letters is not answered; a
        // missing closing byte costs the last character all the same; an echo stays one line.
        suppressVersion = true;
        peer->sendLine(":a!u@h PRIVMSG me :\x01VERSION\x01");
        peer->sendLine(":a!u@h PRIVMSG me :\x01version\x01");
        peer->sendLine(":a!u@h PRIVMSG me :\x01PING 1");
        QCOMPARE(sentAfterSync(), W("NOTICE a :^PING ^"));
        feed(QByteArrayLiteral(":a!u@h PRIVMSG me :\x01PING 1\r\nQUIT :x\r\0"
                               "2\x01"));
        QCOMPARE(sentNow(), W("NOTICE a :^PING 1QUIT :x2^"));
        // At most five answers in 30 s, whoever asks.
        log.bind(*client);
        client->CtcpAnswerLimiter().Reset();
        qint64 now = 1000000;
        client->CtcpAnswerLimiter().Clock = [&] { return now; };
        for (int i = 0; i < 8; ++i)
            peer->sendLine(":flood" + QByteArray::number(i) + "!u@h PRIVMSG me :\x01PING " +
                           QByteArray::number(i) + "\x01");
        const QByteArray sent = sentAfterSync();
        QCOMPARE(sent.count("NOTICE "), 5);
        QVERIFY(sent.endsWith(W("NOTICE flood4 :^PING 4^")));
        // The window slides: 29.999 s after the first answer still nothing, at 30 s one more.
        now += 29999;
        peer->sendLine(":x!u@h PRIVMSG me :\x01VERSION\x01");
        QCOMPARE(sentAfterSync(), QByteArray());
        now += 1;
        peer->sendLine(":y!u@h PRIVMSG me :\x01PING again\x01");
        QCOMPARE(sentAfterSync(), W("NOTICE y :^PING again^"));
        QCOMPARE(Grep(log.take(), "CTCPQuery").size(), 10);
    }

    // A handler that reconnects while a line is handled (as one that pumps events may): the
    // line is finished on the old connection with the records it holds, then the new
    // connection starts.
    void reconnectFromAHandlerWaitsForTheLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("oldServerGets"); // after the line, on the old link
        const auto row = [](const char *name, const char *line, const char *gets) {
            QTest::newRow(name) << QByteArray(line).replace('^', '\x01') << W(gets);
        };
        row("ctcp", ":bob!u@h PRIVMSG me :^VERSION^", "NOTICE bob :^VERSION Talvin IRC engine^");
        row("own nick", ":me!u@h NICK other", "");
        row("other nick", ":bob!u@h NICK bobby", "");
        row("own part", ":me!u@h PART #c", "");
        row("quit", ":bob!u@h QUIT :bye", "");
        row("channel mode", ":bob!u@h MODE #c +o bob", "");
        row("ping", "PING :x", "PONG :x");
    }
    void reconnectFromAHandlerWaitsForTheLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, oldServerGets);
        start();
        feed(":irc 001 me :hi");
        joinOwn("#c");
        feed(":irc 353 me = #c :me bob");
        ScriptedPeer newServer;
        int reconnects = 0;
        auto reconnect = [&](auto &&...) {
            client->Port = newServer.port();
            client->Connect();
            ++reconnects;
            QCOMPARE(client->State(), stConnected); // still the old connection
        };
        client->OnCTCPQuery = reconnect, client->OnNickChanged = reconnect;
        client->OnNickChange = reconnect, client->OnParted = reconnect, client->OnQuit = reconnect;
        client->OnChannelMode = reconnect, client->OnPingPong = reconnect;
        feed(line);
        QCOMPARE(reconnects, 1);
        QVERIFY(newServer.waitForReceivedContains("USER "));
        QVERIFY(newServer.received().startsWith("NICK me\r\n"));
        QCOMPARE(client->State(), stRegistering);
        QCOMPARE(client->CurrentNick() + ' ' + client->Users()[0]->Nick, QByteArray("me me"));
        QCOMPARE(client->Channels().Count(), 0);
        QCOMPARE(users(), 1);
        if (!oldServerGets.isEmpty())
            QVERIFY(peer->waitForReceivedContains(oldServerGets));
        QVERIFY(!peer->received().contains("NICK"));
        QVERIFY(!newServer.received().contains(oldServerGets.isEmpty() ? "PONG" : oldServerGets));
    }

    // Capability negotiation and SASL, byte for byte after the registration lines, and the
    // SASL failures reported.
    void capsAndSasl_data()
    {
        QTest::addColumn<QByteArray>("mechanism");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<L>("serverLines");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<L>("failures");
        const auto row = [](const char *name, const char *mechanism, const QByteArray &password,
                            const L &lines, const QByteArray &sent, const L &failures = {}) {
            QTest::newRow(name) << QByteArray(mechanism) << password << lines << sent << failures;
        };
        const QByteArray plain = "AUTHENTICATE " + QByteArray("acc\0acc\0pw", 10).toBase64();
        const QByteArray ls = ":s CAP * LS :multi-prefix sasl=PLAIN,EXTERNAL x";
        const QByteArray ackSasl = ":s CAP me ACK :multi-prefix sasl";
        const QByteArray noCap = ":s 421 me CAP :Unknown command";
        row("server without CAP", "", "pw", {noCap}, "");
        row("no CAP, SASL wanted", "PLAIN", "pw", {noCap}, "", {" The server does not offer SASL"});
        row("caps in two LS lines, no SASL", "", "pw",
            {":s CAP * LS * :away-notify foo", ":s CAP * LS :server-time sasl",
             ":s CAP * ACK :away-notify server-time"},
            W("CAP REQ :away-notify server-time|CAP END"));
        row("refused", "", "pw", {ls, ":s CAP * NAK :multi-prefix"},
            W("CAP REQ :multi-prefix|CAP END"));
        row("nothing wanted offered", "", "pw", {":s CAP * LS :foo bar"}, W("CAP END"));
        row("PLAIN accepted", "PLAIN", "pw",
            {ls, ackSasl, "AUTHENTICATE +", ":s 900 me me!u@h acc :You are now logged in",
             ":s 903 me :SASL authentication successful"},
            W("CAP REQ :multi-prefix sasl|AUTHENTICATE PLAIN|" + plain + "|CAP END"));
        row("PLAIN refused", "PLAIN", "pw",
            {ls, ackSasl, "AUTHENTICATE +", ":s 904 me :SASL authentication failed"},
            W("CAP REQ :multi-prefix sasl|AUTHENTICATE PLAIN|" + plain + "|CAP END"),
            {"904 SASL authentication failed"});
        row("mechanism not offered", "PLAIN", "pw", {":s CAP * LS :sasl=EXTERNAL"}, W("CAP END"),
            {" The server does not offer SASL PLAIN"});
        row("EXTERNAL", "EXTERNAL", "",
            {ls, ackSasl, "AUTHENTICATE +", ":s 903 me :SASL authentication successful"},
            W("CAP REQ :multi-prefix sasl|AUTHENTICATE EXTERNAL|AUTHENTICATE +|CAP END"));
        // 300 bytes make 400 base64 characters: one full piece, then "+".
        const QByteArray longPassword(292, 'p');
        row("response of a full piece", "PLAIN", longPassword,
            {":s CAP * LS :sasl", ":s CAP * ACK :sasl", "AUTHENTICATE +"},
            W("CAP REQ :sasl|AUTHENTICATE PLAIN|AUTHENTICATE " +
              (QByteArray("acc\0acc\0", 8) + longPassword).toBase64() + "|AUTHENTICATE +"));
    }
    void capsAndSasl()
    {
        QFETCH(QByteArray, mechanism);
        QFETCH(QByteArray, password);
        QFETCH(L, serverLines);
        QFETCH(QByteArray, sent);
        client->BoundIP = QStringLiteral("127.0.0.1");
        client->NegotiateCaps = true;
        client->Sasl = {mechanism, "acc", password};
        L failed;
        client->OnSaslFailed = [&](TIrcClient *, const QByteArray &numeric,
                                   const QByteArray &text) { failed << numeric + ' ' + text; };
        connectPeer();
        const QByteArray registration =
            W("CAP LS 302|NICK me|USER user 127.0.0.1 127.0.0.1 :Real Name");
        QVERIFY(peer->waitForReceived(registration.size()));
        for (const QByteArray &line : serverLines)
            peer->sendLine(line);
        QCOMPARE(sentAfterSync(), registration + sent);
        QTEST(failed, "failures");
    }

    // ISUPPORT and the names replies the capabilities change.
    void isupportAndNames()
    {
        QByteArrayList networks;
        client->OnNetwork = [&](TIrcClient *, const QByteArray &name) { networks << name; };
        feed(":s 001 me :Welcome");
        feed(":s 005 me CASEMAPPING=ascii CHANTYPES=#& PREFIX=(qov)~@+ "
             "NETWORK=Libera\\x20Chat :are supported by this server");
        feed(":s 005 me NETWORK=Libera\\x20Chat SAFELIST :are supported");
        const TIrcIsupport &is = client->Isupport();
        QCOMPARE(is.CaseMapping + is.ChanTypes + is.PrefixModes + is.PrefixSymbols,
                 QByteArray("ascii#&qov~@+"));
        QCOMPARE(networks, L{"Libera Chat"}); // said once
        QVERIFY(!is.IsChannelName("+c") && is.IsChannelName("&c"));
        feed(":me!u@h JOIN #c");
        feed(":s 353 me = #c :~@+owner @+opv!u@host +v plain");
        const TIrcNames &names = chan("#c")->Names();
        QByteArray flags;
        for (int i = 0; i < names.Count(); ++i)
            flags += names.Nick(i) + '=' + QByteArray::number(names.Flags(i)) + ' ';
        const QByteArray opVoice = QByteArray::number(MemberOp | MemberVoice);
        QCOMPARE(flags, "owner=" + opVoice + " opv=" + opVoice +
                            " v=" + QByteArray::number(MemberVoice) + " plain=0 ");
        QCOMPARE(client->Users().Get("opv")->Address, QByteArray("u@host"));
        feed(":opv!u@host CHGHOST nu new.host");
        QCOMPARE(client->Users().Get("opv")->Address, QByteArray("nu@new.host"));
    }

    // Writing happens off the caller's thread: a server that stops reading must not stop the
    // program.
    void serverThatStopsReadingFreezesNothing()
    {
        // A server that never reads: once the kernel buffers fill, every send would block.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        client->Host = QStringLiteral("127.0.0.1");
        client->Port = server.serverPort();
        int sent = 0;
        client->OnSend = [&](TIrcClient *, const QByteArray &) { ++sent; };
        client->Connect();
        const QByteArray text(400, 'x');
        for (int i = 0; i < 50000; ++i) // 20 MB: far more than the kernel buffers hold
            client->Say("#c", text);
        QCOMPARE(sent, 50000 + 2);
        // The event loop still runs, and the close does not wait for the stuck server.
        bool ticked = false;
        QTimer::singleShot(10, this, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        client->Disconnect(true);
        QVERIFY(!client->Connected());
        QTRY_COMPARE_WITH_TIMEOUT(TIrcReadThread::RunningCount(), 0, 5000);
    }

    void silenceSendsPingThenCountsAsLost()
    {
        qint64 now = 0;
        client->SilenceWatch() = TSilenceWatch([&now] { return now; });
        start();
        peer->sendLine(":irc 001 me :welcome");
        sentAfterSync();
        now += 119999;
        client->CheckSilence();
        now += 1;
        client->CheckSilence();
        QCOMPARE(sentNow(), QByteArray("PING :irc\r\n"));
        peer->sendLine(":irc PONG irc :irc"); // an answer starts the count again
        sentAfterSync();
        now += 60000;
        client->CheckSilence();
        QVERIFY(client->Connected());
        now += 120000;
        client->CheckSilence(); // a second PING, never answered
        now += 60000;
        client->CheckSilence();
        QVERIFY(log.has("Disconnected") && !client->Connected());
    }

    // ---- What the client makes of server lines ----

    void messagesPingAndRaw()
    {
        start();
        joinOwn("#chan");
        client->OnRaw = [&](TIrcClient *, TIrcUser *user, const QByteArray &cmd,
                            const QByteArray &content, bool &suppress) {
            log.lines << "Raw " + IrcEventLog::u(user) + ' ' + cmd + " [" + content + "]";
            suppress = content.endsWith("hidden");
        };
        for (const char *line :
             {":nick!user@host PRIVMSG #chan :hello world", ":nick!user@host PRIVMSG me :private",
              ":nick!user@host NOTICE #CHAN :note", ":irc.example NOTICE me :server note",
              ":nick!user@host PRIVMSG #other :hidden", "PING :irc.example"})
            feed(line);
        QCOMPARE(Grep(log.take(), "^(?!Raw <nick> (PRIVMSG|NOTICE))"),
                 (L{"Message <nick> #chan hello world", "Message <nick> nil private",
                    "Notice <nick> #chan note", "Raw <> NOTICE [me :server note]",
                    "Notice <> nil server note", "Raw <> PING [:irc.example]", "PingPong"}));
        QCOMPARE(sentNow(), QByteArray("PONG :irc.example\r\n"));
        // Only the client's own record is left: each line gave its sender's reference back.
        QCOMPARE(users(), 1);
        QCOMPARE(client->Users().Items(0), client->SelfUser());
    }

    void ownJoinPartAndKick()
    {
        start();
        feed(":me!u@h JOIN #Chan");
        QCOMPARE(sentNow(), QByteArray("MODE #Chan \r\n"));
        // An echo in another letter case is somebody else's join (the same record, found
        // case-blind); a second own JOIN replaces the channel record.
        feed(":ME!u@h JOIN #chan");
        QCOMPARE(chan("#chan")->Names().Count(), 1);
        feed(":me!u@h JOIN #chan");
        QCOMPARE(chan("#chan")->Names().Count(), 0);
        QCOMPARE(client->Channels().Count(), 1);
        QCOMPARE(log.take(),
                 (L{"Joined #Chan active=1", "Join <me> #Chan", "Joined #chan active=1"}));
        joinOwn("#b");
        feed(":me!u@h PART #chan :later");
        QCOMPARE(client->Channels().Get("#chan"), nullptr);
        feed(":op!u@h KICK #b me :out");
        QCOMPARE(client->Channels().Count(), 0);
        QCOMPARE(client->Users().Get("op"), nullptr);
        // Leaving a channel we do not track still raises the events, with nil.
        feed(":me!u@h PART #gone");
        QCOMPARE(log.take(),
                 (L{"Parted #chan active=0 leftby=1", "Kicked <op> #b reason=out leftby=2",
                    "Parted nil active=-1 leftby=-1"}));
        joinOwn("#a");
        joinOwn("#b");
        for (const char *line : {":s 353 me = #a :@me +v", ":x!u@h JOIN #a", ":x!u@h JOIN #b",
                                 ":y!u@h JOIN #a", ":z!u@h JOIN #a", ":x!u@h JOIN #untracked",
                                 ":y!u@h PART #a :bye now", ":op!u@h KICK #a z :behave",
                                 ":x!u@h NICK :ex", ":v!u@h NICK vv", ":ex!u@h QUIT :gone"})
            feed(line);
        QCOMPARE(log.take().mid(1),
                 (L{"Join <x> #a", "Join <x> #b", "Join <y> #a", "Join <z> #a", "Join <x> nil",
                    "Part <y> #a reason=bye now", "Kick <op> <z> #a reason=behave",
                    "NickChange <x> ex", "NickChange <v> vv", "Quit <ex> reason=gone"}));
        // A member keeps place and flags across a nick change.
        const TIrcNames &names = chan("#a")->Names();
        QCOMPARE(names.Count(), 2);
        QCOMPARE(names.Nick(1) + ' ' + QByteArray::number(names.Flags(1)),
                 "vv " + QByteArray::number(MemberVoice));
        QCOMPARE(chan("#b")->Names().Count(), 0);
        QCOMPARE(users(), 2);
        // Our own nick change renames our member entry and our record.
        feed(":me!u@h NICK :newme");
        QCOMPARE(log.take(), (L{"NickChanged me -> newme"}));
        QCOMPARE(names.Nick(0) + ' ' + client->SelfUser()->Nick, QByteArray("newme newme"));
        QCOMPARE(client->CurrentNick(), QByteArray("newme"));
    }

    void channelModes()
    {
        start();
        joinOwn("#c");
        feed(":s 353 me = #c :@me a b");
        feed(":late!u@h JOIN #c");
        QList<TIrcChannelUpdateType> updates;
        client->Channels().Get("#c")->OnChannelUpdate =
            [&](TIrcChannel *, TIrcChannelUpdateType type, TIrcUser *, int) { updates << type; };
        log.take();
        // A member who joined after us and said nothing has no record: nil target.
        for (const char *line :
             {":me!u@h MODE #c +o-v a b", ":me!u@h MODE #c +v late",
              ":me!u@h MODE #c +b-b *!*@bad *!*@good", ":me!u@h MODE #elsewhere +o a"})
            feed(line);
        QCOMPARE(log.take(),
                 (L{"ChannelMode <me> #c #c [+o-v a b]", "Op <me> #c <a>", "Devoice <me> #c <b>",
                    "ChannelMode <me> #c #c [+v late]", "Voice <me> #c nil",
                    "ChannelMode <me> #c #c [+b-b *!*@bad *!*@good]", "Ban <me> #c *!*@bad",
                    "Unban <me> #c *!*@good"}));
        QCOMPARE(chan("#c")->Names().Flags(1), MemberOp);
        QCOMPARE(chan("#c")->Names().Flags(3), 0);
        updates.clear();
        // The key setter notifies, then the changed flags are stored and notify once more.
        feed(":me!u@h MODE #c +tk key");
        QCOMPARE(updates, (QList<TIrcChannelUpdateType>{cuMode, cuMode}));
        QByteArrayList modes;
        for (const char *change :
             {"+k-k key", "+kl sesame 25", "-l+b-b+nzm *!*@bad *!*@good", "+psi-m+l x"}) {
            feed(":me!u@h MODE #c " + QByteArray(change));
            modes << chan("#c")->Key() + '/' + chan("#c")->ModeString();
        }
        QCOMPARE(modes, (L{"/+t", "sesame/+tlk 25 sesame", "sesame/+tnmk sesame",
                           "sesame/+psitnlk 0 sesame"}));
        updates.clear();
        feed(":me!u@h MODE #c +t");
        QCOMPARE(updates, QList<TIrcChannelUpdateType>{});
        joinOwn("#d");
        feed(":s 324 me #d +tnl 30");
        QCOMPARE(chan("#d")->ModeString(), QByteArray("+tnl 30"));
        log.take();
        feed(":me!u@h MODE me +iw");
        QCOMPARE(client->UserMode(), TIrcUserModes(umInvisible | umWallops));
        for (const char *line :
             {":me!u@h MODE me -i+x", ":me!u@h MODE me +w", ":me!u@h MODE other +o"})
            feed(line);
        QCOMPARE(log.take(), (L{"UserMode +iw", "UserModeChanged 9", "UserMode -i+x",
                                "UserModeChanged 8", "UserMode +w"}));
        feed(":s 306 me :You are away");
        QVERIFY(client->Away());
        feed(":s 305 me :back");
        QVERIFY(!client->Away());
    }

    void topicsAndNames()
    {
        start();
        joinOwn("#c");
        QList<int> namesUpdates;
        client->Channels().Get("#c")->OnChannelUpdate = [&](TIrcChannel *,
                                                            TIrcChannelUpdateType type, TIrcUser *,
                                                            int) { namesUpdates << type; };
        feed(":s 332 me #c :the topic");
        QCOMPARE(chan("#c")->Topic(), QByteArray("the topic"));
        feed(":s 331 me #c :No topic is set");
        QCOMPARE(chan("#c")->Topic(), QByteArray());
        feed(":a!u@h TOPIC #c :new topic");
        feed(":a!u@h TOPIC #other :ignored");
        QCOMPARE(chan("#c")->Topic(), QByteArray("new topic"));
        namesUpdates.clear();
        for (const char *line : {":s 353 me = #c :@op +voice plain ", ":s 353 me = #c :@me more",
                                 ":s 353 me = #nope :x y", ":s 366 me #c :End of NAMES list",
                                 ":s 366 me #nope :End of NAMES list"})
            feed(line);
        QCOMPARE(Grep(log.take(), "^(?!System)"),
                 (L{"Topic <> #c #c the topic", "NoTopic #c No topic is set",
                    "Topic <a> #c #c new topic", "Names #c", "Names nil"}));
        QCOMPARE(namesUpdates, (QList<int>{cuNames, cuNames}));
        const TIrcNames &names = chan("#c")->Names();
        QByteArrayList listed;
        for (int i = 0; i < names.Count(); ++i)
            listed << QByteArray::number(names.Flags(i)) + names.Nick(i);
        QCOMPARE(listed,
                 (L{QByteArray::number(MemberOp) + "op", QByteArray::number(MemberVoice) + "voice",
                    "0plain", QByteArray::number(MemberOp) + "me", "0more"}));
        // Listed members keep a record; the client's own gained a reference.
        QCOMPARE(users(), 5);
        QCOMPARE(client->SelfUser()->Count, 2);
        feed(":s 322 me #a 1 :t"); // no handler: nothing kept
        QCOMPARE(client->ListBuffer().size(), 0);
        QByteArrayList calls;
        client->OnList = [&](TIrcClient *, const QList<QByteArray> &chans, int position,
                             bool last) {
            calls << QByteArray::number(chans.size()) + '/' + QByteArray::number(position) +
                         (last ? "/last" : "/more");
        };
        feed(":s 321 me Channel :Users  Name");
        for (int i = 1; i <= 45; ++i)
            feed(":s 322 me #c" + QByteArray::number(i) + " " + QByteArray::number(i) + " :topic " +
                 QByteArray::number(i));
        QCOMPARE(client->ListBuffer().at(2), QByteArray("#c3 3 topic 3"));
        feed(":s 323 me :End of LIST");
        QCOMPARE(calls, (L{"0/0/more", "40/0/more", "45/39/last"}));
        QCOMPARE(client->ListBuffer().size() + client->ListPosition(), 0);
    }

    // One line each: the event it raises, with nothing sent in answer and no record left.
    void serverLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const char *line, const char *expected) {
            QTest::newRow(line) << QByteArray(line).replace('^', '\x01') << QByteArray(expected);
        };
        row(":s 251 me :There are 3 users", "System <> 251 LUSER [There are 3 users ]");
        row(":s 375 me :- s Message of the day -", "System <> 375 MOTD [- s Message of the day -]");
        row(":s 001 me :Welcome", "System <> 1 WELCOME [me :Welcome]");
        row(":s 311 me nick user host * :Real Name",
            "System <> 311 WHOIS [nick is user@host * Real Name]");
        row(":s 312 me nick irc.s :Info text",
            "System <> 312 WHOIS [nick is using irc.s Info text]");
        row(":s 317 me nick 42 1700000000 :seconds idle",
            "System <> 317 WHOIS [nick has been idle 42 seconds, signed on at 1700000000]");
        row(":s 319 me nick :@#a +#b", "System <> 319 WHOIS [nick is on @#a +#b]");
        row(":s 342 me nick :Summoning", "System <> 342 SUMMON [nick has been summoned]");
        row(":s 352 me #c user host irc.s nick H@ :0 Real Name",
            "System <> 352 WHO [#c nick H@ user@host irc.s :Real Name]");
        row(":irc.s 391 me IRC.S :Sunday 12:00", "System <> 391 TIME [irc.s :Sunday 12:00]");
        row(":s 301 me nick :gone fishing", "Away <> reason=gone fishing");
        row(":s 341 me nick #c", "Inviting nick #c");
        row(":s 364 me * irc.s :0 Server info here", "Links irc.s * 0 Server info here");
        row(":s 401 me nobody :No such nick", "Error <> 401 me nobody :No such nick");
        row(":s 324 me #c +tnl 30", "ChannelMode nil #c #c [+tnl 30]");
        row(":s 324 me #nope +t", "ChannelMode nil nil #nope [+t]");
        row(":s 332 me #other :elsewhere", "Topic <> nil #other elsewhere");
        row(":s 005 me CHANTYPES=# :are supported",
            "System <> 5 WELCOME [me CHANTYPES=# :are supported]");
        row(":s 1000 me :x", "Unknown <> 1000 [me :x]");
        row(":a!b@c privmsg #x :hi", "Unknown <a> privmsg [#x :hi]"); // command words are exact
        row(":a!u@h INVITE me :#c", "Invite <a> #c");
        row(":a!u@h KILL me :bad boy", "Kill <a> me bad boy");
        row(":a!u@h WALLOPS :hear ye", "Wallops <a> hear ye");
        row(":a!u@h PRIVMSG #c :^ACTION waves^", "Action <a> #c waves");
        row(":a!u@h PRIVMSG me :^SOUND ding.wav^", "CTCPQuery <a> nil SOUND [ding.wav]");
        row(":a!u@h PRIVMSG me :^version^", "CTCPQuery <a> nil version []");
        row(":a!u@h PRIVMSG me :^", "CTCPQuery <a> nil  []");
        row(":a!u@h NOTICE me :^VERSION Some client 1.0^",
            "CTCPReply <a> nil VERSION [Some client 1.0]");
        row(":a!u@h NOTICE #c :^PING 12345^", "CTCPReply <a> #c PING [12345]");
        row(":a!u@h PRIVMSG me :^DCC SEND file.txt 3232235777 5000 1024^",
            "DCCSend|a|3232235777|5000|file.txt|1024");
        row(":a!u@h PRIVMSG me :^DCC CHAT chat 3232235777 5001^", "DCCChat|a|3232235777|5001");
        row(":a!u@h PRIVMSG me :^DCC RESUME file.txt 5000 512^", "DCCResume|a|5000|file.txt|512");
        row(":a!u@h PRIVMSG me :^DCC ACCEPT file.txt 5000 512^", "DCCAccept|a|5000|file.txt|512");
        row(":a!u@h PRIVMSG me :^DCC SEND file.txt 3232235777^", "DCCSend|a|3232235777||file.txt|");
        row(":a!u@h PRIVMSG me :^DCC SEND  a  b^", "DCCSend|a|a|||b");
        row(":a!u@h PRIVMSG me :^DCC CHAT^", "DCCChat|a||");
        row(":a!u@h PRIVMSG me :^DCC RESUME^", "DCCResume|a|||");
        row(":a!u@h PRIVMSG me :^DCC GET file.txt^", "");
        row(":a!u@h PRIVMSG me :^DCC^", "");
    }
    void serverLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, expected);
        start();
        joinOwn("#c");
        feed(line);
        QCOMPARE(log.take(), expected.isEmpty() ? L{} : L{expected});
        QCOMPARE(sentNow(), QByteArray());
        QCOMPARE(users(), 1);
    }

    // A failing handler: the line's reference goes back; through the receive path the error
    // is reported and the following lines are read as usual. A receive handler may rewrite.
    void handlerErrorsAndRewrites()
    {
        start();
        joinOwn("#c");
        client->OnParted = [](TIrcClient *, TIrcChannel *) { throw std::runtime_error("x"); };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, feed(":me!u@h PART #c"));
        QCOMPARE(client->Channels().Count(), 0);
        client->OnMessage = [&](TIrcClient *, TIrcUser *, TIrcChannel *, const QByteArray &text) {
            if (text == "boom")
                throw std::runtime_error("handler failed");
            log.lines << "Message " + text;
        };
        client->OnReceive = [](TIrcClient *, QByteArray &line) {
            if (line.endsWith("xyz"))
                line.replace(line.size() - 3, 3, "abc");
        };
        peer->sendLine(":a!u@h PRIVMSG me :boom");
        peer->sendLine(":b!u@h PRIVMSG me :xyz");
        peer->sendLine("");
        sentAfterSync();
        QCOMPARE(log.take(), (L{"ReadError handler failed", "Message abc", "PingPong"}));
        QCOMPARE(users(), 1);
    }
};

QTEST_GUILESS_MAIN(TestIrcClient)
#include "test_irc_client.moc"
