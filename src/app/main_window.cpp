#include "app/main_window.h"

#include "app/codepage.h"
#include "app/connect_attempt.h"
#include "app/keyboard_language.h"
#include "app/mdi_tiling.h"
#include "app/menu_announcer.h"
#include "app/screen_reader_choice.h"
#include "app/speech_panel.h"
#include "app/status_window.h"
#include "app/talvin_application.h"
#include "base/time_text.h"
#include "config/config_files.h"
#include "config/edit_config_form.h"
#include "config/secret_files.h"
#include "dialogs/about_form.h"
#include "dialogs/connect_form.h"
#include "dialogs/day_team_form.h"
#include "dialogs/faworits_form.h"
#include "dialogs/make_channel_form.h"
#include "dialogs/master_form.h"
#include "dialogs/server_list_form.h"
#include "dialogs/server_options_form.h"
#include "irc/connection_intercept.h"
#include "irc/irc_case.h"
#include "speech/channel_speech_queue.h"
#include "speech/controls/vox_button.h"
#include "speech/help/help.h"
#include "speech/help/vox_show_message_form.h"
#include "speech/screen_reader.h"
#include "speech/speech_config.h"
#include "speech/tspeech.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TForm1 *Form1 = nullptr;

namespace {

const QString kTitle = QStringLiteral("Talvin v1.7.0 beta");
const QString kGreeting = QStringLiteral("Талвин ай эр це клиент загружен и готов к работе.");

} // namespace

