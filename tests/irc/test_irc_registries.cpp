// The user and channel registries: reference counts, case-blind lookup, member upkeep with
// its notifications, and the ordered collection under heavy churn.
#include "irc/irc_client.h"

#include <QRandomGenerator>
#include <QTest>

class TestIrcRegistries : public QObject
{
    Q_OBJECT

private slots:
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

QTEST_MAIN(TestIrcRegistries)
#include "test_irc_registries.moc"
