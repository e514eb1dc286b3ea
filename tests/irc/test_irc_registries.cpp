// The user and channel registries: reference counts, case-blind lookup, member upkeep with
// its notifications, and the ordered collection under heavy churn.
#include "irc/irc_client.h"

#include <QRandomGenerator>
#include <QTest>

#include <vector>

namespace {

struct TUpdate
{
    TIrcChannelUpdateType type;
    QByteArray nick;
    int info;
    bool operator==(const TUpdate &o) const
    {
        return type == o.type && nick == o.nick && info == o.info;
    }
};

} // namespace

class TestIrcRegistries : public QObject
{
    Q_OBJECT

private slots:
    void usersAreCountedAndFoundWithoutCase()
    {
        TIrcClient client;
        TIrcUsers &users = client.Users();
        TIrcUser *a = users.Add("nick", "u@h");
        TIrcUser *b = users.Add("Nick", "");
        QCOMPARE(a, b);
        QCOMPARE(a->Count, 2);
        QCOMPARE(a->Address, QByteArray("u@h")); // an empty address keeps the stored one
        users.Add("NICK", "other@host");
        QCOMPARE(a->Address, QByteArray("other@host"));
        QCOMPARE(a->Nick, QByteArray("nick"));
        users.Remove(a);
        users.Remove(a);
        QCOMPARE(users.Count(), 1); // still referenced once
        QCOMPARE(users.Find("NiCk"), 0);
        users.Remove(a);
        QCOMPARE(users.Count(), 0);
        QCOMPARE(users.Get("nick"), nullptr);
        QCOMPARE(users.Find("nick"), -1);
    }

    void cyrillicNicksCompareWithoutCase()
    {
        TIrcClient client;
        // "Вася" and "вАСЯ" in Windows-1251.
        TIrcUser *a = client.Users().Add("\xc2\xe0\xf1\xff", "");
        QCOMPARE(client.Users().Get("\xe2\xc0\xd1\xdf"), a);
        QCOMPARE(client.Users().Get("\xa8"), nullptr);
        TIrcUser *yo = client.Users().Add("\xa8", ""); // Ё
        QCOMPARE(client.Users().Get("\xb8"), yo);      // ё
        // Brackets are distinct characters here.
        client.Users().Add("[a]", "");
        QCOMPARE(client.Users().Get("{a}"), nullptr);
    }

    void usersKeepCreationOrder()
    {
        TIrcClient client;
        TIrcUsers &users = client.Users();
        for (const char *n : {"a", "b", "c", "d"})
            users.Add(n, "");
        users.Remove(users.Get("b"));
        QCOMPARE(users.Count(), 3);
        QCOMPARE(users.Items(0)->Nick, QByteArray("a"));
        QCOMPARE(users[1]->Nick, QByteArray("c"));
        QCOMPARE(users.Items(2)->Nick, QByteArray("d"));
        QCOMPARE(users.Find("d"), 2);
        users.Rename(users.Get("a"), "z");
        QCOMPARE(users.Items(0)->Nick, QByteArray("z"));
        QCOMPARE(users.Get("a"), nullptr);
        QCOMPARE(users.Find("Z"), 0);
    }

    void renameOntoAnExistingNickFindsTheOlderRecord()
    {
        TIrcClient client;
        TIrcUsers &users = client.Users();
        TIrcUser *older = users.Add("bob", "");
        TIrcUser *newer = users.Add("robert", "");
        users.Rename(older, "bobby");
        users.Rename(newer, "bob");
        users.Rename(older, "bob"); // both are "bob" now; the older one is found
        QCOMPARE(users.Get("bob"), older);
        users.Remove(older);
        QCOMPARE(users.Get("bob"), newer);
        users.Remove(newer);
        QCOMPARE(users.Count(), 0);
    }

