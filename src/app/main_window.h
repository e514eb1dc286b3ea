#pragma once

#include "app/connect_attempt.h"
#include "app/reconnect_delay.h"
#include "app/session_log.h"
#include "dialogs/dialog_host.h"
#include "irc/connection_intercept.h"
#include "irc/text_codec_policy.h"
#include "speech/tspeech.h"

#include <QColor>
#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class TAboutForm;
class TDayTeam;
class TEditConfigForm;
class TForm2;
class TForm5;
class TSettingsForm;
class TKeyboardLanguage;
class TMenuAnnouncer;
class TSpeechPanel;
class TMasterForm;
class QLabel;
class QMdiArea;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;
class TChannelSpeechQueue;
class TIrcChannel;
class TStatusForm;

// The main window: frame of the MDI (status window and channel windows), owner of the one
// IRC engine and of both voices, and the hub every other window talks to.
class TForm1 : public QMainWindow, public IDialogHost
{
    Q_OBJECT
public:
    // The voices may be given (tests use recording engines); otherwise the real speech
    // engines are used.
    explicit TForm1(std::unique_ptr<TSpeech> interfaceVoice = nullptr,
                    std::unique_ptr<TSpeech> channelVoice = nullptr, QWidget *parent = nullptr);
    ~TForm1() override;

    // ---- Engine and voices ----
    TTalvinIrcClient *IRC = nullptr;
    TSpeech *Speech1 = nullptr; // interface voice
    TSpeech *Speech2 = nullptr; // channel voice

    // ---- State shared with the channel windows and the commands ----
    static constexpr int ChannelFormCount = 101;
    // Channel and private windows by slot; filled and emptied by the channel windows.
    std::array<QPointer<QWidget>, ChannelFormCount> ChannelForms{};
    bool FirstActivation = true;
    bool KeyboardConversion = false;
    // How this connection's bytes become text and back; the windows ask it through
    // DecodeEngineText and EncodeEngineText.
    TTextCodecPolicy TextCodec;
    QDateTime StartTime;
    quint64 BytesReceived = 0;
    quint64 BytesSent = 0;

    // ---- Operations for the other windows ----
    // The server's code page ("WIN1251", "KOI8", "OEM", "UTF8"), shown in status panel 3;
    // it takes effect with the next line received or sent.
    void SetCodePage(const QString &codePage);
    // Channel text of a window to the channel voice, through its queue (which keeps the
    // voice from falling behind a flood), cleaned for speech and with every character
    // below '0' read as a blank.
    void SpeakChannelText(const QString &text, const QString &window = QString());
    // The same, cutting off whatever the channel voice is saying or has queued: the
    // answer to a key the user pressed.
    void SpeakChannelTextNow(const QString &text);
    // Channel text as the channel voice gets it.
    static QString SpokenChannelText(const QString &text);
    // What waits for the channel voice; its mute switch.
    TChannelSpeechQueue *ChannelQueue = nullptr;
    // Click on a WatchBar button: brings its channel window forward.
    void ChannelWathClick(QToolButton *button);
    // Status window line in a colour (grey, red, blue, green, black).
    void AddToStatus(const QString &text, const QColor &colour = QColor(128, 128, 128));
    // Traffic log entry (bytes as they are; text as Windows-1251).
    void AddToLog(const QByteArray &text);
    void AddToLog(const QString &text);
    // Index of the channel or private window with this name (letter case ignored), the
    // highest slot when several match; -1 when none. A channel window superseded by a newer
    // join of its channel is found only when no other window of that name is open.
    int FindChannelForm(const QString &name) const;
    // Boolean property of a channel window whose channel was joined again in a newer window
    // (after a kick, say): it stays for reading, but the channel's traffic and its leaving
    // belong to the newer one.
    static constexpr const char *SupersededProperty = "supersededChannelWindow";
    // True once for a channel joined again after a reconnection: its confirmation goes to
    // the window left open for it instead of a new one.
    bool TakeRejoin(const QString &channel);
    // Property of a channel window naming its WatchBar button: a click opens that window,
    // even when another one has the same name.
    static constexpr const char *WatchButtonProperty = "watchButton";
    // An event line for the window of one channel (if open) or for every open window;
    // handed to the window's ChannelEvent.
    void SetChannelEvent(const QString &channel, const QString &text);
    void SetAllChannelEvent(const QString &text);

