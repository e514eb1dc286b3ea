#pragma once

#include "channels/channel_user_model.h"
#include "channels/serial_work.h"

#include <QAction>
#include <QHash>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStringList>
#include <QTextCharFormat>
#include <QToolButton>
#include <QWidget>

#include <optional>
#include <vector>

class QAction;
class QMdiSubWindow;
class QMenu;
class QSplitter;
class QToolButton;
class TChannelKeys;
class TPresenceNotes;
class TChannelUserModel;
class TVoxButton;
class TVoxEdit;
class TVoxModelListView;
class TVoxChatView;

// The ten display and speech options of a channel window, edited by the setup dialog.
struct TChannelOptions
{
    bool ShowTime = false;
    bool ShowNick = false;
    bool ShowText = false;
    bool ShowIncoming = false;
    bool ShowEvents = false;
    bool SpeechOn = false;
    bool SpeakNotFocused = false;
    bool SoundNotSpoken = false;
    bool SpeakNick = false;
    bool SpeakOutgoing = false;

    bool operator==(const TChannelOptions &) const = default;
};

// The window of one joined channel or one private dialogue: the conversation, the
// channel's users with a message count each, and the input line. The main window hands it
// the traffic of its channel or nick; it sends what the user types.
//
// The object name is the channel name (or nick): the main window finds windows by it.
class TChannelForm : public QWidget
{
    Q_OBJECT
public:
    // Row images of the user list.
    static constexpr int ImageUser = TChannelUserModel::ImageUser;
    static constexpr int ImageIgnored = TChannelUserModel::ImageIgnored;
    // The conversation view keeps the newest ViewLineLimit lines. Once ViewLineSlack more
    // have arrived, the oldest are removed in one step and a note at the top says so; the
    // traffic log keeps every line received.
    static constexpr int ViewLineLimit = 20000;
    static constexpr int ViewLineSlack = 2000;
    // Lines put into the view in one event-loop turn; the rest follow in the next turns,
    // so a flood never freezes typing or window switching.
    static constexpr int LinesPerTurn = 500;
    static inline const QString TrimNote =
        QStringLiteral("*** Старые строки убраны из окна, они есть в журнале трафика.");

    TChannelForm(const QString &name, int slot, bool privateDialogue, QWidget *parent = nullptr);
    ~TChannelForm() override;

    // ---- State ----
    QString ChannelName;
    int Slot = -1;
    bool Unread = false;
    // Messages that arrived while the window was not focused, and whether one of them
    // named the user; both cleared when the window is activated.
    int UnreadCount = 0;
    bool Mentioned = false;
    bool DialogMode = false;
    bool PrivateDialogue = false;
    // Set once the window is being closed: it takes no more traffic.
    bool Closing() const { return m_closing; }
    TChannelOptions Options;
    QMdiSubWindow *SubWindow() const { return m_subWindow; }
    void SetSubWindow(QMdiSubWindow *sub) { m_subWindow = sub; }

    // ---- Operations for the main window ----
    // A channel message. names: the channel's current members (may be empty).
    void Recive(const QString &nick, const QString &text, const QStringList &names = {});
    // A private message, or (notice) a private notice, which is never answered
    // automatically. In dialogue mode a message is shown and answered with one NOTICE per
    // AutoReplyIntervalMs, within the engine's CTCP answer limit.
    void PersonalRecive(const QString &nick, const QString &text, bool notice = false);
    static constexpr qint64 AutoReplyIntervalMs = 60000;
    void Joined(const QString &channel);
    Q_INVOKABLE void ChannelEvent(const QString &text);
    void UpdateUserList(const QStringList &names);
    void DeleteFromUserList(const QString &nick);
    // A user of the table took a new nick: the row, the count and the ignore mark follow.
    void RenameUser(const QString &oldNick, const QString &newNick);
    // A private window follows its partner's nick change (name, caption, watch button).
    void RenameDialogue(const QString &nick);
    // Caption with the channel's modes as the main window shows them.
    void SetCaptionText(const QString &caption);

    // ---- User table ----
    // The user's row from 1 (the table has no fixed size), or 0.
    int UserPresent(const QString &nick) const;
    void IncMessageCount(const QString &nick);
    TChannelUserModel *UserTable() const { return m_users; }
    int UserCount() const;

