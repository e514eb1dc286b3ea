#pragma once

#include <QColor>
#include <QString>
#include <QTextCharFormat>
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
    //
    // While another window is the active one, the lines wait and are put in, all of them
    // in order, as soon as the view is shown, painted, read (it takes the focus) or its
    // window is activated: laying out text nobody can see cost most of a big channel's
    // join and part bursts.
    void AddToStatus(const QString &text, const QColor &colour);
    // Puts every line still waiting into the view.
    void FlushLines();

    static constexpr int LinesPerTurn = 500;
    // The view keeps the newest LineLimit lines. Once LineSlack more have arrived, the
    // oldest go in one step and a note at the top says so (the traffic log keeps the
    // server's lines).
    static constexpr int LineLimit = 20000;
    static constexpr int LineSlack = 2000;
    static inline const QString TrimNote =
        QStringLiteral("*** Старые строки убраны из окна, они есть в журнале трафика.");

    // The text typed into the command line, when Enter is pressed (the line is cleared).
    std::function<void(const QString &line)> OnCommand;

    TVoxRichEdit *RichEdit1;
    TVoxEdit *Edit1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct PendingLine
    {
        QString Text;
        QColor Colour;
    };
    void scheduleFlush();
    void flushTurn(size_t limit);
    bool inView() const;
    void watchActivation();
    void capPending();
    void trimView();
    static QTextCharFormat noteFormat();

    std::vector<PendingLine> m_pending;
    bool m_flushScheduled = false;
    bool m_watchingActivation = false;
    bool m_flushAllWanted = false;
    int m_viewLines = 0;      // lines in the view, the note on top not counted
    bool m_trimmed = false;   // the note is on top
    bool m_viewStale = false; // every line in the view is older than the waiting ones kept
};