    // ---- Commands (main_commands.cpp) ----
    // A private message: to the target at once, or, without one, to the nick asked for in
    // a box "Nick ?" with the text asked for in a box "Message ?" (both must be confirmed).
    void SendMessage(const QString &target = QString(), const QString &text = QString());
    // Opens a private window for a nick and returns its slot; set by the channel windows'
    // side at program start (the query command does nothing without it).
    std::function<int(const QString &nick)> OpenPrivateForm;

    // ---- Connection control ----
    // Starts connecting to the connect.ini server with the user.ini identity. The attempt
    // runs in the background; pressing A_Connect while it runs cancels it.
    void DoConnect();
    // The same to a given server (DoConnect's host and port come from connect.ini).
    void ConnectTo(const QString &host, int port);
    // QUIT, then waits (processing events) for the engine to report the close; after
    // 5 seconds without that report the connection is closed by force.
    void DoDisconnect();
    // The server's certificate could not be verified: the reason is shown and said, and
    // the user is asked whether to trust it for this server (stored, then connect again).
    void CertificateRefused(const QString &host, int port, const QString &reason,
                            const QString &fingerprint);
    // True while an attempt started by DoConnect is resolving or connecting.
    bool Connecting() const { return m_attempt != nullptr; }
    // State display when the connection opens / closes.
    void Connect();
    void Disconnect();
    // ---- Reconnection (reconnection.cpp) ----
    // A close nobody asked for (the server went away, the link dropped, or nothing came
    // back for 3 minutes): said and shown, then the same server is tried again after the
    // waits ReconnectDelay gives; once registered, the channels whose windows were open
    // are joined again into those windows, each with a line saying so.
    void ConnectionLost();
    // Stops waiting to reconnect (Ctrl+R, Disconnect); false when nothing was waiting.
    bool CancelReconnect();
    bool Reconnecting() const { return m_reconnecting; }
    TReconnectDelay ReconnectDelay;

    // The longest DoDisconnect waits for the server to close the link.
    int DisconnectWaitMs = 5000;

    // Which way the first activation went.
    enum class TStartMode { NotYet, Wizard, Connect, ConnectDialog };
    TStartMode StartModeTaken() const { return m_startMode; }

    // The program's other windows, made once in their fixed order (see
    // CreateApplicationWindows) and then shown and hidden until the end.
    void CreateApplicationWindows();
    TDayTeam *DayTeam = nullptr;
    TForm2 *Form2 = nullptr;
    TForm5 *Form5 = nullptr;
    TAboutForm *AboutForm = nullptr;
    TEditConfigForm *EditConfigForm = nullptr;
    TMasterForm *MasterForm = nullptr;

    // ---- Widgets ----
    QMdiArea *MdiArea = nullptr;
    TSpeechPanel *Panel1 = nullptr; // speech settings, hidden at start
    TMenuAnnouncer *MenuAnnouncer = nullptr;
    TKeyboardLanguage *KeyboardLanguage = nullptr;
    QPointer<TStatusForm> StatusForm;
    QToolBar *ToolBar1 = nullptr;
    QToolBar *WatchBar = nullptr;
    QToolButton *ToolButton1 = nullptr; // connect
    QToolButton *ToolButton2 = nullptr; // channel list
    QToolButton *ToolButton3 = nullptr; // speech panel
    QToolButton *ToolButton4 = nullptr; // select status panel (hidden)
    QToolButton *ToolButton5 = nullptr; // tools
    QToolButton *ToolButton6 = nullptr; // favourites
    std::array<QLabel *, 5> StatusPanels{};
    QTimer *Timer1 = nullptr;
    QAction *N1 = nullptr; // tool-bar captions toggle

