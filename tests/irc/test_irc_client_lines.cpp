// What the client writes, byte for byte, through a real loopback connection: registration,
// every command, the answers to PING and CTCP queries, the nick fallback, and what happens
// when nothing is connected.
#include "scripted_peer.h"

#include "irc/irc_client.h"
#include "irc/irc_error.h"
#include "irc/socket_error.h"

#include <QTest>

#include <memory>
#include <stdexcept>

class TestIrcClientLines : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedPeer> peer;
    std::unique_ptr<TIrcClient> client;

    // Connects to a fresh peer and waits for the USER line.
    void connectClient()
    {
        peer = std::make_unique<ScriptedPeer>();
        client->Host = QStringLiteral("127.0.0.1");
        client->Port = peer->port();
        client->Connect();
        QVERIFY(peer->waitForReceivedContains("USER "));
        QVERIFY(peer->waitForReceivedContains("\r\n", 2000));
    }

    // Waits until the received bytes end with expected, then checks that they are exactly it.
    void expectSent(const QByteArray &expected)
    {
        QVERIFY2(peer->waitForReceivedContains(expected, 3000), peer->received().constData());
        QCOMPARE(peer->received(), expected);
        peer->clearReceived();
    }

    // Sends a PING through the server side and waits for its PONG: every line before it has
    // then been dispatched.
    void sync()
    {
        peer->sendLine("PING :sync");
        QVERIFY(peer->waitForReceivedContains("PONG :sync\r\n"));
    }