TForm1::TForm1(std::unique_ptr<TSpeech> interfaceVoice, std::unique_ptr<TSpeech> channelVoice,
               QWidget *parent)
    : QMainWindow(parent), m_interfaceVoice(std::move(interfaceVoice)),
      m_channelVoice(std::move(channelVoice))
{
    Form1 = this;
    setObjectName(QStringLiteral("Form1"));
    // FormCreate: everything below is formed under the directory the program started in.
    SetProgramDir(QDir::currentPath());
    StartTime = QDateTime::currentDateTime();
    SetActiveTextCodec(&TextCodec);

    if (!m_interfaceVoice)
        m_interfaceVoice = std::make_unique<TSpeech>();
    if (!m_channelVoice)
        m_channelVoice = std::make_unique<TSpeech>();
    Speech1 = m_interfaceVoice.get();
    Speech2 = m_channelVoice.get();
    Speech1->SetVoiceNumber(1);
    Speech2->SetVoiceNumber(2);
    // A voice whose engine broke down and was handed over is noted in the traffic log.
    for (TSpeech *voice : {Speech1, Speech2})
        voice->OnWarning = [this](TSpeech *, qint32, const QString &message) {
            AddToLog(QStringLiteral("Speech: ") + message);
        };
    SetHelpSpeech(Speech1);

    SetUnhandledErrorReporter(
        [this](const QString &message) { AddToLog(QStringLiteral("Exception: ") + message); });

    IRC = new TTalvinIrcClient(this);
    IRC->SetNick("Nick");
    IRC->AltNick = "OtherNick";
    IRC->Username = "username";
    IRC->RealName = "Real name";
    IRC->SetUserMode(umInvisible);
    IRC->Replies.Finger = "myfinger";
    IRC->Replies.UserInfo = "user info";
    // The web address appears only once the project has one (the About box says the same).
    const QByteArray web = TAboutForm::WebAddress().toLatin1();
    IRC->Replies.Version = "Talvin client " + (web.isEmpty() ? QByteArray() : web + ' ') + "1.5.6";
    IRC->Replies.ClientInfo = "Talvin, the speaking IRC client, by the Talvin developers" +
                              (web.isEmpty() ? QByteArray() : ", " + web);
    m_intercept = std::make_unique<TConnectionIntercept>();
    IRC->Intercept = m_intercept.get();
    bindEngineEvents();

    setWindowTitle(kTitle);
    resize(516, 337);
    setMinimumSize(500, 250);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // Speech settings first: every control made below speaks with the configured voice.
    ConfigureSpeech(Speech1, Speech2, ReportUnhandledError);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    MdiArea = new QMdiArea(central);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    MdiArea->setAccessibleName(QStringLiteral("Окна"));
    layout->addWidget(MdiArea, 1);
    Panel1 = new TSpeechPanel(Speech1, Speech2, central, ReportUnhandledError);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    layout->addWidget(Panel1);
    setCentralWidget(central);
    connect(MdiArea, &QMdiArea::subWindowActivated, this, [this] { UpdateWindowActions(); });

    createActions();
    createSpeechKeys();
    createMenus();
    createToolBars();
    createStatusBar();
    UpdateWindowActions();

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer1Timer(); }); });
    Timer1->start();
    Timer1Timer();

    Panel1->OnShowConfigEditor = [this](int page) { ShowConfigEditor(page); };
    Panel1->OnVisibleChanged = [this](bool shown) { ToolButton3->setChecked(shown); };
    Panel1->OnScreenReaderChanged = [](bool reads) { SetScreenReaderReadsControls(reads); };
    Panel1->hide();
    // "Сброс чтения" stops the channel voice: what waits for it goes too.
    connect(Panel1->Button1, &QPushButton::clicked, ChannelQueue, [this] { ChannelQueue->Drop(); });
    MenuAnnouncer = new TMenuAnnouncer(menuBar(), Speech1, this);
    MenuAnnouncer->OnError = ReportUnhandledError;
    KeyboardLanguage = new TKeyboardLanguage(Speech2, this);

    ConfigureComponentCaptionText();
    SetDialogHost(this);
    qApp->installEventFilter(this);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close && watched == m_statusSubWindow && !m_closing) {
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == this) {
        auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction *action : actions()) {
            // The status-panel actions do nothing; their keys stay with the control
            // (Ctrl+A selects all in an input line).
            if (action == A_SelectStatusPanel || action == A_StatusPanel)
                continue;
            if (action->isEnabled() && !action->shortcut().isEmpty() &&
                action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
                // Not overridden: the shortcut goes to the action.
                event->ignore();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

TForm1::~TForm1()
{
    // The windows closed while the base classes tear down the children still raise the
    // window area's activation signal and pass events through the filter: neither may
    // reach this object once its own destructor is done.
    disconnect(MdiArea, nullptr, this, nullptr);
    if (qApp)
        qApp->removeEventFilter(this);
    delete m_attempt;
    if (&ActiveTextCodec() == &TextCodec)
        SetActiveTextCodec(nullptr);
    SetDialogHost(nullptr);
    SetUnhandledErrorReporter(nullptr);
    SetHelpSpeech(nullptr);
    // The engine closes a live connection silently; the intercept must outlive it.
    delete IRC;
    IRC = nullptr;
    if (Form1 == this)
        Form1 = nullptr;
}

TIrcClient *TForm1::IrcClient()
{
    return IRC;
}

// ---- Building the window ----

void TForm1::createActions()
{
    auto make = [this](const char *name, const QString &caption, const QString &hint,
                       const QKeySequence &shortcut = QKeySequence()) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        action->setToolTip(hint.isEmpty() ? caption : hint);
        action->setStatusTip(hint);
        if (!shortcut.isEmpty())
            action->setShortcut(shortcut);
        // Shortcuts work from every child window, the channel windows' input lines included.
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        return action;
    };
    A_Server = make("A_Server", QStringLiteral("Сервер"), QString());
    A_Connect =
        make("A_Connect", QStringLiteral("Connect"), QStringLiteral("Connect to the IRC Server"),
             QKeySequence(QStringLiteral("Ctrl+R")));
    A_Tools = make("A_Tools", QStringLiteral("Tools"), QStringLiteral("Tools setup window"),
                   QKeySequence(QStringLiteral("Ctrl+G")));
    A_ConfigEditor = make("A_ConfigEditor", QStringLiteral("Configuration editor"),
                          QStringLiteral("Set configuration editor"));
    A_Exit = make("A_Exit", QStringLiteral("Exit"), QStringLiteral("Exit from Talvin"),
                  QKeySequence(QStringLiteral("Ctrl+X")));
    Channels = make("Channels", QStringLiteral("Commands"), QString());
    A_Join = make("A_Join", QStringLiteral("Join"), QStringLiteral("Join on IRC channel"),
                  QKeySequence(QStringLiteral("Ctrl+J")));
    A_ChannelList = make("A_ChannelList", QStringLiteral("Channels list"),
                         QStringLiteral("Channels list"), QKeySequence(QStringLiteral("Ctrl+L")));
    A_Part = make("A_Part", QStringLiteral("Part"), QStringLiteral("Part the channel"));
    A_Nick = make("A_Nick", QStringLiteral("Nick"), QStringLiteral("Chang Nick"));
    A_Message =
        make("A_Message", QStringLiteral("Message"), QStringLiteral("Send message to user"));
    A_Query = make("A_Query", QStringLiteral("Query"), QStringLiteral("Query user"));
    A_Whois = make("A_Whois", QStringLiteral("Who is"), QStringLiteral("Who is command"));
    A_Who = make("A_Who", QStringLiteral("who"), QStringLiteral("who "));
    A_Ban = make("A_Ban", QStringLiteral("Ban"), QStringLiteral("Ban User"));
    A_Kick = make("A_Kick", QStringLiteral("Kick"), QStringLiteral("Kick user"));
    A_Notice = make("A_Notice", QStringLiteral("Notice"), QStringLiteral("Send Notice"));
    A_MakeChannel =
        make("A_MakeChannel", QStringLiteral("Make channel"), QStringLiteral("Make a channel"));
    A_CodePage = make("A_CodePage", QStringLiteral("Code Page"), QStringLiteral("Chang Code Page"));
    A_KOI8 = make("A_KOI8", QStringLiteral("KOI-8"), QStringLiteral("Code Page KOI-8"));
    A_OEM = make("A_OEM", QStringLiteral("OEM"), QStringLiteral("Code Page OEM"));
    A_CP1251 = make("A_CP1251", QStringLiteral("CP-1251"), QStringLiteral("Code Page 1251"));
    A_UTF8 = make("A_UTF8", QStringLiteral("UTF-8"), QStringLiteral("Code Page UTF-8"));
    A_Panels = make("A_Panels", QStringLiteral("Panels"), QString());
    A_SelectStatusPanel =
        make("A_SelectStatusPanel", QStringLiteral("Status"), QStringLiteral("Select status panel"),
             QKeySequence(QStringLiteral("Ctrl+A")));
    A_StatusPanel =
        make("A_StatusPanel", QStringLiteral("Status"), QStringLiteral("Show status panel"),
             QKeySequence(QStringLiteral("Ctrl+Alt+A")));
    A_SetSpeakPanel =
        make("A_SetSpeakPanel", QStringLiteral("Speak"), QStringLiteral("Show set speak panel"),
             QKeySequence(QStringLiteral("Ctrl+P")));
    A_ToolsPanel = make("A_ToolsPanel", QStringLiteral("Tools panel"),
                        QStringLiteral("Show tools panel"), QKeySequence(QStringLiteral("Ctrl+T")));
    A_Faworits =
        make("A_Faworits", QStringLiteral("Faworits"), QStringLiteral("Show faworits windiw"));
    A_Windows = make("A_Windows", QStringLiteral("Windows"), QStringLiteral("Windows"));
    A_Cascade = make("A_Cascade", QStringLiteral("Каскадом"), QStringLiteral("Cascade"));
    A_TileHorizontal = make("A_TileHorizontal", QStringLiteral("Горизонтально"),
                            QStringLiteral("Tile Horizontal"));
    A_TileVertical =
        make("A_TileVertical", QStringLiteral("Вертикально"), QStringLiteral("Tile Vertical"));
    A_MinimizeAll =
        make("A_MinimizeAll", QStringLiteral("Свернуть все"), QStringLiteral("Minimize All"));
    A_Close = make("A_Close", QStringLiteral("Закрыть"), QStringLiteral("Close"));
    A_GetFocuse = make("A_GetFocuse", QStringLiteral("Get Focuse"),
                       QStringLiteral("Get Focuse Object"), QKeySequence(QStringLiteral("Ctrl+Z")));
    A_Help = make("A_Help", QStringLiteral("Help"), QStringLiteral("Get help"));
    A_About = make("A_About", QStringLiteral("About"), QStringLiteral("About the Talvin"));
    A_Keyboard = make("A_Keyboard", QStringLiteral("Keyboard"), QStringLiteral("Keyborad"),
                      QKeySequence(QStringLiteral("Ctrl+K")));

    auto on = [this](QAction *action, auto handler) {
        connect(action, &QAction::triggered, this,
                [handler]() { RunGuarded([&handler] { handler(); }); });
    };
    on(A_Connect, [this] { A_ConnectExecute(); });
    on(A_Tools, [this] { ShowConnectDialog(); });
    on(A_ConfigEditor, [this] { ShowConfigEditor(RequestedConfigPage()); });
    on(A_About, [this] {
        if (AboutForm)
            AboutForm->exec();
    });
    on(A_Exit, [this] { close(); });
    on(A_Join, [this] { A_ChannelList->trigger(); });
    on(A_MakeChannel, [this] {
        if (Form5)
            Form5->exec();
    });
    connectCommandActions();
    on(A_Faworits, [] {
        FaworitsForm()->show();
        FaworitsForm()->raise();
        FaworitsForm()->activateWindow();
    });
    on(A_KOI8, [this] { SetCodePage(CodePageKoi8); });
    on(A_OEM, [this] { SetCodePage(CodePageOem); });
    on(A_CP1251, [this] { SetCodePage(CodePageWin1251); });
    on(A_UTF8, [this] { SetCodePage(CodePageUtf8); });
    on(A_SetSpeakPanel, [this] { Panel1->TogglePanel(); });
    on(A_ToolsPanel, [this] { ToolBar1->setVisible(!ToolBar1->isVisible()); });
    on(A_Cascade, [this] { MdiArea->cascadeSubWindows(); });
    on(A_TileHorizontal, [this] { TileSubWindows(MdiArea, Qt::Horizontal); });
    on(A_TileVertical, [this] { TileSubWindows(MdiArea, Qt::Vertical); });
    on(A_MinimizeAll, [this] {
        for (QMdiSubWindow *window : MdiArea->subWindowList())
            window->showMinimized();
    });
    on(A_Close, [this] { MdiArea->closeActiveSubWindow(); });
    on(A_GetFocuse, [this] { A_GetFocuseExecute(); });
    on(A_Keyboard, [this] { KeyboardConversion = !KeyboardConversion; });
}

void TForm1::createMenus()
{
    auto addMenu = [this](QAction *header, const QList<QAction *> &items) {
        auto *menu = new QMenu(this);
        menu->setObjectName(header->objectName() + QStringLiteral("Menu"));
        for (QAction *item : items) {
            if (item)
                menu->addAction(item);
            else
                menu->addSeparator();
        }
        header->setMenu(menu);
        menuBar()->addAction(header);
        return menu;
    };
    addMenu(A_Server, {A_Connect, nullptr, A_Tools, A_ConfigEditor, A_Settings, nullptr, A_Exit});
    auto *codePages = new QMenu(this);
    codePages->setObjectName(QStringLiteral("A_CodePageMenu"));
    codePages->addActions({A_KOI8, A_OEM, A_CP1251, A_UTF8});
    A_CodePage->setMenu(codePages);
    QMenu *commands = addMenu(Channels, {A_Join, A_Part, A_ChannelList, nullptr, A_Nick, A_Message,
                                         A_Query, A_Whois, A_Who, A_Ban, A_Kick, A_CodePage,
                                         A_Notice, nullptr, A_MakeChannel});
    commands->setDefaultAction(A_Join);
    addMenu(A_Panels, {A_ChannelList, A_SelectStatusPanel, A_SetSpeakPanel, A_Faworits});
    addMenu(A_Windows,
            {A_Cascade, A_TileHorizontal, A_TileVertical, nullptr, A_Close, A_MinimizeAll});
    addMenu(A_Help, {A_About});
}

void TForm1::createToolBars()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setAccessibleName(QStringLiteral("Панель инструментов"));
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(32, 32));
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    auto button = [this](const char *name, QAction *action, QStyle::StandardPixmap picture) {
        auto *b = new QToolButton(ToolBar1);
        b->setObjectName(QLatin1String(name));
        b->setText(action->text());
        b->setToolTip(action->toolTip());
        b->setAccessibleName(action->text());
        b->setIcon(style()->standardIcon(picture));
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, action, [action] { action->trigger(); });
        ToolBar1->addWidget(b);
        return b;
    };
    ToolButton1 = button("ToolButton1", A_Connect, QStyle::SP_DialogYesButton);
    ToolButton1->setCheckable(true);
    // The button's pressed look follows the connection, not the click.
    connect(ToolButton1, &QToolButton::clicked, this,
            [this] { ToolButton1->setChecked(m_connectedLook); });
    ToolButton5 = button("ToolButton5", A_Tools, QStyle::SP_FileDialogDetailedView);
    ToolBar1->addSeparator();
    ToolButton6 = button("ToolButton6", A_Faworits, QStyle::SP_DirHomeIcon);
    ToolButton2 = button("ToolButton2", A_ChannelList, QStyle::SP_FileDialogListView);
    ToolButton2->setText(QStringLiteral("Каналы"));
    ToolButton2->setToolTip(QStringLiteral("Список каналов"));
    ToolBar1->addSeparator();
    ToolButton3 = button("ToolButton3", A_SetSpeakPanel, QStyle::SP_MediaVolume);
    ToolButton3->setCheckable(true);
    ToolBar1->addSeparator();
    ToolButton4 = button("ToolButton4", A_SelectStatusPanel, QStyle::SP_FileDialogInfoView);
    // Hidden as in the design; its action keeps its shortcut.
    ToolBar1->actions().last()->setVisible(false);

    N1 = new QAction(QStringLiteral("Подписи кнопок"), this);
    N1->setObjectName(QStringLiteral("N1"));
    N1->setCheckable(true);
    N1->setChecked(true);
    connect(N1, &QAction::toggled, this, [this](bool checked) { N1Click(checked); });
    // The context menu holds the captions toggle and the tool-bar action.
    ToolBar1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ToolBar1, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu menu;
        menu.addAction(N1);
        menu.addAction(A_ToolsPanel);
        menu.exec(ToolBar1->mapToGlobal(pos));
    });
    N1Click(true);
    SetConnectButtonLook(false);

    addToolBarBreak(Qt::TopToolBarArea);
    WatchBar = new QToolBar(this);
    WatchBar->setObjectName(QStringLiteral("WatchBar"));
    WatchBar->setAccessibleName(QStringLiteral("Открытые каналы"));
    WatchBar->setMovable(false);
    WatchBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QFont bold = WatchBar->font();
    bold.setBold(true);
    WatchBar->setFont(bold);
    addToolBar(Qt::TopToolBarArea, WatchBar);
}

