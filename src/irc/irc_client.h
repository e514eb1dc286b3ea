#pragma once

#include "irc/ctcp.h"
#include "irc/irc_cap.h"
#include "irc/irc_channels.h"
#include "irc/irc_isupport.h"
#include "irc/irc_parser.h"
#include "irc/irc_sasl.h"
#include "irc/irc_types.h"
#include "irc/irc_users.h"
#include "irc/send_queue.h"
#include "irc/silence_watch.h"
#include "irc/tcp_connection.h"

#include <QByteArray>
#include <QList>
#include <QTimer>

#include <functional>

// The IRC client: registration, the commands with the exact lines they send, the parser and
// dispatcher of server lines with their events, the user and channel registries, CTCP
// answers and DCC offers.
//
// All text is bytes in the connection's code page; the client converts nothing. Events are
// slots holding one handler each; an unbound event is not raised, while the client's own
// steps (registry updates, PONG, the mode query after joining, CTCP answers) always run.
// Everything runs on the user-interface thread; handlers may send commands from inside an
// event. An exception thrown by a handler while a line is dispatched leaves the registries
// consistent, ends the handling of that line and is reported through OnReadError; later
// lines are read as usual.
class TIrcClient : public TTcpClient
{
    Q_OBJECT
public:
    using TNotify = std::function<void(TIrcClient *Sender)>;
    using TUserChannelText = std::function<void(TIrcClient *Sender, TIrcUser *AUser,
                                                TIrcChannel *AChannel, const QByteArray &Content)>;
    using TUserChannel =
        std::function<void(TIrcClient *Sender, TIrcUser *AUser, TIrcChannel *AChannel)>;
    using TChannelOnly = std::function<void(TIrcClient *Sender, TIrcChannel *AChannel)>;
    using TText = std::function<void(TIrcClient *Sender, const QByteArray &AContent)>;
    using TUserText =
        std::function<void(TIrcClient *Sender, TIrcUser *AUser, const QByteArray &AContent)>;
    using TUserCommand =
        std::function<void(TIrcClient *Sender, TIrcUser *AUser, const QByteArray &ACommand,
                           const QByteArray &AContent)>;
    using TUserChannelTarget = std::function<void(TIrcClient *Sender, TIrcUser *AUser,
                                                  TIrcChannel *AChannel, TIrcUser *ATarget)>;
    using TUserChannelMask = std::function<void(
        TIrcClient *Sender, TIrcUser *AUser, TIrcChannel *AChannel, const QByteArray &AHostmask)>;
    using TDccPort =
        std::function<void(TIrcClient *Sender, const QByteArray &ANick, const QByteArray &APort,
                           const QByteArray &AFileName, const QByteArray &APosition)>;

    explicit TIrcClient(QObject *parent = nullptr);
    // Closes a live connection without raising events: the handlers' owners may already be
    // partly gone while the client is destroyed.
    ~TIrcClient() override;

    // ---- Identity settings ----
    // The nick in use while connected, the stored setting otherwise. Setting it while
    // connected sends "NICK <nick>" and stores nothing (CurrentNick follows the server's echo).
    QByteArray Nick();
    void SetNick(const QByteArray &nick);
    QByteArray AltNick = "OtherNick";
    QByteArray Username = "username";
    QByteArray RealName = "Real name";
    // Sent as PASS before registering when not empty.
    QByteArray Password;
    TIrcUserModes UserMode() const { return m_userMode; }
    // Ignored while connected (the server's MODE lines keep it then).
    void SetUserMode(TIrcUserModes modes);
    TIrcReplies Replies;
    // Registration opens with "CAP LS 302" and asks for the capabilities the client
    // understands (TIrcCaps::Wanted). Off, it is PASS, NICK and USER alone.
    bool NegotiateCaps = false;
    // SASL identification while registering; needs NegotiateCaps.
    TIrcSaslSettings Sasl;
    // Text the client words itself (the CTCP TIME answer) as bytes of the program's code
    // page; the locale's 8-bit encoding when unset.
    std::function<QByteArray(const QString &text)> EncodeLocalText;

