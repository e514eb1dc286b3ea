#pragma once

#include <QDialog>

class TVoxButton;
class TVoxCheckBox;
class TVoxComboBox;
class TVoxEdit;

// The settings window: the speech and chat options of config/settings.ini as speaking
// controls. Every change is stored and takes effect at once; there is nothing to confirm,
// so Close (or Escape) only closes the window.
class TSettingsForm : public QDialog
{
    Q_OBJECT

public:
    explicit TSettingsForm(QWidget *parent = nullptr);

    TVoxComboBox *SpeechMode;     // speech mode of a new channel window
    TVoxEdit *BacklogLimit;       // texts the channel voice lets wait
    TVoxEdit *MentionWords;       // highlight words
    TVoxComboBox *PresenceSpeech; // joins and quits heard by default
    TVoxCheckBox *ReviewTime;     // review keys say the time
    TVoxCheckBox *ScreenReader;   // a screen reader reads the controls
    TVoxButton *CloseButton;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadCaptions();
    void loadValues();
    void store();

    bool m_loading = false;
};