    // ---- Actions ----
    QAction *A_Server, *A_Connect, *A_Tools, *A_ConfigEditor, *A_Exit;
    QAction *Channels, *A_Join, *A_ChannelList, *A_Part, *A_Nick, *A_Message, *A_Query, *A_Whois,
        *A_Who, *A_Ban, *A_Kick, *A_Notice, *A_MakeChannel, *A_CodePage, *A_KOI8, *A_OEM, *A_CP1251,
        *A_UTF8;
    QAction *A_Panels, *A_SelectStatusPanel, *A_StatusPanel, *A_SetSpeakPanel, *A_ToolsPanel,
        *A_Faworits;
    QAction *A_Windows, *A_Cascade, *A_TileHorizontal, *A_TileVertical, *A_MinimizeAll, *A_Close;
    QAction *A_GetFocuse, *A_Help, *A_About, *A_Keyboard;
    // Speech keys (main_speech_keys.cpp): mute the channels, stop both voices, drop what
    // waits for the channel voice.
    QAction *A_MuteChannels = nullptr, *A_StopSpeech = nullptr, *A_DropChannelQueue = nullptr;
    // The next window with unread messages, and the mentions window: bound by the channel
    // windows' side.
    QAction *A_NextActivity = nullptr, *A_Mentions = nullptr;
    // The settings window (main_speech_keys.cpp), made on first use.
    QAction *A_Settings = nullptr;
    TSettingsForm *SettingsForm = nullptr;

    // ---- IDialogHost ----
    TSpeech *InterfaceSpeech() override { return Speech1; }
    TIrcClient *IrcClient() override;
    void ConnectAction() override;
    void SpeakLang() override;
    void ShowConfigEditor(int page) override;
    QWidget *MainWidget() override { return this; }

    // Ends the application's event loop when the window closes (the program's own window;
    // tests leave it off).
    bool QuitOnClose = false;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // The window sees every key before the focused control, so a main shortcut such as
    // Ctrl+Z or Ctrl+X works even in an input line that would take it for undo or cut.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createActions();
    void createSpeechKeys();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    void bindEngineEvents();
    void ConfigureComponentCaptionText();
    void FormActivate();
    void Timer1Timer();
    void A_ConnectExecute();
    void A_GetFocuseExecute();
    void N1Click(bool checked);
    void SetConnectButtonLook(bool connected);
    void ShowWizard();
    void ShowConnectDialog();
    void UpdateWindowActions();
    void UpdateByteCounter();
    void SetStatusText(const QString &text);
    void ConnectAttemptEnded();
    // Every nick offered while registering was refused: the user types another one in a
    // spoken box (Cancel ends the connection).
    void AskForNewNick(const QString &why);
    void SendStatusCommand(const QString &line);
    QString HostText() const;

    // Commands (main_commands.cpp)
    void connectCommandActions();
    std::optional<QString> AskCommandText(const QString &title);
    QByteArray OutgoingText(const QString &text) const;
    void SendCommandLine(const QString &title, const QByteArray &word);
    void A_PartExecute();
    void A_NickExecute();
    void A_MessageExecute();
    void A_QueryExecute();
    void A_WhoisExecute();
    void A_WhoExecute();
    void A_BanExecute();
    void A_KickExecute();
    void A_NoticeExecute();

    // Event presentation (irc_events.cpp)
    void IRCSystem(int code, const QByteArray &command, const QByteArray &content,
                   const QByteArray &nick);

    std::unique_ptr<TSpeech> m_interfaceVoice;
    std::unique_ptr<TSpeech> m_channelVoice;
    std::unique_ptr<TConnectionIntercept> m_intercept;
    TSessionLog m_sessionLog;
    QPointer<TConnectAttempt> m_attempt;
    bool m_disconnecting = false;
    // Reconnection
    void ScheduleReconnect(const QString &why);
    void ReconnectNow();
    void Registered();
    bool m_reconnecting = false;
    QTimer *m_reconnectTimer = nullptr;
    QString m_reconnectHost;
    int m_reconnectPort = 0;
    QStringList m_rejoinChannels;
    QStringList m_rejoinPending; // joined again after a reconnection, not yet confirmed
    bool m_connectedLook = false;
    bool m_closing = false;
    TStartMode m_startMode = TStartMode::NotYet;
    QString m_logHost; // host named in the open log's header
    QObject *m_statusSubWindow = nullptr;
};

// The one main window of the program.
extern TForm1 *Form1;
