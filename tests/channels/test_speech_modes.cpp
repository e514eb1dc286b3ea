// Speech modes per window and the main window's speech keys, pressed as real keys: what
// each voice says and what is kept on disk.
#include "channel_bench.h"

#include "irc/irc_client.h"
#include "scripted_peer.h"

#include <QtTest>

class TestSpeechModes : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChannelBench> bench;
    std::unique_ptr<ScriptedPeer> peer;

    void feed(const QByteArray &line) { bench->window->IRC->Dispatch(line); }
    TChannelForm *join(const QByteArray &channel)
    {
        feed(":me!u@h JOIN " + channel);
        TChannelForm *form = ChannelFormAt(FindChannelForm(QString::fromLatin1(channel)));
        form->VoxEdit1->setFocus();
        return form;
    }
    QStringList said(TRecordingSpeechEngine *voice)
    {
        QStringList texts = voice->speakAndStop();
        voice->clear();
        return texts;
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

    void ctrlAltSGoesRoundTheModesAndKeepsThem()
    {
        TChannelForm *quiet = join("#q");
        TChannelForm *form = join("#c");
        QTRY_VERIFY(form->_Focused());
        QStringList heard;
        for (int press = 0; press < 3; ++press) {
            bench->interfaceVoice->clear();
            QTest::keyClick(form->VoxEdit1, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
            heard << bench->interfaceVoice->spokenTexts().last();
            // Each mode heard from the other window: spoken, or only while focused.
            bench->channelVoice->clear();
            quiet->VoxEdit1->setFocus();
            QTRY_VERIFY(quiet->_Focused());
            feed(":bob!u@h PRIVMSG #c :away " + QByteArray::number(press));
            heard << bench->channelTexts().join('|');
            form->VoxEdit1->setFocus();
            QTRY_VERIFY(form->_Focused());
        }
        QCOMPARE(heard, QStringList({"не читать", "", "читать всегда", "bob away 1",
                                     "читать только в активном окне", ""}));
        QCOMPARE(bench->sounds.played.count("message"), 1);
        // Kept by name: the channel joined again in any letter case speaks as left.
        QTest::keyClick(form->VoxEdit1, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(GetConfigValue("windows.ini", "SpeechMode", "%23c"), QStringLiteral("silent"));
        QVERIFY(!ChannelFormAt(NewChannelForm("#C"))->Options.SpeechOn);
    }
    void mainSpeechKeysMuteStopAndDrop()
    {
        TChannelForm *form = join("#c");
        QTRY_VERIFY(form->_Focused());
        bench->channelVoice->clear();
        bench->interfaceVoice->clear();
        // As the window gets it once the line is decoded.
        form->Recive("bob", QString::fromUtf8("see https://www.example.org/x?y=1 \u200bnow!!!!!"));
        QTest::keyClick(form->VoxEdit1, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
        feed(":bob!u@h PRIVMSG #c :unheard");
        QTest::keyClick(form->VoxEdit1, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
        feed(":bob!u@h PRIVMSG #c :heard");
        QTest::keyClick(form->VoxEdit1, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(form->VoxEdit1, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(said(bench->channelVoice), QStringList({"bob see example org now     ", "<stop>",
                                                         "bob heard", "<stop>", "<stop>"}));
        QCOMPARE(said(bench->interfaceVoice),
                 QStringList({"<stop>", "каналы молчат", "<stop>", "каналы читаются", "<stop>",
                              "очередь сброшена", "<stop>"}));
    }
};

QTEST_MAIN(TestSpeechModes)
#include "test_speech_modes.moc"
