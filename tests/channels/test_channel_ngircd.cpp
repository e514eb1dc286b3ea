// A channel window against a real ngircd with a second client in the channel.
#include "channel_bench.h"

#include "channels/channel_mode_form.h"
#include "irc/irc_client.h"
#include "ngircd_server.h"
#include "raw_irc_client.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QtTest>

class TestChannelNgircd : public QObject
{
    Q_OBJECT

private slots:
    void conversationWithAnotherUser()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ChannelBench bench;
        TForm1 *main = bench.start();
        main->IRC->SetNick("talvin");
        main->IRC->Host = server.host();
        main->IRC->Port = server.port();
        main->IRC->Connect();
        QTRY_COMPARE_WITH_TIMEOUT(int(main->IRC->State()), int(stConnected), 10000);

        main->IRC->Join("#room");
        QTRY_VERIFY(FindChannelForm("#room") >= 0);
        TChannelForm *form = ChannelFormAt(FindChannelForm("#room"));
        QTRY_VERIFY(form->UserPresent("talvin") > 0);
        form->VoxEdit1->setFocus();
        QTRY_VERIFY(form->_Focused());

        RawIrcClient bob;
        QVERIFY(bob.connectTo(server, "bob"));
        bob.send("JOIN #room");
        QVERIFY(bob.waitFor(" 366 "));
        QTRY_VERIFY(form->UserPresent("bob") > 0);

        bench.channelVoice->clear();
        bob.send("PRIVMSG #room :hello from bob");
        QTRY_VERIFY(ViewText(form).endsWith(QStringLiteral("bob:\nhello from bob")));
        QCOMPARE(bench.channelTexts(), QStringList{QStringLiteral("bob hello from bob")});

        // After a nick change the messages keep coming, under the new nick.
        bob.send("NICK robert");
        QTRY_VERIFY(form->UserPresent("robert") > 0);
        QCOMPARE(form->UserPresent("bob"), 0);
        bob.send("PRIVMSG #room :renamed");
        QTRY_VERIFY(ViewText(form).endsWith(QStringLiteral("robert:\nrenamed")));

        // What the user types reaches the other user whole.
        TypeText(form->VoxEdit1, QStringLiteral("hi robert, how are you"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_Return);
        QVERIFY2(bob.waitFor("PRIVMSG #room :hi robert, how are you\r\n"),
                 bob.received.right(300).constData());

        // The mode dialog's topic, several words, and the first joiner's operator actions.
        TChannelModeForm *dialog = ChannelModeForm();
        QVERIFY(dialog->Prepare("#room"));
        dialog->TopicEdit->setText(QStringLiteral("a topic of several words"));
        dialog->VoxButton1->click();
        QVERIFY(bob.waitFor("TOPIC #room :a topic of several words"));

        form->VoxListView1->setCurrentIndex(
            form->UserTable()->index(form->UserPresent("robert") - 1, 0));
        form->OpExecute();
        QVERIFY(bob.waitFor("MODE #room +o robert"));

        // A private message opens a private window from slot 1.
        bob.send("PRIVMSG talvin :just you");
        QTRY_VERIFY(FindChannelForm("robert") >= 1);
        TChannelForm *query = ChannelFormAt(FindChannelForm("robert"));
        QTRY_VERIFY(ViewText(query).endsWith(QStringLiteral("just you")));

        form->KickExecute();
        QVERIFY(bob.waitFor("KICK #room robert :"));
        QTRY_COMPARE(form->UserPresent("robert"), 0);
    }
};

QTEST_MAIN(TestChannelNgircd)
#include "test_channel_ngircd.moc"