    // ---- State ----
    TIrcClientState State() const { return m_state; }
    void SetState(TIrcClientState state);
    const QByteArray &CurrentNick() const { return m_currentNick; }
    // Prefix of the last welcome reply; kept across connections.
    const QByteArray &ServerName() const { return m_serverName; }
    bool Away() const { return m_away; }
    TIrcUser *SelfUser() const { return m_selfUser; }
    TIrcUsers &Users() { return m_users; }
    TIrcChannels &Channels() { return m_channels; }
    // What the server said of itself (005), reset at every Connect.
    const TIrcIsupport &Isupport() const { return m_isupport; }
    // How the server compares nicks and channel names (its CASEMAPPING), for the windows
    // that keep names of their own.
    TIrcCaseMapping CaseMapping() const { return m_caseMapping; }
    // The capabilities offered and granted on this connection.
    const TIrcCaps &Caps() const { return m_caps; }
    const QList<QByteArray> &ListBuffer() const { return m_listBuffer; }
    int ListPosition() const { return m_listPosition; }

    // ---- Parse state of the line being dispatched ----
    const QByteArray &Line() const { return m_parse.Line; }
    const QByteArray &Tokens(int slot) const { return m_parse.Tokens[slot]; }
    const QByteArray &SenderNick() const { return m_parse.SenderNick; }
    const QByteArray &SenderAddress() const { return m_parse.SenderAddress; }
    const QByteArray &CommandWord() const { return m_parse.CommandWord; }
    const QByteArray &ParamText() const { return m_parse.ParamText; }

    // ---- Connection ----
    // Clears the registries, opens the connection (errors reach the caller unchanged), then
    // registers with PASS, NICK and USER; a socket error while registering becomes
    // EComponentError "IRC Connect Failed". The time-out argument is ignored. Called while
    // a line is being handled (from a handler, or from events a handler lets run), it
    // returns at once and connects as soon as that line is done; its errors then leave
    // Dispatch (so a received line reports them through OnReadError).
    void Connect(int timeoutMs = -1) override;
    // With force, or once registered: OnDisconnect, stop reading, close the connection.
    void Disconnect(bool force);
    void Disconnect() override { Disconnect(true); }

    // ---- Commands; each sends one line (Say and Notice one per line of text) ----
    // Sends the line up to its first CR, LF or NUL, so no text can smuggle in a command.
    // Lines pass the send queue: PONG and QUIT at once, the user's lines before the
    // automatic answers, paced as the queue's settings say (unpaced unless the owner sets
    // SendQueue().IntervalMs). OnSend is raised as each line goes out.
    void Raw(const QByteArray &line);
    // The pacing of outgoing lines; its clock may be replaced in tests.
    TSendQueue &SendQueue() { return m_sendQueue; }

    // A connection that has gone quiet: after 2 minutes without a received line a PING
    // goes out, and when nothing comes within 1 more minute the connection is closed as
    // lost (OnReadError says why, then the usual close notifications; State is left as a
    // peer's close leaves it). Checked every few seconds while connected; the watch (and
    // its clock) may be replaced in tests, which may also call CheckSilence themselves.
    TSilenceWatch &SilenceWatch() { return m_silence; }
    void CheckSilence();
    void Say(const QByteArray &target, const QByteArray &text);
    void Notice(const QByteArray &target, const QByteArray &text);
    void CTCPReply(const QByteArray &target, const QByteArray &word, const QByteArray &reply);
    void Join(const QByteArray &channel, const QByteArray &key = QByteArray());
    void Part(const QByteArray &channel, const QByteArray &reason = QByteArray());
    void Kick(const QByteArray &channel, const QByteArray &nick, const QByteArray &reason);
    void Quit(const QByteArray &reason);
    void Mode(const QByteArray &target, const QByteArray &modes,
              const QByteArray &argument = QByteArray());
    void SetTopic(const QByteArray &channel, const QByteArray &topic);

