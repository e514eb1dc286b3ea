// The engine's parts that need no connection: what is read from a protocol line (prefix,
// command word and parameter slots, message tags, the secrets records and speech must
// hide), and the user and channel registries (reference counts, case-blind lookup, member
// upkeep with its notifications, the ordered collection under heavy churn).
#include "irc/irc_client.h"
#include "irc/irc_parser.h"
#include "irc/irc_tags.h"
#include "irc/secret_mask.h"

#include <QRandomGenerator>
#include <QTest>

class TestIrcEngine : public QObject
{
    Q_OBJECT

    // Prefix|nick|address|command|parameter text|slot 2|slot 3|... up to the filled slots.
    static QByteArray describe(const TIrcParseState &s)
    {
        QByteArrayList parts = {s.Tokens[0], s.SenderNick, s.SenderAddress, s.CommandWord,
                                s.ParamText};
        for (int i = 2; i < s.Filled; ++i)
            parts << s.Tokens[i];
        return parts.join('|');
    }

private slots:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("parsed");
        auto row = [](const char *name, const QByteArray &line, const QByteArray &parsed) {
            QTest::newRow(name) << line << parsed;
        };
        row("user prefix", ":nick!user@host PRIVMSG #chan :hello world",
            "nick!user@host|nick|user@host|PRIVMSG|#chan :hello world|#chan|hello world");
        row("server prefix", ":irc.example 001 me :Welcome",
            "irc.example||irc.example|001|me :Welcome|me|Welcome");
        row("no prefix", "PING :irc.example", "|||PING|:irc.example|irc.example");
        // A bare command keeps its word; it is not mistaken for a parameter.
        row("bare command", ":nick!u@h AWAY", "nick!u@h|nick|u@h|AWAY|");
        row("word only", "PING", "|||PING|");
        row("prefix only", ":only.prefix", "only.prefix||only.prefix||");
        row("empty", "", "||||");
        // Runs of blanks separate like one blank: no empty middle or trailing parameters.
        row("two blanks", ":s MODE #c +o-v  b", "s||s|MODE|#c +o-v  b|#c|+o-v|b");
        row("blanks before trailing", ":server 432  #momo :Erroneous Nickname",
            "server||server|432|#momo :Erroneous Nickname|#momo|Erroneous Nickname");
        row("trailing blanks", "MODE #c +o nick  ", "|||MODE|#c +o nick  |#c|+o|nick");
        row("blanks around command", ":s  PRIVMSG   #c   :a  b", "s||s|PRIVMSG|#c   :a  b|#c|a  b");
        // Message tags move no slot.
        row("tags", "@time=1;a=b\\sc :n!u@h PRIVMSG #c :hi", "n!u@h|n|u@h|PRIVMSG|#c :hi|#c|hi");
        row("tags, no prefix", "@a=b  PING :x", "|||PING|:x|x");
        row("tags only", "@a=b", "||||");
        row("trailing blank", ":s CMD a ", "s||s|CMD|a |a");
        row("trailing keeps blanks", ":s 353 me = #c :@op +voice plain ",
            "s||s|353|me = #c :@op +voice plain |me|=|#c|@op +voice plain ");
        row("colon inside", ":s CMD a:b :c d", "s||s|CMD|a:b :c d|a:b|c d");
        const QByteArray high("\xcf\xf0\xe8\r\x01\xff", 6);
        row("bytes unchanged", ":n!u@h PRIVMSG #c :" + high,
            "n!u@h|n|u@h|PRIVMSG|#c :" + high + "|#c|" + high);
    }
    void lines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, parsed);
        // Parsed after a longer line into the same state: nothing of it may be left over.
        TIrcParseState s;
        s.Line = ":a!b@c PRIVMSG #x y z :one two";
        ParseLine(s);
        const QByteArray kept = s.Tokens[5];
        s.Line = line;
        ParseLine(s);
        QCOMPARE(describe(s), parsed);
        for (int i = s.Filled; i < IrcTokenCount; ++i)
            QVERIFY(s.Tokens[i].isEmpty());
        QCOMPARE(kept, QByteArray("one two")); // a kept copy does not share the slot's bytes
    }

    void moreParametersThanSlots()
    {
        TIrcParseState s;
        s.Line = ":s CMD";
        for (int i = 1; i <= 35; ++i)
            s.Line += " p" + QByteArray::number(i);
        s.Line += " :trailing text";
        ParseLine(s);
        QCOMPARE(s.Tokens[28], QByteArray("p27"));
        // The last slot keeps the 28th parameter and everything after it.
        QCOMPARE(s.Tokens[29], QByteArray("p28 p29 p30 p31 p32 p33 p34 p35 :trailing text"));
    }

    void restIsCutTo512Bytes()
    {
        const QByteArray text(600, 'x');
        TIrcParseState s;
        s.Line = ":n!u@h PRIVMSG #c :" + text;
        ParseLine(s);
        QCOMPARE(s.Tokens[3].size(), 512 - 12); // "PRIVMSG #c :" counts
        s.Line = "PRIVMSG #c :" + text;
        ParseLine(s);
        QCOMPARE(s.ParamText.size(), 512);
        s.Line = ":n!" + QByteArray(700, 'h') + " PRIVMSG #c :x";
        ParseLine(s);
        QCOMPARE(s.SenderAddress.size(), 512);
        QCOMPARE(s.Tokens[0].size(), 702);
    }

    // Message tags: escapes, repeated and valueless tags, the server's time.
    void tags_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value"); // "-" when the tag is absent
        auto row = [](const char *name, const QByteArray &line, const char *key,
                      const QByteArray &value) {
            QTest::newRow(name) << line << QByteArray(key) << value;
        };
        const QByteArray line = "@a=x\\:y\\sz\\\\w\\r\\n;b;+vendor.example/c=\\b\\;d=1;d=2 "
                                ":n!u@h PRIVMSG #c :x=1";
        row("escapes", line, "a", "x;y z\\w\r\n");
        row("no value", line, "b", "");
        row("unknown escape, lone backslash", line, "+vendor.example/c", "b");
        row("last one counts", line, "d", "2");
        row("absent", line, "x", "-");
        row("no tags", ":n!u@h PRIVMSG #c :@a=1", "a", "-");
        row("server time", "@time=2026-12-06T14:20:05.123Z :s PING x", "time()",
            "2026-12-06T14:20:05.123Z");
        row("bad server time", "@time=yesterday :s PING x", "time()", "-");
    }
    void tags()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QByteArray found = "-";
        if (key == "time()") {
            const QDateTime sent = ServerTime(LineTags(line));
            if (sent.isValid())
                found = sent.toUTC().toString(Qt::ISODateWithMs).toLatin1();
        } else {
            FindTag(LineTags(line), key, found);
        }
        QCOMPARE(found, value);
    }

    // Each row is a line with its secrets in brackets; the line itself is the text without
    // them. A record (log, status) shows each secret as "********"; an input line speaks one
    // "*" per character. Rows with a target are typed into that window's input line.
    void masks_data()
    {
        QTest::addColumn<QString>("marked");
        QTest::addColumn<QString>("target");
        const auto row = [](const char *marked, const char *target = "") {
            QTest::newRow(marked) << QString::fromUtf8(marked) << QString::fromUtf8(target);
        };
        row("PASS [hunter2]");
        row("pass :[two words]");
        row("PASS");
        row("Authenticate [PLAIN]");
        row(":irc.x AUTHENTICATE [+]");
        row("OPER admin [s3cret]");
        row("JOIN #a,#b [k1,k2]");
        row("join #a");
        row(":me!u@h JOIN #a acct :Real Name");
        row("mode #c +lbk 5 *!*@x [sesame] -o n");
        row("MODE #c -lk [sesame]");
        row(":n!u@h MODE #c +k :[sesame]");
        row("MODE me +k");
        row(":srv 324 me #c +knt [sesame]");
        row("privmsg nickserv :identify [me hunter2]");
        row("@time=x :me!u@h PRIVMSG NickServ :IDENTIFY [пароль]");
        row("NOTICE NickServ :REGISTER [pw me@x.org]");
        row("PRIVMSG NickServ :GHOST me [pw]");
        row("PRIVMSG NickServ :release me [pw]");
        row("PRIVMSG NickServ :RECOVER me [pw]");
        row("PRIVMSG NickServ :SET PASSWORD [new]");
        row("PRIVMSG ChanServ :IDENTIFY [#c pw]");
        row("PRIVMSG Q@CServe.quakenet.org :AUTH [me pw]");
        row("PRIVMSG NickServ IDENTIFY [pw]");
        row("NS identify [pw]");
        row("IDENTIFY [pw]");
        row("PRIVMSG NickServ :INFO me");
        row("PRIVMSG friend :identify pw");
        row("PASS [pw]\r");
        row("/join #c [key]", "#c");
        row("identify [пароль]", "NickServ");
        row("identify pw", "#c");
        row("IDENTIFY ", "NickServ");
    }
    void masks()
    {
        QFETCH(QString, marked);
        QFETCH(QString, target);
        QString line, masked, starred;
        bool inside = false;
        for (QChar ch : marked) {
            if (ch == u'[' || ch == u']') {
                inside = ch == u'[';
                masked += inside ? SecretMask.toString() : QString();
                continue;
            }
            line += ch;
            starred += inside ? u'*' : ch;
            masked += inside ? QString() : QString(ch);
        }
        QCOMPARE(StarSpans(line, FindTypedSecrets(line, target)), starred);
        if (!target.isEmpty())
            return;
        QCOMPARE(MaskSecrets(line), masked);
        // Bytes of any code page stay as they were.
        QCOMPARE(MaskSecrets(line.toUtf8()), masked.toUtf8());
    }

    void usersAreCountedOrderedAndRenamed()
    {
        TIrcClient client;
        TIrcUsers &users = client.Users();
        TIrcUser *a = users.Add("nick", "u@h");
        QCOMPARE(users.Add("Nick", ""), a);
        QCOMPARE(a->Address, QByteArray("u@h")); // an empty address keeps the stored one
        users.Add("NICK", "other@host");
        QCOMPARE(a->Address + ' ' + a->Nick + ' ' + QByteArray::number(a->Count),
                 QByteArray("other@host nick 3"));
        for (const char *n : {"b", "c", "d"})
            users.Add(n, "");
        users.Remove(users.Get("b"));
        users.Rename(users.Get("c"), "z");
        QByteArrayList order;
        for (int i = 0; i < users.Count(); ++i)
            order << users.Items(i)->Nick;
        QCOMPARE(order, (QByteArrayList{"nick", "z", "d"}));
        QCOMPARE(users.Find("Z"), 1);
        QCOMPARE(users.Get("c"), nullptr);
        users.Remove(a);
        users.Remove(a);
        QCOMPARE(users.Find("NiCk"), 0); // still referenced once
        users.Remove(a);
        QCOMPARE(users.Find("nick"), -1);
        // Renamed onto a nick that exists: lookups find the older record first.
        TIrcUser *newer = users.Add("robert", "");
        users.Rename(newer, "d");
        QCOMPARE(users.Get("d"), users.Items(1));
        users.Remove(users.Items(1));
        QCOMPARE(users.Get("d"), newer);
    }

    // Windows-1251 letters fold like Latin ones; brackets are distinct characters.
    void caseBlindLookup_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("asked");
        QTest::addColumn<bool>("found");
        QTest::newRow("Вася") << QByteArray("\xc2\xe0\xf1\xff") << QByteArray("\xe2\xc0\xd1\xdf")
                              << true;
        QTest::newRow("Ё") << QByteArray("\xa8") << QByteArray("\xb8") << true;
        QTest::newRow("Ё-Е") << QByteArray("\xa8") << QByteArray("\xc5") << false;
        QTest::newRow("[]") << QByteArray("[a]") << QByteArray("{a}") << false;
    }
    void caseBlindLookup()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, asked);
        QFETCH(bool, found);
        TIrcClient client;
        TIrcUser *user = client.Users().Add(stored, "");
        QCOMPARE(client.Users().Get(asked), found ? user : nullptr);
        TIrcChannel *channel = client.Channels().Add("#" + stored);
        QCOMPARE(client.Channels().Get("#" + asked), found ? channel : nullptr);
    }

    void memberUpkeepNotifies()
    {
        TIrcClient client;
        QByteArrayList updates;
        client.OnChannelUpdate = [&](TIrcChannel *, TIrcChannelUpdateType type, TIrcUser *user,
                                     int info) {
            updates << QByteArray::number(type) + ' ' + (user ? user->Nick : "-") + ' ' +
                           QByteArray::number(info);
        };
        TIrcChannel *channel = client.Channels().Add("#c");
        QVERIFY(channel->AddUser("@op", ""));
        QCOMPARE(channel->AddUser("OP", ""), nullptr); // already a member
        QVERIFY(channel->AddUser("@both+", ""));
        QCOMPARE(channel->Names().Flags(1), MemberOp | MemberVoice);
        QCOMPARE(client.Users().Get("both")->Count, 1); // a lasting reference per member
        updates.clear();
        TIrcUsers &users = client.Users();
        TIrcUser *a = users.Add("a", "");
        TIrcUser *b = users.Add("b", "");
        channel->MemberJoined(a);
        channel->MemberJoined(b);
        channel->MemberJoined(b);       // already a member: nothing
        channel->MemberJoined(nullptr); // nothing
        channel->OperatorSet(b);
        channel->VoiceSet(b);
        channel->OperatorCleared(b);
        channel->MemberNickChanged(b, "bee");
        users.Rename(b, "bee");
        channel->MemberParted(a);
        channel->MemberKicked(users.Get("op"));
        channel->MemberQuit(a); // no longer a member: nothing
        channel->NamesDone();
        channel->SetTopic("t");
        channel->SetKey("k");
        const auto n = [](TIrcChannelUpdateType t) { return QByteArray::number(t) + ' '; };
        QCOMPARE(updates, (QByteArrayList{n(cuJoin) + "a 2", n(cuJoin) + "b 3", n(cuUser) + "b 1",
                                          n(cuUser) + "b 3", n(cuUser) + "b 2", n(cuNick) + "b 3",
                                          n(cuPart) + "a 2", n(cuKick) + "op 0", n(cuNames) + "- 0",
                                          n(cuTopic) + "- 0", n(cuMode) + "- 0"}));
        QCOMPARE(channel->Names().Nick(1), QByteArray("bee"));
        QCOMPARE(channel->Names().Flags(1), MemberVoice);
    }

    // Random joins, departures and renames against a plain list that does what the
    // collection promises; then most members leave, which squeezes the holes out.
    void orderedCollectionMatchesAPlainList()
    {
        TIrcClient client;
        TIrcChannel *channel = client.Channels().Add("#big");
        int reported = -1;
        channel->OnChannelUpdate = [&](TIrcChannel *, TIrcChannelUpdateType, TIrcUser *, int info) {
            reported = info;
        };
        QByteArrayList model;
        QRandomGenerator random(12345);
        int next = 0;
        const auto check = [&] {
            QCOMPARE(channel->Names().Count(), int(model.size()));
            for (int i = 0; i < model.size(); ++i) {
                QCOMPARE(channel->Names().Nick(i), model[i]);
                QCOMPARE(channel->Names().IndexOf(model[i].toUpper()), i);
            }
        };
        for (int step = 0; step < 8000; ++step) {
            const int op = step < 6000 ? random.bounded(10) : 5; // then only departures
            if (op < 5 || model.empty()) {
                if (step >= 6000)
                    break;
                const QByteArray nick = "n" + QByteArray::number(next++);
                TIrcUser *user = client.Users().Add(nick, "");
                channel->MemberJoined(user);
                QCOMPARE(reported, int(model.size()));
                model << nick;
                client.Users().Remove(user);
                continue;
            }
            const int index = random.bounded(int(model.size()));
            TIrcUser *user = client.Users().Add(model[index], "");
            if (op < 8) {
                channel->MemberParted(user);
                model.removeAt(index);
            } else {
                const QByteArray renamed = "r" + QByteArray::number(next++);
                channel->MemberNickChanged(user, renamed);
                client.Users().Rename(user, renamed);
                model[index] = renamed;
            }
            QCOMPARE(reported, index);
            client.Users().Remove(user);
            if (step % 1000 == 0)
                check();
        }
        check();
        QCOMPARE(channel->Names().IndexOf("n0x"), -1);
        QCOMPARE(client.Users().Count(), 0); // every line-scoped reference went back
    }
};

QTEST_GUILESS_MAIN(TestIrcEngine)
#include "test_irc_engine.moc"