void TForm1::N1Click(bool checked)
{
    const QList<QToolButton *> buttons = {ToolButton1, ToolButton5, ToolButton6,
                                          ToolButton2, ToolButton3, ToolButton4};
    for (QToolButton *b : buttons) {
        b->setToolButtonStyle(checked ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
        b->setFixedSize(checked ? QSize(67, 52) : QSize(32, 32));
        b->setIconSize(checked ? QSize(24, 24) : QSize(32, 32));
    }
    ToolBar1->setFixedHeight(checked ? 60 : 48);
}

void TForm1::createStatusBar()
{
    static const int widths[5] = {200, 70, 70, 75, 50};
    static const char *names[5] = {"Состояние соединения", "Байт передано", "Время сеанса",
                                   "Кодировка", "Пусто"};
    for (int i = 0; i < 5; ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setAccessibleName(QString::fromUtf8(names[i]));
        panel->setFixedWidth(widths[i]);
        if (i >= 1 && i <= 3)
            panel->setAlignment(Qt::AlignCenter);
        statusBar()->addWidget(panel);
        StatusPanels[i] = panel;
    }
    StatusPanels[1]->setText(QStringLiteral("0"));
}

// Main-window texts come from caption.ini once, when the window is created; a missing key
// shows (and, through the accessible names, is heard as) "err-" + key.
void TForm1::ConfigureComponentCaptionText()
{
    auto button = [](QToolButton *b, const QString &key) {
        const QString text = GetCaption(key);
        b->setText(text);
        b->setAccessibleName(text);
    };
    button(ToolButton1, QStringLiteral("ToolButton1"));
    button(ToolButton2, QStringLiteral("ToolButton2"));
    button(ToolButton3, QStringLiteral("ToolButton3"));
    button(ToolButton4, QStringLiteral("ToolButton4"));
    button(ToolButton5, QStringLiteral("ToolButton5"));
    button(ToolButton6, QStringLiteral("ToolButton6"));

    const QList<QPair<const char *, QAction *>> actions = {
        {"Server", A_Server},
        {"A_Tools", A_Tools},
        {"A_Who", A_Who},
        {"A_ConfigEditor", A_ConfigEditor},
        {"A_ChannelList", A_ChannelList},
        {"A_Message", A_Message},
        {"Connect", A_Connect},
        {"ExitApp", A_Exit},
        {"Speech", A_SetSpeakPanel},
        {"Channels", Channels},
        {"SetSpeech", A_Panels},
        {"Keyboard", A_Keyboard},
        {"sep1", nullptr},
        {"Help", A_Help},
        {"About", A_About},
        {"CJoin", A_Join},
        {"CPart", A_Part},
        {"CQueryUser", A_Query},
        {"CSendNotice", A_Notice},
        {"CWhoisUser", A_Whois},
        {"CBan", A_Ban},
        {"CKick", A_Kick},
        {"CChangNick", A_Nick},
        {"CMakeChannel", A_MakeChannel},
        {"A_Faworits", A_Faworits},
        {"Windows", A_Windows},
        {"SelectStatusPanel", A_SelectStatusPanel},
        {"SelectTools", A_ToolsPanel},
        {"SetControlPanel", A_SelectStatusPanel},
        {"CodePage", A_CodePage},
        {"Win1251", A_CP1251},
        {"Koi8", A_KOI8},
        {"OEM", A_OEM},
        {"Utf8", A_UTF8},
    };
    for (const auto &[key, action] : actions) {
        const QString text = GetCaption(QLatin1String(key));
        // A caption file older than the UTF-8 page keeps that item's own name.
        if (action && (action != A_UTF8 || IsConfigValue(text)))
            action->setText(text);
    }
    Panel1->LoadCaptions();
}

// ---- Voices ----

// ---- Window events ----

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    StatusPanels[3]->setText(TextCodec.CodePage());
}

