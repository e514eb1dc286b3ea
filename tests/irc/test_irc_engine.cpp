// The engine's parts that need no connection: line parsing and tags, secret masking, the
// registries, their upkeep and case mappings, decoding, message splitting and the send
// queue's pacing.
#include "app/codepage.h"
#include "channels/channel_user_model.h"
#include "irc/irc_client.h"
#include "irc/irc_parser.h"
#include "irc/irc_tags.h"
#include "irc/message_split.h"
#include "irc/secret_mask.h"
#include "irc/send_queue.h"

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
        // Parsed after a longer line into the same state: nothing of it may be left over.
        TIrcParseState s;
        s.Line = ":a!b@c PRIVMSG #x y z :one two";
        ParseLine(s);
        const QByteArray kept = s.Tokens[5];
        s.Line = line;
        ParseLine(s);
        QTEST(describe(s), "parsed");
        for (int i = s.Filled; i < IrcTokenCount; ++i)
            QVERIFY(s.Tokens[i].isEmpty());
        QCOMPARE(kept, QByteArray("one two")); // a kept copy does not share the slot's bytes
    }

    // The last slot keeps the 28th parameter and all after it; the rest is cut to 512 bytes.
    void longLinesAreBounded()
    {
        TIrcParseState s;
        s.Line = ":s CMD";
        for (int i = 1; i <= 35; ++i)
            s.Line += " p" + QByteArray::number(i);
        s.Line += " :t";
        ParseLine(s);
        QCOMPARE(s.Tokens[28] + '|' + s.Tokens[29], "p27|p28 p29 p30 p31 p32 p33 p34 p35 :t");
        s.Line = ":n!u@h PRIVMSG #c :" + QByteArray(600, 'x');
        ParseLine(s);
        QCOMPARE(s.Tokens[3].size(), 512 - 12); // "PRIVMSG #c :" counts
        s.Line = "PRIVMSG #c :" + QByteArray(600, 'x');
        ParseLine(s);
        QCOMPARE(s.ParamText.size(), 512);
        s.Line = ":n!" + QByteArray(700, 'h') + " PRIVMSG #c :x";
        ParseLine(s);
        QCOMPARE(s.SenderAddress.size() + s.Tokens[0].size(), 512 + 702);
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
        row("server time without milliseconds", "@time=2026-12-06T14:20:05Z :s PING x", "time()",
            "2026-12-06T14:20:05.000Z");
        row("server time with an offset", "@time=2026-12-06T17:20:05.123+03:00 :s PING x", "time()",
            "2026-12-06T14:20:05.123Z");
        row("bad server time", "@time=yesterday :s PING x", "time()", "-");
        row("no such day", "@time=2026-02-30T14:20:05.123Z :s PING x", "time()", "-");
        row("not a digit", "@time=2026-12-06T14:2x:05.123Z :s PING x", "time()", "-");
    }
    void tags()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, key);
        QByteArray found = "-";
        if (key == "time()") {
            const QDateTime sent = ServerTime(LineTags(line));
            if (sent.isValid())
                found = sent.toUTC().toString(Qt::ISODateWithMs).toLatin1();
        } else {
            FindTag(LineTags(line), key, found);
        }
        QTEST(found, "value");
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

    // Records: one per nick, found case-blind (Windows-1251 letters too, brackets and Ё/Е
    // distinct), counted per reference, kept in order; member upkeep notifies with the
    // member's index (its flags for cuUser).
    void registriesCountFindAndNotify()
    {
        TIrcClient client;
        TIrcUsers &users = client.Users();
        TIrcUser *a = users.Add("nick", "u@h");
        QCOMPARE(users.Add("Nick", "")->Address, QByteArray("u@h")); // an empty one keeps it
        users.Add("NICK", "other@host");
        QCOMPARE(a->Address + ' ' + a->Nick + ' ' + QByteArray::number(a->Count),
                 QByteArray("other@host nick 3"));
        TIrcUser *vasya = users.Add("\xc2\xe0\xf1\xff\xa8", ""), *bot = users.Add("[a]", "");
        QCOMPARE(users.Get("\xe2\xc0\xd1\xdf\xb8"), vasya);
        QVERIFY(!users.Get("\xe2\xc0\xd1\xdf\xc5") && !users.Get("{a}"));
        TIrcChannel *cyrillic = client.Channels().Add("#\xc2\xe0");
        QCOMPARE(client.Channels().Get("#\xe2\xc0"), cyrillic);
        users.Remove(vasya);
        users.Remove(bot);
        for (const char *n : {"b", "c", "d"})
            users.Add(n, "");
        users.Remove(users.Get("b"));
        users.Rename(users.Get("c"), "z");
        QByteArrayList order;
        for (int i = 0; i < users.Count(); ++i)
            order << users.Items(i)->Nick;
        QCOMPARE(order, (QByteArrayList{"nick", "z", "d"}));
        QVERIFY(users.Find("Z") == 1 && !users.Get("c"));
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

        QByteArrayList updates;
        client.OnChannelUpdate = [&](TIrcChannel *, TIrcChannelUpdateType type, TIrcUser *user,
                                     int info) {
            updates << QByteArray::number(type) + (user ? user->Nick : "-") +
                           QByteArray::number(info);
        };
        TIrcChannel *channel = client.Channels().Add("#c");
        QVERIFY(channel->AddUser("@op", "") && !channel->AddUser("OP", "")); // once a member
        QVERIFY(channel->AddUser("@both+", ""));
        QCOMPARE(channel->Names().Flags(1), MemberOp | MemberVoice);
        QCOMPARE(users.Get("both")->Count, 1); // a lasting reference per member
        updates.clear();
        TIrcUser *m = users.Add("a", "");
        TIrcUser *b = users.Add("b", "");
        for (TIrcUser *joined : {m, b, b, static_cast<TIrcUser *>(nullptr)}) // twice: nothing
            channel->MemberJoined(joined);
        channel->OperatorSet(b);
        channel->VoiceSet(b);
        channel->OperatorCleared(b);
        channel->MemberNickChanged(b, "bee");
        users.Rename(b, "bee");
        channel->MemberParted(m);
        channel->MemberKicked(users.Get("op"));
        channel->MemberQuit(m); // no longer a member: nothing
        channel->NamesDone();
        channel->SetTopic("t");
        channel->SetKey("k");
        const auto n = [](TIrcChannelUpdateType t) { return QByteArray::number(t); };
        QCOMPARE(updates, (QByteArrayList{n(cuJoin) + "a2", n(cuJoin) + "b3", n(cuUser) + "b1",
                                          n(cuUser) + "b3", n(cuUser) + "b2", n(cuNick) + "b3",
                                          n(cuPart) + "a2", n(cuKick) + "op0", n(cuNames) + "-0",
                                          n(cuTopic) + "-0", n(cuMode) + "-0"}));
        QCOMPARE(channel->Names().Nick(1) + QByteArray::number(channel->Names().Flags(1)),
                 "bee" + QByteArray::number(MemberVoice));
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

    void decode_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("text");
        const QByteArray utf8 = QStringLiteral("Привет").toUtf8();
        const QByteArray cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
        const QByteArray koi8 = "\xF0\xD2\xC9\xD7\xC5\xD4";
        const QString word = QStringLiteral("Привет");
        QTest::newRow("utf8 server, utf8 line") << "UTF8" << utf8 << word;
        QTest::newRow("utf8 server, 1251 line") << "UTF8" << cp1251 << word;
        QTest::newRow("1251 server, 1251 line") << "WIN1251" << cp1251 << word;
        QTest::newRow("1251 server, utf8 line") << "WIN1251" << utf8 << word;
        QTest::newRow("koi8 server, koi8 line") << "KOI8" << koi8 << word;
        QTest::newRow("koi8 server, utf8 line") << "KOI8" << utf8 << word;
        QTest::newRow("plain ascii") << "UTF8" << QByteArray("hi there") << "hi there";
        // Traps: a 1251 letter before a byte from 0x80 to 0xBF forms a valid UTF-8 pair
        // ("Р" + "ё" reads "и"); overlong and surrogate forms are never UTF-8.
        QTest::newRow("1251 pair valid as utf8") << "WIN1251" << QByteArray("\xD0\xB8") << "и";
        QTest::newRow("overlong is 1251") << "UTF8" << QByteArray("\xC0\xAF") << "АЇ";
        QTest::newRow("surrogate is 1251")
            << "UTF8" << QByteArray("\xED\xA0\x80") << QStringLiteral("н\u00A0Ђ");
        QTest::newRow("cut sequence is 1251") << "UTF8" << QByteArray("ok \xD0") << "ok Р";
    }
    void decode()
    {
        QFETCH(QString, page);
        QFETCH(QByteArray, line);
        TTextCodecPolicy policy;
        policy.SetCodePage(page);
        policy.ReceiveLine(line);
        QTEST(policy.Decode(line), "text");
    }

    void encode()
    {
        TTextCodecPolicy policy;
        policy.SetCodePage(CodePageUtf8);
        QCOMPARE(policy.Encode(QStringLiteral("ёж €")), QStringLiteral("ёж €").toUtf8());
        policy.SetCodePage(CodePageKoi8);
        QCOMPARE(policy.SendLine(policy.Encode(QStringLiteral("ёж"))), QByteArray("\xA3\xD6"));
        policy.SetCodePage(QStringLiteral("bogus"));
        QCOMPARE(policy.CodePage(), CodePageWin1251);
    }

    void split_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("room");
        QTest::addColumn<QList<QByteArray>>("parts");
        using L = QList<QByteArray>;
        QTest::newRow("fits") << QByteArray("abc def") << 7 << L{"abc def"};
        QTest::newRow("at the last blank") << QByteArray("ab cd ef gh") << 7 << L{"ab cd", "ef gh"};
        QTest::newRow("blank right at the cut")
            << QByteArray("abcd efgh") << 4 << L{"abcd", "efgh"};
        QTest::newRow("no blank") << QByteArray("abcdefghij") << 4 << L{"abcd", "efgh", "ij"};
        const QByteArray zh = QStringLiteral("жжжж").toUtf8(); // 8 bytes
        QTest::newRow("utf8 never cut inside") << zh << 5 << L{zh.left(4), zh.mid(4)};
        QTest::newRow("1251 any byte")
            << QByteArray("\xE6\xE6\xE6\xE6\xE6") << 4 << L{"\xE6\xE6\xE6\xE6", "\xE6"};
    }
    void split()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, room);
        QTEST(SplitMessageText(text, room), "parts");
    }

    void roomCountsTheServersPrefix()
    {
        // ":me!u@host " + "PRIVMSG #c :" leave 510 - 11 - 12 bytes.
        QCOMPARE(MessageTextRoom("PRIVMSG", "#c", "me", "u@host"), 487);
        QCOMPARE(MessageTextRoom("PRIVMSG", "#c", "me", ""), 510 - 80 - 12); // 75 assumed
    }

    // Script tokens: uX / aX / !X push line X as the user's, automatic or urgent; @T moves
    // the clock to T ms and takes what is due, noted as "T:X"; ? notes MsUntilNext.
    void pacing_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("sent");
        QTest::newRow("a pasted text: five at once, then one every 2 s")
            << "u1 u2 u3 u4 u5 u6 u7 u8 @0 ? @1999 @2000 ? @3999 @4000 @6000 ?"
            << "0:1 0:2 0:3 0:4 0:5 ?2000 2000:6 ?2000 4000:7 6000:8 ?-1";
        QTest::newRow("PONG is never held back, and counts")
            << "u1 u2 u3 u4 u5 u6 @0 !P ? @10 ? @2000 @4000"
            << "0:1 0:2 0:3 0:4 0:5 ?0 10:P ?3990 4000:6";
        QTest::newRow("QUIT overtakes waiting lines") << "u1 u2 u3 u4 u5 u6 u7 @0 !Q @1 @2000 @4000"
                                                      << "0:1 0:2 0:3 0:4 0:5 1:Q 4000:6";
        QTest::newRow("automatic answers wait behind the user's lines")
            << "aA uB uC uD uE uF uG @0 @2000 @4000"
            << "0:B 0:C 0:D 0:E 0:F 2000:G 4000:A";
        QTest::newRow("a quiet spell gives a full burst again")
            << "u1 u2 u3 u4 u5 @0 u6 u7 u8 u9 uX uY @10000 @11999 @12000"
            << "0:1 0:2 0:3 0:4 0:5 10000:6 10000:7 10000:8 10000:9 10000:X 12000:Y";
    }

    void pacing()
    {
        QFETCH(QString, script);
        qint64 now = 0;
        TSendQueue queue([&now] { return now; });
        QStringList log;
        for (const QString &token : script.split(QLatin1Char(' '))) {
            const QByteArray rest = token.mid(1).toLatin1();
            switch (token[0].toLatin1()) {
            case 'u':
                queue.Push(rest, TSendPriority::User);
                break;
            case 'a':
                queue.Push(rest, TSendPriority::Automatic);
                break;
            case '!':
                queue.Push(rest, TSendPriority::Urgent);
                break;
            case '?':
                log << QStringLiteral("?%1").arg(queue.MsUntilNext());
                break;
            case '@':
                now = rest.toLongLong();
                for (const QByteArray &line : queue.TakeDue())
                    log << QStringLiteral("%1:%2").arg(now).arg(QString::fromLatin1(line));
                break;
            }
        }
        QTEST(log.join(QLatin1Char(' ')), "sent");
    }

    // Names compared by the server's CASEMAPPING: each rule's pairs, UTF-8 names folded as
    // UTF-8, and registries that follow a rule named after they were filled.
    void pairs_data()
    {
        QTest::addColumn<QByteArray>("mapping");
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<bool>("same");
        const QByteArray upper1251 = "\xC2\xC0\xD1\xDF\xA8", lower1251 = "\xE2\xE0\xF1\xFF\xB8";
        const QByteArray upperUtf8 = "Ёж ВАСЯ Ґ Ї", lowerUtf8 = "ёж вася ґ ї";
        for (const char *m : {"", "ascii", "rfc1459", "strict-rfc1459", "rfc8265", "foo"}) {
            const QByteArray name = m;
            const bool cyrillic = name.isEmpty() || name.startsWith("rfc8") || name == "foo";
            const bool brackets = name.endsWith("rfc1459"), tilde = name == "rfc1459";
            auto row = [&](const char *what, const QByteArray &a, const QByteArray &b, bool same) {
                QTest::addRow("%s %s", m, what) << name << a << b << same;
            };
            row("ascii", "Nick_A", "nICK_a", true);
            row("brackets", "[Bot]\\", "{bot}|", brackets);
            row("tilde", "a~", "A^", tilde);
            row("1251", upper1251, lower1251, cyrillic);
            row("utf-8", upperUtf8, lowerUtf8, cyrillic);
            row("different", "ann", "anna", false);
        }
    }
    void pairs()
    {
        QFETCH(QByteArray, mapping);
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(bool, same);
        const TIrcCaseMapping rule = IrcCase::MappingNamed(mapping);
        QCOMPARE(IrcCase::SameText(a, b, rule), same);
        if (a.startsWith('\xC2'))
            return; // the windows' names are decoded text; 1251 bytes do not reach them
        QCOMPARE(IrcCase::SameName(QString::fromUtf8(a), QString::fromUtf8(b), rule), same);
    }

    // The fold of a UTF-8 name is that name in small letters, still UTF-8.
    void utf8FoldStaysUtf8() { QCOMPARE(IrcCase::Fold("Дима_ЁЖ[Я]"), QByteArray("дима_ёж[я]")); }

    // A rule named after the channel was filled: the records are found under it at once.
    void registriesFollowLateRule()
    {
        TIrcClient client;
        TChannelUserModel table;
        client.Dispatch(":s 001 me :Welcome");
        client.Dispatch(":me!u@h JOIN #Chan[1]");
        client.Dispatch(":s 353 me = #Chan[1] :me [Bot]");
        table.AddMissing({"me", "[Bot]"});
        client.Dispatch(":s 005 me CASEMAPPING=rfc1459 :are supported");
        table.SetCaseMapping(client.CaseMapping());
        QVERIFY(client.Users().Get("{bot}") && table.RowOf("{BOT}") == 1);
        client.Dispatch(":{bot}!u@h PART #chan{1}");
        QCOMPARE(client.Channels().Get("#CHAN{1}")->Names().Count(), 1);
        client.Dispatch(":s 005 me -CASEMAPPING :are supported");
        QVERIFY(client.Channels().Get("#chan[1]") && !client.Channels().Get("#chan{1}"));
    }
};

QTEST_MAIN(TestIrcEngine)
#include "test_irc_engine.moc"
