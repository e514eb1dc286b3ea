#pragma once

#include <QWidget>

class TVoxListBox;

// The list of the session's mentions, newest last, walked with the arrow keys (each item
// is spoken: time, window, nick and text). Enter goes to the mention's window; Escape
// closes the list.
class TMentionsForm : public QWidget
{
    Q_OBJECT
public:
    explicit TMentionsForm(QWidget *parent = nullptr);

    // Shows the list on its newest mention and gives it the keyboard.
    void ShowList();
    // Fills the list again from the session's mentions.
    void Reload();

    TVoxListBox *VoxListBox1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void goToWindow();
};

// The one mentions window of the program, made on first use.
TMentionsForm *MentionsForm();