    // ---- Parsing and dispatching ----
    static bool IsChannelName(QByteArrayView name);
    // Fills the parse state from Line.
    void ParseLine();
    // Takes line as the current line, parses it and acts on it. LineArrived calls this for
    // every non-empty line received while not disconnected; tests and benchmarks call it
    // directly to feed lines without a socket.
    void Dispatch(const QByteArray &line);
    // Applies the mode letters in the slot after the channel name in slot (2 for MODE, 3 for
    // reply 324) to that channel, raising OnOp, OnBan and their kin; used while dispatching.
    void ParseChannelModes(int slot);
    // Applies the user mode letters of slot 3 to UserMode; true when they changed it.
    bool ParseUserModes();

    // Clock of the automatic CTCP answer limit (milliseconds); replaceable in tests.
    TCtcpAnswerLimiter &CtcpAnswerLimiter() { return m_ctcpLimiter; }

    // ---- Events ----
    std::function<void(TIrcClient *Sender, TIrcUser *AUser, const QByteArray &ACommand,
                       const QByteArray &AContent, bool &Suppress)>
        OnRaw;
    TUserChannelText OnMessage;
    TUserChannelText OnNotice;
    TUserChannelText OnAction;
    TUserChannel OnJoin;
    TChannelOnly OnJoined;
    TUserChannel OnPart;
    TChannelOnly OnParted;
    std::function<void(TIrcClient *Sender, TIrcUser *AUser, TIrcUser *AVictim,
                       TIrcChannel *AChannel)>
        OnKick;
    TUserChannel OnKicked;
    std::function<void(TIrcClient *Sender, TIrcUser *AUser, const QByteArray &ANewNick)>
        OnNickChange;
    std::function<void(TIrcClient *Sender, const QByteArray &AOldNick)> OnNickChanged;
    std::function<void(TIrcClient *Sender, TIrcUser *AUser, TIrcChannel *AChannel,
                       const QByteArray &AChanName, const QByteArray &ATopic)>
        OnTopic;
    std::function<void(TIrcClient *Sender, TIrcChannel *AChannel, const QByteArray &AContent)>
        OnNoTopic;
    std::function<void(TIrcClient *Sender, TIrcUser *AUser)> OnQuit;
    std::function<void(TIrcClient *Sender, TIrcUsers *AUsers, TIrcChannel *AChannel)> OnNames;
    std::function<void(TIrcClient *Sender, TIrcUser *AUser, const QByteArray &AChannel)> OnInvite;
    std::function<void(TIrcClient *Sender, const QByteArray &ANick, const QByteArray &AChannel)>
        OnInviting;
    std::function<void(TIrcClient *Sender, TIrcUser *User, const QByteArray &AVictim,
                       const QByteArray &AReason)>
        OnKill;
    TNotify OnPingPong;
    TUserText OnWallops;
    // Replies 401 to 502, and a line that could not be sent: (nil, "", "Not connected to
    // server.").
    std::function<void(TIrcClient *Sender, TIrcUser *AUser, const QByteArray &ANumeric,
                       const QByteArray &AError)>
        OnError;
    std::function<void(TIrcClient *Sender, TIrcUser *AUser)> OnAway;
    TText OnNowAway;
    TText OnUnAway;
    std::function<void(TIrcClient *Sender, TIrcUser *AUser, int ACmdCode,
                       const QByteArray &ACommand, const QByteArray &AContent)>
        OnSystem;
    TUserChannelTarget OnOp;
    TUserChannelTarget OnDeop;
    TUserChannelTarget OnVoice;
    TUserChannelTarget OnDevoice;
    TUserChannelMask OnBan;
    TUserChannelMask OnUnban;
    std::function<void(TIrcClient *Sender, TIrcUser *AUser, TIrcChannel *AChannel,
                       const QByteArray &AChanName, const QByteArray &AModes)>
        OnChannelMode;
    TText OnUserMode;
    TNotify OnUserModeChanged;
    std::function<void(TIrcClient *Sender, const QList<QByteArray> &AChans, int APosition,
                       bool ALast)>
        OnList;
    std::function<void(TIrcClient *Sender, const QByteArray &AMask, const QByteArray &AServer,
                       const QByteArray &AHopCount, const QByteArray &AServerInfo)>
        OnLinks;
    TUserCommand OnUnknownCommand;
    // Every non-empty received line before it is parsed; the handler may rewrite the bytes.
    std::function<void(TIrcClient *Sender, QByteArray &ACommand)> OnReceive;
    // Every line about to go out (cut at its first CR, LF or NUL); the handler may rewrite
    // the bytes, so every line, whoever words it, reaches the server in its code page.
    std::function<void(TIrcClient *Sender, QByteArray &ALine)> OnSending;
    // Every line sent, after it went out, without its terminator.
    TText OnSend;
    TNotify OnStateChange;
    // A nick after the alternate one refused while registering: put the next nick to try,
    // or empty to give up; left unchanged, the client tries a variant of its own.
    std::function<void(TIrcClient *Sender, QByteArray &ANick)> OnNicksInUse;
    // MaxNickAttempts nicks (listed) refused while registering: the client offers no more.
    // The handler may set a nick the user chose (sent at once); unbound, the client
    // disconnects.
    std::function<void(TIrcClient *Sender, const QList<QByteArray> &ATried)> OnNicksRefused;
    static constexpr int MaxNickAttempts = 5;
    TNotify OnConnect;
    // SASL identification failed or could not be tried (the server offers no SASL, or not
    // the mechanism chosen): the numeric ("904" and kin, or empty) and the server's or the
    // client's text. Registration goes on without it.
    std::function<void(TIrcClient *Sender, const QByteArray &ANumeric, const QByteArray &AText)>
        OnSaslFailed;
    // The server named its network (ISUPPORT NETWORK), or named another one.
    TText OnNetwork;
    TNotify OnDisconnect;
    std::function<void(TIrcClient *Sender, TIrcUser *User, TIrcChannel *AChannel,
                       const QByteArray &Command, const QByteArray &Args, bool &ASuppress)>
        OnCTCPQuery;
    std::function<void(TIrcClient *Sender, TIrcUser *AUser, TIrcChannel *AChannel,
                       const QByteArray &Command, const QByteArray &Args)>
        OnCTCPReply;
    std::function<void(TIrcClient *Sender, const QByteArray &ANick, const QByteArray &AIp,
                       const QByteArray &APort)>
        OnDCCChat;
    std::function<void(TIrcClient *Sender, const QByteArray &ANick, const QByteArray &AIp,
                       const QByteArray &APort, const QByteArray &AFileName,
                       const QByteArray &AFileSize)>
        OnDCCSend;
    TDccPort OnDCCResume;
    TDccPort OnDCCAccept;
    // Copied into each channel record when it is created.
    TIrcChannelUpdateEvent OnChannelUpdate;
    // Part of the event set for handlers that bind them; nothing raises these.
    std::function<void(TIrcClient *Sender, void *ASocket, const QByteArray &AMsg)> OnSocketError;
    std::function<void(TIrcClient *Sender, TIrcUser *AUser, TIrcChannel *AChannel)>
        OnChannelModeChanged;