void TForm1::SetCodePage(const QString &codePage)
{
    TextCodec.SetCodePage(codePage);
    if (StatusPanels[3])
        StatusPanels[3]->setText(TextCodec.CodePage());
}

void TForm1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && FirstActivation)
        RunGuarded([this] { FormActivate(); });
}

void TForm1::FormActivate()
{
    FirstActivation = false;
    StatusForm = new TStatusForm(Speech1);
    StatusForm->OnCommand = [this](const QString &line) {
        RunGuarded([&] { SendStatusCommand(line); });
    };
    QMdiSubWindow *sub = MdiArea->addSubWindow(StatusForm);
    sub->setObjectName(QStringLiteral("StatusSubWindow"));
    sub->setWindowTitle(StatusForm->windowTitle());
    sub->showMaximized();
    MenuAnnouncer->AttachSystemMenu(sub->systemMenu());
    // The status window stays for the whole run: closing it would lose every later
    // server line.
    m_statusSubWindow = sub;
    sub->installEventFilter(this);
    UpdateWindowActions();
    // Passwords and keys left readable by others (an old installation, a copied folder)
    // are narrowed now; the user reads why in the status window.
    RunGuarded([this] {
        for (const QString &message : TightenSecretFiles())
            AddToStatus(message, QColor(255, 0, 0));
    });

    // A voice without an engine must not keep the start mode from being carried out.
    RunGuarded([this] { Speech1->Speak(kGreeting); });
    // Before the start mode opens a dialog: the answer decides who reads that dialog.
    RunGuarded([this] { SettleScreenReaderChoice(Speech1, this, ScreenReader::Running); });

    const QString mode = GetCaption(QStringLiteral("smode"));
    if (mode == QLatin1String("master")) {
        m_startMode = TStartMode::Wizard;
        ShowWizard();
    } else if (mode == QLatin1String("connect")) {
        m_startMode = TStartMode::Connect;
        DoConnect();
    } else {
        m_startMode = TStartMode::ConnectDialog;
        // After this activation has settled: the status window, just made, takes the
        // focus inside the main window, and the dialog must end up with the keyboard.
        QMetaObject::invokeMethod(
            this, [this] { ShowConnectDialog(); }, Qt::QueuedConnection);
    }
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    RunGuarded([] { SaveSpeechConfiguration(); });
    if (m_attempt) {
        m_attempt->Cancel();
        delete m_attempt;
    }
    if (IRC->Connected())
        RunGuarded([this] { DoDisconnect(); });
    event->accept();
    if (QuitOnClose)
        QCoreApplication::quit();
}

