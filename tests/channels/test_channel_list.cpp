// Colour-code stripping, the bytes a window sends and the serial work queue; the channel list
// browser and its request dialog: rows, filter and both sorts on the engine's deliveries,
// "1.lst" written and read back, damaged and missing files, and a real ngircd's list driven
// by the window's keys.
#include "../dialogs/dialog_test_host.h"
#include "app/codepage.h"
#include "channels/channel_list_form.h"
#include "channels/channel_list_request_form.h"
#include "channels/channel_list_view.h"
#include "channels/channel_text.h"
#include "channels/serial_work.h"
#include "irc/irc_client.h"
#include "ngircd_server.h"
#include "raw_irc_client.h"
#include "speech/controls/vox_controls.h"

#include <QCollator>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>

namespace {

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

// The shown rows: names, or user counts.
QStringList Shown(bool counts = false)
{
    QStringList rows;
    for (int row = 0; row < Form3()->ShownList->rowCount(); ++row) {
        const TChannelListRow &r = Form3()->ShownList->Row(row);
        rows << (counts ? QString::number(r.UserCount) : r.NameText);
    }
    return rows;
}

bool SortedByName()
{
    QCollator collator(QLocale::system());
    collator.setCaseSensitivity(Qt::CaseSensitive);
    const QStringList names = Shown();
    return std::is_sorted(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        return collator.compare(a, b) < 0;
    });
}

// Feeds the engine a LIST reply without a socket, as the reading thread would.
void FeedList(TIrcClient &client, const QList<QByteArray> &entries, bool end = true)
{
    client.OnList = [](TIrcClient *sender, const QList<QByteArray> &chans, int position,
                       bool last) { ChannelListOnList(sender->Host, chans, position, last); };
    if (!entries.isEmpty())
        client.Dispatch(":irc.test.local 321 me Channel :Users  Name");
    for (const QByteArray &entry : entries)
        client.Dispatch(":irc.test.local 322 me " + entry);
    if (end)
        client.Dispatch(":irc.test.local 323 me :End of LIST");
}

} // namespace

