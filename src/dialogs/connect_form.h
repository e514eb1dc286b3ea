#pragma once

#include <QDialog>

class QLabel;
class QTabWidget;
class QWidget;
class TVoxButton;
class TVoxCheckBox;
class TVoxComboBox;
class TVoxEdit;
class TVoxMemo;

// The connect dialog: the user's identity on IRC (user.ini, section "Config"), the server
// list (servers.ini) and the connection itself. Texts come from caption.ini (prefix "F2") at
// each activation. Not modal and never destroyed: created at start and shown with
// show()/raise()/activateWindow(); Connect and Cancel hide it.
//
// Connect writes the identity to user.ini and the chosen server to connect.ini, gives the
// engine the identity, hides the dialog and runs the main window's connect action
// (IDialogHost::ConnectAction), which connects, or disconnects when connected.
class TForm2 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm2(QWidget *parent = nullptr);
    ~TForm2() override;

    // Loads the texts from caption.ini.
    void ConfigureComponents();
    // Brings the dialog to the front with the keyboard focus; announces it even when it
    // already was the active window (no activation event comes then).
    void ShowAndFocus();

    QTabWidget *PageControl1;
    QWidget *TabSheet1; // user
    QWidget *TabSheet2; // IRC server
    QWidget *TabSheet3; // about

    QLabel *Label5;     // full name
    QLabel *Label8;     // e-mail
    QLabel *Label9;     // nick
    QLabel *Label10;    // alternative nick
    QLabel *Label11;    // server (user page)
    QLabel *Label12;    // server (IRC server page)
    TVoxEdit *VoxEdit1; // full name
    TVoxEdit *VoxEdit2; // e-mail
    TVoxEdit *VoxEdit3; // nick
    TVoxEdit *VoxEdit4; // alternative nick
    TVoxCheckBox *CheckBox1;
    TVoxComboBox *VoxComboBox1; // server box of the user page
    TVoxButton *Button1;        // connect (user page)

    TVoxComboBox *VoxComboBox2; // server box of the IRC server page
    TVoxEdit *DescEdit;         // description of the chosen server
    TVoxButton *Button3;        // add
    TVoxButton *Button4;        // edit
    TVoxButton *Button5;        // delete
    TVoxButton *Button6;        // connect (IRC server page)
    TVoxButton *Button8;        // server list

    TVoxMemo *AboutMemo;
    QLabel *AboutImage;
    TVoxButton *WebLink;
    TVoxButton *MailLink;

    TVoxButton *Button2; // cancel
    TVoxButton *BitBtn2; // help

    void ConnectClick();
    void CancelClick();
    void HelpClick();
    void AddServerClick();
    void EditServerClick();
    void DeleteServerClick();
    void ListClick();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormActivate();
    void fillServerBoxes(const QString &text);
    void serverTextChanged(const QString &text);
    void pageChanged(int index);
    void focusChanged(QWidget *old, QWidget *now);
    QString pageCaption() const;
    bool isUserField(QObject *object) const;

    bool m_filling = false;
};
