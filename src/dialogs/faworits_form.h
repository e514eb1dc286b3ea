#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class TVoxButton;
class TVoxCheckBox;
class TVoxEdit;
class TVoxListBox;

// The favourite channels (faworits.ini): pick one or type a channel name and join it.
// Texts come from caption.ini (prefix "FF") at each activation. Not modal and never
// destroyed: the main window's favourites action calls FaworitsForm()->show(), raise()
// and activateWindow(). Join closes it.
class TFaworitsForm : public QDialog
{
    Q_OBJECT

public:
    explicit TFaworitsForm(QWidget *parent = nullptr);
    ~TFaworitsForm() override;

    // Reloads the list from the file, refills the list box and loads the texts.
    void ConfigurateComponents();

    QLabel *Label1;
    TVoxListBox *VoxListBox1;
    TVoxEdit *VoxEdit1;         // channel name
    TVoxButton *Button1;        // join
    TVoxButton *Button2;        // add
    TVoxButton *Button3;        // edit (disabled)
    TVoxButton *Button4;        // delete (disabled)
    TVoxButton *Button5;        // cancel
    TVoxCheckBox *VoxCheckBox1; // popup on connect (no effect)

    void JoinClick();
    void AddClick();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormActivate();
};

// Adds one favourite: empty, or pre-filled by the channel list browser. Modal:
//
//     EditFaworitForm()->ShowEmpty();
//     EditFaworitForm()->ShowFilled(channel, description, server);
//
// OK appends the four fields as a new entry, saves and refreshes the favourites window.
class TEditFaworitForm : public QDialog
{
    Q_OBJECT

public:
    explicit TEditFaworitForm(QWidget *parent = nullptr);
    ~TEditFaworitForm() override;

    void ShowEmpty();
    void ShowFilled(const QString &channel, const QString &description, const QString &server);

    // The editor's OK.
    void AddChannelToFaworits();

    TVoxEdit *ChannelEdit;
    TVoxEdit *PasswordEdit;
    TVoxEdit *DescrEdit;
    TVoxEdit *ServerEdit;
    QGroupBox *GroupBox1;
    TVoxCheckBox *JoinOnConnect;
    TVoxCheckBox *SpeakOnJoin;
    TVoxCheckBox *HideOnJoin;
    TVoxButton *OkButton;
    TVoxButton *CancelButton;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The current instances (the newest constructed), created on first use.
TFaworitsForm *FaworitsForm();
TEditFaworitForm *EditFaworitForm();
