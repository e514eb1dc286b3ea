#pragma once

// The main window as the connection dialogs see it, for tests: a real IRC engine, a recorded
// interface voice, a private program directory with the shipped configuration, a sound
// player that writes down what it was asked to play, and a connect action that connects
// the engine the way the main window does, from connect.ini and user.ini.

#include "../speech/help/help_test_support.h"
#include "config/config_files.h"
#include "dialogs/dialog_host.h"
#include "irc/irc_client.h"

#include <QAccessible>
#include <QFile>
#include <QKeyEvent>
#include <QTextCodec>

class ConnectionDialogsHost : public IDialogHost
{
public:
    ConnectionDialogsHost()
    {
        SetProgramDir(programDir.path());
        QDir(programDir.path()).mkpath(QStringLiteral("config"));
        QDir(programDir.path()).mkpath(QStringLiteral("help"));
        const QDir shipped(qEnvironmentVariable("TALVIN_SOURCE_DIR") +
                           QStringLiteral("/dist/config"));
        for (const QString &name : shipped.entryList({QStringLiteral("*.ini")}, QDir::Files))
            QFile::copy(shipped.filePath(name),
                        programDir.filePath(QStringLiteral("config/") + name));
        SetHelpSpeech(voice.speech.get());
        SetEventSoundPlayer(&player);
        SetDialogHost(this);
        client.OnSend = [this](TIrcClient *, const QByteArray &line) { sent << line; };
    }
    ~ConnectionDialogsHost() override
    {
        client.Disconnect(true);
        SetDialogHost(nullptr);
        SetEventSoundPlayer(nullptr);
        SetHelpSpeech(nullptr);
    }

    TSpeech *InterfaceSpeech() override { return voice.speech.get(); }
    TIrcClient *IrcClient() override { return &client; }
    void ConnectAction() override
    {
        ++connectActions;
        if (!connectOnAction)
            return;
        if (client.Connected()) {
            client.Disconnect(true);
            return;
        }
        client.Host = GetConnectValue(QStringLiteral("Server"));
        client.Port = ConfigToInt(GetConnectValue(QStringLiteral("Port")));
        client.SetNick(QTextCodec::codecForName("windows-1251")
                           ->fromUnicode(GetUserValue(QStringLiteral("Nick"))));
        client.Connect();
    }
    void SpeakLang() override { ++speakLangCalls; }
    void ShowConfigEditor(int page) override { editorPages.append(page); }
    QWidget *MainWidget() override { return nullptr; }

    void writeConfig(const QString &name, const QByteArray &bytes) const
    {
        QFile file(programDir.filePath(QStringLiteral("config/") + name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    }
    QByteArray configBytes(const QString &name) const
    {
        QFile file(programDir.filePath(QStringLiteral("config/") + name));
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        return file.readAll();
    }
    QString configText(const QString &name) const { return QString::fromUtf8(configBytes(name)); }

    QStringList said() const { return voice.recording->speakAndStop(); }
    void forget() { voice.recording->clear(); }

    QTemporaryDir programDir;
    TRecordedVoice voice = MakeRecordedVoice();
    RecordingSoundPlayer player{voice.recording};
    TIrcClient client;
    QList<QByteArray> sent;
    bool connectOnAction = false;
    int connectActions = 0;
    int speakLangCalls = 0;
    QList<int> editorPages;
};

inline QByteArray Cp1251(const QString &text)
{
    return QTextCodec::codecForName("windows-1251")->fromUnicode(text);
}

// Real key events to whatever holds the keyboard focus, as the user's keyboard sends them.
inline void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    QTest::keyClick(target, Qt::Key(key), modifiers);
}
// Types text character by character (Cyrillic included) into the focused control.
inline void Type(const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c),
                            Qt::NoModifier);
}

// Types text into a given control, whichever window is in front.
inline void TypeInto(QWidget *field, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
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
        if (dialog && dialog->isActiveWindow()) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        } else if (started->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                modal->reject();
        }
    });
    timer->start(5);
}

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
