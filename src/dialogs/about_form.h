#pragma once

#include <QDialog>

class QLabel;
class TVoxRichEdit;

// The About box: a short description of Talvin, read aloud each time the box becomes
// active, and a strip with the credit line. Enter or Escape closes it.
//
// Created once at start; the main window's About action runs it modally with exec().
class TAboutForm : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutForm(QWidget *parent = nullptr);

    // The description shown and spoken.
    static QString DescriptionText();
    // The product's web address; empty while the project has none, and then the address
    // and update labels stay hidden rather than point somewhere made up.
    static QString WebAddress();

    QLabel *Image1;
    TVoxRichEdit *VoxRichEdit1;
    QLabel *CreditLabel;
    QLabel *WebLabel;
    QLabel *UpdateLabel;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void colourLabels(QLabel *hovered);
};
