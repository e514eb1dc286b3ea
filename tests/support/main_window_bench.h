#pragma once

#include "app/main_window.h"
#include "app/status_window.h"
#include "config/config_files.h"
#include "dialogs/connect_form.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/help/vox_show_message_form.h"
#include "speech/recording_speech_engine.h"

#include "directory_tree.h"
#include "file_bytes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
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
    MainWindowBench()
    {
        const QString source = QProcessEnvironment::systemEnvironment().value(
            QStringLiteral("TALVIN_SOURCE_DIR"), QStringLiteral(TALVIN_SOURCE_DIR_DEFAULT));
        CopyDirectoryTree(source + QStringLiteral("/dist"), dir.path());
        QDir(dir.path()).mkpath(QStringLiteral("log"));
        QDir::setCurrent(dir.path());
        SetProgramDir(dir.path());
    }
    ~MainWindowBench()
    {
        window.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    void setCaption(const QString &key, const QString &value) { SetCaption(key, value); }
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
