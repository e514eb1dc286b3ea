// Splitting server lines into prefix, command word and parameter slots.
#include "irc/irc_parser.h"

#include <QTest>

class TestIrcParser : public QObject
{
    Q_OBJECT

    TIrcParseState parse(const QByteArray &line)
    {
        TIrcParseState state;
        state.Line = line;
        ParseLine(state);
        return state;
    }

private slots:
    void privmsgWithPrefix()
    {
        const TIrcParseState s = parse(":nick!user@host PRIVMSG #chan :hello world");
        QCOMPARE(s.Tokens[0], QByteArray("nick!user@host"));
        QCOMPARE(s.SenderNick, QByteArray("nick"));
        QCOMPARE(s.SenderAddress, QByteArray("user@host"));
        QCOMPARE(s.CommandWord, QByteArray("PRIVMSG"));
        QCOMPARE(s.Tokens[1], QByteArray("PRIVMSG"));
        QCOMPARE(s.ParamText, QByteArray("#chan :hello world"));
        QCOMPARE(s.Tokens[2], QByteArray("#chan"));
        QCOMPARE(s.Tokens[3], QByteArray("hello world"));
        for (int i = 4; i < IrcTokenCount; ++i)
            QVERIFY(s.Tokens[i].isEmpty());
    }

    void serverPrefixAndNoPrefix()
    {
        TIrcParseState s = parse(":irc.example 001 me :Welcome");
        QCOMPARE(s.SenderNick, QByteArray());
        QCOMPARE(s.SenderAddress, QByteArray("irc.example"));
        QCOMPARE(s.Tokens[0], QByteArray("irc.example"));
        QCOMPARE(s.CommandWord, QByteArray("001"));
        QCOMPARE(s.Tokens[2], QByteArray("me"));
        QCOMPARE(s.Tokens[3], QByteArray("Welcome"));

        s = parse("PING :irc.example");
        QCOMPARE(s.Tokens[0], QByteArray());
        QCOMPARE(s.SenderAddress, QByteArray());
        QCOMPARE(s.CommandWord, QByteArray("PING"));
        QCOMPARE(s.ParamText, QByteArray(":irc.example"));
        QCOMPARE(s.Tokens[2], QByteArray("irc.example"));
    }

    void commandWithoutParameters()
    {
        // A bare command keeps its word; it is not mistaken for a parameter.
        TIrcParseState s = parse(":nick!u@h AWAY");
        QCOMPARE(s.CommandWord, QByteArray("AWAY"));
        QCOMPARE(s.ParamText, QByteArray());
        QCOMPARE(s.Tokens[2], QByteArray());
        s = parse("PING");
        QCOMPARE(s.CommandWord, QByteArray("PING"));
        s = parse(":only.prefix");
        QCOMPARE(s.SenderAddress, QByteArray("only.prefix"));
        QCOMPARE(s.CommandWord, QByteArray());
    }

    void blanksGiveEmptyParameters()
    {
        TIrcParseState s = parse(":s MODE #c +o-v  b");
        QCOMPARE(s.Tokens[2], QByteArray("#c"));
        QCOMPARE(s.Tokens[3], QByteArray("+o-v"));
        QCOMPARE(s.Tokens[4], QByteArray());
        QCOMPARE(s.Tokens[5], QByteArray("b"));
        // A trailing blank ends the parameters without adding an empty one.
        s = parse(":s 353 me = #c :@op +voice plain ");
        QCOMPARE(s.Tokens[5], QByteArray("@op +voice plain "));
        s = parse(":s CMD a ");
        QCOMPARE(s.Tokens[2], QByteArray("a"));
        QCOMPARE(s.Filled, 3);
        // A colon inside a middle parameter is just a byte.
        s = parse(":s CMD a:b :c d");
        QCOMPARE(s.Tokens[2], QByteArray("a:b"));
        QCOMPARE(s.Tokens[3], QByteArray("c d"));
    }

    void slotsAreClearedBetweenLines()
    {
        TIrcParseState s;
        s.Line = ":a!b@c PRIVMSG #x :one two";
        ParseLine(s);
        s.Line = "PING";
        ParseLine(s);
        QCOMPARE(s.SenderNick, QByteArray());
        QCOMPARE(s.SenderAddress, QByteArray());
        QCOMPARE(s.Tokens[0], QByteArray());
        QCOMPARE(s.Tokens[2], QByteArray());
        QCOMPARE(s.Tokens[3], QByteArray());
        s.Line = "";
        ParseLine(s);
        QCOMPARE(s.CommandWord, QByteArray());
    }

    void storageIsNotSharedWithKeptCopies()
    {
        TIrcParseState s;
        s.Line = ":a!b@c PRIVMSG #x :first";
        ParseLine(s);
        const QByteArray kept = s.Tokens[3];
        s.Line = ":a!b@c PRIVMSG #x :second!";
        ParseLine(s);
        QCOMPARE(kept, QByteArray("first"));
        QCOMPARE(s.Tokens[3], QByteArray("second!"));
    }

    void moreParametersThanSlots()
    {
        QByteArray line = ":s CMD";
        for (int i = 1; i <= 35; ++i)
            line += " p" + QByteArray::number(i);
        line += " :trailing text";
        const TIrcParseState s = parse(line);
        QCOMPARE(s.Tokens[2], QByteArray("p1"));
        QCOMPARE(s.Tokens[28], QByteArray("p27"));
        // The last slot keeps the 28th parameter and everything after it.
        QCOMPARE(s.Tokens[29], QByteArray("p28 p29 p30 p31 p32 p33 p34 p35 :trailing text"));
    }

    void restIsCutTo512Bytes()
    {
        const QByteArray text(600, 'x');
        TIrcParseState s = parse(":n!u@h PRIVMSG #c :" + text);
        // "PRIVMSG #c :" is 12 bytes of the 512 that follow the prefix.
        QCOMPARE(s.Tokens[3].size(), 512 - 12);
        s = parse("PRIVMSG #c :" + text);
        QCOMPARE(s.ParamText.size(), 512);
        QCOMPARE(s.Tokens[3].size(), 512 - 4); // after "#c :"
        const QByteArray longAddress(700, 'h');
        s = parse(":n!" + longAddress + " PRIVMSG #c :x");
        QCOMPARE(s.SenderAddress.size(), 512);
        QCOMPARE(s.Tokens[0].size(), 2 + 700);
    }

    void bytesPassUnchanged()
    {
        const QByteArray text("\xcf\xf0\xe8\xe2\xe5\xf2\r\x01\xff", 9);
        const TIrcParseState s = parse(":n!u@h PRIVMSG #c :" + text);
        QCOMPARE(s.Tokens[3], text);
    }
};

QTEST_APPLESS_MAIN(TestIrcParser)
#include "test_irc_parser.moc"