    void namesEntriesAndFlags()
    {
        TIrcClient client;
        TIrcChannel *channel = client.Channels().Add("#c");
        QVERIFY(channel->AddUser("@op", ""));
        QVERIFY(channel->AddUser("+v", ""));
        QVERIFY(channel->AddUser("@both+", ""));
        QVERIFY(channel->AddUser("plain", ""));
        QCOMPARE(channel->AddUser("PLAIN", ""), nullptr); // already a member
        const TIrcNames &names = channel->Names();
        QCOMPARE(names.Count(), 4);
        QCOMPARE(names.Nick(0), QByteArray("op"));
        QCOMPARE(names.Flags(0), MemberOp);
        QCOMPARE(names.Nick(1), QByteArray("v"));
        QCOMPARE(names.Flags(1), MemberVoice);
        QCOMPARE(names.Nick(2), QByteArray("both"));
        QCOMPARE(names.Flags(2), MemberOp | MemberVoice);
        QCOMPARE(names.Flags(3), 0);
        // Each new member holds a lasting reference in the user registry.
        QCOMPARE(client.Users().Count(), 4);
        QCOMPARE(client.Users().Get("both")->Count, 1);
    }

    void memberUpkeepNotifies()
    {
        TIrcClient client;
        std::vector<TUpdate> updates;
        client.OnChannelUpdate = [&](TIrcChannel *sender, TIrcChannelUpdateType type,
                                     TIrcUser *user, int info) {
            QCOMPARE(sender->Name(), QByteArray("#c"));
            updates.push_back({type, user ? user->Nick : QByteArray("-"), info});
        };
        TIrcChannel *channel = client.Channels().Add("#c");
        TIrcUsers &users = client.Users();
        TIrcUser *a = users.Add("a", "");
        TIrcUser *b = users.Add("b", "");
        TIrcUser *c = users.Add("c", "");
        channel->MemberJoined(a);
        channel->MemberJoined(b);
        channel->MemberJoined(c);
        channel->MemberJoined(b);       // already a member: nothing
        channel->MemberJoined(nullptr); // nothing
        channel->OperatorSet(b);
        channel->VoiceSet(b);
        channel->OperatorCleared(b);
        channel->MemberNickChanged(b, "bee");
        users.Rename(b, "bee");
        channel->MemberParted(a);
        channel->MemberKicked(c);
        channel->MemberQuit(c); // no longer a member: nothing
        channel->NamesDone();
        channel->SetTopic("t");
        channel->SetKey("k");
        channel->SetLimit(5);
        channel->SetMode(cfKey);

        const std::vector<TUpdate> expected = {
            {cuJoin, "a", 0}, {cuJoin, "b", 1},  {cuJoin, "c", 2},  {cuUser, "b", 1},
            {cuUser, "b", 3}, {cuUser, "b", 2},  {cuNick, "b", 1},  {cuPart, "a", 0},
            {cuKick, "c", 1}, {cuNames, "-", 0}, {cuTopic, "-", 0}, {cuMode, "-", 0},
            {cuMode, "-", 0}, {cuMode, "-", 0},
        };
        QCOMPARE(updates.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            QVERIFY2(updates[i] == expected[i], qPrintable(QString::number(i)));
        QCOMPARE(channel->Names().Count(), 1);
        QCOMPARE(channel->Names().Nick(0), QByteArray("bee"));
        QCOMPARE(channel->Names().Flags(0), MemberVoice);
    }

    void modeString()
    {
        TIrcClient client;
        TIrcChannel *channel = client.Channels().Add("#c");
        QCOMPARE(channel->ModeString(), QByteArray());
        channel->SetMode(cfSecret);
        QCOMPARE(channel->ModeString(), QByteArray("+s"));
        channel->SetMode(cfTopicByOps | cfNoOutside | cfLimit | cfKey);
        channel->SetLimit(50);
        channel->SetKey("sesame");
        QCOMPARE(channel->ModeString(), QByteArray("+tnlk 50 sesame"));
        channel->SetMode(0xFF);
        QCOMPARE(channel->ModeString(), QByteArray("+psitnmlk 50 sesame"));
    }

    void channelsAreReplacedAndRemoved()
    {
        TIrcClient client;
        TIrcChannels &channels = client.Channels();
        TIrcChannel *first = channels.Add("#a");
        first->SetTopic("old");
        first->AddUser("x", "");
        channels.Add("#b");
        TIrcChannel *again = channels.Add("#A");
        QCOMPARE(channels.Count(), 2);
        QCOMPARE(channels.Items(0)->Name(), QByteArray("#b"));
        QCOMPARE(channels.Items(1), again);
        QCOMPARE(again->Topic(), QByteArray());
        QCOMPARE(again->Names().Count(), 0);
        QCOMPARE(channels.Find("#a"), 1);
        channels.Remove("#B");
        QCOMPARE(channels.Count(), 1);
        QCOMPARE(channels.Get("#b"), nullptr);
    }

    // Random churn against a plain array that does what the collection promises.
    void orderedCollectionMatchesAPlainList()
    {
        TIrcClient client;
        TIrcChannel *channel = client.Channels().Add("#big");
        std::vector<TUpdate> seen;
        channel->OnChannelUpdate = [&](TIrcChannel *, TIrcChannelUpdateType type, TIrcUser *user,
                                       int info) {
            seen.push_back({type, user->Nick, info});
        };
        std::vector<QByteArray> model;
        auto modelIndex = [&](const QByteArray &nick) {
            for (std::size_t i = 0; i < model.size(); ++i) {
                if (model[i] == nick)
                    return int(i);
            }
            return -1;
        };
        QRandomGenerator random(12345);
        int next = 0;
        for (int step = 0; step < 6000; ++step) {
            const int op = random.bounded(10);
            seen.clear();
            if (op < 5 || model.empty()) {
                const QByteArray nick = "n" + QByteArray::number(next++);
                TIrcUser *user = client.Users().Add(nick, "");
                channel->MemberJoined(user);
                QCOMPARE(seen.back().info, int(model.size()));
                model.push_back(nick);
                client.Users().Remove(user);
            } else {
                const int index = random.bounded(int(model.size()));
                TIrcUser *user = client.Users().Add(model[index], "");
                if (op < 8) {
                    channel->MemberParted(user);
                    QCOMPARE(seen.back().info, index);
                    model.erase(model.begin() + index);
                } else {
                    const QByteArray renamed = "r" + QByteArray::number(next++);
                    channel->MemberNickChanged(user, renamed);
                    client.Users().Rename(user, renamed);
                    QCOMPARE(seen.back().info, index);
                    model[index] = renamed;
                }
                client.Users().Remove(user);
            }
            if (step % 500 == 0) {
                QCOMPARE(channel->Names().Count(), int(model.size()));
                for (std::size_t i = 0; i < model.size(); ++i)
                    QCOMPARE(channel->Names().Nick(int(i)), model[i]);
            }
        }
        for (std::size_t i = 0; i < model.size(); i += 7)
            QCOMPARE(channel->Names().IndexOf(model[i]), modelIndex(model[i]));
        // Every line-scoped reference went back.
        QCOMPARE(client.Users().Count(), 0);
    }

    // Many departures squeeze the holes out; order, positions and lookups survive it.
    void mostMembersLeaving()
    {
        TIrcClient client;
        TIrcChannel *channel = client.Channels().Add("#c");
        std::vector<QByteArray> model;
        for (int i = 0; i < 1000; ++i) {
            const QByteArray nick = "m" + QByteArray::number(i);
            QVERIFY(channel->AddUser(nick, ""));
            model.push_back(nick);
        }
        QRandomGenerator random(7);
        while (model.size() > 50) {
            const int index = random.bounded(int(model.size()));
            TIrcUser *user = client.Users().Get(model[index]);
            int reported = -1;
            channel->OnChannelUpdate = [&](TIrcChannel *, TIrcChannelUpdateType, TIrcUser *,
                                           int info) { reported = info; };
            channel->MemberQuit(user);
            QCOMPARE(reported, index);
            model.erase(model.begin() + index);
        }
        channel->OnChannelUpdate = nullptr;
        for (int i = 0; i < 20; ++i) {
            const QByteArray nick = "late" + QByteArray::number(i);
            channel->AddUser("+" + nick, "");
            model.push_back(nick);
        }
        const TIrcNames &names = channel->Names();
        QCOMPARE(names.Count(), int(model.size()));
        int i = 0;
        names.ForEach([&](const TIrcMember &member) {
            QCOMPARE(member.Nick, model[i]);
            QCOMPARE(names.Nick(i), model[i]);
            QCOMPARE(names.IndexOf(model[i].toUpper()), i);
            ++i;
        });
        QCOMPARE(names.Flags(int(model.size()) - 1), MemberVoice);
        QCOMPARE(names.IndexOf("m0x"), -1);
    }
};

QTEST_MAIN(TestIrcRegistries)
#include "test_irc_registries.moc"
