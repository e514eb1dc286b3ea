#pragma once

#include <QColor>
#include <QWidget>

class TVoxButton;
class TVoxCheckBox;
class TVoxRichEdit;

// The message-of-the-day window: collects the server's message of the day, one line per
// numeric 372, below the lines of earlier connections. A tool window of its own, not one of
// the main window's child windows.
//
// Created once at start (hidden); the main window calls AddLine for every line.
class TDayTeam : public QWidget
{
    Q_OBJECT

public:
    explicit TDayTeam(QWidget *parent = nullptr);

    // Shows the window (without taking the keyboard from the window the user is in) and
    // appends the text as a new line in the colour given.
    void AddLine(const QString &text, const QColor &colour);
    // Loads the texts from caption.ini; done at every showing.
    void ConfigureComponents();

    TVoxRichEdit *VoxRichEdit1;
    TVoxCheckBox *VoxCheckBox1;
    TVoxButton *VoxButton1;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
};
