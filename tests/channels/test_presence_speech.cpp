// Joins, parts and quits: which are heard (plain rows), and a channel window fed by the
// scripted peer: what the channel voice says in which order, the one line of a net split
// and of the rejoins after it, and the key that goes round the settings.
#include "channel_bench.h"

#include "channels/net_split.h"
#include "channels/presence_notes.h"
#include "irc/irc_client.h"
#include "scripted_peer.h"

#include <QtTest>

class TestPresenceSpeech : public QObject
{
    Q_OBJECT

private slots:
    void speakPresence_data()
    {
        QTest::addColumn<TPresenceSpeech>("setting");
        QTest::addColumn<qint64>("spokeAgo"); // -1: never spoke
        QTest::addColumn<bool>("heard");
        const qint64 minute = 60000;
        QTest::newRow("always, silent user") << TPresenceSpeech::Always << qint64(-1) << true;
        QTest::newRow("never, just spoke") << TPresenceSpeech::Never << qint64(0) << false;
        QTest::newRow("recent, never spoke")
            << TPresenceSpeech::RecentSpeakers << qint64(-1) << false;
        QTest::newRow("recent, 10 min") << TPresenceSpeech::RecentSpeakers << 10 * minute << true;
        QTest::newRow("recent, 11 min") << TPresenceSpeech::RecentSpeakers << 11 * minute << false;
    }
    void speakPresence()
    {
        QFETCH(TPresenceSpeech, setting);
        QFETCH(qint64, spokeAgo);
        QFETCH(bool, heard);
        const qint64 now = 100 * 60000;
        const auto spoke = spokeAgo < 0 ? std::nullopt : std::optional(now - spokeAgo);
        QCOMPARE(SpeakPresence(setting, spoke, now), heard);
    }
    void netSplitReason_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("servers"); // empty: not a split
        QTest::newRow("split") << "irc.a.net irc.b.net"
                               << "irc.a.net|irc.b.net";
        QTest::newRow("masked") << "*.net *.split"
                                << "*.net|*.split";
        QTest::newRow("user's quit") << "Quit: irc.a.net irc.b.net"
                                     << "";
        QTest::newRow("same server") << "irc.a.net irc.a.net"
                                     << "";
        QTest::newRow("words") << "gone home"
                               << "";
        QTest::newRow("two blanks") << "irc.a.net  irc.b.net"
                                    << "";
    }
    void netSplitReason()
    {
        QFETCH(QString, reason);
        QFETCH(QString, servers);
        const auto found = NetSplitServers(reason);
        QCOMPARE(found ? found->Near + '|' + found->Far : QString(), servers);
    }

    void windowSpeaksAndGathersSplits()
    {
        ChannelBench bench;
        ScriptedPeer peer;
        QVERIFY(bench.startRegistered(peer));
        TPresenceNotes::QuietMs = 100;
        auto send = [&](const QByteArray &line) { peer.sendLine(line); };
        send(":me!u@h JOIN #c");
        QTRY_VERIFY(FindChannelForm("#c") >= 0);
        TChannelForm *form = ChannelFormAt(FindChannelForm("#c"));
        form->VoxEdit1->setFocus();
        QTRY_VERIFY(form->_Focused());
        bench.channelVoice->clear();
        for (const char *nick : {"bob", "carol", "dave", "erin", "frank"})
            send(QByteArray(":") + nick + "!u@h JOIN #c");
        send(":bob!u@h PRIVMSG #c :hi");
        send(":bob!u@h PART #c");   // spoke: heard
        send(":zed!u@h QUIT :bye"); // not in the channel: nowhere
        send(":frank!u@h QUIT :bye");
        for (const char *nick : {"carol", "dave", "erin"})
            send(QByteArray(":") + nick + "!u@h QUIT :irc.a.net irc.b.net");
        QTRY_VERIFY(ViewText(form).contains("разрыв"));
        for (const char *nick : {"carol", "dave"})
            send(QByteArray(":") + nick + "!u@h JOIN #c");
        QTRY_VERIFY(ViewText(form).contains("вернулись"));
        QCOMPARE(ViewText(form).split('\n').mid(1),
                 QStringList({"*** bob вошел в #c", "*** carol вошел в #c", "*** dave вошел в #c",
                              "*** erin вошел в #c", "*** frank вошел в #c", "bob:", "hi",
                              "*** bob вышел #c", "*** frank вышел из сети (bye)",
                              "*** разрыв сети между irc.a.net и irc.b.net: ушли 3 пользователя "
                              "(carol, dave, erin)",
                              "*** после разрыва сети между irc.a.net и irc.b.net вернулись 2 "
                              "пользователя (carol, dave)"}));
        QCOMPARE(bench.channelTexts(),
                 QStringList({"bob hi", "bob вышел  c",
                              "разрыв сети между irc a net и irc b net: ушли 3 пользователя",
                              "после разрыва сети между irc a net и irc b net вернулись 2 "
                              "пользователя"}));

        // The key goes round the settings, says each and keeps it by the window's name.
        QStringList heard;
        for (int press = 0; press < 3; ++press) {
            bench.interfaceVoice->clear();
            QTest::keyClick(form->VoxEdit1, Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
            heard << bench.interfaceVoice->spokenTexts().last()
                  << GetConfigValue("windows.ini", "PresenceSpeech", "%23c");
            bench.channelVoice->clear();
            send(":x" + QByteArray::number(press) + "!u@h JOIN #c");
            QTRY_VERIFY(ViewText(form).contains("x" + QString::number(press) + " вошел"));
            heard << bench.channelTexts().join('|');
        }
        QCOMPARE(heard, QStringList({"читать все входы и выходы", "always", "x0 вошел в  c",
                                     "не читать входы и выходы", "never", "",
                                     "входы и выходы только тех, кто говорил", "recent", ""}));
    }
};

QTEST_MAIN(TestPresenceSpeech)
#include "test_presence_speech.moc"
