#pragma once

#include <QList>
#include <QPointer>
#include <QString>

class QFocusEvent;
class QKeyEvent;
class QWidget;
class TSpeech;

// What every speaking control adds to its widget: the voice it speaks through (not owned,
// may be absent: the control is then silent) and its spoken name, which is also handed to
// the accessibility layer so that a screen reader finds the control labelled the same way.
// The controls hold one of these and route all of their speech through it, so that the
// rules on stopping and silence live in one place.
class VoxVoice
{
public:
    enum class Interrupt {
        No,  // announcements queue behind what is being said
        Yes, // every announcement first stops the voice (tree views)
    };
    enum class AccessibleName {
        FromSpeechName, // the spoken name labels the control
        WithCaption,    // buttons and check boxes: spoken name + caption; the caption alone
                        // while the spoken name is still the class default
    };

    VoxVoice(QWidget *widget, QString defaultName, Interrupt interrupt = Interrupt::No,
             AccessibleName accessible = AccessibleName::FromSpeechName);

    TSpeech *speech() const;
    void setSpeech(TSpeech *speech);

    // The class default until a name is assigned.
    QString speechName() const { return m_nameAssigned ? m_name : m_defaultName; }
    void setSpeechName(const QString &name);

    // Speaks the text on the attached voice (after a stop for interrupting controls).
    void announce(const QString &text) const;
    // While a screen reader reads the controls, every control and menu of the program is
    // silent (and never cuts the voice off): the screen reader finds them by their
    // accessible names, and the program's voices are left to the messages. Off by default.
    static void SetScreenReaderReadsControls(bool reads);
    static bool ScreenReaderReadsControls();
    // While one of these lives, the controls say nothing and do not stop the voice: for the
    // program's own focus moves that end where they began (a window opened behind the
    // current one), which the user would otherwise hear as a burst of names.
    class QuietControls
    {
    public:
        QuietControls();
        ~QuietControls();
        QuietControls(const QuietControls &) = delete;
        QuietControls &operator=(const QuietControls &) = delete;
    };
    static bool ControlsQuiet();
    void stop() const;
    // Before a focus announcement: stops the voice, except when the focus came with the
    // window's activation, so the window's own announcement is heard before the control's.
    void stopForFocus(const QFocusEvent *event) const;

    // Key releases are spoken only for keys that went down in this control: the release of
    // the Tab that brought the focus here belongs to the control it came from, and would
    // otherwise cut the control's own announcement.
    void keyWentDown(const QKeyEvent *event);
    // True once for each key that went down here; forgets it.
    bool keyWentUp(const QKeyEvent *event);
    void forgetKeys() { m_keysDown.clear(); }

    // Buttons and check boxes call this when their caption changes.
    void refreshAccessibleName();

private:
    QWidget *m_widget;
    QPointer<TSpeech> m_speech;
    QString m_defaultName;
    QString m_name;
    bool m_nameAssigned = false;
    Interrupt m_interrupt;
    AccessibleName m_accessible;
    QList<int> m_keysDown;
};

// Whether a focus-in event means the control really took the keyboard focus and should
// announce itself. Not for focus coming back from a closed drop-down or menu, nor for the
// preview event a dialog sends its first control before the window is activated (the real
// one follows and would say it all twice), nor for a window activated after it was hidden.
bool AnnouncesFocus(const QWidget *widget, const QFocusEvent *event);

// A caption as it is heard: the mnemonic marker "&" removed ("&&" stays one "&").
QString CaptionForSpeech(const QString &caption);