    // ---- Sending ----
    void SayMessage(const QString &text);
    bool SendCommand(const QString &text);

    // ---- View ----
    void LinesAdd(const QString &text);
    // Puts every line still waiting for the next event-loop turn into the view.
    void FlushLines();
    bool _Focused() const;
    void ConfigureComponents();
    // Called when the window becomes / stops being the active MDI child.
    void FormActivate();
    void FormDeactivate();
    void AddChannelToWath(const QString &name);
    QToolButton *WatchButton() const { return m_watchButton; }
    void RedrawWatchButton();

    // ---- User actions (user list menu) ----
    QString SelectedNick() const;
    void QueryExecute();
    void OpExecute();
    void DeopExecute();
    void KickExecute();
    void KickWhyExecute();
    void IgnorExecute();
    // Goes round the speech modes (always, focused only, silent), says and keeps the new one.
    void AC_SpeakExecute();
    // Goes round what is heard of joins, parts and quits (recent speakers, all, none),
    // says and keeps the new setting.
    void AC_PresenceExecute();
    // Takes the speech mode and the join and quit setting kept for this window's name.
    void RestoreSpeechMode();
    void AC_DialogModeExecute();
    void AC_ChannelModeExecute();
    void AC_ChannelSetupExecute();

    // Typing and review keys: nick completion, sent-line recall, reading past messages.
    TChannelKeys *Keys = nullptr;
    // Joins, parts and quits of others, net splits gathered into one line.
    TPresenceNotes *Presence = nullptr;
    // A join, part or quit line (shown as an event) and, when speak, its sentence for
    // the channel voice as the window's speech mode allows.
    void PresenceLine(const QString &line, const QString &spoken, bool speak);

    // ---- Controls ----
    TVoxChatView *VoxRichEdit1 = nullptr;      // conversation
    TVoxModelListView *VoxListView1 = nullptr; // users
    TVoxEdit *VoxEdit1 = nullptr;              // input line
    TVoxButton *VoxButton1 = nullptr;          // send
    QSplitter *Splitter1 = nullptr;
    QMenu *PopupMenu1 = nullptr; // window menu
    QMenu *UserMenu = nullptr;   // user list menu
    QAction *AC_PartChannel = nullptr, *AC_ChannelMode = nullptr, *AC_ChannelSetup = nullptr,
            *AC_Speak = nullptr, *AC_DialogMode = nullptr, *AC_Presence = nullptr;
    QAction *UM_Info = nullptr, *UM_Whois = nullptr, *UM_Query = nullptr, *UM_Control = nullptr,
            *UM_Ignor = nullptr, *UM_Deignore = nullptr, *UM_Op = nullptr, *UM_Deop = nullptr,
            *UM_Voice = nullptr, *UM_Devoice = nullptr, *UM_Kick = nullptr, *UM_KickWhy = nullptr,
            *UM_Ban = nullptr, *UM_Ctcp = nullptr, *UM_Slap = nullptr;

    // Global locks' work queues (receive and line-append work of every window).
    static TSerialWork &ReceiveLock();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct PendingLine
    {
        QString Text;
        QTextCharFormat Format;
    };

    void createControls();
    void createActions();
    void createUserMenu();
    void addLine(const QString &text, const QTextCharFormat &format);
    void scheduleFlush();
    void flushTurn(int limit);
    void trimView();
    bool inputKey(QKeyEvent *event, bool fromView);
    void updateInputColour();
    void speakInterface(const QString &text);
    void sayCaption();
    QString ownNick() const;
    void showOwnPrivateMessage(const QString &text);
    void autoReply(const QString &nick);
    // Leaves the channel (once) and gives up the window's slot.
    void leave();

    QPointer<QToolButton> m_watchButton;
    QPointer<QAction> m_watchAction;
    QPointer<QMdiSubWindow> m_subWindow;
    TChannelUserModel *m_users = nullptr;
    std::vector<PendingLine> m_pending;
    bool m_flushScheduled = false;
    bool m_captionSaid = false; // the name was said in this event-loop turn
    int m_viewLines = 0;
    bool m_trimmed = false;
    int m_drawnUnread = -1; // the state the watch button shows; -1 before the first drawing
    QString m_statusPanelText;
    bool m_closing = false;
    bool m_left = false;
    std::optional<qint64> m_lastAutoReply; // engine clock of the last automatic reply
};
