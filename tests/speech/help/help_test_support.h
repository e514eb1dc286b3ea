#pragma once

// A private program directory with a help folder, a recorded interface voice handed to the
// help viewer and the spoken message box, a sound player that writes down what it was asked
// to play, and a closer for spoken message boxes.

#include "config/config_files.h"
#include "config/event_sound.h"
#include "file_bytes.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/help/help.h"
#include "speech/help/vox_show_message_form.h"
#include "speech/recording_speech_engine.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

inline const QString Stop = "<stop>";

// Remembers which sounds were asked for, and how much had been said at that moment.
class RecordingSoundPlayer : public IEventSoundPlayer
{
public:
    explicit RecordingSoundPlayer(const TRecordingSpeechEngine *speech) : m_speech(speech) {}
    void play(const QString &name) override
    {
        sounds.append(name);
        saidBefore.append(int(m_speech->speakAndStop().size()));
    }
    QStringList sounds;
    QList<int> saidBefore;

private:
    const TRecordingSpeechEngine *m_speech;
};

// One spoken message box as the user met it: everything the voice had been given when it
// was closed.
struct SeenMessage
{
    QString title;
    QString text;
    QStringList said;
};

// Closes every spoken message box once it is active, with a real key, and writes down what
// it showed. Message boxes run their own event loop, so this polls.
class MessageCloser : public QObject
{
public:
    MessageCloser(const TRecordingSpeechEngine *speech, int key = Qt::Key_Escape)
        : m_speech(speech), m_key(key)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<TVoxShowMessageForm *>(QApplication::activeModalWidget());
            if (!box || !box->isActiveWindow() || !box->isVisible())
                return;
            seen.append(
                {box->windowTitle(), box->VoxRichEdit1->toPlainText(), m_speech->speakAndStop()});
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box,
                            Qt::Key(m_key));
        });
        m_timer.start(5);
    }
    QList<SeenMessage> seen;

private:
    const TRecordingSpeechEngine *m_speech;
    int m_key;
    QTimer m_timer;
};

struct HelpBench
{
    HelpBench()
    {
        SetProgramDir(programDir.path());
        QDir(programDir.path()).mkpath("help");
        SetHelpSpeech(voice.speech.get());
        SetEventSoundPlayer(&player);
    }
    virtual ~HelpBench()
    {
        SetEventSoundPlayer(nullptr);
        SetHelpSpeech(nullptr);
    }
    void write(const QString &name, const QByteArray &bytes) const
    {
        WriteBytes(programDir.filePath("help/" + name), bytes);
    }
    QStringList said() const { return voice.recording->speakAndStop(); }
    void forget() { voice.recording->clear(); }

    QTemporaryDir programDir;
    TRecordedVoice voice = MakeRecordedVoice();
    RecordingSoundPlayer player{voice.recording};
};

// Every control that takes the keyboard focus must be labelled for screen readers.
inline QStringList UnlabelledControls(QWidget *window)
{
    QStringList missing;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isEnabled() || w->focusPolicy() == Qt::NoFocus)
            continue;
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
        if (face && face->state().focusable && face->text(QAccessible::Name).isEmpty())
            missing << QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
    }
    return missing;
}
