#pragma once

// What every dialog test needs of the main window: a real IRC engine whose every sent line is
// written down, the help bench (a recorded interface voice, a private program directory, a
// recording sound player) with a config folder (the shipped settings in it, when asked), a
// connect action that, when asked, connects from connect.ini and user.ini as the main window
// does, and real keys for whatever holds the keyboard focus.

#include "../speech/help/help_test_support.h"
#include "dialogs/dialog_host.h"
#include "file_bytes.h"
#include "irc/irc_client.h"
#include "ngircd_server.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTextCodec>

#include <memory>

inline QByteArray Cp1251(const QString &text)
{
    return QTextCodec::codecForName("windows-1251")->fromUnicode(text);
}

class TestDialogHost : public IDialogHost, public HelpBench
{
public:
    explicit TestDialogHost(bool shippedConfig = false)
    {
        QDir(programDir.path()).mkpath("config");
        if (shippedConfig)
            copyShipped("config", {"*.ini"});
        client.OnSend = [this](TIrcClient *, const QByteArray &line) { sent << line; };
        SetDialogHost(this);
    }
    ~TestDialogHost() override
    {
        client.Disconnect(true);
        SetDialogHost(nullptr);
    }

    TSpeech *InterfaceSpeech() override { return voice.speech.get(); }
    TIrcClient *IrcClient() override { return &client; }
    void ConnectAction() override
    {
        ++connectActions;
        if (!connectOnAction)
            return;
        if (client.Connected())
            return client.Disconnect(true);
        client.Host = GetConnectValue("Server");
        client.Port = ConfigToInt(GetConnectValue("Port"));
        client.SetNick(Cp1251(GetUserValue("Nick")));
        client.Connect();
    }
    void SpeakLang() override { ++languageChecks; }
    // The engine registered at a real server under the nick.
    bool connectTo(const NgircdServer &server, const QByteArray &nick)
    {
        client.Host = server.host();
        client.Port = server.port();
        client.SetNick(nick);
        client.Connect();
        return QTest::qWaitFor([this] { return client.State() == stConnected; }, 10000);
    }
    void ShowConfigEditor(int page) override { editorPages.append(page); }
    QWidget *MainWidget() override { return nullptr; }

    // Copies the shipped files of one folder of dist/ ("config", "help").
    void copyShipped(const QString &folder, const QStringList &patterns = {}) const
    {
        const QDir shipped(qEnvironmentVariable("TALVIN_SOURCE_DIR") + "/dist/" + folder);
        for (const QString &name : shipped.entryList(patterns, QDir::Files))
            QFile::copy(shipped.filePath(name), programDir.filePath(folder + u'/' + name));
    }
    void writeConfig(const QString &name, const QByteArray &bytes) const
    {
        WriteBytes(programDir.filePath("config/" + name), bytes);
    }
    QByteArray configBytes(const QString &name) const
    {
        return ReadBytes(programDir.filePath("config/" + name));
    }
    QString configText(const QString &name) const { return QString::fromUtf8(configBytes(name)); }

    TIrcClient client;
    QList<QByteArray> sent;
    bool connectOnAction = false;
    int connectActions = 0;
    int languageChecks = 0;
    QList<int> editorPages;
};

// The control holding the keyboard focus. After a message box closes, the window beneath
// gets the keyboard back through an activation that may still be on its way; wait for it.
inline QWidget *Focused()
{
    (void)QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 2000);
    return QApplication::focusWidget();
}
// Real key events to whatever holds the keyboard focus.
inline void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = Focused() ? Focused() : QApplication::activeWindow();
    QVERIFY2(target, "no window has the keyboard");
    QTest::keyClick(target, Qt::Key(key), modifiers);
}
// Types text into a control character by character (Cyrillic included).
inline void TypeInto(QWidget *field, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
}
inline void Type(const QString &text)
{
    QWidget *target = Focused();
    QVERIFY2(target, "no control has the keyboard");
    TypeInto(target, text);
}

inline bool ActivateWindow(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

// Runs a modal dialog's work from inside its own event loop: once the dialog of type T is
// the active modal window, calls act with it. Gives up (rejecting it) after 5 seconds.
template <typename T, typename Act> void WhenModal(Act act)
{
    auto *timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, act, started] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        const bool ready = dialog && dialog->isActiveWindow();
        if (!ready && started->elapsed() <= 5000)
            return;
        timer->stop();
        timer->deleteLater();
        if (ready)
            act(dialog);
        else if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            modal->reject();
    });
    timer->start(5);
}
