// The channel list browser and its request dialog: the list from a real ngircd with a few
// hundred channels, the filter, both sorts, the spoken rows, "1.lst" written and read back,
// damaged and missing files, and the keys of the window's menu.

#include "../dialogs/connection_dialogs_host.h"
#include "channels/channel_list_form.h"
#include "channels/channel_list_request_form.h"
#include "channels/channel_list_view.h"
#include "dialogs/faworits_form.h"
#include "irc/irc_client.h"
#include "ngircd_server.h"
#include "speech/controls/vox_controls.h"

#include <QCollator>
#include <QHeaderView>
#include <QLocale>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

QString Decode1251(const QByteArray &bytes)
{
    return QTextCodec::codecForName("windows-1251")->toUnicode(bytes);
}

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Closes the browser so that the next list makes a new one.
void DiscardBrowser()
{
    if (TForm3 *form = Form3()) {
        form->close();
        QTRY_VERIFY(!Form3());
    }
}

QString HeaderText()
{
    return Form3()->ShownList->headerData(0, Qt::Horizontal).toString();
}

QList<int> ShownCounts()
{
    QList<int> counts;
    for (int row = 0; row < Form3()->ShownList->rowCount(); ++row)
        counts << Form3()->ShownList->Row(row).UserCount;
    return counts;
}

// Feeds the engine a LIST reply without a socket, as the reading thread would.
void FeedList(TIrcClient &client, const QList<QByteArray> &entries)
{
    client.Dispatch(":irc.test.local 321 me Channel :Users  Name");
    for (const QByteArray &entry : entries)
        client.Dispatch(":irc.test.local 322 me " + entry);
    client.Dispatch(":irc.test.local 323 me :End of LIST");
}

void BindList(TIrcClient &client)
{
    client.OnList = [](TIrcClient *sender, const QList<QByteArray> &chans, int position,
                       bool last) { ChannelListOnList(sender->Host, chans, position, last); };
}

// A bot on the test server that joins channels and sets topics, and says when the server
// has handled everything it sent.
struct Bot
{
    explicit Bot(const QByteArray &nick)
    {
        irc.SetNick(nick);
        irc.AltNick = nick + "_";
        irc.Username = "bot";
        irc.OnJoined = [this](TIrcClient *, TIrcChannel *channel) {
            ++joined;
            if (channel && channel->Name() == "#zzlast")
                done = true;
        };
    }
    TIrcClient irc;
    int joined = 0;
    bool done = false;
};

} // namespace

