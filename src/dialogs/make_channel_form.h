#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>

class TVoxButton;
class TVoxCheckBox;
class TVoxEdit;

// The make-channel dialog: a channel name, four channel modes and a key. "Make" joins the
// channel (which creates it when it does not exist) and sets the modes chosen.
//
// Created once at start; nothing in the program opens it yet. Show it with exec().
class TForm5 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm5(QWidget *parent = nullptr);

    // The lines "Make" sends for the current fields: JOIN with the key when one is set,
    // then one MODE line with the modes chosen (none when no box is checked). A name
    // without a channel prefix gets "#". Empty when the name is empty.
    QList<QByteArray> MakeLines() const;

    TVoxEdit *VoxEdit1;         // channel name
    TVoxCheckBox *VoxCheckBox1; // Privat Channel (+p)
    TVoxCheckBox *VoxCheckBox2; // moderated channel (+m)
    TVoxCheckBox *VoxCheckBox3; // set a channel key (+k)
    TVoxEdit *VoxEdit2;         // the key, masked
    TVoxCheckBox *VoxCheckBox4; // no messages from outside (+n)
    TVoxButton *VoxButton1;     // Make
    TVoxButton *VoxButton2;     // Cancel

protected:
    bool event(QEvent *event) override;

private:
    void make();
};
