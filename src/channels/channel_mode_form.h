#pragma once

#include <QDialog>

class QLabel;
class TVoxButton;
class TVoxCheckBox;
class TVoxEdit;

// The channel mode dialog: the channel's modes and topic as the engine knows them; OK sends
// the MODE line shown in the preview (every mode not ticked as a removal) and, when the
// topic was changed, a TOPIC line. One instance serves every channel window.
class TChannelModeForm : public QDialog
{
    Q_OBJECT
public:
    explicit TChannelModeForm(QWidget *parent = nullptr);

    // Fills the dialog from the engine's record of the channel; false (dialog not to be
    // shown) when the engine has no record of that name.
    bool Prepare(const QString &channel);
    // The MODE line for the current state of the controls; also shown in the preview.
    QString BuildChannelMode();
    // OK: sends the lines and closes.
    void VoxButton1Click();
    void ConfigureComponents();

    TVoxEdit *TopicEdit = nullptr;
    QLabel *Label1 = nullptr;             // topic history
    TVoxCheckBox *VoxCheckBox1 = nullptr; // t
    TVoxCheckBox *VoxCheckBox2 = nullptr; // n
    TVoxCheckBox *VoxCheckBox3 = nullptr; // i
    TVoxCheckBox *VoxCheckBox4 = nullptr; // m
    TVoxCheckBox *VoxCheckBox5 = nullptr; // l
    TVoxEdit *LimitEdit = nullptr;
    QLabel *Label2 = nullptr;             // users
    TVoxCheckBox *VoxCheckBox7 = nullptr; // p
    TVoxCheckBox *VoxCheckBox6 = nullptr; // k
    TVoxEdit *KeyEdit = nullptr;
    TVoxCheckBox *VoxCheckBox8 = nullptr; // s
    TVoxEdit *Preview = nullptr;
    TVoxButton *VoxButton1 = nullptr; // OK
    TVoxButton *VoxButton2 = nullptr; // Cancel

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString m_channel;
    QString m_topic;
};

// The one mode dialog, made on first use.
TChannelModeForm *ChannelModeForm();
// Opens the mode dialog modally for a channel (nothing when the engine does not know it).
void ShowChannelMode(const QString &channel);
