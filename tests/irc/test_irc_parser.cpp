// Splitting server lines into prefix, command word and parameter slots.
#include "irc/irc_parser.h"

#include <QTest>

class TestIrcParser : public QObject
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
};

QTEST_APPLESS_MAIN(TestIrcParser)
#include "test_irc_parser.moc"
