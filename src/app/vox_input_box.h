#pragma once

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class TSpeech;
class TVoxButton;
class TVoxEdit;

// A spoken one-line input box: a title, a prompt, one edit and OK / Cancel. The edit
// carries the title (and prompt) as its spoken name, so taking the focus says what is
// asked, and every typed character is read back.
class TVoxInputBox : public QDialog
{
    Q_OBJECT

public:
    explicit TVoxInputBox(TSpeech *speech, QWidget *parent = nullptr);

    // Runs the box modally with an empty edit. The text on OK (possibly empty); nothing
    // on Cancel, Escape or closing the window.
    std::optional<QString> Ask(const QString &title, const QString &prompt = QString());

    QLabel *Label1;
    TVoxEdit *Edit1;
    TVoxButton *OKButton;
    TVoxButton *CancelButton;
};

// One question in a fresh box with the given voice. A speech mask (see TVoxEdit) makes the
// secrets in the answer heard as stars.
std::optional<QString> VoxInputQuery(TSpeech *speech, QWidget *parent, const QString &title,
                                     const QString &prompt = QString(),
                                     std::function<QString(const QString &)> speechMask = {});
