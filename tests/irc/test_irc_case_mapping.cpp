// Nicks and channel names compared by the server's CASEMAPPING: each rule's pairs, UTF-8
// names folded as UTF-8, and registries that follow a rule named after they were filled.
#include "channels/channel_user_model.h"
#include "irc/irc_client.h"

#include <QTest>

class TestIrcCaseMapping : public QObject
{
    Q_OBJECT

private slots:
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

QTEST_MAIN(TestIrcCaseMapping)
#include "test_irc_case_mapping.moc"