class TestChannelList : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        host = std::make_unique<ConnectionDialogsHost>();
        listFile = ChannelListFilePath();
    }
    void cleanup()
    {
        DiscardBrowser();
        ChannelListForm()->hide();
        host.reset();
    }

    // ---- Rows, filter and sort on the engine's own deliveries ----

    void entriesSplitIntoNameCountAndTopic()
    {
        const TChannelListRow row = TChannelListRow::FromListEntry("#chat 12 hello  \x03"
                                                                   "4,1red\x03 world ");
        QCOMPARE(row.Name, QByteArray("#chat"));
        QCOMPARE(row.Users, QByteArray("12"));
        // The code takes its first digit and nothing after the comma.
        QCOMPARE(row.Topic, QByteArray("hello  ,1red world "));
        QCOMPARE(row.UserCount, 12);
        // A colour code followed by a letter takes the letter too; NUL reads as a blank.
        const TChannelListRow odd = TChannelListRow::FromListEntry(QByteArray("#x\0y 3 \x03"
                                                                              "abc",
                                                                              11));
        QCOMPARE(odd.Name, QByteArray("#x y"));
        QCOMPARE(odd.Topic, QByteArray("bc"));
        const TChannelListRow bare = TChannelListRow::FromListEntry("#bare 7");
        QCOMPARE(bare.Users, QByteArray("7"));
        QCOMPARE(bare.Topic, QByteArray());
        QCOMPARE(TChannelListRow::FromListEntry("#c abc t").UserCount, 0);
    }

    void deliveriesAppendOnlyNewRowsAndANewListReplacesTheOld()
    {
        TIrcClient &client = host->client;
        client.Host = QStringLiteral("irc.example");
        BindList(client);
        QList<QByteArray> entries;
        for (int i = 0; i < 95; ++i)
            entries << "#c" + QByteArray::number(i) + ' ' + QByteArray::number(i % 7) + " t" +
                           QByteArray::number(i);
        int inserts = 0;
        int resets = 0;
        FeedList(client, entries.mid(0, 1)); // a first list, soon replaced
        TForm3 *form = Form3();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        connect(form->ShownList, &QAbstractItemModel::rowsInserted, this, [&] { ++inserts; });
        connect(form->ShownList, &QAbstractItemModel::modelReset, this, [&] { ++resets; });
        FeedList(client, entries);
        QCOMPARE(Form3(), form);
        QCOMPARE(form->FullList.Count(), 95);
        QCOMPARE(form->ShownList->rowCount(), 95);
        // One reset for the new list's start, then only insertions of the new rows (here
        // all at the end: the deliveries came faster than the table is refreshed).
        QCOMPARE(resets, 1);
        QCOMPARE(inserts, 1);
        QCOMPARE(form->FullList.At(94).Name, QByteArray("#c94"));
        QCOMPARE(HeaderText(), QStringLiteral("Каналов  95 из 95"));
        QVERIFY(form->ProgressPanel->isHidden());
        QCOMPARE(form->ProgressBar1->maximum(), 78);

        // Closing the browser while a list arrives: the next delivery makes a new one with
        // every entry so far.
        client.Dispatch(":irc.test.local 321 me Channel :Users  Name");
        for (int i = 0; i < 40; ++i)
            client.Dispatch(":irc.test.local 322 me " + entries[i]);
        QVERIFY(!Form3()->ProgressPanel->isHidden());
        DiscardBrowser();
        for (int i = 40; i < 95; ++i)
            client.Dispatch(":irc.test.local 322 me " + entries[i]);
        client.Dispatch(":irc.test.local 323 me :End of LIST");
        QVERIFY(Form3());
        QCOMPARE(Form3()->FullList.Count(), 95);
        QCOMPARE(Form3()->FullList.At(0).Name, QByteArray("#c0"));

        // Activation says the window's caption; Ctrl+Alt+F hands the selected channel, its
        // topic and the server to the favourite editor.
        QVERIFY(ActivateWindow(ChannelListForm()));
        host->forget();
        QVERIFY(ActivateWindow(Form3()));
        QVERIFY2(host->said().contains(QStringLiteral("Список каналов")),
                 qPrintable(host->said().join(u'|')));
        Form3()->ListView1->setFocus();
        QTest::keyClick(Form3()->ListView1, Qt::Key_End);
        QStringList filled;
        WhenModal<TEditFaworitForm>([&](TEditFaworitForm *editor) {
            filled << editor->ChannelEdit->text() << editor->DescrEdit->text()
                   << editor->ServerEdit->text();
            editor->reject();
        });
        QTest::keyClick(Form3()->ListView1, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(filled, QStringList({"#c94", "t94", "irc.example"}));
    }

    void filterAndSortsOrderAsTheUserExpects()
    {
        TIrcClient &client = host->client;
        BindList(client);
        // Counts with many ties, and a damaged one that counts as 0.
        const QList<QByteArray> entries = {"#e 5 e",  "#b 7 b", "#D 5 d", "#a 5 a",  "#c 9 c",
                                           "#x 2x x", "#B 7 B", "#f 0 f", "#g -3 g", "#h 100 h"};
        ChannelListForm()->Edit1->setValue(-5);
        FeedList(client, entries);
        TForm3 *form = Form3();
        QCOMPARE(HeaderText(), QStringLiteral("Каналов  10 из 10"));

        form->SortByUsers();
        QCOMPARE(ShownCounts(), QList<int>({100, 9, 7, 7, 5, 5, 5, 0, 0, -3}));
        QStringList names;
        for (int row = 0; row < form->ShownList->rowCount(); ++row)
            names << form->ShownList->Row(row).NameText;
        // Equal counts keep the order they had.
        QCOMPARE(names, QStringList({"#h", "#c", "#b", "#B", "#e", "#D", "#a", "#x", "#f", "#g"}));
        // Sorting a list of equal counts changes nothing.
        form->SortByUsers();
        QCOMPARE(form->ShownList->Row(4).NameText, QStringLiteral("#e"));

        form->SortByName();
        QCollator collator(QLocale::system());
        collator.setCaseSensitivity(Qt::CaseSensitive);
        for (int row = 1; row < form->ShownList->rowCount(); ++row)
            QVERIFY(collator.compare(form->ShownList->Row(row - 1).NameText,
                                     form->ShownList->Row(row).NameText) <= 0);
        // Automatic sorting holds for a rebuild too.
        form->AddFiltredChannel();
        for (int row = 1; row < form->ShownList->rowCount(); ++row)
            QVERIFY(collator.compare(form->ShownList->Row(row - 1).NameText,
                                     form->ShownList->Row(row).NameText) <= 0);
        // A new list arriving while sorted by name ends up sorted too.
        FeedList(client, {"#zz 1 z", "#aa 1 a", "#mm 1 m"});
        QCOMPARE(Form3(), form);
        QCOMPARE(form->ShownList->Row(0).NameText, QStringLiteral("#aa"));
        QCOMPARE(form->ShownList->Row(2).NameText, QStringLiteral("#zz"));
        FeedList(client, entries);
        const QString firstByName = form->ShownList->Row(0).NameText;
        // "No sorting" leaves the rows where they are.
        form->SortNone();
        QCOMPARE(form->ShownList->Row(0).NameText, firstByName);
        form->AddFiltredChannel();
        QCOMPARE(form->ShownList->Row(0).NameText, QStringLiteral("#e"));

        // The minimum hides rows; the damaged count is 0 and does not stop the filter.
        ChannelListForm()->Edit1->setValue(5);
        QCOMPARE(HeaderText(), QStringLiteral("Каналов  7 из 10"));
        ChannelListForm()->Edit1->setValue(101);
        QCOMPARE(HeaderText(), QStringLiteral("Каналов  0 из 10"));
        ChannelListForm()->Edit1->setValue(0);
        QCOMPARE(HeaderText(), QStringLiteral("Каналов  9 из 10"));
        ChannelListForm()->Edit1->setValue(-3);
        QCOMPARE(HeaderText(), QStringLiteral("Каналов  10 из 10"));
        ChannelListForm()->Edit1->setValue(0);
    }

    void threeChannelsMakeAHeaderAndNineLines()
    {
        TChannelList list;
        list.Append(TChannelListRow::FromFields("#a", "1", Cp1251(QStringLiteral("первая тема"))));
        list.Append(TChannelListRow::FromFields("#b", "22", ""));
        list.Append(TChannelListRow::FromFields("#c", "3", "a\rb"));
        QVERIFY(WriteChannelListFile(listFile, QStringLiteral("irc.example"), list));
        const QList<QByteArray> lines = FileBytes(listFile).split('\n');
        QCOMPARE(lines.size(), 11); // header, nine lines, the empty rest after the last end
        QVERIFY(lines.back().isEmpty());
        const QString header = Decode1251(lines[0].chopped(1));
        QVERIFY2(
            QRegularExpression(QStringLiteral("^ получен с irc\\.example .+ всего каналов 3 $"))
                .match(header)
                .hasMatch(),
            qPrintable(header));
        QCOMPARE(lines[1], QByteArray("#a\r"));
        QCOMPARE(lines[2], QByteArray("1\r"));
        QCOMPARE(Decode1251(lines[3]), QStringLiteral("первая тема\r"));
        QCOMPARE(lines[5], QByteArray("22\r"));
        QCOMPARE(lines[6], QByteArray("\r"));
        QCOMPARE(lines[9], QByteArray("a b\r")); // a CR inside a topic would split the entry
    }

    // ---- The saved list ----

    void applyReadsTheSavedListAndTwiceDoublesIt()
    {
        WriteFile(listFile, QTextCodec::codecForName("windows-1251")
                                ->fromUnicode(QStringLiteral(" получен с old.net 01.02.2003 "
                                                             "04:05:06 всего каналов 3 \r\n"
                                                             "#один\r\n4\r\nтема\r\n"
                                                             "#two\r\nmany\r\nbroken count\r\n"
                                                             "#three\r\n12\r\n\r\n")));
        TChannelListForm *dialog = ChannelListForm();
        QVERIFY(ActivateWindow(dialog));
        dialog->Button2->setFocus();
        host->forget();
        QTest::keyClick(dialog->Button2, Qt::Key_Space);
        TForm3 *form = Form3();
        QVERIFY(form);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(form->FullList.Count(), 3);
        QCOMPARE(form->FullList.At(0).NameText, QStringLiteral("#один"));
        QCOMPARE(form->FullList.At(0).TopicText, QStringLiteral("тема"));
        QCOMPARE(form->FullList.At(1).UserCount, 0);
        QCOMPARE(form->windowTitle(),
                 QStringLiteral("Список каналов получен с old.net 01.02.2003 04:05:06 всего "
                                "каналов 3 "));
        form->SortByUsers();
        QCOMPARE(ShownCounts(), QList<int>({12, 4, 0}));

        QVERIFY(ActivateWindow(dialog));
        dialog->Button2->click();
        QCOMPARE(form->FullList.Count(), 6);
        QCOMPARE(form->FullList.At(3).NameText, QStringLiteral("#один"));
        QCOMPARE(HeaderText(), QStringLiteral("Каналов  6 из 6"));

        // An incomplete last entry (a file cut short) is left out; the rest loads.
        WriteFile(listFile, "header\n#a\n1\nt\n#b\n2\n");
        DiscardBrowser();
        dialog->Button2->click();
        QCOMPARE(Form3()->FullList.Count(), 1);
    }

    void everyControlIsLabelledForScreenReaders()
    {
        TChannelListForm *dialog = ChannelListForm();
        QVERIFY(ActivateWindow(dialog));
        QCOMPARE(UnlabelledControls(dialog).join(u','), QString());
        BindList(host->client);
        FeedList(host->client, {"#a 1 a"});
        QVERIFY(Form3());
        QCOMPARE(UnlabelledControls(Form3()).join(u','), QString());
    }

    void missingSavedListIsToldAndTheDialogStays()
    {
        QFile::remove(listFile);
        TChannelListForm *dialog = ChannelListForm();
        QVERIFY(ActivateWindow(dialog));
        // Not connected: "Get list" cannot be pressed.
        QVERIFY(!dialog->Button1->isEnabled());
        MessageCloser closer(host->voice.recording);
        dialog->Button2->setFocus();
        QTest::keyClick(dialog->Button2, Qt::Key_Space);
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Список каналов"));
        QVERIFY(closer.seen[0].text.contains(QStringLiteral("1.lst")));
        QVERIFY(closer.seen[0].said.contains(closer.seen[0].text));
        QVERIFY(dialog->isVisible());
        QVERIFY(!Form3());
    }

    // ---- A real server ----

    void realServerListInTheBrowser()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        // Three bots make 300 channels with 1, 2 and 3 members in turn, topics on some.
        std::vector<std::unique_ptr<Bot>> bots;
        for (int b = 0; b < 3; ++b) {
            bots.push_back(std::make_unique<Bot>("bot" + QByteArray::number(b)));
            bots.back()->irc.Host = server.host();
            bots.back()->irc.Port = server.port();
            bots.back()->irc.Connect();
            QVERIFY(QTest::qWaitFor([&] { return bots.back()->irc.State() == stConnected; }));
        }
        const int channels = 300;
        for (int i = 0; i < channels; ++i) {
            const QByteArray name = "#ch" + QByteArray::number(i);
            for (int b = 0; b <= i % 3; ++b)
                bots[size_t(b)]->irc.Raw("JOIN " + name);
            if (i % 10 == 0)
                bots[0]->irc.Raw("TOPIC " + name + " :" + Cp1251(QStringLiteral("Тема номер ")) +
                                 QByteArray::number(i));
        }
        for (auto &bot : bots)
            bot->irc.Raw("JOIN #zzlast");
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (auto &bot : bots)
                    if (!bot->done)
                        return false;
                return true;
            },
            20000));

        TIrcClient &client = host->client;
        BindList(client);
        client.SetNick("lister");
        client.Host = server.host();
        client.Port = server.port();
        client.Connect();
        QVERIFY(QTest::qWaitFor([&] { return client.State() == stConnected; }));

        // "Get list" from the request dialog, by keys.
        QFile::remove(listFile);
        TChannelListForm *dialog = ChannelListForm();
        QVERIFY(ActivateWindow(dialog));
        QVERIFY(dialog->Button1->isEnabled());
        dialog->Button1->setFocus();
        QTest::keyClick(dialog->Button1, Qt::Key_Space);
        QVERIFY(host->sent.contains("LIST"));
        QVERIFY(Form3());
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(listFile); }, 20000));
        TForm3 *form = Form3();
        // Every channel made here, and whatever channels the server keeps for itself.
        const int total = form->FullList.Count();
        QVERIFY(total >= channels + 1);
        int twoOrMore = 0;
        for (int i = 0; i < total; ++i)
            twoOrMore += form->FullList.At(i).UserCount >= 2 ? 1 : 0;
        QCOMPARE(twoOrMore, channels * 2 / 3 + 1); // and #zzlast
        QVERIFY(form->ProgressPanel->isHidden());
        QCOMPARE(HeaderText(), QStringLiteral("Каналов  %1 из %1").arg(total));

        // "1.lst": the header, then three lines per channel, as received.
        const QList<QByteArray> lines = FileBytes(listFile).split('\n');
        QCOMPARE(lines.size(), 1 + 3 * total + 1);
        QVERIFY(Decode1251(lines[0]).startsWith(QStringLiteral(" получен с 127.0.0.1 ")));
        QVERIFY(Decode1251(lines[0]).endsWith(QStringLiteral(" всего каналов %1 \r").arg(total)));
        const int at = int(lines.indexOf("#ch20\r"));
        QVERIFY(at > 0 && (at - 1) % 3 == 0);
        QCOMPARE(lines[at + 1], QByteArray("3\r"));
        QCOMPARE(Decode1251(lines[at + 2]), QStringLiteral("Тема номер 20\r"));

        // The minimum hides channels with fewer members.
        QVERIFY(ActivateWindow(dialog));
        dialog->Edit1->setFocus();
        QTest::keyClick(dialog->Edit1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog->Edit1, "2");
        QCOMPARE(dialog->MinimumUsers(), 2);
        QCOMPARE(HeaderText(), QStringLiteral("Каналов  %1 из %2").arg(twoOrMore).arg(total));
        for (int count : ShownCounts())
            QVERIFY(count >= 2);
        QTest::keyClick(dialog->Edit1, Qt::Key_Escape);
        QTRY_VERIFY(!dialog->isVisible());

        // The browser by keys: Ctrl+U sorts by users, a row is spoken, Ctrl+J joins.
        QVERIFY(ActivateWindow(form));
        form->ListView1->setFocus();
        QTest::keyClick(form->ListView1, Qt::Key_U, Qt::ControlModifier);
        const QList<int> counts = ShownCounts();
        QCOMPARE(counts.first(), 3);
        QCOMPARE(counts.last(), 2);
        for (int row = 1; row < counts.size(); ++row) {
            QVERIFY(counts[row - 1] >= counts[row]);
            if (counts[row - 1] == counts[row])
                QVERIFY(form->ShownList->FullIndex(row - 1) < form->ShownList->FullIndex(row));
        }
        QTest::keyClick(form->ListView1, Qt::Key_Home);
        host->forget();
        QTest::keyClick(form->ListView1, Qt::Key_Down);
        const TChannelListRow &second = form->ShownList->Row(1);
        QCOMPARE(second.UserCount, 3);
        const QString spoken = second.NameText + u' ' + second.UsersText + u' ' + second.TopicText;
        const QStringList said = host->said();
        QVERIFY2(said.size() >= 2 && said[0] == Stop && said[1] == spoken,
                 qPrintable(said.join(u'|')));
        QVERIFY(said.contains(QStringLiteral("List View ") + second.NameText));
        host->sent.clear();
        QTest::keyClick(form->ListView1, Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(host->sent, QList<QByteArray>({"JOIN " + second.Name}));

        // Ctrl+A sorts by name, Ctrl+N leaves the order, Ctrl+L asks again.
        QTest::keyClick(form->ListView1, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(form->ShownList->SortByName());
        QCollator collator(QLocale::system());
        collator.setCaseSensitivity(Qt::CaseSensitive);
        for (int row = 1; row < form->ShownList->rowCount(); ++row)
            QVERIFY(collator.compare(form->ShownList->Row(row - 1).NameText,
                                     form->ShownList->Row(row).NameText) <= 0);
        QTest::keyClick(form->ListView1, Qt::Key_N, Qt::ControlModifier);
        QVERIFY(!form->ShownList->SortByName());
        host->sent.clear();
        QFile::remove(listFile);
        QTest::keyClick(form->ListView1, Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(host->sent, QList<QByteArray>({"LIST"}));
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(listFile); }, 20000));
        QCOMPARE(Form3()->FullList.Count(), total);
        // Enter opens the request dialog.
        QVERIFY(ActivateWindow(form));
        form->ListView1->setFocus();
        QTest::keyClick(form->ListView1, Qt::Key_Return);
        QTRY_VERIFY(dialog->isVisible());
        dialog->hide();

        // Apply after the received list: the saved rows come after those shown; with a
        // fresh browser, Apply twice doubles.
        DiscardBrowser();
        QVERIFY(ActivateWindow(dialog));
        dialog->Button2->click();
        QCOMPARE(Form3()->FullList.Count(), total);
        QVERIFY(ActivateWindow(dialog));
        dialog->Button2->click();
        QCOMPARE(Form3()->FullList.Count(), 2 * total);
        QCOMPARE(HeaderText(),
                 QStringLiteral("Каналов  %1 из %2").arg(2 * twoOrMore).arg(2 * total));

        // With nothing shown, join says so.
        QVERIFY(ActivateWindow(dialog));
        dialog->Edit1->setValue(50);
        QCOMPARE(Form3()->ShownList->rowCount(), 0);
        QVERIFY(ActivateWindow(Form3()));
        Form3()->ListView1->setFocus();
        MessageCloser closer(host->voice.recording);
        QTest::keyClick(Form3()->ListView1, Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].text, QStringLiteral("Не один канал из списка не выбран. "));
        dialog->Edit1->setValue(0);

        client.Disconnect(true);
        for (auto &bot : bots)
            bot->irc.Disconnect(true);
    }

private:
    std::unique_ptr<ConnectionDialogsHost> host;
    QString listFile;
};

QTEST_MAIN(TestChannelList)
#include "test_channel_list.moc"
