#pragma once

#include "channels/channel_list_model.h"

#include <QByteArray>
#include <QList>
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QTimer;
class TChannelListView;

// The channel list browser: the server's channels (name, users, topic) filtered by the
// request dialog's minimum number of users, sortable, with join and add-to-favourites.
// It exists from the first list (received or loaded) until the user closes it; closing
// discards it with its lists.
class TForm3 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
    ~TForm3() override;

    // Where a new browser goes: by default it is a window of its own over the main window;
    // the main window may put it into its MDI area instead.
    static std::function<void(TForm3 *)> Placement;

    // ---- Lists ----
    // Every channel received or loaded (hidden).
    TChannelList FullList;
    // What the table shows: a filtered view of FullList.
    TShownChannelModel *ShownList = nullptr;

    // Rebuilds the shown list from the full list with the current minimum and the header
    // "Каналов  N из M".
    void AddFiltredChannel();
    // The full list grew from firstNew on: only the new rows are looked at, so a list that
    // arrives in thousands of small batches costs linear time.
    void AddNewChannels(int firstNew);

    // ---- The list arriving from the server ----
    // One delivery of the engine's OnList: entries is every entry of the list so far.
    // The full list becomes those entries (only new ones are prepared when the full list
    // still holds exactly the earlier ones).
    void ReceiveList(const QList<QByteArray> &entries, int position, bool last);
    // The progress panel: shown while a list arrives, with the bar on position.
    void ShowProgress(int position, bool last);

    // ---- Commands (the context menu) ----
    void JoinChannel();
    void RequestList();
    void AddToFaworits();
    void ShowFilter();
    void SortNone();
    void SortByName();
    void SortByUsers();

    // Text after the caption's own text (the saved list's first line after "Apply").
    void SetCaptionSuffix(const QString &suffix);
    void ConfigureComponents();

    // The minimum number of users a shown channel must have (the request dialog's "От").
    static int MinimumUsers();

    // ---- Widgets ----
    TChannelListView *ListView1 = nullptr;
    QWidget *ProgressPanel = nullptr;
    QLabel *ProgressLabel = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QMenu *SortMenu = nullptr;
    QAction *N_Join = nullptr;
    QAction *N_GetList = nullptr;
    QAction *N_AddFaworit = nullptr;
    QAction *N_NoSort = nullptr;
    QAction *N_SortByName = nullptr;
    QAction *N_SortByUsers = nullptr;
    QAction *N_Filter = nullptr;
    QAction *N_SaveAs = nullptr;

protected:
    bool event(QEvent *event) override;

private:
    void FormActivate();
    void RowSelected();
    void updateHeader();
    void scheduleRebuild();
    void refreshArrived(bool last);
    // Runs a change of the shown list with the row the user is on kept (when it is still
    // shown) and without announcing it again.
    template <typename Change> void keepingCurrentRow(Change change);

    QString m_captionSuffix;
    // Rows of FullList that came from the list being received, and the full list's size
    // right after the last delivery: when they differ, something else changed the list.
    int m_receivedRows = 0;
    bool m_receiving = false;
    // Rows of FullList the shown list has looked at.
    int m_shownUpTo = 0;
    int m_lastPosition = 0;
    bool m_needsRebuild = false;
    QTimer *m_rebuildTimer = nullptr;
    // While a list arrives, the table and the progress bar are brought up to date a few
    // times a second rather than at every delivery of 40 entries: a repaint costs
    // milliseconds, and one per delivery would leave the lines waiting behind the painting.
    QTimer *m_refreshTimer = nullptr;
    bool m_quiet = false;
};

// The browser, or null while there is none.
TForm3 *Form3();
// The browser, created (and placed, not shown) when there is none.
TForm3 *CreateForm3();

// The main window's OnList handler: lets pending window events run, creates and shows the
// browser when there is none, fills it, and at the end of the list hides the progress panel
// and writes the list to "1.lst" in the program directory.
void ChannelListOnList(const QString &host, const QList<QByteArray> &chans, int position,
                       bool last);

// "1.lst": a header line, then name, user count and topic of every channel, one a line.
QByteArray ChannelListFileHeader(const QString &host, int count);
// Writes the browser's full list; false (and logged and spoken) when it cannot be written.
bool WriteChannelListFile(const QString &path, const QString &host, const TChannelList &list);
// Where the list is kept: "1.lst" in the program directory.
QString ChannelListFilePath();