private slots:
    void init()
    {
        client = std::make_unique<TIrcClient>();
        client->SetNick("me");
        client->AltNick = "me2";
        client->Username = "user";
        client->RealName = "Real Name";
    }

    void cleanup()
    {
        client.reset();
        peer.reset();
    }

    void registrationWithoutPassword()
    {
        QList<QByteArray> sent;
        QList<TIrcClientState> states;
        client->OnSend = [&](TIrcClient *, const QByteArray &line) { sent << line; };
        client->OnStateChange = [&](TIrcClient *c) { states << c->State(); };
        client->OnConnect = [&](TIrcClient *c) {
            sent << "connect";
            QCOMPARE(c->State(), stRegistering);
        };
        connectClient();
        const QByteArray local = TIrcClient::LocalAddress();
        QCOMPARE(peer->received(),
                 "NICK me\r\nUSER user " + local + ' ' + local + " :Real Name\r\n");
        QCOMPARE(sent, (QList<QByteArray>{"connect", "NICK me",
                                          "USER user " + local + ' ' + local + " :Real Name"}));
        QCOMPARE(states, (QList<TIrcClientState>{stConnecting, stRegistering}));
        QCOMPARE(client->CurrentNick(), QByteArray("me"));
        QCOMPARE(client->Users().Count(), 1);
        QCOMPARE(client->SelfUser()->Nick, QByteArray("me"));
    }

    void registrationWithPasswordAndBoundAddress()
    {
        client->Password = "secret";
        client->BoundIP = QStringLiteral("127.0.0.1");
        connectClient();
        QCOMPARE(
            peer->received(),
            QByteArray("PASS secret\r\nNICK me\r\nUSER user 127.0.0.1 127.0.0.1 :Real Name\r\n"));
    }

    void laterConnectNamesTheServer()
    {
        client->BoundIP = QStringLiteral("127.0.0.1");
        connectClient();
        peer->sendLine(":irc.example 001 me :Welcome");
        sync();
        QCOMPARE(client->State(), stConnected);
        // Connecting again closes the live connection first.
        int disconnects = 0;
        client->OnDisconnect = [&](TIrcClient *) { ++disconnects; };
        std::unique_ptr<ScriptedPeer> old = std::move(peer);
        connectClient();
        QCOMPARE(disconnects, 1);
        QVERIFY(old->waitForClientClosed());
        QCOMPARE(peer->received(),
                 QByteArray("NICK me\r\nUSER user 127.0.0.1 irc.example :Real Name\r\n"));
    }

    void commandLines()
    {
        connectClient();
        peer->clearReceived();
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
        expectSent("PRIVMSG #c :hello\r\n"
                   "NOTICE nick :note\r\n"
                   "NOTICE nick :\x01VERSION v1\x01\r\n"
                   "NOTICE nick :\x01PING \x01\r\n"
                   "JOIN #c\r\n"
                   "JOIN #k key\r\n"
                   "PART #c\r\n"
                   "PART #c :bye\r\n"
                   "KICK #c bad :\r\n"
                   "KICK #c bad :go away\r\n"
                   "QUIT :\r\n"
                   "MODE #c \r\n"
                   "MODE #c +o nick\r\n"
                   "TOPIC #c :\r\n"
                   "TOPIC #c :new topic\r\n"
                   "WHOIS nick\r\n");
    }

    void channelRecordCommands()
    {
        connectClient();
        peer->sendLine(":me!u@h JOIN #c");
        QVERIFY(peer->waitForReceivedContains("MODE #c \r\n"));
        peer->clearReceived();
        TIrcChannel *channel = client->Channels().Get("#c");
        QVERIFY(channel);
        channel->Kick("bad", "reason");
        channel->Op("friend");
        channel->Deop("friend");
        expectSent("KICK #c bad :reason\r\nMODE #c +o friend\r\nMODE #c -o friend\r\n");
    }

    void nickWhileConnectedWaitsForTheEcho()
    {
        connectClient();
        peer->clearReceived();
        client->SetNick("other");
        expectSent("NICK other\r\n");
        QCOMPARE(client->Nick(), QByteArray("me"));
        QCOMPARE(client->CurrentNick(), QByteArray("me"));
        peer->sendLine(":me!u@h NICK :other");
        sync();
        QCOMPARE(client->Nick(), QByteArray("other"));
        client->Disconnect(true);
        QCOMPARE(client->Nick(), QByteArray("me")); // the stored setting never changed
    }

    void lineBreaksNeverReachTheWire()
    {
        connectClient();
        peer->clearReceived();
        QList<QByteArray> sent;
        client->OnSend = [&](TIrcClient *, const QByteArray &line) { sent << line; };
        client->Say("#c", "first\r\nQUIT :injected\n\nthird\r");
        client->Notice("nick", QByteArray("a\0JOIN #evil", 12));
        client->Raw("JOIN #a\r\nQUIT :x");
        client->Raw(QByteArray("PRIVMSG #a :x\0y", 15));
        client->Join("#a\r\nQUIT");
        client->Say("#c", "");
        expectSent("PRIVMSG #c :first\r\n"
                   "PRIVMSG #c :QUIT :injected\r\n"
                   "PRIVMSG #c :third\r\n"
                   "NOTICE nick :a\r\n"
                   "NOTICE nick :JOIN #evil\r\n"
                   "JOIN #a\r\n"
                   "PRIVMSG #a :x\r\n"
                   "JOIN #a\r\n"
                   "PRIVMSG #c :\r\n");
        QCOMPARE(sent.size(), 9);
        QCOMPARE(sent.at(0), QByteArray("PRIVMSG #c :first"));
    }

    void sendingWhileDisconnected()
    {
        QList<QByteArray> errors;
        client->OnError = [&](TIrcClient *, TIrcUser *user, const QByteArray &numeric,
                              const QByteArray &text) {
            QCOMPARE(user, nullptr);
            errors << numeric + '|' + text;
        };
        int sends = 0;
        client->OnSend = [&](TIrcClient *, const QByteArray &) { ++sends; };
        client->Say("#c", "hello");
        client->Quit("bye");
        QCOMPARE(errors,
                 (QList<QByteArray>{"|Not connected to server.", "|Not connected to server."}));
        QCOMPARE(sends, 0);
        // Not connected: the nick is stored, not sent.
        client->SetNick("stored");
        QCOMPARE(client->Nick(), QByteArray("stored"));
        QCOMPARE(errors.size(), 2);
    }

    void disconnectSequence()
    {
        connectClient();
        peer->sendLine(":s 001 me :Welcome");
        sync();
        QList<QByteArray> events;
        client->OnStateChange = [&](TIrcClient *c) {
            events << "state " + QByteArray::number(int(c->State()));
        };
        client->OnDisconnect = [&](TIrcClient *) { events << "disconnect"; };
        client->OnDisconnected = [&](TTcpConnection *) { events << "disconnected"; };
        client->Disconnect(false);
        QCOMPARE(events, (QList<QByteArray>{"state 0", "disconnect", "disconnected", "state 1",
                                            "disconnected"}));
        QVERIFY(peer->waitForClientClosed());
        QCOMPARE(client->Users().Count(), 0); // the client's own record went back
        events.clear();
        client->Disconnect(false); // not registered: nothing happens
        QCOMPARE(events, QList<QByteArray>{});
    }

    void failedConnectLeavesConnecting()
    {
        quint16 closedPort;
        {
            ScriptedPeer probe;
            closedPort = probe.port();
        }
        client->Host = QStringLiteral("127.0.0.1");
        client->Port = closedPort;
        QVERIFY_THROWS_EXCEPTION(ESocketError, client->Connect());
        QCOMPARE(client->State(), stConnecting);
    }

    void socketErrorsWhileRegisteringBecomeComponentErrors()
    {
        peer = std::make_unique<ScriptedPeer>();
        client->Host = QStringLiteral("127.0.0.1");
        client->Port = peer->port();
        client->OnConnect = [](TIrcClient *) { RaiseSocketError(10054); };
        try {
            client->Connect();
            QFAIL("no error");
        } catch (const EComponentError &error) {
            QCOMPARE(error.message(), QStringLiteral("IRC Connect Failed"));
        }
        QCOMPARE(client->State(), stRegistering);
        // Other errors pass unchanged.
        client->OnConnect = [](TIrcClient *) { throw std::logic_error("handler"); };
        peer = std::make_unique<ScriptedPeer>();
        client->Port = peer->port();
        QVERIFY_THROWS_EXCEPTION(std::logic_error, client->Connect());
    }

    void nickFallbackWithoutHandler()
    {
        client->SetNick("a");
        client->AltNick = "b";
        connectClient();
        peer->clearReceived();
        QList<QByteArray> errors;
        client->OnError = [&](TIrcClient *, TIrcUser *, const QByteArray &n, const QByteArray &) {
            errors << n;
        };
        peer->sendLine(":s 433 * a :Nickname already in use");
        QVERIFY(peer->waitForReceivedContains("NICK b\r\n"));
        QCOMPARE(client->CurrentNick(), QByteArray("b"));
        peer->sendLine(":s 433 * b :Nickname already in use");
        QVERIFY(peer->waitForClientClosed());
        QCOMPARE(client->State(), stDisconnected);
        QCOMPARE(errors, (QList<QByteArray>{"433", "433"}));
        QCOMPARE(peer->received(), QByteArray("NICK b\r\n"));
    }

    void nickFallbackAsksTheHandler()
    {
        client->SetNick("a");
        client->AltNick = "b";
        connectClient();
        peer->clearReceived();
        int asked = 0;
        client->OnNicksInUse = [&](TIrcClient *, QByteArray &nick) {
            ++asked;
            QCOMPARE(nick, QByteArray("b"));
            if (asked == 3)
                nick = "c";
        };
        peer->sendLine(":s 433 * a :in use");
        peer->sendLine(":s 432 * b :erroneous");
        peer->sendLine(":s 433 * b :in use");
        peer->sendLine(":s 431 * :no nick");
        peer->sendLine(":s 433 * c :in use"); // c is neither nick: it stays and is tried again
        sync();
        QCOMPARE(asked, 3);
        QCOMPARE(peer->received(), QByteArray("NICK b\r\nNICK b\r\nNICK b\r\nNICK c\r\nNICK c\r\n"
                                              "PONG :sync\r\n"));
        peer->clearReceived();
        // Once registered, the replies are only errors.
        peer->sendLine(":s 001 c :Welcome");
        peer->sendLine(":s 433 c x :in use");
        sync();
        QCOMPARE(peer->received(), QByteArray("PONG :sync\r\n"));
        QCOMPARE(asked, 3);
    }

    void ctcpAnswers()
    {
        client->Replies.Finger = "myfinger";
        client->Replies.Version = "Talvin client http://talvin.example 1.5.6";
        client->Replies.UserInfo = "user info";
        client->Replies.ClientInfo = "Talvin by us";
        connectClient();
        peer->clearReceived();
        peer->sendLine(":a!u@h PRIVMSG #c :\x01VERSION\x01");
        peer->sendLine(":a!u@h PRIVMSG me :\x01PING 12345\x01");
        peer->sendLine(":a!u@h PRIVMSG me :\x01"
                       "FINGER\x01");
        peer->sendLine(":a!u@h PRIVMSG me :\x01USERINFO\x01");
        peer->sendLine(":a!u@h PRIVMSG me :\x01"
                       "CLIENTINFO\x01");
        sync();
        QCOMPARE(
            peer->received(),
            QByteArray("NOTICE a :\x01VERSION Talvin client http://talvin.example 1.5.6\x01\r\n"
                       "NOTICE a :\x01PING 12345\x01\r\n"
                       "NOTICE a :\x01"
                       "FINGER myfinger\x01\r\n"
                       "NOTICE a :\x01USERINFO user info\x01\r\n"
                       "NOTICE a :\x01"
                       "CLIENTINFO Talvin by us\x01\r\n"
                       "PONG :sync\r\n"));
        peer->clearReceived();
        client->CtcpAnswerLimiter().Reset();
        peer->sendLine(":b!u@h PRIVMSG me :\x01TIME\x01");
        sync();
        const QByteArray got = peer->received();
        QVERIFY2(got.startsWith("NOTICE b :\x01TIME Local time is "), got.constData());
        QVERIFY(got.contains("\x01\r\nPONG :sync\r\n"));
        QCOMPARE(got.count("\r\n"), 2);
    }

    void ctcpAnswerCanBeSuppressed()
    {
        connectClient();
        peer->clearReceived();
        QList<QByteArray> queries;
        client->OnCTCPQuery = [&](TIrcClient *, TIrcUser *user, TIrcChannel *,
                                  const QByteArray &word, const QByteArray &, bool &suppress) {
            queries << user->Nick + ' ' + word;
            suppress = word == "VERSION";
        };
        peer->sendLine(":a!u@h PRIVMSG me :\x01VERSION\x01");
        peer->sendLine(":a!u@h PRIVMSG me :\x01version\x01");
        peer->sendLine(":a!u@h PRIVMSG me :\x01PING 1");
        sync();
        QCOMPARE(queries, (QList<QByteArray>{"a VERSION", "a version", "a PING"}));
        // The missing closing byte costs the last character all the same.
        QCOMPARE(peer->received(), QByteArray("NOTICE a :\x01PING \x01\r\nPONG :sync\r\n"));
    }

    void ctcpAnswersAreRateLimited()
    {
        connectClient();
        peer->clearReceived();
        qint64 now = 1000000;
        client->CtcpAnswerLimiter().Clock = [&] { return now; };
        int queries = 0;
        client->OnCTCPQuery = [&](TIrcClient *, TIrcUser *, TIrcChannel *, const QByteArray &,
                                  const QByteArray &, bool &) { ++queries; };
        for (int i = 0; i < 8; ++i)
            peer->sendLine(":flood" + QByteArray::number(i) + "!u@h PRIVMSG me :\x01PING " +
                           QByteArray::number(i) + "\x01");
        sync();
        QCOMPARE(queries, 8);
        QCOMPARE(peer->received().count("NOTICE "), 5);
        QVERIFY(peer->received().contains("NOTICE flood4 :\x01PING 4\x01\r\n"));
        QVERIFY(!peer->received().contains("flood5"));
        peer->clearReceived();
        // The window slides: 29.999 s after the first answer still nothing, at 30 s one more.
        now += 29999;
        peer->sendLine(":x!u@h PRIVMSG me :\x01VERSION\x01");
        sync();
        QCOMPARE(peer->received(), QByteArray("PONG :sync\r\n"));
        peer->clearReceived();
        now += 1;
        peer->sendLine(":y!u@h PRIVMSG me :\x01PING again\x01");
        sync();
        QCOMPARE(peer->received(), QByteArray("NOTICE y :\x01PING again\x01\r\nPONG :sync\r\n"));
        QCOMPARE(queries, 10);
    }
};

QTEST_GUILESS_MAIN(TestIrcClientLines)
#include "test_irc_client_lines.moc"
