#pragma once

#include <QDialog>
#include <QSpinBox>

#include "speech/controls/vox_voice.h"

class QLabel;
class TVoxButton;
class TVoxCheckBox;
class TVoxComboBox;
class TVoxMemo;

// A number field with up-down arrows that speaks its label and value on focus and the
// new value after each arrow or page key.
class TChannelListNumberField : public QSpinBox
{
    Q_OBJECT
public:
    TChannelListNumberField(const QString &speechName, QWidget *parent = nullptr);
    void setSpeech(TSpeech *speech) { m_voice.setSpeech(speech); }
    TSpeech *Speech() const { return m_voice.speech(); }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    VoxVoice m_voice;
};

// The channel list request dialog: asks the server for the list or loads the saved one,
// and holds the filter's minimum number of users. One for the whole program, kept between
// uses (with its minimum).
class TChannelListForm : public QDialog
{
    Q_OBJECT
public:
    explicit TChannelListForm(QWidget *parent = nullptr);
    ~TChannelListForm() override;

    // Shows the dialog and gives it the focus.
    void ShowAndFocus();
    void ConfigureComponents();

    // "Get list": the browser shown, LIST sent, the dialog closed.
    void Button1Click();
    // "Apply": the saved list added to the browser's full list, the dialog closed; a missing
    // or unreadable file is told in the spoken message box and the dialog stays.
    void Button2Click();

    // The "От" position: channels with fewer users are not shown.
    int MinimumUsers() const;
    // Whether the browser's rows are drawn in colour.
    bool Coloured() const;

    QLabel *Label1;
    TVoxComboBox *ComboBox1;
    TVoxButton *Button1; // Get list
    TVoxButton *Button2; // Apply
    TVoxButton *Button3; // Close
    TVoxCheckBox *CheckBox1;
    TVoxMemo *Memo1;
    QLabel *LabelFrom;
    QLabel *LabelTo;
    TChannelListNumberField *Edit1; // "От", the minimum
    TChannelListNumberField *Edit2; // "до", not used

protected:
    bool event(QEvent *event) override;

private:
    void FormActivate();
    bool m_initialMinimumLoaded = false;
};

// The one request dialog, created on first use.
TChannelListForm *ChannelListForm();

// Reads "1.lst" (a header line, then name, user count and topic per channel) and adds its
// channels to the full list after the rows already there. Returns false with error set
// when the file cannot be read; header gets the first line.
class TChannelList;
bool ReadChannelListFile(const QString &path, TChannelList &list, QString &header, QString &error);
