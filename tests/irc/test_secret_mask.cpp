#include "irc/secret_mask.h"

#include <QTest>

// Each row is a line with its secrets in brackets; the line itself is the text without
// them. A record (log, status) shows each secret as "********"; an input line speaks one
// "*" per character. Rows with a target are typed into that window's input line.
class TestSecretMask : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_GUILESS_MAIN(TestSecretMask)
#include "test_secret_mask.moc"
