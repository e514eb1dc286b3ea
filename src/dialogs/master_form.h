#pragma once

#include <QDialog>

class QLabel;
class QStackedWidget;
class TVoxButton;
class TVoxComboBox;
class TVoxEdit;
class TVoxRichEdit;

// The first-run wizard: leads a new user by voice, one step at a time, through the full
// name, the e-mail address, the nick and the server to a first connection, and switches the
// start mode so that later starts connect at once. Each step reads its explanation from
// <ProgramDir>/help/masterf<n>.txt aloud.
//
// Created once at start (hidden); the main window shows it with show() when the start mode
// is "master". It reaches the engine and the voice through DialogHost(). Every showing
// starts again at step 1; the fields keep what was typed while the program runs.
class TMasterForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr int StepCount = 6;

    explicit TMasterForm(QWidget *parent = nullptr);

    // The server offered on step 5 until the user types another one.
    static QString DefaultServer();

    int Step() const { return m_step; }

    QLabel *TitleLabel; // header: the step's title
    QLabel *StepLabel;  // header: "шаг n из 6"
    TVoxRichEdit *Memo; // the step's explanation
    QStackedWidget *Pages;
    TVoxButton *AboutIrcButton;
    TVoxEdit *NameEdit;
    TVoxEdit *EMailEdit;
    TVoxEdit *NickEdit;
    TVoxComboBox *ServerBox;
    TVoxButton *BackButton;
    TVoxButton *NextButton;
    TVoxButton *FinishButton;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void start();
    void nextStep();
    void previousStep();
    void showStep(int step, bool interruptVoice = true);
    void nextClicked();
    void backClicked();
    void fieldEntered(QWidget *field);
    // Checks the fields a connection cannot do without; on a gap says so, goes to its step
    // and returns false.
    bool identityComplete();
    void finish();
    void stopVoice();
    void attachVoice();

    int m_step = 0;
    bool m_starting = false;
};
