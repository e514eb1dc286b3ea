// Mentions and the activity key, pressed as real keys: what is heard, in which order, and
// which window takes the keyboard.
#include "channel_bench.h"

#include "channels/mentions_form.h"
#include "irc/irc_client.h"
#include "scripted_peer.h"
#include "speech/controls/vox_list_box.h"

#include <QtTest>

class TestMentionsActivity : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChannelBench> bench;
    std::unique_ptr<ScriptedPeer> peer;

    void feed(const QByteArray &line) { bench->window->IRC->Dispatch(line); }
    QString press(QWidget *to, Qt::Key key)
    {
        bench->interfaceVoice->clear();
        QTest::keyClick(to, key, Qt::ControlModifier | Qt::ShiftModifier);
        const QStringList texts = bench->interfaceVoice->spokenTexts();
        return texts.isEmpty() ? QString() : texts.last();
    }

private slots:
    void init()
    {
        bench = std::make_unique<ChannelBench>();
        peer = std::make_unique<ScriptedPeer>();
        QVERIFY(bench->startRegistered(*peer));
    }
    void cleanup()
    {
        bench.reset();
        peer.reset();
    }

    void mentionsAreHeardListedAndJumpedTo()
    {
        for (const char *channel : {"#a", "#b", "#c"})
            feed(QByteArray(":me!u@h JOIN ") + channel);
        TChannelForm *here = ChannelFormAt(FindChannelForm("#c"));
        here->VoxEdit1->setFocus();
        QTRY_VERIFY(here->_Focused());
        bench->channelVoice->clear();
        bench->sounds.played.clear();
        feed(":bob!u@h PRIVMSG #a :hello world");
        feed(":bob!u@h PRIVMSG #b :hey ME, look");
        feed(":bob!u@h PRIVMSG #b :bobby meh");
        feed(":eve!u@h PRIVMSG me :psst");
        // Only the mention is heard from the windows in the background, with its own sound.
        QCOMPARE(bench->channelTexts(), QStringList{"bob hey ME  look"});
        QCOMPARE(bench->sounds.played, QStringList({"message", "mention", "message"}));
        QStringList heard;
        for (int i = 0; i < 4; ++i)
            heard << press(QApplication::focusWidget(), Qt::Key_J);
        QCOMPARE(heard, QStringList({"eve, новых сообщений: 1", "#b, новых сообщений: 2",
                                     "#a, новых сообщений: 1", "новых сообщений нет"}));
        // The mentions window: the newest mention selected; Enter goes to its window.
        press(QApplication::focusWidget(), Qt::Key_N);
        TVoxListBox *list = MentionsForm()->VoxListBox1;
        QTRY_VERIFY(list->hasFocus());
        QVERIFY(list->currentItem()->text().endsWith("#b bob: hey ME, look"));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(ChannelFormAt(FindChannelForm("#b"))->_Focused());
    }
};

QTEST_MAIN(TestMentionsActivity)
#include "test_mentions_activity.moc"