    // The first address of this machine as the USER line carries it when BoundIP is empty.
    static QByteArray LocalAddress();

protected:
    void LineArrived(QByteArray &line) override;

private:
    using TLineHandler = void (TIrcClient::*)(TIrcUser *user);
    struct TCommandEntry
    {
        const char *Word;
        TLineHandler Handler;
    };
    static const TCommandEntry s_commands[];

    // irc_dispatch_commands.cpp
    void onPrivmsg(TIrcUser *user);
    void onNotice(TIrcUser *user);
    void onJoin(TIrcUser *user);
    void onPart(TIrcUser *user);
    void onKick(TIrcUser *user);
    void onMode(TIrcUser *user);
    void onNick(TIrcUser *user);
    void onQuit(TIrcUser *user);
    void onInvite(TIrcUser *user);
    void onKill(TIrcUser *user);
    void onPing(TIrcUser *user);
    void onWallops(TIrcUser *user);
    void onTopic(TIrcUser *user);
    // irc_cap.cpp, irc_sasl.cpp, irc_dispatch_ircv3.cpp
    void onCap(TIrcUser *user);
    void endCapNegotiation();
    void onAuthenticate(TIrcUser *user);
    void startSasl();
    void saslFailed(const QByteArray &numeric, const QByteArray &text);
    bool saslNumeric(int code, TIrcUser *user);
    void onAway(TIrcUser *user);
    void onChghost(TIrcUser *user);
    void onQuietly(TIrcUser *user);
    void readIsupport();
    void setCaseMapping(TIrcCaseMapping mapping);
    QByteArray joinModes(int firstSlot) const;
    void dispatchLine(const QByteArray &line);

