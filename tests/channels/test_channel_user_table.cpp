// The channel window's user table, fed through the engine as a server sends it: the rows
// and their order, the one change the list is told of per event, and what the list says.
#include "channel_bench.h"

#include "irc/irc_client.h"
#include "scripted_peer.h"

#include <QSignalSpy>
#include <QtTest>

class TestChannelUserTable : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChannelBench> bench;
    std::unique_ptr<ScriptedPeer> peer;
    TForm1 *main = nullptr;
    TChannelForm *form = nullptr;
    QStringList changes; // what the model told its view, in order

    void feed(const QByteArray &line) { main->IRC->Dispatch(line); }

    // "nick" or "nick:count", top to bottom.
    QStringList rows() const
    {
        QStringList out;
        const QAbstractItemModel *model = form->VoxListView1->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString count = model->index(r, 1).data().toString();
            out << model->index(r, 0).data().toString() + (count.isEmpty() ? "" : ":" + count);
        }
        return out;
    }

private slots:
    void init()
    {
        bench = std::make_unique<ChannelBench>();
        peer = std::make_unique<ScriptedPeer>();
        main = bench->start();
        main->IRC->SetNick("me");
        main->IRC->Host = QStringLiteral("127.0.0.1");
        main->IRC->Port = peer->port();
        main->IRC->Connect();
        QVERIFY(peer->waitForClient());
        peer->sendLine(":irc.test 001 me :Welcome");
        QTRY_COMPARE(int(main->IRC->State()), int(stConnected));
        feed(":me!u@h JOIN #c");
        form = ChannelFormAt(FindChannelForm("#c"));
        QVERIFY(form);
        changes.clear();
        QAbstractItemModel *model = form->VoxListView1->model();
        connect(model, &QAbstractItemModel::modelReset, this, [this] { changes << "reset"; });
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &, int a, int b) {
                    changes << QString("+%1-%2").arg(a).arg(b);
                });
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex &, int a, int b) {
                    changes << QString("-%1-%2").arg(a).arg(b);
                });
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &a, const QModelIndex &b) {
                    changes << QString("%1:%2-%3").arg(a.row()).arg(a.column()).arg(b.column());
                });
    }
    void cleanup()
    {
        bench.reset();
        peer.reset();
    }

    void eachEventTouchesOneRow_data()
    {
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<QStringList>("expectedRows");
        QTest::addColumn<QStringList>("expectedChanges");
        const QByteArray names = ":irc.test 353 me = #c :me @bob +carol";
        const QByteArray end = ":irc.test 366 me #c :End";
        // The names reply fills the table once, when it is complete.
        QTest::newRow("names") << QByteArrayList{names, names, end}
                               << QStringList{"me", "bob", "carol"} << QStringList{"reset"};
        QTest::newRow("join, part, quit, kick")
            << QByteArrayList{names,
                              end,
                              ":dave!u@h JOIN #c",
                              ":bob!u@h PART #c",
                              ":carol!u@h QUIT :bye",
                              ":me!u@h KICK #c dave :out"}
            << QStringList{"me"} << QStringList{"reset", "+3-3", "-1-1", "-1-1", "-1-1"};
        // A nick change keeps the row in place with its count; a member's mode changes no row.
        QTest::newRow("nick, message, mode") << QByteArrayList{names,
                                                               end,
                                                               ":bob!u@h PRIVMSG #c :hi",
                                                               ":bob!u@h NICK Robert",
                                                               ":me!u@h MODE #c +o carol",
                                                               ":Robert!u@h PRIVMSG #c :again"}
                                             << QStringList{"me", "Robert:2", "carol"}
                                             << QStringList{"reset", "1:1-1", "1:0-0", "1:1-1"};
        // A second names reply adds only who is missing, in one insertion.
        QTest::newRow("names again")
            << QByteArrayList{names, end, ":irc.test 353 me = #c :me bob erin carol frank", end}
            << QStringList{"me", "bob", "carol", "erin", "frank"} << QStringList{"reset", "+3-4"};
        // A member heard before the names reply ends is listed at once; an outsider is not.
        QTest::newRow("early speaker")
            << QByteArrayList{":irc.test 353 me = #c :me bob", ":bob!u@h PRIVMSG #c :first",
                              ":zed!u@h PRIVMSG #c :outside", end}
            << QStringList{"bob:1", "me"} << QStringList{"+0-0", "0:1-1", "+1-1"};
    }
    void eachEventTouchesOneRow()
    {
        QFETCH(QByteArrayList, lines);
        QFETCH(QStringList, expectedRows);
        QFETCH(QStringList, expectedChanges);
        for (const QByteArray &line : lines)
            feed(line);
        QCOMPARE(rows(), expectedRows);
        QCOMPARE(changes, expectedChanges);
    }

    void nicksAreFoundWithoutRegardToCase()
    {
        form->UpdateUserList({"Bob", "ANNA", "bob", "Борис"});
        QCOMPARE(rows(), (QStringList{"Bob", "ANNA", "Борис"}));
        QCOMPARE(form->UserPresent("BOB"), 1);
        QCOMPARE(form->UserPresent("борис"), 3);
        // Renaming onto a stale entry leaves one row, where the renamed user was.
        form->RenameUser("anna", "bob");
        QCOMPARE(rows(), (QStringList{"bob", "Борис"}));
    }

    void theListSpeaksTheSelectedNick()
    {
        form->UpdateUserList({"anna", "boris"});
        TVoxModelListView *list = form->VoxListView1;
        const QString name = list->SpeechName();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        bench->interfaceVoice->clear();
        list->setFocus();
        QTRY_VERIFY(bench->interfaceVoice->spokenTexts().contains(name + " anna"));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(bench->interfaceVoice->spokenTexts().last(), name + " boris");
        QCOMPARE(form->SelectedNick(), QStringLiteral("boris"));
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(bench->interfaceVoice->spokenTexts().last(), name + " anna");
    }
};

QTEST_MAIN(TestChannelUserTable)
#include "test_channel_user_table.moc"
