#pragma once

#include "app/main_window.h"
#include "app/status_window.h"
#include "channels/channel_event_router.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "config/config_files.h"
#include "config/event_sound.h"
#include "dialogs/connect_form.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/vox_show_message_form.h"
#include "speech/recording_speech_engine.h"
#include "speech/speech_filters.h"

#include "directory_tree.h"
#include "file_bytes.h"
#include "ngircd_server.h"
#include "scripted_peer.h"

#include <QApplication>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// Runs the event loop until done() holds; false when the time is up first.
inline bool WaitUntil(const std::function<bool()> &done, int timeoutMs = 8000)
{
    return QTest::qWaitFor(done, timeoutMs);
}

// A main window in a private program directory made from the shipped one, with both
// voices on recording engines. The settings each test needs are written before the
// window is created, since the window reads them at creation and first activation.
struct MainWindowBench
{
    // startMode: the "smode" caption the first activation follows, if not the shipped one.
    explicit MainWindowBench(const char *startMode = nullptr)
    {
        const QString source = QProcessEnvironment::systemEnvironment().value(
            QStringLiteral("TALVIN_SOURCE_DIR"), QStringLiteral(TALVIN_SOURCE_DIR_DEFAULT));
        CopyDirectoryTree(source + QStringLiteral("/dist"), dir.path());
        QDir(dir.path()).mkpath(QStringLiteral("log"));
        QDir::setCurrent(dir.path());
        SetProgramDir(dir.path());
        if (startMode)
            SetCaption(QStringLiteral("smode"), QLatin1String(startMode));
    }
    ~MainWindowBench()
    {
        window.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    void setServer(quint16 port) { setServer(QStringLiteral("127.0.0.1"), QString::number(port)); }
    void setServer(const QString &host, const QString &port)
    {
        SetConfigValue(QStringLiteral("connect.ini"), QStringLiteral("Connect"),
                       QStringLiteral("Server"), host);
        SetConfigValue(QStringLiteral("connect.ini"), QStringLiteral("Connect"),
                       QStringLiteral("Port"), port);
    }

    // Creates, shows and activates the window (the first activation runs the start mode).
    // mute: both voices have no engine at all, as on a machine without speech.
    TForm1 *start(bool mute = false)
    {
        createWindow(mute);
        window->CreateApplicationWindows();
        return showWindow();
    }

    // The window with both voices on recording engines, not yet shown.
    TForm1 *createWindow(bool mute = false)
    {
        auto interface = MakeRecordedVoice(1);
        auto channel = MakeRecordedVoice(2);
        interfaceVoice = interface.recording;
        channelVoice = channel.recording;
        if (mute) {
            interface.speech =
                std::make_unique<TSpeech>(std::vector<std::unique_ptr<ISpeechEngine>>());
            channel.speech =
                std::make_unique<TSpeech>(std::vector<std::unique_ptr<ISpeechEngine>>());
        }
        window = std::make_unique<TForm1>(std::move(interface.speech), std::move(channel.speech));
        window->IRC->SendQueue().IntervalMs = 0; // the lines themselves, not their pacing
        return window.get();
    }

    TForm1 *showWindow()
    {
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("main window did not become active");
        // The connect dialog takes the keyboard once the activation has settled; the tests
        // then go on from the main window, as a user who closed the dialog.
        if (window->Form2 && window->StartModeTaken() == TForm1::TStartMode::ConnectDialog) {
            dialogTookKeyboard =
                QTest::qWaitFor([this] { return window->Form2->isActiveWindow(); });
            window->Form2->hide();
            // The hidden dialog's deactivation arrives later; only then can the main window
            // take the keyboard back.
            static_cast<void>(
                QTest::qWaitFor([] { return QApplication::activeWindow() == nullptr; }, 500));
            window->activateWindow();
            if (!QTest::qWaitFor([this] { return QApplication::activeWindow() == window.get(); }))
                qWarning("main window did not become active again");
        }
        return window.get();
    }

    QString statusText() const
    {
        if (!window->StatusForm)
            return QString();
        window->StatusForm->FlushLines();
        return window->StatusForm->RichEdit1->toPlainText();
    }

    QByteArray log() const { return ReadBytes(dir.filePath(QStringLiteral("log/trafic.log"))); }

    QTemporaryDir dir;
    std::unique_ptr<TForm1> window;
    bool dialogTookKeyboard = false;
    TRecordingSpeechEngine *interfaceVoice = nullptr;
    TRecordingSpeechEngine *channelVoice = nullptr;
};

// Closes spoken message boxes as they come up and remembers their title and text.
// onceActive: wait until the box is the active window, so it has been read aloud.
class MessageBoxWatcher : public QObject
{
public:
    explicit MessageBoxWatcher(bool onceActive = false)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, onceActive] {
            auto *box = qobject_cast<TVoxShowMessageForm *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || (onceActive && !box->isActiveWindow()))
                return;
            texts.append(box->windowTitle() + QLatin1Char('|') + box->VoxRichEdit1->toPlainText());
            box->reject();
        });
        m_timer.start(10);
    }
    QStringList texts;

private:
    QTimer m_timer;
};

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
        ClearSpeechRules(); // rule tables an earlier window of this process loaded
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

// Gives the window's input line the keyboard; true once the window knows it has it.
inline bool Focus(TChannelForm *form)
{
    form->VoxEdit1->setFocus();
    return QTest::qWaitFor([form] { return form->_Focused(); });
}

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