void TForm1::Timer1Timer()
{
    const qint64 seconds = StartTime.secsTo(QDateTime::currentDateTime()) % (24 * 60 * 60);
    StatusPanels[2]->setText(LongTimeText(QTime(0, 0).addSecs(static_cast<int>(seconds))));
}

void TForm1::UpdateByteCounter()
{
    StatusPanels[1]->setText(QString::number(BytesReceived + BytesSent));
}

void TForm1::SetStatusText(const QString &text)
{
    StatusPanels[0]->setText(text);
}

void TForm1::UpdateWindowActions()
{
    const bool any = !MdiArea->subWindowList().isEmpty();
    for (QAction *action : {A_Cascade, A_TileHorizontal, A_TileVertical, A_MinimizeAll, A_Close})
        action->setEnabled(any);
}

void TForm1::A_GetFocuseExecute()
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus)
        focus = this;
    // In the MDI the window around the control is its sub-window, not the main window.
    QWidget *window = focus;
    while (window && !window->isWindow() && !qobject_cast<QMdiSubWindow *>(window))
        window = window->parentWidget();
    if (!window)
        window = this;
    Speech1->Speak(QStringLiteral("Окно ") + window->windowTitle());
}

void TForm1::SpeakLang()
{
    KeyboardLanguage->SpeakLang();
}

