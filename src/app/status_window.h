#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>

class TSpeech;
class TVoxEdit;
class TVoxRichEdit;

// The server status window: one coloured line per server event that is not channel
// traffic, and a command line at the bottom whose text goes to the server as a raw line.
// It lives inside the main window's MDI area from the first activation to the end.
class TStatusForm : public QWidget
{
    Q_OBJECT
public:
    explicit TStatusForm(TSpeech *speech, QWidget *parent = nullptr);

    // Appends a line in the colour and keeps the newest line in view with the caret after
    // it; also appends it to the optional transcript log.txt.
    void AddToStatus(const QString &text, const QColor &colour);

    // The text typed into the command line, when Enter is pressed (the line is cleared).
    std::function<void(const QString &line)> OnCommand;

    TVoxRichEdit *RichEdit1;
    TVoxEdit *Edit1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
