// Server lines through the dispatcher: events with their arguments, registry upkeep, the
// numeric replies with their labels and texts, and the lines the client sends in answer.
// The client is connected to an in-process peer; lines are fed straight to Dispatch (or,
// where the receive path matters, sent by the peer).
#include "irc_event_log.h"
#include "scripted_peer.h"

#include "irc/tcp_connection.h"

#include <QRandomGenerator>
#include <QTest>

#include <memory>
#include <stdexcept>

using L = QByteArrayList;

class TestIrcDispatch : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedPeer> peer;
    std::unique_ptr<TIrcClient> client;
    IrcEventLog log;

    void feed(const QByteArray &line) { client->Dispatch(line); }
    // Users referenced by something other than a names reply or the client itself.
    int users() const { return client->Users().Count(); }
    const TIrcChannel *chan(const char *name) const { return client->Channels().Get(name); }

    void joinOwn(const QByteArray &channel)
    {
        feed(":me!u@h JOIN " + channel);
        QVERIFY(peer->waitForReceivedContains("MODE " + channel + " \r\n"));
        peer->clearReceived();
    }

private slots:
    void init()
    {
        peer = std::make_unique<ScriptedPeer>();
        client = std::make_unique<TIrcClient>();
        client->Host = QStringLiteral("127.0.0.1");
        client->Port = peer->port();
        client->SetNick("me");
        client->AltNick = "me2";
        client->Connect();
        QVERIFY(peer->waitForReceivedContains("USER "));
        peer->clearReceived();
        log.lines.clear();
        log.bind(*client);
    }

    void cleanup()
    {
        client.reset();
        peer.reset();
    }

    void messagesAndNotices()
    {
        joinOwn("#chan");
        log.take();
        feed(":nick!user@host PRIVMSG #chan :hello world");
        feed(":nick!user@host PRIVMSG me :private");
        feed(":nick!user@host NOTICE #CHAN :note");
        feed(":irc.example NOTICE me :server note");
        feed(":nick!user@host PRIVMSG #other :untracked");
        QCOMPARE(log.take(), (L{"Message <nick> #chan hello world", "Message <nick> nil private",
                                "Notice <nick> #chan note", "Notice <> nil server note",
                                "Message <nick> nil untracked"}));
        // Only the client's own record is left: each line gave its sender's reference back.
        QCOMPARE(users(), 1);
        QCOMPARE(client->Users().Items(0), client->SelfUser());
    }

    void pingIsAnswered()
    {
        client->OnRaw = [&](TIrcClient *, TIrcUser *user, const QByteArray &cmd,
                            const QByteArray &content, bool &) {
            log.add("Raw " + IrcEventLog::u(user) + ' ' + cmd + " [" + content + "]");
        };
        feed("PING :irc.example");
        QVERIFY(peer->waitForReceivedContains("PONG :irc.example\r\n"));
        QCOMPARE(peer->received(), QByteArray("PONG :irc.example\r\n"));
        QCOMPARE(log.take(), (L{"Raw <> PING [:irc.example]", "PingPong"}));
    }

    void rawCanSuppressALine()
    {
        client->OnRaw = [](TIrcClient *, TIrcUser *, const QByteArray &cmd, const QByteArray &,
                           bool &suppress) { suppress = cmd == "PRIVMSG"; };
        feed(":a!b@c PRIVMSG #x :hidden");
        feed(":a!b@c NOTICE #x :shown");
        QCOMPARE(log.take(), (L{"Notice <a> nil shown"}));
        QCOMPARE(users(), 1);
    }

    void welcomeRegisters()
    {
        int stateChanges = 0;
        client->OnStateChange = [&](TIrcClient *) { ++stateChanges; };
        QCOMPARE(client->State(), stRegistering);
        feed(":server 001 me :Welcome");
        QCOMPARE(client->ServerName(), QByteArray("server"));
        QCOMPARE(client->State(), stConnected);
        feed(":server 002 me :Your host");
        QCOMPARE(stateChanges, 1);
        QCOMPARE(log.take(),
                 (L{"System <> 1 WELCOME [me :Welcome]", "System <> 2 WELCOME [me :Your host]"}));
    }

    void motdStartRegistersToo()
    {
        feed(":server 375 me :- server Message of the day -");
        QCOMPARE(client->State(), stConnected);
        QCOMPARE(client->ServerName(), QByteArray()); // only the welcome names the server
    }

    void commandWordsAreExact()
    {
        feed(":a!b@c privmsg #x :hi");
        feed(":a!b@c FOO bar :baz");
        QCOMPARE(log.take(), (L{"Unknown <a> privmsg [#x :hi]", "Unknown <a> FOO [bar :baz]"}));
    }

    void ownJoinCreatesTheChannelAndQueriesModes()
    {
        feed(":me!u@h JOIN #Chan");
        QVERIFY(peer->waitForReceivedContains("MODE #Chan \r\n"));
        QCOMPARE(peer->received(), QByteArray("MODE #Chan \r\n"));
        QCOMPARE(log.take(), (L{"Joined #Chan active=1"}));
        QCOMPARE(client->Channels().Count(), 1);
        // An echo in another letter case is somebody else's join.
        feed(":ME!u@h JOIN #chan");
        QCOMPARE(log.take(), (L{"Join <me> #Chan"})); // the same record, found case-blind
        QCOMPARE(chan("#chan")->Names().Count(), 1);
        // A second own JOIN replaces the record.
        feed(":me!u@h JOIN #chan");
        QCOMPARE(log.take(), (L{"Joined #chan active=1"}));
        QCOMPARE(client->Channels().Count(), 1);
        QCOMPARE(chan("#chan")->Names().Count(), 0);
        QCOMPARE(chan("#chan")->Name(), QByteArray("#chan"));
    }

    void othersJoinPartKickQuitAndNick()
    {
        joinOwn("#a");
        joinOwn("#b");
        log.take();
        feed(":x!u@h JOIN #a");
        feed(":x!u@h JOIN #b");
        feed(":y!u@h JOIN #a");
        feed(":z!u@h JOIN #a");
        feed(":x!u@h JOIN #untracked");
        QCOMPARE(chan("#a")->Names().Count(), 3);
        feed(":y!u@h PART #a :bye now");
        feed(":op!u@h KICK #a z :behave");
        feed(":x!u@h NICK :ex");
        feed(":ex!u@h QUIT :gone");
        QCOMPARE(log.take(),
                 (L{"Join <x> #a", "Join <x> #b", "Join <y> #a", "Join <z> #a", "Join <x> nil",
                    "Part <y> #a reason=bye now", "Kick <op> <z> #a reason=behave",
                    "NickChange <x> ex", "Quit <ex> reason=gone"}));
        QCOMPARE(chan("#a")->Names().Count(), 0);
        QCOMPARE(chan("#b")->Names().Count(), 0);
        QCOMPARE(users(), 1);
    }

    void memberNickChangeKeepsPlaceAndFlags()
    {
        joinOwn("#a");
        feed(":s 353 me = #a :@me +v plain");
        feed(":v!u@h NICK vv");
        const TIrcNames &names = chan("#a")->Names();
        QCOMPARE(names.Nick(1), QByteArray("vv"));
        QCOMPARE(names.Flags(1), MemberVoice);
        QVERIFY(client->Users().Get("vv"));
        QVERIFY(!client->Users().Get("v"));
    }

    void ownNickChange()
    {
        joinOwn("#a");
        feed(":s 353 me = #a :me other");
        log.take();
        feed(":me!u@h NICK :newme");
        QCOMPARE(client->CurrentNick(), QByteArray("newme"));
        QCOMPARE(log.take(), (L{"NickChanged me -> newme"}));
        QCOMPARE(chan("#a")->Names().Nick(0), QByteArray("newme"));
        QCOMPARE(client->SelfUser()->Nick, QByteArray("newme"));
        feed(":newme!u@h PART #a");
        QCOMPARE(log.take(), (L{"Parted #a active=0 leftby=1"}));
    }

    void ownPartAndKickFreeTheRecord()
    {
        joinOwn("#a");
        joinOwn("#b");
        log.take();
        feed(":me!u@h PART #a :later");
        QCOMPARE(log.take(), (L{"Parted #a active=0 leftby=1"}));
        QCOMPARE(client->Channels().Get("#a"), nullptr);
        feed(":op!u@h KICK #b me :out");
        QCOMPARE(log.take(), (L{"Kicked <op> #b leftby=2"}));
        QCOMPARE(client->Channels().Count(), 0);
        QCOMPARE(client->Users().Get("op"), nullptr);
        // Leaving a channel we do not track still raises the events, with nil.
        feed(":me!u@h PART #gone");
        QCOMPARE(log.take(), (L{"Parted nil active=-1 leftby=-1"}));
    }

    void channelModes()
    {
        joinOwn("#c");
        feed(":s 353 me = #c :@me a b");
        feed(":late!u@h JOIN #c");
        log.take();
        feed(":me!u@h MODE #c +o-v a b");
        QCOMPARE(log.take(),
                 (L{"ChannelMode <me> #c #c [+o-v a b]", "Op <me> #c <a>", "Devoice <me> #c <b>"}));
        QCOMPARE(chan("#c")->Names().Flags(1), MemberOp);
        // A member who joined after us and said nothing has no record: nil target, flags kept.
        feed(":me!u@h MODE #c +v late");
        QCOMPARE(log.take(), (L{"ChannelMode <me> #c #c [+v late]", "Voice <me> #c nil"}));
        QCOMPARE(chan("#c")->Names().Flags(3), 0);

        feed(":me!u@h MODE #c +k-k key");
        QCOMPARE(chan("#c")->Key(), QByteArray());
        QCOMPARE(chan("#c")->Mode() & cfKey, 0);
        feed(":me!u@h MODE #c +kl sesame 25");
        QCOMPARE(chan("#c")->Key(), QByteArray("sesame"));
        QCOMPARE(chan("#c")->Limit(), 25);
        QCOMPARE(chan("#c")->ModeString(), QByteArray("+lk 25 sesame"));
        feed(":me!u@h MODE #c -l+b-b+tnzm *!*@bad *!*@good");
        QCOMPARE(chan("#c")->Limit(), 0);
        QCOMPARE(chan("#c")->ModeString(), QByteArray("+tnmk sesame"));
        feed(":me!u@h MODE #c +psi-m+l x");
        QCOMPARE(chan("#c")->ModeString(), QByteArray("+psitnlk 0 sesame"));
        log.take();
        feed(":me!u@h MODE #c +b-b *!*@bad *!*@good");
        QCOMPARE(log.take(), (L{"ChannelMode <me> #c #c [+b-b *!*@bad *!*@good]",
                                "Ban <me> #c *!*@bad", "Unban <me> #c *!*@good"}));
        feed(":me!u@h MODE #elsewhere +o a");
        QCOMPARE(log.take(), L{});
    }

    void channelModeUpdates()
    {
        joinOwn("#c");
        QList<TIrcChannelUpdateType> updates;
        client->Channels().Get("#c")->OnChannelUpdate = [&](TIrcChannel *,
                                                            TIrcChannelUpdateType type, TIrcUser *,
                                                            int) { updates.append(type); };
        feed(":me!u@h MODE #c +tk key");
        // The key setter notifies, then the changed flags are stored and notify once more.
        QCOMPARE(updates, (QList<TIrcChannelUpdateType>{cuMode, cuMode}));
        updates.clear();
        feed(":me!u@h MODE #c +t");
        QCOMPARE(updates, QList<TIrcChannelUpdateType>{});
    }

    void modeReply324()
    {
        joinOwn("#c");
        log.take();
        feed(":s 324 me #c +tnl 30");
        QCOMPARE(log.take(), (L{"ChannelMode nil #c #c [+tnl 30]"}));
        QCOMPARE(chan("#c")->ModeString(), QByteArray("+tnl 30"));
        feed(":s 324 me #nope +t");
        QCOMPARE(log.take(), (L{"ChannelMode nil nil #nope [+t]"}));
    }

    void userModes()
    {
        feed(":me!u@h MODE me +iw");
        QCOMPARE(client->UserMode(), TIrcUserModes(umInvisible | umWallops));
        feed(":me!u@h MODE me -i+x");
        feed(":me!u@h MODE me +w");
        feed(":me!u@h MODE other +o");
        QCOMPARE(log.take(), (L{"UserMode +iw", "UserModeChanged 9", "UserMode -i+x",
                                "UserModeChanged 8", "UserMode +w"}));
    }

    void topics()
    {
        joinOwn("#c");
        log.take();
        feed(":s 332 me #c :the topic");
        QCOMPARE(chan("#c")->Topic(), QByteArray("the topic"));
        feed(":s 332 me #other :elsewhere");
        feed(":s 331 me #c :No topic is set");
        QCOMPARE(chan("#c")->Topic(), QByteArray());
        feed(":s 331 me #other :No topic is set");
        feed(":a!u@h TOPIC #c :new topic");
        feed(":a!u@h TOPIC #other :ignored");
        QCOMPARE(chan("#c")->Topic(), QByteArray("new topic"));
        QCOMPARE(log.take(), (L{"Topic <> #c #c the topic", "Topic <> nil #other elsewhere",
                                "NoTopic #c No topic is set", "Topic <a> #c #c new topic"}));
    }

    void namesReplies()
    {
        joinOwn("#c");
        QList<int> namesUpdates;
        client->Channels().Get("#c")->OnChannelUpdate = [&](TIrcChannel *,
                                                            TIrcChannelUpdateType type, TIrcUser *,
                                                            int) { namesUpdates.append(type); };
        log.take();
        feed(":s 353 me = #c :@op +voice plain ");
        feed(":s 353 me = #c :@me more");
        feed(":s 353 me = #nope :x y");
        feed(":s 366 me #c :End of NAMES list");
        feed(":s 366 me #nope :End of NAMES list");
        QCOMPARE(log.take(),
                 (L{"System <> 353 NAMES [#c :@op +voice plain ]",
                    "System <> 353 NAMES [#c :@me more]", "System <> 353 NAMES [#nope :x y]",
                    "System <> 366 NAMES [#c :End of NAMES list]", "Names #c registry",
                    "System <> 366 NAMES [#nope :End of NAMES list]", "Names nil registry"}));
        QCOMPARE(namesUpdates, (QList<int>{cuNames, cuNames}));
        const TIrcNames &names = chan("#c")->Names();
        QCOMPARE(names.Count(), 5);
        QCOMPARE(names.Nick(0), QByteArray("op"));
        QCOMPARE(names.Flags(0), MemberOp);
        QCOMPARE(names.Flags(1), MemberVoice);
        QCOMPARE(names.Flags(2), 0);
        QCOMPARE(names.Nick(3), QByteArray("me"));
        // Listed members keep a record; the client's own gained a reference.
        QCOMPARE(users(), 5);
        QCOMPARE(client->SelfUser()->Count, 2);
    }

    void numericsTable_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const char *line, const char *expected) {
            QTest::newRow(line) << QByteArray(line) << QByteArray(expected);
        };
        row(":s 006 me :map line", "System <> 6 MAP [map line]");
        row(":s 205 me User 1 nick", "System <> 205 TRACE [me User 1 nick]");
        row(":s 261 me File a b", "System <> 261 TRACE [me File a b]");
        row(":s 212 me PRIVMSG 10", "System <> 212 STATS [me PRIVMSG 10]");
        row(":s 219 me l :End of STATS", "System <> 219 STATS [l End of STATS]");
        row(":s 221 me +i", "System <> 221 UMODE [me +i]");
        row(":s 251 me :There are 3 users", "System <> 251 LUSER [There are 3 users ]");
        row(":s 252 me 2 :operators online", "System <> 252 LUSER [2 operators online]");
        row(":s 256 me :Admin info", "System <> 256 ADMIN [me :Admin info]");
        row(":s 265 me :Current local users", "System <> 265 LUSER [Current local users]");
        row(":s 302 me :a=+u@h", "System <> 302 USERHOST [a=+u@h]");
        row(":s 303 me :a b", "System <> 303 ISON [a b]");
        row(":s 307 me nick :is registered", "System <> 307 WHOIS [nick is registered]");
        row(":s 311 me nick user host * :Real Name",
            "System <> 311 WHOIS [nick is user@host * Real Name]");
        row(":s 312 me nick irc.s :Info text",
            "System <> 312 WHOIS [nick is using irc.s Info text]");
        row(":s 313 me nick :is an IRC operator", "System <> 313 WHOIS [nick is an IRC operator]");
        row(":s 314 me nick user host * :Real", "System <> 314 WHOWAS [nick was user@host * Real]");
        row(":s 315 me #c :End of WHO list", "System <> 315 WHO [#c :End of WHO list]");
        row(":s 317 me nick 42 1700000000 :seconds idle",
            "System <> 317 WHOIS [nick has been idle 42 seconds, signed on at 1700000000]");
        row(":s 318 me nick :End of WHOIS", "System <> 318 WHOIS [nick :End of WHOIS]");
        row(":s 319 me nick :@#a +#b", "System <> 319 WHOIS [nick is on @#a +#b]");
        row(":s 329 me #c 1700000000", "System <> 329 329 [me #c 1700000000]");
        row(":s 342 me nick :Summoning", "System <> 342 SUMMON [nick has been summoned]");
        row(":s 351 me ngircd-26 irc.s :comments",
            "System <> 351 VERSION [ngircd-26 irc.s comments]");
        row(":s 352 me #c user host irc.s nick H@ :0 Real Name",
            "System <> 352 WHO [#c nick H@ user@host irc.s :Real Name]");
        row(":s 365 me * :End of LINKS", "System <> 365 LINKS [* End of LINKS]");
        row(":s 367 me #c *!*@bad", "System <> 367 BANS [#c *!*@bad]");
        row(":s 368 me #c :End of ban list", "System <> 368 BANS [#c :End of ban list]");
        row(":s 369 me nick :End of WHOWAS", "System <> 369 WHOWAS [nick :End of WHOWAS]");
        row(":s 371 me :info", "System <> 371 INFO [info]");
        row(":s 374 me :End of INFO", "System <> 374 INFO [End of INFO]");
        row(":s 372 me :- motd line", "System <> 372 MOTD [- motd line]");
        row(":s 376 me :End of MOTD", "System <> 376 MOTD [End of MOTD]");
        row(":s 381 me :You are an operator", "System <> 381 OPER [You are an operator]");
        row(":s 382 me ngircd.conf :Rehashing", "System <> 382 REHASH [ngircd.conf :Rehashing]");
        row(":s 391 me s :Sunday 12:00", "System <> 391 TIME [s :Sunday 12:00]");
        row(":irc.s 391 me IRC.S :Sunday 12:00", "System <> 391 TIME [irc.s :Sunday 12:00]");
        row(":s 393 me :user tty host", "System <> 393 USERS [user tty host]");
        row(":s 614 me :nick is using modes", "System <> 614 WHOIS [nick is using modes]");
        row(":s 301 me nick :gone fishing", "Away <> reason=gone fishing");
        row(":s 305 me :You are no longer away", "UnAway You are no longer away");
        row(":s 306 me :You are away", "NowAway You are away");
        row(":s 341 me nick #c", "Inviting nick #c");
        row(":s 364 me * irc.s :0 Server info here", "Links irc.s|*|0|Server info here");
        row(":s 401 me nobody :No such nick", "Error <> 401 me nobody :No such nick");
        row(":s 502 me :Cannot change mode", "Error <> 502 me :Cannot change mode");
        row(":s 005 me CHANTYPES=# :are supported",
            "Unknown <> 005 [me CHANTYPES=# :are supported]");
        row(":s 503 me :x", "Unknown <> 503 [me :x]");
        row(":s 1000 me :x", "Unknown <> 1000 [me :x]");
        row(":a!u@h INVITE me :#c", "Invite <a> #c");
        row(":a!u@h KILL me :bad boy", "Kill <a> me bad boy");
        row(":a!u@h WALLOPS :hear ye", "Wallops <a> hear ye");
    }

    void numericsTable()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, expected);
        feed(line);
        QCOMPARE(log.take(), L{expected});
        QCOMPARE(users(), 1);
    }

    void awayFlag()
    {
        feed(":s 306 me :You are away");
        QVERIFY(client->Away());
        feed(":s 305 me :back");
        QVERIFY(!client->Away());
    }

    void listIsBufferedInBatches()
    {
        QList<QByteArray> calls;
        client->OnList = [&](TIrcClient *, const QList<QByteArray> &chans, int position,
                             bool last) {
            calls.append(QByteArray::number(chans.size()) + '/' + QByteArray::number(position) +
                         '/' + (last ? "last" : "more"));
        };
        feed(":s 321 me Channel :Users  Name");
        for (int i = 1; i <= 45; ++i)
            feed(":s 322 me #c" + QByteArray::number(i) + " " + QByteArray::number(i) + " :topic " +
                 QByteArray::number(i));
        QCOMPARE(client->ListBuffer().size(), 45);
        QCOMPARE(client->ListBuffer().at(2), QByteArray("#c3 3 topic 3"));
        feed(":s 323 me :End of LIST");
        QCOMPARE(calls, (QList<QByteArray>{"0/0/more", "40/0/more", "45/39/last"}));
        QCOMPARE(client->ListBuffer().size(), 0);
        QCOMPARE(client->ListPosition(), 0);
        QCOMPARE(log.take(),
                 (L{"System <> 321 LIST [Start of LIST]", "System <> 323 LIST [End of LIST]"}));
    }

    void listWithoutHandlerKeepsNothing()
    {
        feed(":s 321 me Channel :Users  Name");
        feed(":s 322 me #a 1 :t");
        QCOMPARE(client->ListBuffer().size(), 0);
    }

    void ctcpEvents()
    {
        joinOwn("#c");
        log.take();
        client->CtcpAnswerLimiter().Clock = [] { return qint64(0); };
        feed(":a!u@h PRIVMSG #c :\x01"
             "ACTION waves\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "SOUND ding.wav\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "version\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "FOO bar baz\x01");
        feed(":a!u@h NOTICE me :\x01"
             "VERSION Some client 1.0\x01");
        feed(":a!u@h NOTICE #c :\x01"
             "PING 12345\x01");
        feed(":a!u@h NOTICE me :\x01"
             "DCC SEND f 1 2 3\x01");
        QCOMPARE(log.take(), (L{"Action <a> #c waves", "CTCPQuery <a> nil SOUND [ding.wav]",
                                "CTCPQuery <a> nil version []", "CTCPQuery <a> nil FOO [bar baz]",
                                "CTCPReply <a> nil VERSION [Some client 1.0]",
                                "CTCPReply <a> #c PING [12345]"}));
        // None of these is answered.
        QTest::qWait(50);
        QCOMPARE(peer->received(), QByteArray());
        QCOMPARE(users(), 1);
    }

    void dccOffers()
    {
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC SEND file.txt 3232235777 5000 1024\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC CHAT chat 3232235777 5001\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC RESUME file.txt 5000 512\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC ACCEPT file.txt 5000 512\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC GET file.txt\x01");
        QCOMPARE(log.take(),
                 (L{"DCCSend a|3232235777|5000|file.txt|1024", "DCCChat a|3232235777|5001",
                    "DCCResume a|5000|file.txt|512", "DCCAccept a|5000|file.txt|512"}));
    }

    void malformedDccOffersGiveEmptyItems()
    {
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC SEND file.txt 3232235777\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC CHAT\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC SEND  a  b\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC\x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC \x01");
        feed(":a!u@h PRIVMSG me :\x01"
             "DCC RESUME\x01");
        feed(":a!u@h PRIVMSG me :\x01");
        QCOMPARE(log.take(), (L{"DCCSend a|3232235777||file.txt|", "DCCChat a||", "DCCSend a|a|||b",
                                "DCCResume a|||", "CTCPQuery <a> nil  []"}));
        QCOMPARE(users(), 1);
    }

    void handlerErrorsReleaseTheLine()
    {
        joinOwn("#c");
        client->OnMessage = [](TIrcClient *, TIrcUser *, TIrcChannel *, const QByteArray &) {
            throw std::runtime_error("handler failed");
        };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, feed(":a!u@h PRIVMSG #c :boom"));
        QCOMPARE(users(), 1);
        client->OnParted = [](TIrcClient *, TIrcChannel *) { throw std::runtime_error("x"); };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, feed(":me!u@h PART #c"));
        QCOMPARE(client->Channels().Count(), 0);
    }

    // Through the real receive path: the error is reported, the line's reference goes back
    // and the following lines are read as usual.
    void handlerErrorsAreReportedAndReadingGoesOn()
    {
        QStringList errors;
        client->OnReadError = [&](TTcpConnection *, const QString &message) { errors << message; };
        client->OnMessage = [&](TIrcClient *, TIrcUser *, TIrcChannel *, const QByteArray &text) {
            if (text == "boom")
                throw std::runtime_error("handler failed");
            log.add("Message " + text);
        };
        peer->sendLine(":a!u@h PRIVMSG me :boom");
        peer->sendLine(":b!u@h PRIVMSG me :after");
        peer->sendLine("PING :sync");
        QVERIFY(peer->waitForReceivedContains("PONG :sync\r\n"));
        QCOMPARE(errors, QStringList{"handler failed"});
        QCOMPARE(log.take(), (L{"Message after", "PingPong"}));
        QCOMPARE(users(), 1);
        QVERIFY(client->Connected());
    }

    void receiveHandlerMayRewriteTheLine()
    {
        client->OnReceive = [](TIrcClient *, QByteArray &line) {
            if (line.endsWith("xyz"))
                line.replace(line.size() - 3, 3, "abc");
        };
        peer->sendLine(":a!u@h PRIVMSG me :xyz");
        peer->sendLine("");
        peer->sendLine("PING :sync");
        QVERIFY(peer->waitForReceivedContains("PONG :sync\r\n"));
        QCOMPARE(log.take(), (L{"Message <a> nil abc", "PingPong"}));
    }

    // Lines made of random protocol pieces: nothing fails, and no record is left behind
    // with its references gone.
    void randomLinesKeepTheEngineWhole()
    {
        client->OnMessage = nullptr;
        client->OnError = nullptr;
        const char *prefixes[] = {"", ":me!u@h ", ":a!u@h ", ":B!u@h ", ":irc.s ", ":", ":!@ "};
        const char *commands[] = {"PRIVMSG", "NOTICE", "JOIN",  "PART",    "KICK", "MODE",
                                  "NICK",    "QUIT",   "TOPIC", "353",     "366",  "324",
                                  "332",     "331",    "322",   "321",     "323",  "433",
                                  "001",     "INVITE", "KILL",  "WALLOPS", "999"};
        const char *params[] = {"#c",
                                "#C",
                                "me",
                                "a",
                                "b",
                                "B",
                                ":",
                                ":x y",
                                "+o-v",
                                "+k-k",
                                "+l",
                                "-l",
                                "+ov",
                                "@a",
                                "+b",
                                "@me+",
                                "\x01VERSION\x01",
                                ":\x01"
                                "DCC SEND",
                                "",
                                "x",
                                "+psitnmlkbov"};
        QRandomGenerator random(99);
        feed(":s 001 me :Welcome"); // registered: a 433 is then only an error
        int fed = 0;
        for (int i = 0; i < 20000; ++i) {
            QByteArray line = prefixes[random.bounded(int(std::size(prefixes)))];
            line += commands[random.bounded(int(std::size(commands)))];
            const int count = random.bounded(6);
            for (int p = 0; p < count; ++p) {
                line += ' ';
                line += params[random.bounded(int(std::size(params)))];
            }
            feed(line);
            ++fed;
        }
        QCOMPARE(fed, 20000);
        QVERIFY(client->Connected());
        client->Users().ForEach([](TIrcUser *user) { QVERIFY(user->Count >= 1); });
        client->Channels().ForEach([](TIrcChannel *channel) {
            QVERIFY(channel->Names().Count() >= 0);
            channel->Names().ForEach(
                [&](const TIrcMember &member) { QVERIFY(channel->Names().Contains(member.Nick)); });
        });
    }

    void linesAfterDisconnectAreDropped()
    {
        client->Disconnect(true);
        QCOMPARE(client->State(), stDisconnected);
        log.take();
        int received = 0;
        client->OnReceive = [&](TIrcClient *, QByteArray &) { ++received; };
        peer->sendLine(":a!u@h PRIVMSG me :late");
        QTest::qWait(100);
        QCOMPARE(received, 0);
        QCOMPARE(log.take(), L{});
    }
};

QTEST_GUILESS_MAIN(TestIrcDispatch)
#include "test_irc_dispatch.moc"