class TestChannelList : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        host = std::make_unique<TestDialogHost>(true);
        listFile = ChannelListFilePath();
    }
    void cleanup()
    {
        DiscardBrowser();
        ChannelListForm()->hide();
        host.reset();
    }

    // A colour code takes one or two digits, or one character from ',' on; no more. NUL
    // becomes a blank; bold and underline stay. Stripped the same way on the way out.
    void stripControlCodes()
    {
        QStringList rows = {"^12red|red", "^4red|red", "^4,2x|,2x", "^abc|bc",
                            "^,5x|x",     "^ x| x",    "^|",        "^123|3"};
        rows.replaceInStrings("^", QString(QChar(3)));
        rows << "\x02\x62\x1f|\x02\x62\x1f" << QString::fromUtf16(u"a\0b|a b", 7);
        for (const QString &row : rows) {
            const QString text = row.section(u'|', 0, 0), expected = row.section(u'|', 1);
            QCOMPARE(StripControlCodes(text), expected);
            QCOMPARE(ChannelSendBytes("Привет " + text), EncodeEngineText("Привет " + expected));
        }
    }

    void serialWorkQueuesNestedWorkInOrder()
    {
        TSerialWork lock;
        QStringList order;
        lock.Run([&] {
            order << "a begins";
            // Work arriving while "a" runs (a nested event loop) waits for it.
            lock.Run([&] { order << "b"; });
            lock.Run([&] { order << "c"; });
            order << "a ends";
        });
        QCOMPARE(order, (QStringList{"a begins", "a ends", "b", "c"}));
        // A piece that throws frees the lock for the next one.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 lock.Run([] { throw std::runtime_error("x"); }));
        QVERIFY(!lock.Busy());
        lock.Run([&] { order << "d"; });
        QCOMPARE(order.last(), QStringLiteral("d"));
    }

    // Colour codes go, NUL reads as a blank, a count that is no number is 0.
    void entriesSplitIntoNameCountAndTopic()
    {
        QByteArray split;
        for (const QByteArray &entry :
             {QByteArray("#chat 12 hello  \0034,1red\003 world "),
              QByteArray("#x\0y 3 \003abc", 11), QByteArray("#bare 7"), QByteArray("#c abc t")}) {
            const TChannelListRow r = TChannelListRow::FromListEntry(entry);
            split += r.Name + '|' + r.Users + '|' + r.Topic + '|' +
                     QByteArray::number(r.UserCount) + '/';
        }
        QCOMPARE(split, "#chat|12|hello  ,1red world |12/#x y|3|bc|3/#bare|7||7/#c|abc|t|0/");
    }

    void deliveriesAppendOnlyNewRowsAndANewListReplacesTheOld()
    {
        TIrcClient &client = host->client;
        client.Host = "irc.example";
        QList<QByteArray> entries;
        for (int i = 0; i < 95; ++i)
            entries << "#c" + QByteArray::number(i) + ' ' + QByteArray::number(i % 7) + " t" +
                           QByteArray::number(i);
        FeedList(client, entries.mid(0, 1)); // a first list, soon replaced
        TForm3 *form = Form3();
        QVERIFY(form && form->isVisible());
        int inserts = 0, resets = 0;
        connect(form->ShownList, &QAbstractItemModel::rowsInserted, this, [&] { ++inserts; });
        connect(form->ShownList, &QAbstractItemModel::modelReset, this, [&] { ++resets; });
        FeedList(client, entries);
        QCOMPARE(Form3(), form);
        // One reset for the new list's start, then only insertions of the new rows.
        QCOMPARE(resets + inserts * 10, 11);
        QCOMPARE(Shown().size(), 95);
        QCOMPARE(HeaderText(), "Каналов  95 из 95");
        QVERIFY(form->ProgressPanel->isHidden());
        // Closing the browser while a list arrives: the next delivery makes a new one with
        // every entry so far.
        FeedList(client, entries.mid(0, 40), false);
        QVERIFY(!Form3()->ProgressPanel->isHidden());
        DiscardBrowser();
        for (int i = 40; i < 95; ++i)
            client.Dispatch(":irc.test.local 322 me " + entries[i]);
        FeedList(client, {});
        QCOMPARE(Shown().first() + Shown().last() + QString::number(Shown().size()), "#c0#c9495");

        // Activation says the window's caption.
        QVERIFY(ActivateWindow(ChannelListForm()));
        host->forget();
        QVERIFY(ActivateWindow(Form3()));
        QVERIFY2(host->said().contains("Список каналов"), qPrintable(host->said().join(u'|')));
        QCOMPARE(UnlabelledControls(Form3()).join(u','), QString());
    }

    void filterAndSortsOrderAsTheUserExpects()
    {
        TIrcClient &client = host->client;
        // Counts with many ties, and a damaged one that counts as 0.
        const QList<QByteArray> entries = {"#e 5 e",  "#b 7 b", "#D 5 d", "#a 5 a",  "#c 9 c",
                                           "#x 2x x", "#B 7 B", "#f 0 f", "#g -3 g", "#h 100 h"};
        ChannelListForm()->Edit1->setValue(-5);
        FeedList(client, entries);
        TForm3 *form = Form3();
        form->SortByUsers();
        QCOMPARE(Shown(true).join(u' '), "100 9 7 7 5 5 5 0 0 -3");
        // Equal counts keep the order they had, also sorted twice.
        form->SortByUsers();
        QCOMPARE(Shown().join(u' '), "#h #c #b #B #e #D #a #x #f #g");
        form->SortByName();
        QVERIFY(SortedByName());
        form->AddFiltredChannel(); // a rebuild keeps the sorting, and so does a new list
        QVERIFY(SortedByName());
        FeedList(client, {"#zz 1 z", "#aa 1 a", "#mm 1 m"});
        QCOMPARE(Shown().join(u' '), "#aa #mm #zz");
        FeedList(client, entries);
        // "No sorting" leaves the rows where they are until the next rebuild.
        const QString firstByName = Shown().first();
        form->SortNone();
        QCOMPARE(Shown().first(), firstByName);
        form->AddFiltredChannel();
        QCOMPARE(Shown().first(), "#e");
        // The minimum hides rows; the damaged count is 0 and does not stop the filter.
        for (const auto &[minimum, header] :
             {std::pair{5, "7"}, {101, "0"}, {0, "9"}, {-3, "10"}}) {
            ChannelListForm()->Edit1->setValue(minimum);
            QCOMPARE(HeaderText(), QString("Каналов  %1 из 10").arg(header));
        }
        ChannelListForm()->Edit1->setValue(0);
    }

    void savedListWrittenAndReadBack()
    {
        TChannelList list;
        list.Append(TChannelListRow::FromFields("#a", "1", Cp1251("первая тема")));
        list.Append(TChannelListRow::FromFields("#b", "22", ""));
        list.Append(TChannelListRow::FromFields("#c", "3", "a\rb"));
        QVERIFY(WriteChannelListFile(listFile, "irc.example", list));
        const QByteArray bytes = ReadBytes(listFile);
        const QString header =
            QTextCodec::codecForName("windows-1251")->toUnicode(bytes.left(bytes.indexOf('\n')));
        QVERIFY2(
            header.contains(QRegularExpression("^ получен с irc\\.example .+ всего каналов 3 \r$")),
            qPrintable(header));
        // Three lines per channel; a CR inside a topic would split the entry.
        QCOMPARE(bytes.mid(header.size() + 1),
                 "#a\r\n1\r\n" + Cp1251("первая тема") + "\r\n#b\r\n22\r\n\r\n#c\r\n3\r\na b\r\n");

        // "Apply" reads it (a damaged count is 0); twice doubles the rows.
        QVERIFY(WriteBytes(listFile, bytes + "#d\r\nmany\r\n\r\n"));
        TChannelListForm *dialog = ChannelListForm();
        QVERIFY(ActivateWindow(dialog));
        QCOMPARE(UnlabelledControls(dialog).join(u','), QString());
        dialog->Button2->setFocus();
        QTest::keyClick(dialog->Button2, Qt::Key_Space);
        QVERIFY(Form3() && !dialog->isVisible());
        QCOMPARE(Shown().join(u' ') + ' ' + Shown(true).join(u' '), "#a #b #c #d 1 22 3 0");
        QCOMPARE(Form3()->FullList.At(0).TopicText, "первая тема");
        QVERIFY(ActivateWindow(dialog));
        dialog->Button2->click();
        QCOMPARE(HeaderText(), "Каналов  8 из 8");
        // An incomplete last entry (a file cut short) is left out; the rest loads.
        QVERIFY(WriteBytes(listFile, "header\n#a\n1\nt\n#b\n2\n"));
        DiscardBrowser();
        dialog->Button2->click();
        QCOMPARE(Shown(), QStringList{"#a"});

        // Missing: told in a box, spoken, and the dialog stays; "Get list" needs a link.
        DiscardBrowser();
        QFile::remove(listFile);
        QVERIFY(ActivateWindow(dialog));
        QVERIFY(!dialog->Button1->isEnabled());
        MessageCloser closer(host->voice.recording);
        QTest::keyClick(dialog->Button2, Qt::Key_Space);
        QCOMPARE(closer.seen.size(), 1);
        QVERIFY(closer.seen[0].text.contains("1.lst"));
        QVERIFY(closer.seen[0].said.contains(closer.seen[0].text));
        QVERIFY(dialog->isVisible() && !Form3());
    }

    // A real server's list, with channels of 1, 2 and 3 members made by three clients, and
    // the browser driven by its keys.
    void realServerListDrivenByKeys()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        RawIrcClient bots[3];
        for (int b = 0; b < 3; ++b)
            QVERIFY(bots[b].connectTo(server, "bot" + QByteArray::number(b)));
        const int channels = 60;
        for (int i = 0; i < channels; ++i) {
            const QByteArray name = "#ch" + QByteArray::number(i);
            for (int b = 0; b <= i % 3; ++b)
                bots[b].send("JOIN " + name);
            if (i % 10 == 0)
                bots[0].send("TOPIC " + name + " :" + Cp1251("Тема номер ") +
                             QByteArray::number(i));
        }
        for (int b = 0; b < 3; ++b) // each bot's last channel is the last one
            QVERIFY(bots[b].waitFor(" 366 bot" + QByteArray::number(b) + " #ch59 ", 20000));

        TIrcClient &client = host->client;
        QVERIFY(host->connectTo(server, "lister"));
        FeedList(client, {}, false); // binds the list delivery
        // "Get list" from the request dialog, by keys; "1.lst" is written as received.
        QFile::remove(listFile);
        TChannelListForm *dialog = ChannelListForm();
        QVERIFY(ActivateWindow(dialog));
        dialog->Button1->setFocus();
        QTest::keyClick(dialog->Button1, Qt::Key_Space);
        QVERIFY(host->sent.contains("LIST"));
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(listFile); }, 20000));
        TForm3 *form = Form3();
        const int total = form->FullList.Count(); // and whatever the server keeps itself
        QVERIFY(total >= channels);
        QVERIFY(
            ReadBytes(listFile).contains("\r\n#ch20\r\n3\r\n" + Cp1251("Тема номер 20") + "\r\n"));
        // Ctrl+U sorts by users; a row is spoken whole; Ctrl+J joins it.
        QVERIFY(ActivateWindow(form));
        form->ListView1->setFocus();
        QTest::keyClick(form->ListView1, Qt::Key_U, Qt::ControlModifier);
        const QStringList counts = Shown(true);
        QVERIFY(counts.first() == "3" &&
                std::is_sorted(counts.rbegin(), counts.rend(),
                               [](auto &x, auto &y) { return x.toInt() < y.toInt(); }));
        QTest::keyClick(form->ListView1, Qt::Key_Home);
        host->forget();
        QTest::keyClick(form->ListView1, Qt::Key_Down);
        const TChannelListRow &second = form->ShownList->Row(1);
        const QStringList said = host->said();
        QVERIFY2(said.size() >= 2 && said[0] == Stop &&
                     said[1] == second.NameText + u' ' + second.UsersText + u' ' + second.TopicText,
                 qPrintable(said.join(u'|')));
        host->sent.clear();
        QTest::keyClick(form->ListView1, Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(host->sent, QList<QByteArray>({"JOIN " + second.Name}));
        client.Disconnect(true);
    }

private:
    std::unique_ptr<TestDialogHost> host;
    QString listFile;
};

QTEST_MAIN(TestChannelList)
#include "test_channel_list.moc"
