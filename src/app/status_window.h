#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

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
    // it; also appends it to the optional transcript log.txt. The lines of one event-loop
    // turn go into the view together at the end of the turn (at most LinesPerTurn per
    // turn, the rest in the turns after), in the order they came.
    void AddToStatus(const QString &text, const QColor &colour);
    // Puts every line still waiting for the end of the turn into the view.
    void FlushLines();

    static constexpr int LinesPerTurn = 500;

    // The text typed into the command line, when Enter is pressed (the line is cleared).
    std::function<void(const QString &line)> OnCommand;

    TVoxRichEdit *RichEdit1;
    TVoxEdit *Edit1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct PendingLine
    {
        QString Text;
        QColor Colour;
    };
    void scheduleFlush();
    void flushTurn(size_t limit);

    std::vector<PendingLine> m_pending;
    bool m_flushScheduled = false;
};
