#pragma once

#include "app/main_window.h"
#include "channels/channel_event_router.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "config/event_sound.h"
#include "speech/controls/vox_controls.h"

#include "main_window_bench.h"
#include "ngircd_server.h"
#include "scripted_peer.h"

// Records the event sounds instead of playing them.
class RecordingSoundPlayer : public IEventSoundPlayer
{
public:
    void play(const QString &name) override { played << name; }
    QStringList played;
};

// The main window of the program tests, with speech filters off (so the texts arrive as
// the windows hand them over), both voices on, the channel routing attached to its engine
// and the sounds recorded.
struct ChannelBench : MainWindowBench
{
    ChannelBench()
    {
        for (const char *key :
             {"IEUseMultiFilter", "IEUseSingleFilter", "CEUseMultiFilter", "CEUseSingleFilter"})
            SetSpeechValue(QLatin1String(key), "0");
        SetCaption("smode", "none");
        SetEventSoundPlayer(&sounds);
    }
    ~ChannelBench()
    {
        window.reset();
        SetEventSoundPlayer(nullptr);
    }

    // The keyboard language is announced once beforehand unless asked otherwise, so the
    // first key typed in a test does not add it to the channel voice.
    TForm1 *start(bool languageKnown = true)
    {
        createWindow();
        TChannelEventRouter::AttachChannelRouting(window->IRC);
        showWindow();
        if (languageKnown)
            window->SpeakLang();
        channelVoice->clear();
        return window.get();
    }

    // Starts the window and connects it with the nick at the given port.
    TTalvinIrcClient *connectTo(const QByteArray &nick, quint16 port, bool languageKnown = true)
    {
        TTalvinIrcClient *irc = start(languageKnown)->IRC;
        irc->SetNick(nick);
        irc->Host = QStringLiteral("127.0.0.1");
        irc->Port = port;
        irc->Connect();
        return irc;
    }
    // Starts the window and registers it as "me" at the scripted peer.
    bool startRegistered(ScriptedPeer &peer)
    {
        TTalvinIrcClient *irc = connectTo("me", peer.port());
        if (!peer.waitForClient())
            return false;
        peer.sendLine(":irc.test 001 me :Welcome");
        return QTest::qWaitFor([irc] { return irc->State() == stConnected; });
    }
    // Starts the window as "talvin" at a real server, keyboard language not yet said, and
    // joins the channel; its window, or null.
    TChannelForm *joinAt(const NgircdServer &server, const QString &channel)
    {
        TTalvinIrcClient *irc = connectTo("talvin", server.port(), false);
        if (!QTest::qWaitFor([irc] { return irc->State() == stConnected; }, 10000))
            return nullptr;
        irc->Join(channel.toLatin1());
        return QTest::qWaitFor([&] { return FindChannelForm(channel) >= 0; })
                   ? ChannelFormAt(FindChannelForm(channel))
                   : nullptr;
    }

    // A line as if the server had sent it.
    void feed(const QByteArray &line) { window->IRC->Dispatch(line); }
    // The channel joined as the server reports it, its input line given the keyboard.
    TChannelForm *join(const QByteArray &channel)
    {
        feed(":me!u@h JOIN " + channel);
        TChannelForm *form = ChannelFormAt(FindChannelForm(QString::fromLatin1(channel)));
        if (form)
            form->VoxEdit1->setFocus();
        return form;
    }

    // What the channel voice said, without the keyboard-language announcements.
    QStringList channelTexts() const
    {
        QStringList texts = channelVoice->spokenTexts();
        texts.removeIf([](const QString &t) {
            return QStringList{"Английский", "Русский", "Украинский", "Язык неизвестен"}.contains(
                t);
        });
        return texts;
    }

    RecordingSoundPlayer sounds;
};

inline QString ViewText(TChannelForm *form)
{
    form->FlushLines();
    return form->VoxRichEdit1->toPlainText();
}

// Types text key by key as a keyboard would, Cyrillic included (QTest::keyClicks only
// knows Latin-1).
inline void TypeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        const Qt::Key key = c == u' ' ? Qt::Key_Space : Qt::Key(c.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(c), Qt::NoModifier);
    }
}
