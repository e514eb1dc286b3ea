#pragma once

#include <QDialog>

class QGroupBox;
class TVoxButton;
class TVoxCheckBox;
struct TChannelOptions;

// The channel setup dialog: the ten display and speech options of one channel window.
// One instance serves every window.
class TChannelSetupForm : public QDialog
{
    Q_OBJECT
public:
    explicit TChannelSetupForm(QWidget *parent = nullptr);

    void LoadOptions(const TChannelOptions &options);
    void StoreOptions(TChannelOptions &options) const;
    void ConfigureComponents();

    QGroupBox *GroupBox1 = nullptr; // show
    QGroupBox *GroupBox2 = nullptr; // speak
    // Boxes 1 to 10 in the numbering of their caption keys.
    TVoxCheckBox *VoxCheckBox[11] = {};
    TVoxButton *VoxButton1 = nullptr; // OK
    TVoxButton *VoxButton2 = nullptr; // Cancel

protected:
    void showEvent(QShowEvent *event) override;
};

TChannelSetupForm *ChannelSetupForm();
// Opens the setup dialog modally for the window in a slot; OK copies the boxes back.
// An empty slot does nothing.
void ShowChannelSetup(int slot);