void TForm1::ShowConfigEditor(int page)
{
    if (EditConfigForm)
        EditConfigForm->ShowOnPage(page);
}

void TForm1::CreateApplicationWindows()
{
    // The order of the program's start: message of the day, connect dialog, make-channel
    // dialog, help viewer, About box, server options, favourites, channel-list request,
    // configuration editor, message box, wizard, channel mode and setup, server list.
    // The windows are top-level; each is deleted with the main window.
    DayTeam = new TDayTeam(this);
    DayTeam->setWindowFlag(Qt::Window);
    Form2 = new TForm2(this);
    // On screen at every start, whatever the start mode then brings to the front.
    Form2->show();
    Form5 = new TForm5(this);
    HelpForm();
    AboutForm = new TAboutForm(this);
    ServerOptionsForm();
    FaworitsForm();
    EditFaworitForm();
    EditConfigForm = new TEditConfigForm(this);
    VoxShowMessageForm();
    MasterForm = new TMasterForm(this);
    ServerListForm();
}

void TForm1::ShowWizard()
{
    if (MasterForm) {
        MasterForm->show();
        MasterForm->raise();
        MasterForm->activateWindow();
    } else {
        ShowConnectDialog();
    }
}

void TForm1::ShowConnectDialog()
{
    if (Form2)
        Form2->ShowAndFocus();
}