    // irc_dispatch_numerics.cpp
    void dispatchNumeric(int code, TIrcUser *user);
    void raiseSystem(TIrcUser *user, int code, const QByteArray &label, const QByteArray &content);
    void nickFallback();

    // ctcp handling (irc_client_ctcp.cpp)
    void ctcpQuery(TIrcUser *user);
    void ctcpReply(TIrcUser *user);
    void dccOffer(QByteArrayView args);
    void autoAnswer(const QByteArray &word, const QByteArray &reply);
    QByteArray localTimeText() const;

    // Writes the lines the queue lets out now and sets the timer for the next one.
    void flushSendQueue();
    TSendPriority priorityOf(const QByteArray &line) const;

    TIrcChannel *channelNamed(int slot) const { return m_channels.Get(m_parse.Tokens[slot]); }
    // The channel a PRIVMSG or NOTICE goes to, a STATUSMSG prefix ("@#chan") allowed.
    TIrcChannel *messageChannel() const;
    const QByteArray &tok(int slot) const { return m_parse.Tokens[slot]; }
    void sendText(const char *command, const QByteArray &target, const QByteArray &text);
    // One line of text as one message, or several when it would not fit in a protocol line.
    void sendFitted(const char *command, const QByteArray &target, const QByteArray &head,
                    const QByteArray &text);

    TIrcClientState m_state = stDisconnected;
    QByteArray m_nick = "Nick";
    QByteArray m_currentNick;
    int m_nickAttempts = 0; // NICK lines offered in this registration
    QList<QByteArray> m_triedNicks;
    QByteArray m_serverName;
    TIrcUserModes m_userMode = 0;
    bool m_away = false;
    TIrcUser *m_selfUser = nullptr;
    quint64 m_selfUserGeneration = 0;
    TIrcUsers m_users;
    TIrcChannels m_channels;
    TIrcParseState m_parse;
    TIrcIsupport m_isupport;
    TIrcCaseMapping m_caseMapping = TIrcCaseMapping::AsciiCyrillic;
    TIrcCaps m_caps;
    bool m_saslRunning = false;
    QList<QByteArray> m_listBuffer;
    int m_listPosition = 0;
    TCtcpAnswerLimiter m_ctcpLimiter;
    int m_dispatchDepth = 0;        // lines being handled (nested when a handler dispatches)
    bool m_connectDeferred = false; // Connect was called meanwhile
    TSendQueue m_sendQueue;
    QTimer m_sendTimer;
    TSilenceWatch m_silence;
    QTimer m_silenceTimer;
    int m_automaticDepth = 0; // inside an automatic answer: its lines queue behind the user's
};
