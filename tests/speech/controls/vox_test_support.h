#pragma once

#include "config/config_files.h"
#include "speech/recording_speech_engine.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

// A shown, active window on the offscreen platform, a recorded interface voice and a
// private program directory (the voice's transcript and any file lookups stay inside).
struct VoxTestBench
{
    VoxTestBench()
    {
        SetProgramDir(programDir.path());
        window.setObjectName(QStringLiteral("TestForm"));
        window.resize(400, 300);
    }

    // Shows the window and makes it the active one, so focus changes take effect at once.
    bool activate()
    {
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        return QTest::qWaitForWindowActive(&window);
    }

    // Gives the widget the focus as the Tab key would, then returns what was said.
    QStringList focus(QWidget *widget)
    {
        if (widget->hasFocus())
            widget->clearFocus();
        voice.recording->clear();
        widget->setFocus(Qt::TabFocusReason);
        return said();
    }

    QStringList said() const { return voice.recording->speakAndStop(); }
    void forget() { voice.recording->clear(); }

    QTemporaryDir programDir;
    TRecordedVoice voice = MakeRecordedVoice();
    QWidget window;
};

// Typing one character the way a keyboard layout delivers it (QTest::keyClicks cannot
// type Cyrillic).
inline void TypeCharacter(QWidget *widget, QChar ch)
{
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

inline const QString Stop = QStringLiteral("<stop>");
