#pragma once

// A dialog host for the wizard, the small windows and the configuration editor: a real IRC
// engine, a recorded interface voice, a private program directory with the shipped help
// texts, and a sound player that writes down what it was asked to play.

#include "../speech/help/help_test_support.h"
#include "config/config_files.h"
#include "dialogs/dialog_host.h"
#include "irc/irc_client.h"

#include <QAccessible>
#include <QFile>
#include <QKeyEvent>

class WizardTestHost : public IDialogHost
{
public:
    WizardTestHost()
    {
        SetProgramDir(programDir.path());
        QDir(programDir.path()).mkpath(QStringLiteral("config"));
        QDir(programDir.path()).mkpath(QStringLiteral("help"));
        SetHelpSpeech(voice.speech.get());
        SetEventSoundPlayer(&player);
        SetDialogHost(this);
    }
    ~WizardTestHost() override
    {
        client.Disconnect(true);
        SetDialogHost(nullptr);
        SetEventSoundPlayer(nullptr);
        SetHelpSpeech(nullptr);
    }

    TSpeech *InterfaceSpeech() override { return voice.speech.get(); }
    TIrcClient *IrcClient() override { return &client; }
    void ConnectAction() override { ++connectActions; }
    void SpeakLang() override { ++languageChecks; }
    void ShowConfigEditor(int page) override { editorPages.append(page); }
    QWidget *MainWidget() override { return nullptr; }

    // Copies the shipped help texts (wizard steps, IRC topic) into the program directory.
    void copyShippedHelp() const
    {
        const QDir shipped(qEnvironmentVariable("TALVIN_SOURCE_DIR") +
                           QStringLiteral("/dist/help"));
        for (const QString &name : shipped.entryList(QDir::Files))
            QFile::copy(shipped.filePath(name),
                        programDir.filePath(QStringLiteral("help/") + name));
    }
    QString helpText(const QString &name) const
    {
        QFile file(programDir.filePath(QStringLiteral("help/") + name));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll())
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    void writeConfig(const QString &name, const QByteArray &bytes) const
    {
        QFile file(programDir.filePath(QStringLiteral("config/") + name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    }
    QByteArray configBytes(const QString &name) const
    {
        QFile file(programDir.filePath(QStringLiteral("config/") + name));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    QStringList said() const { return voice.recording->speakAndStop(); }
    void forget() { voice.recording->clear(); }

    QTemporaryDir programDir;
    TRecordedVoice voice = MakeRecordedVoice();
    RecordingSoundPlayer player{voice.recording};
    TIrcClient client;
    int connectActions = 0;
    int languageChecks = 0;
    QList<int> editorPages;
};

// Real key events to whatever holds the keyboard focus, as the user's keyboard sends them.
// The control holding the keyboard focus. After a message box closes, the window beneath
// gets the keyboard back through an activation that may still be on its way; wait for it.
inline QWidget *Focused()
{
    (void)QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 2000);
    return QApplication::focusWidget();
}
inline void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = Focused();
    if (!target)
        target = QApplication::activeWindow();
    QVERIFY2(target, "no window has the keyboard");
    QTest::keyClick(target, Qt::Key(key), modifiers);
}
// Types text character by character (Cyrillic included) into the focused control.
inline void Type(const QString &text)
{
    QWidget *target = Focused();
    QVERIFY2(target, "no control has the keyboard");
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

inline bool ActivateWindow(QWidget *window)
{
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

// Every control that takes the keyboard focus must be labelled for screen readers.
inline QStringList UnlabelledControls(QWidget *window)
{
    QStringList missing;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
        if (face && face->state().focusable && face->text(QAccessible::Name).isEmpty())
            missing << QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
    }
    return missing;
}
