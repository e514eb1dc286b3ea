#pragma once

#include "app/main_window.h"
#include "channels/channel_event_router.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "config/config_files.h"
#include "config/event_sound.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/vox_show_message_form.h"
#include "speech/recording_speech_engine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

// Records the event sounds instead of playing them.
class RecordingSoundPlayer : public IEventSoundPlayer
{
public:
    void play(const QString &name) override { played << name; }
    QStringList played;
};

// A main window in a private program directory made from the shipped one, both voices on
// recording engines (speech filters off, so the texts arrive as the windows hand them
// over), the channel routing attached to its engine and the sounds recorded.
struct ChannelBench
{
    ChannelBench()
    {
        const QString source = QProcessEnvironment::systemEnvironment().value(
            QStringLiteral("TALVIN_SOURCE_DIR"), QStringLiteral(TALVIN_SOURCE_DIR_DEFAULT));
        copyTree(source + QStringLiteral("/dist"), dir.path());
        QDir(dir.path()).mkpath(QStringLiteral("log"));
        QDir::setCurrent(dir.path());
        SetProgramDir(dir.path());
        for (const char *key :
             {"IEUseMultiFilter", "IEUseSingleFilter", "CEUseMultiFilter", "CEUseSingleFilter"})
            SetSpeechValue(QLatin1String(key), QStringLiteral("0"));
        for (const char *key : {"UseInterfaceEngine", "UseChannelEngine"})
            SetSpeechValue(QLatin1String(key), QStringLiteral("-1"));
        SetCaption(QStringLiteral("smode"), QStringLiteral("none"));
        SetEventSoundPlayer(&sounds);
    }
    ~ChannelBench()
    {
        window.reset();
        SetEventSoundPlayer(nullptr);
        QDir::setCurrent(QDir::tempPath());
    }

    // The keyboard language is announced once beforehand unless asked otherwise, so the
    // first key typed in a test does not add it to the channel voice.
    TForm1 *start(bool languageKnown = true)
    {
        auto interface = MakeRecordedVoice(1);
        auto channel = MakeRecordedVoice(2);
        interfaceVoice = interface.recording;
        channelVoice = channel.recording;
        window = std::make_unique<TForm1>(std::move(interface.speech), std::move(channel.speech));
        TChannelEventRouter::AttachChannelRouting(window->IRC);
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("main window did not become active");
        if (languageKnown) {
            window->SpeakLang();
            channelVoice->clear();
        }
        return window.get();
    }

    // What the channel voice said, without the keyboard-language announcements that the
    // first typed letters of a test may cause.
    QStringList channelTexts() const
    {
        static const QStringList languages{QStringLiteral("Английский"), QStringLiteral("Русский"),
                                           QStringLiteral("Украинский"),
                                           QStringLiteral("Язык неизвестен")};
        QStringList texts = channelVoice->spokenTexts();
        texts.removeIf([](const QString &t) { return languages.contains(t); });
        return texts;
    }

    static void copyTree(const QString &from, const QString &to)
    {
        QDir source(from);
        QDir().mkpath(to);
        for (const QFileInfo &info :
             source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString target = to + QLatin1Char('/') + info.fileName();
            if (info.isDir())
                copyTree(info.filePath(), target);
            else
                QFile::copy(info.filePath(), target);
        }
    }

    QTemporaryDir dir;
    RecordingSoundPlayer sounds;
    std::unique_ptr<TForm1> window;
    TRecordingSpeechEngine *interfaceVoice = nullptr;
    TRecordingSpeechEngine *channelVoice = nullptr;
};

// Closes spoken message boxes as they come up and remembers "title|text".
class MessageBoxWatcher : public QObject
{
public:
    MessageBoxWatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<TVoxShowMessageForm *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
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
        const Qt::Key key = c == QLatin1Char(' ') ? Qt::Key_Space : Qt::Key(c.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), Qt::NoModifier);
    }
}