int TForm1::FindChannelForm(const QString &name) const
{
    // Windows are named as the server names channels and nicks, and found by its rule.
    const TIrcCaseMapping mapping = IRC ? IRC->CaseMapping() : TIrcCaseMapping::AsciiCyrillic;
    int superseded = -1;
    for (int i = ChannelFormCount - 1; i >= 0; --i) {
        if (!ChannelForms[i] || !IrcCase::SameName(ChannelForms[i]->objectName(), name, mapping))
            continue;
        if (!ChannelForms[i]->property(SupersededProperty).toBool())
            return i;
        if (superseded < 0)
            superseded = i;
    }
    return superseded;
}

void TForm1::ChannelWathClick(QToolButton *button)
{
    int index = -1;
    for (int i = 0; i < ChannelFormCount && index < 0; ++i) {
        if (ChannelForms[i] &&
            ChannelForms[i]->property(WatchButtonProperty).value<QObject *>() == button)
            index = i;
    }
    if (index < 0)
        index = FindChannelForm(button->text());
    if (index < 0)
        return;
    QWidget *form = ChannelForms[index];
    QWidget *frame = form->parentWidget() ? form->parentWidget() : form;
    frame->show();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(frame))
        MdiArea->setActiveSubWindow(sub);
    form->setFocus();
    form->repaint();
    button->setDown(true);
}

void TForm1::AddToStatus(const QString &text, const QColor &colour)
{
    if (StatusForm)
        StatusForm->AddToStatus(text, colour);
}

void TForm1::AddToLog(const QByteArray &text)
{
    m_sessionLog.AddToLog(text);
}

void TForm1::AddToLog(const QString &text)
{
    m_sessionLog.AddToLog(EncodeEngineText(text));
}

void TForm1::SendStatusCommand(const QString &line)
{
    if (line.isEmpty())
        return;
    IRC->Raw(EncodeEngineText(line));
}
