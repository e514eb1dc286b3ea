#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QScrollBar;
class QToolButton;
class TSpeech;
class TVoxButton;
class TVoxCheckBox;
class TVoxComboBox;

// The main window's speech panel: the user picks one of the two voices (interface or
// channels) and tunes its engine, speed, pitch, volume and on/off switch; every change acts
// on that voice at once and rewrites config/speech.ini. It also holds the test phrase and
// the "Сброс чтения" button that silences the channel voice.
//
// Use: ConfigureSpeech(speech1, speech2, ...) first (speech/speech_config.h), then
//     auto logError = [this](const QString &m) { AddToLog("Exception: " + m); };
//     auto *panel = new TSpeechPanel(Speech1, Speech2, this, logError);
//     panel->OnShowConfigEditor = [this](int page) { ... modal editor on that page ... };
//     panel->OnVisibleChanged = [this](bool shown) { ToolButton3->setChecked(shown); };
//     panel->LoadCaptions();        // with the main window's other captions
//     A_SetSpeakPanel -> panel->TogglePanel();
// The new panel loads itself from SpeechConfig (which rewrites speech.ini with what the
// voices really use) and starts hidden. Every control speaks through speech1.
class TSpeechPanel : public QWidget
{
    Q_OBJECT

public:
    // onError receives what goes wrong while the panel loads itself (see OnError).
    TSpeechPanel(TSpeech *speech1, TSpeech *speech2, QWidget *parent = nullptr,
                 std::function<void(const QString &)> onError = {});

    // Texts from caption.ini: Label1..Label4, VoxCheckBox4 (engine label), CheckBox1 (the
    // voice switch), Button1, VoxButton1..VoxButton5, VoxComboBox2_int, VoxComboBox2_cn.
    void LoadCaptions();
    // Loads the controls from the voice the panel shows (SpeechConfig.ActiveControl) and
    // stores what the voice really uses back into speech.ini.
    void SelectActiveControl();
    // Shows or hides the panel; a shown panel takes the focus on its voice choice.
    void TogglePanel();

    // Open the configuration editor modally on a page (5 word rules, 4 speech.ini).
    std::function<void(int page)> OnShowConfigEditor;
    // The panel was shown or hidden (also by its own close button).
    std::function<void(bool visible)> OnVisibleChanged;
    // A failure the panel worked around (speech.ini not writable, an engine refusing); the
    // main window logs it as "Exception: " + message.
    std::function<void(const QString &message)> OnError;
    // The user switched who reads the controls (VoxCheckBox6): a screen reader or the
    // program's own interface voice.
    std::function<void(bool screenReaderReads)> OnScreenReaderChanged;
    TVoxComboBox *VoxComboBox2; // which voice: "Interface", "Channels"
    TVoxComboBox *VoxComboBox1; // engine names
    QScrollBar *ScrollBar1;     // speed
    QScrollBar *ScrollBar2;     // pitch
    QScrollBar *ScrollBar3;     // volume, percent
    TVoxCheckBox *VoxCheckBox5; // the shown voice is in use
    TVoxButton *VoxButton1;     // test phrase
    TVoxButton *VoxButton3;     // reset the voice to its engine's defaults
    TVoxButton *VoxButton2;     // word rules in the configuration editor
    TVoxButton *VoxButton4;     // speech.ini in the configuration editor
    TVoxCheckBox *VoxCheckBox1; // beside the filter buttons; no action
    TVoxCheckBox *VoxCheckBox3;
    TVoxButton *VoxButton5;    // "More..."; no action
    TVoxCheckBox *VoxCheckBox6; // a screen reader reads the controls
    TVoxButton *Button1;       // "Сброс чтения": stop the channel voice
    QToolButton *SpeedButton2; // hide the panel
    QLabel *Label1, *Label2, *Label3, *Label4, *EngineLabel;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void VoxComboBox2Click();
    void ScrollBarChange(QScrollBar *bar);
    void VoxComboBox1Click();
    void VoxButton3Click();
    void VoxCheckBox5Click();
    void VoxButton1Click();
    void Button1Click();

    TSpeech *activeVoice() const; // by GetActiveSpeech, or null
    TSpeech *shownVoice() const;  // by ActiveControl alone
    void save();
    // Runs a handler; an error is reported and the panel carries on.
    void guarded(const std::function<void()> &handler);
    void report(const QString &message);

    TSpeech *m_speech1;
    TSpeech *m_speech2;
};
