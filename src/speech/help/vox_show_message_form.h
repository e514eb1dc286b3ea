#pragma once

#include <QDialog>

class QLabel;
class TVoxButton;
class TVoxRichEdit;

// The spoken message box: a title, a text, one OK button. Each time it becomes active it
// plays the "msgbox" sound and reads its text with the interface voice.
class TVoxShowMessageForm : public QDialog
{
    Q_OBJECT

public:
    explicit TVoxShowMessageForm(QWidget *parent = nullptr);

    // Sets title and text and runs the dialog modally.
    void ShowMessage(const QString &title, const QString &text);

    QLabel *Image1;
    TVoxRichEdit *VoxRichEdit1;
    TVoxButton *VoxButton1;

protected:
    bool event(QEvent *event) override;

private:
    QString m_text;
};
