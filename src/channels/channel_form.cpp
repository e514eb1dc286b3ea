#include "channels/channel_form.h"

#include "app/codepage.h"
#include "app/main_window.h"
#include "app/talvin_application.h"
#include "base/time_text.h"
#include "channels/channel_activity_keys.h"
#include "channels/channel_event_router.h"
#include "channels/channel_forms.h"
#include "channels/channel_keys.h"
#include "channels/channel_mode_form.h"
#include "channels/channel_setup_form.h"
#include "channels/channel_text.h"
#include "channels/mentions.h"
#include "channels/message_sent_time.h"
#include "channels/presence_notes.h"
#include "channels/window_speech_mode.h"
#include "config/config_files.h"
#include "config/event_sound.h"
#include "irc/irc_client.h"
#include "irc/secret_mask.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help.h"
#include "speech/tspeech.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QColor OwnHeaderColour(0, 0, 255);
const QColor OtherHeaderColour(255, 0, 0);
const QColor EventColour(0, 128, 0);
const QColor TextColour(0, 0, 0);

QTextCharFormat LineFormat(const QColor &colour, bool bold)
{
    QTextCharFormat format;
    format.setForeground(colour);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return format;
}

QString MessageOr(const QString &key, const QString &fallback)
{
    const QString value = GetMessageText(key);
    return value.startsWith(QLatin1String("err-")) ? fallback : value;
}

} // namespace

TSerialWork &TChannelForm::ReceiveLock()
{
    static TSerialWork lock;
    return lock;
}

TChannelForm::TChannelForm(const QString &name, int slot, bool privateDialogue, QWidget *parent)
    : QWidget(parent), ChannelName(name), Slot(slot), PrivateDialogue(privateDialogue)
{
    setObjectName(name);
    setWindowTitle(name);
    setAccessibleName(name);
    setMinimumSize(400, 200);
    createControls();
    createActions();
    createUserMenu();
    Keys = new TChannelKeys(this);
    Presence = new TPresenceNotes(this);
    Presence->Show = [this](const QString &line, const QString &spoken, bool speak) {
        PresenceLine(line, spoken, speak);
    };
    ConfigureComponents();
    VoxListView1->setVisible(!privateDialogue);
}

TChannelForm::~TChannelForm()
{
    // Hiding this window while the base classes tear it down can activate another one:
    // the window area's signal must not reach this half-destroyed form.
    if (Form1)
        disconnect(Form1->MdiArea, nullptr, this, nullptr);
    leave();
    delete m_watchAction;
}

void TChannelForm::leave()
{
    if (m_left)
        return;
    m_left = true;
    // Leaving the channel is only meaningful while the client is in it: a private window
    // has no channel to leave, and after the server confirmed a part or a kick a second
    // PART would only be answered with an error. A window superseded by a newer join of
    // its channel must not take the live channel (and, with the server's answer, the newer
    // window) with it.
    if (Form1 && Form1->IRC && !PrivateDialogue && !property(TForm1::SupersededProperty).toBool() &&
        Form1->IRC->State() == stConnected) {
        const QByteArray name = EncodeEngineText(ChannelName);
        TIrcChannel *channel = Form1->IRC->Channels().Get(name);
        if (channel && channel->Active())
            Form1->IRC->Part(name);
    }
    if (Form1 && Slot >= 0 && Slot < TForm1::ChannelFormCount && Form1->ChannelForms[Slot] == this)
        Form1->ChannelForms[Slot] = nullptr;
}

void TChannelForm::createControls()
{
    TSpeech *voice = Form1 ? Form1->Speech1 : nullptr;

    VoxRichEdit1 = new TVoxChatView(this);
    VoxRichEdit1->setObjectName(QStringLiteral("VoxRichEdit1"));
    VoxRichEdit1->setReadOnly(true);
    VoxRichEdit1->setUndoRedoEnabled(false);
    VoxRichEdit1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    VoxRichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    VoxRichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    VoxRichEdit1->setSpeech(voice);
    VoxRichEdit1->installEventFilter(this);

    m_users = new TChannelUserModel(this);
    VoxListView1 = new TVoxModelListView(this);
    VoxListView1->setObjectName(QStringLiteral("VoxListView1"));
    VoxListView1->setModel(m_users);
    VoxListView1->setHeaderHidden(true);
    VoxListView1->setColumnWidth(0, 100);
    VoxListView1->setColumnWidth(1, 30);
    VoxListView1->setRootIsDecorated(false);
    VoxListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    VoxListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    VoxListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    VoxListView1->setUniformRowHeights(true);
    VoxListView1->setMinimumWidth(150);
    VoxListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    VoxListView1->setSpeech(voice);
    VoxListView1->installEventFilter(this);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->addWidget(VoxRichEdit1);
    Splitter1->addWidget(VoxListView1);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setChildrenCollapsible(false);

    VoxEdit1 = new TVoxEdit(this);
    VoxEdit1->setObjectName(QStringLiteral("VoxEdit1"));
    VoxEdit1->setSpeech(voice);
    VoxEdit1->installEventFilter(this);
    // "/" lines go out raw, the rest to this window's channel or nick (maybe a service).
    VoxEdit1->setSpeechMask([this](const QString &text) {
        return StarSpans(text, FindTypedSecrets(text, ChannelName));
    });
    connect(VoxEdit1, &QLineEdit::textChanged, this, [this] { updateInputColour(); });

    VoxButton1 = new TVoxButton(this);
    VoxButton1->setObjectName(QStringLiteral("VoxButton1"));
    VoxButton1->setSpeech(voice);
    VoxButton1->setAutoDefault(false);
    VoxButton1->installEventFilter(this);
    connect(VoxButton1, &QPushButton::clicked, this, [this] {
        RunGuarded([this] {
            const QString text = VoxEdit1->text();
            SayMessage(text);
            VoxEdit1->clear();
        });
    });

    auto *inputRow = new QHBoxLayout;
    inputRow->setContentsMargins(0, 0, 0, 0);
    inputRow->setSpacing(8);
    inputRow->addWidget(VoxEdit1, 1);
    inputRow->addWidget(VoxButton1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(Splitter1, 1);
    layout->addLayout(inputRow);

    setFocusProxy(VoxEdit1);
}

void TChannelForm::createActions()
{
    auto make = [this](const char *name, const QString &text, const QString &keys) {
        auto *action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        if (!keys.isEmpty())
            action->setShortcut(QKeySequence(keys));
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        return action;
    };
    AC_PartChannel =
        make("AC_PartChannel", QStringLiteral("Part channel"), QStringLiteral("Ctrl+Alt+D"));
    AC_ChannelMode =
        make("AC_ChannelMode", QStringLiteral("Channel mode"), QStringLiteral("Ctrl+Alt+M"));
    AC_ChannelSetup =
        make("AC_ChannelSetup", QStringLiteral("Channel setup"), QStringLiteral("Ctrl+Alt+A"));
    AC_Speak = make("AC_Speak", QStringLiteral("Speak"), QStringLiteral("Ctrl+Alt+S"));
    AC_DialogMode =
        make("AC_DialogMode", QStringLiteral("Dialog mode"), QStringLiteral("Shift+F5"));
    AC_Presence =
        make("AC_Presence", QStringLiteral("Joins and quits"), QStringLiteral("Ctrl+Alt+J"));

    connect(AC_PartChannel, &QAction::triggered, this, [this] {
        if (m_subWindow)
            m_subWindow->close();
        else
            close();
    });
    connect(AC_ChannelMode, &QAction::triggered, this,
            [this] { RunGuarded([this] { AC_ChannelModeExecute(); }); });
    connect(AC_ChannelSetup, &QAction::triggered, this,
            [this] { RunGuarded([this] { AC_ChannelSetupExecute(); }); });
    connect(AC_Speak, &QAction::triggered, this,
            [this] { RunGuarded([this] { AC_SpeakExecute(); }); });
    connect(AC_DialogMode, &QAction::triggered, this,
            [this] { RunGuarded([this] { AC_DialogModeExecute(); }); });
    connect(AC_Presence, &QAction::triggered, this,
            [this] { RunGuarded([this] { AC_PresenceExecute(); }); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(AC_PartChannel);
    PopupMenu1->setDefaultAction(AC_PartChannel);
    if (Form1)
        PopupMenu1->addAction(Form1->A_Nick);
    PopupMenu1->addAction(AC_ChannelMode);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(AC_ChannelSetup);
    if (Form1)
        PopupMenu1->addAction(Form1->A_SetSpeakPanel);
    PopupMenu1->addAction(AC_Speak);
    PopupMenu1->addAction(AC_Presence);
    // Dialogue mode works by its shortcut only; its item stays out of sight.
    QAction *dialogItem = PopupMenu1->addAction(AC_DialogMode->text());
    dialogItem->setVisible(false);
    connect(dialogItem, &QAction::triggered, AC_DialogMode, &QAction::trigger);
    PopupMenu1->addSeparator();
    if (Form1) {
        QMenu *codePages = PopupMenu1->addMenu(Form1->A_CodePage->text());
        codePages->addAction(Form1->A_CP1251);
        codePages->addAction(Form1->A_KOI8);
        codePages->addAction(Form1->A_OEM);
        codePages->addAction(Form1->A_UTF8);
    }
    setContextMenuPolicy(Qt::CustomContextMenu);
    auto popup = [this](const QPoint &) { PopupMenu1->popup(QCursor::pos()); };
    connect(this, &QWidget::customContextMenuRequested, this, popup);
    connect(VoxRichEdit1, &QWidget::customContextMenuRequested, this, popup);
}

// ---- Captions ----

void TChannelForm::ConfigureComponents()
{
    VoxRichEdit1->setSpeechName(GetCaption(QStringLiteral("CFVoxRichEdit1")));
    VoxEdit1->setSpeechName(GetCaption(QStringLiteral("CFVoxEdit1")));
    VoxListView1->setSpeechName(GetCaption(QStringLiteral("CFVoxListView1")));
    VoxButton1->setText(GetCaption(QStringLiteral("CFVoxButton1")));
    AC_PartChannel->setText(GetCaption(QStringLiteral("CFAC_Part")));
    AC_ChannelMode->setText(GetCaption(QStringLiteral("CFAC_Mode")));
    AC_ChannelSetup->setText(GetCaption(QStringLiteral("CFAC_Setup")));
    AC_DialogMode->setText(GetCaption(QStringLiteral("CFAC_Dialog")));
    AC_Presence->setText(GetCaption(QStringLiteral("CFAC_Presence")));
    AC_Speak->setText(Options.SpeechOn ? GetCaption(QStringLiteral("CFAC_SpeakOn"))
                                       : GetCaption(QStringLiteral("CFAC_SpeakOff")));
    // The same names for a screen reader as the ones the window speaks.
    VoxButton1->setAccessibleName(VoxButton1->text());
    VoxListView1->setAccessibleName(VoxListView1->SpeechName());
    VoxEdit1->setAccessibleName(VoxEdit1->SpeechName());
    VoxRichEdit1->setAccessibleName(VoxRichEdit1->SpeechName().trimmed());
    TSpeech *voice = Form1 ? Form1->Speech1 : nullptr;
    VoxRichEdit1->setSpeech(voice);
    VoxListView1->setSpeech(voice);
    VoxEdit1->setSpeech(voice);
    VoxButton1->setSpeech(voice);
}

void TChannelForm::RenameDialogue(const QString &nick)
{
    if (!PrivateDialogue || nick.isEmpty())
        return;
    ChannelName = nick;
    setObjectName(nick);
    SetCaptionText(nick);
    if (m_watchButton) {
        m_watchButton->setText(nick);
        m_watchButton->setAccessibleName(nick);
    }
}

void TChannelForm::SetCaptionText(const QString &caption)
{
    // Every mode event brings the caption; most leave it as it was, and a new title is
    // repainted and announced to assistive technology.
    if (caption == windowTitle() && caption == accessibleName())
        return;
    setWindowTitle(caption);
    setAccessibleName(caption);
}

// ---- Watch button ----

void TChannelForm::AddChannelToWath(const QString &name)
{
    if (!Form1 || !Form1->WatchBar)
        return;
    auto *button = new QToolButton(Form1->WatchBar);
    button->setObjectName(QStringLiteral("Watch_") + name);
    button->setText(name);
    button->setAccessibleName(name);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QFont font = button->font();
    font.setBold(true);
    button->setFont(font);
    button->setMinimumWidth(104);
    connect(button, &QToolButton::clicked, Form1, [button] {
        if (Form1)
            Form1->ChannelWathClick(button);
    });
    m_watchAction = Form1->WatchBar->addWidget(button);
    setProperty(TForm1::WatchButtonProperty, QVariant::fromValue<QObject *>(button));
    m_watchButton = button;
    RedrawWatchButton();
}

void TChannelForm::RedrawWatchButton()
{
    // Called for every message: the button is only restyled when its state changes.
    if (!m_watchButton || m_drawnUnread == int(Unread))
        return;
    m_drawnUnread = int(Unread);
    QPalette palette = m_watchButton->palette();
    palette.setColor(QPalette::ButtonText, Unread ? QColor(255, 0, 0) : QColor(0, 0, 0));
    m_watchButton->setPalette(palette);
    // A screen reader hears what the colour shows.
    m_watchButton->setAccessibleDescription(Unread ? QStringLiteral("есть новые сообщения")
                                                   : QString());
    m_watchButton->update();
}

// ---- Showing, activation, focus ----

void TChannelForm::speakInterface(const QString &text)
{
    if (Form1 && Form1->Speech1)
        Form1->Speech1->Speak(text);
}

QString TChannelForm::ownNick() const
{
    return Form1 && Form1->IRC ? DecodeEngineText(Form1->IRC->Nick()) : QString();
}

bool TChannelForm::_Focused() const
{
    const QWidget *focus = QApplication::focusWidget();
    return focus && (focus == this || isAncestorOf(focus));
}

void TChannelForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        RunGuarded([this] { sayCaption(); });
}

void TChannelForm::sayCaption()
{
    // A new window is shown, maximised (which shows it again) and activated in one go: the
    // user hears its name once for all of that, not once for each step.
    if (m_captionSaid || VoxVoice::ControlsQuiet())
        return;
    m_captionSaid = true;
    QTimer::singleShot(0, this, [this] { m_captionSaid = false; });
    speakInterface(windowTitle());
}

void TChannelForm::FormActivate()
{
    sayCaption();
    Unread = false;
    UnreadCount = 0;
    Mentioned = false;
    RedrawWatchButton();
    ConfigureComponents();
}

void TChannelForm::FormDeactivate()
{
    if (m_watchButton)
        m_watchButton->setDown(false);
}

void TChannelForm::resizeEvent(QResizeEvent *event)
{
    // The layout gives the input line the width less the Send button and a small gap.
    QWidget::resizeEvent(event);
}

// ---- Events from the main window ----

void TChannelForm::Recive(const QString &nick, const QString &text, const QStringList &names)
{
    // Only an ignored user is dropped: a sender missing from the table (right after
    // joining, after a nick change, from outside the channel) is still heard.
    if (const ChannelUserRecord *user = m_users->Find(nick); user && user->Ignored)
        return;
    QPointer<TChannelForm> self(this);
    const QDateTime sent = TMessageSentTime::Current();
    ReceiveLock().Run([self, nick, text, names, sent] {
        if (!self)
            return;
        TChannelForm &w = *self;
        const bool focused = w._Focused();
        w.Unread = !focused;
        w.RedrawWatchButton();
        const QString shown = StripControlCodes(text);
        const QString own = w.ownNick();
        const bool mention = nick != own && IsMention(shown, own, HighlightWords());
        if (!focused)
            ++w.UnreadCount;
        if (mention) {
            w.Mentioned = w.Mentioned || !focused;
            TMentionList::Instance().Add(TMention{
                w.ChannelName, nick, shown, sent.isValid() ? sent : QDateTime::currentDateTime()});
            PlayEventSound(QStringLiteral("mention"));
        }
        QString header;
        if (w.Options.ShowNick)
            header = nick;
        if (w.Options.ShowTime)
            header +=
                QStringLiteral(" (") +
                LongTimeText(sent.isValid() ? sent.toLocalTime().time() : QTime::currentTime()) +
                QLatin1Char(')');
        if (!header.isEmpty()) {
            header += QLatin1Char(':');
            w.addLine(header,
                      LineFormat(nick == w.ownNick() ? OwnHeaderColour : OtherHeaderColour, true));
        }
        if (w.Options.ShowText)
            w.addLine(shown, LineFormat(TextColour, false));
        w.Keys->MessageShown(nick, shown, sent.isValid() ? sent : QDateTime::currentDateTime());
        switch (MessageSpeech(SpeechModeOf(w.Options), focused,
                              w.Options.SoundNotSpoken && !mention, mention)) {
        case TMessageSpeech::Speak:
            if (Form1)
                Form1->SpeakChannelText(
                    w.Options.SpeakNick ? nick + QLatin1Char(' ') + shown : shown, w.ChannelName);
            break;
        case TMessageSpeech::Sound:
            PlayEventSound(QStringLiteral("message"));
            break;
        case TMessageSpeech::Nothing:
            break;
        }
        if (!names.isEmpty())
            w.UpdateUserList(names);
        w.IncMessageCount(nick);
        w.Presence->Spoke(nick);
    });
}

void TChannelForm::autoReply(const QString &nick)
{
    if (!Form1 || !Form1->IRC)
        return;
    // A NOTICE, never a PRIVMSG: automatic replies must not answer each other. One per
    // partner a minute, and within the limit of automatic CTCP answers, so a burst of
    // messages cannot get us thrown off the server.
    TCtcpAnswerLimiter &limiter = Form1->IRC->CtcpAnswerLimiter();
    const qint64 now = limiter.Clock();
    if (m_lastAutoReply && now - *m_lastAutoReply < AutoReplyIntervalMs)
        return;
    if (!limiter.TryTake())
        return;
    m_lastAutoReply = now;
    const QString reply =
        MessageOr(QStringLiteral("mes6"), QStringLiteral("Это автоответ. ")) + ownNick() +
        MessageOr(QStringLiteral("mes7"),
                  QStringLiteral(" сейчас не может ответить, напишите, пожалуйста, позже."));
    Form1->IRC->Notice(EncodeEngineText(nick), ChannelSendBytes(reply));
}

void TChannelForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (!event->isAccepted())
        return;
    // The window lives on until it is deleted; traffic meanwhile goes to a new window or
    // the status window, never into one nobody will see.
    m_closing = true;
    RunGuarded([this] { leave(); });
}

void TChannelForm::PersonalRecive(const QString &nick, const QString &text, bool notice)
{
    if (DialogMode && !notice)
        RunGuarded([&] { autoReply(nick); });
    QPointer<TChannelForm> self(this);
    ReceiveLock().Run([self, nick, text, notice] {
        if (!self || self->m_closing) {
            TChannelEventRouter::PrivateToStatus(nick, text, notice);
            return;
        }
        TChannelForm &w = *self;
        w.Unread = !w._Focused();
        if (w.Unread)
            ++w.UnreadCount;
        w.RedrawWatchButton();
        const QString shown = StripControlCodes(text);
        w.addLine(nick, LineFormat(TextColour, false));
        w.addLine(shown, LineFormat(TextColour, true));
        w.Keys->MessageShown(nick, shown, QDateTime::currentDateTime());
        if (w.Options.SpeechOn && Form1) {
            if (w._Focused()) {
                Form1->SpeakChannelText(nick + QLatin1Char(' ') + shown, w.ChannelName);
            } else {
                // Away from the window a private message is a sound, and in "always" mode
                // its sender's name too.
                PlayEventSound(QStringLiteral("pmessage"));
                if (w.Options.SpeakNotFocused)
                    Form1->SpeakChannelText(nick, w.ChannelName);
            }
        }
    });
}

void TChannelForm::showOwnPrivateMessage(const QString &text)
{
    QPointer<TChannelForm> self(this);
    ReceiveLock().Run([self, text] {
        if (!self)
            return;
        TChannelForm &w = *self;
        w.addLine(w.ownNick(), LineFormat(OwnHeaderColour, false));
        w.addLine(text, LineFormat(TextColour, true));
        w.Keys->MessageShown(w.ownNick(), text, QDateTime::currentDateTime());
    });
}

void TChannelForm::Joined(const QString &channel)
{
    ChannelEvent(ownNick() + QLatin1Char(' ') +
                 MessageOr(QStringLiteral("Joined"), QStringLiteral("вошёл на канал")) +
                 QLatin1Char(' ') + channel);
}

void TChannelForm::ChannelEvent(const QString &text)
{
    if (!Options.ShowEvents)
        return;
    addLine(QStringLiteral("*** ") + text, LineFormat(EventColour, true));
    if (_Focused() && Options.SpeechOn)
        speakInterface(text);
}

void TChannelForm::PresenceLine(const QString &line, const QString &spoken, bool speak)
{
    if (m_closing)
        return;
    if (Options.ShowEvents)
        addLine(QStringLiteral("*** ") + line, LineFormat(EventColour, true));
    // In the channel voice's queue, after the messages said before it.
    if (speak && Form1 &&
        MessageSpeech(SpeechModeOf(Options), _Focused(), false) == TMessageSpeech::Speak)
        Form1->SpeakChannelText(spoken, ChannelName);
}

// ---- Sending ----

void TChannelForm::SayMessage(const QString &text)
{
    if (text.isEmpty()) {
        VoxShowMessage(QStringLiteral("message"), QStringLiteral("type you message first"));
        return;
    }
    Keys->LineSent(text);
    if (SendCommand(text))
        return;
    const QString stripped = StripControlCodes(text);
    if (Form1 && Form1->IRC)
        Form1->IRC->Say(EncodeEngineText(ChannelName), ChannelSendBytes(stripped));
    if (PrivateDialogue)
        showOwnPrivateMessage(MaskSpans(stripped, FindTypedSecrets(stripped, ChannelName)));
    else
        Recive(ownNick(), stripped);
}

bool TChannelForm::SendCommand(const QString &text)
{
    if (!text.startsWith(QLatin1Char('/')))
        return false;
    if (Form1 && Form1->IRC)
        Form1->IRC->Raw(EncodeEngineText(text.mid(1)));
    return true;
}

// ---- Input line and conversation view keys ----

void TChannelForm::updateInputColour()
{
    const QString text = VoxEdit1->text();
    if (text.isEmpty())
        return;
    QPalette palette = VoxEdit1->palette();
    palette.setColor(QPalette::Text,
                     text.startsWith(QLatin1Char('/')) ? QColor(0, 128, 0) : QColor(0, 0, 0));
    VoxEdit1->setPalette(palette);
}

bool TChannelForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // The main window has an idle Ctrl+Alt+A of its own; inside a channel window the
        // setup dialog wins.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->keyCombination() ==
            QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_A)) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->keyCombination() ==
            QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_A)) {
            AC_ChannelSetup->trigger();
            return true;
        }
        if (watched == VoxListView1 &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            // Enter on a row opens a dialogue with that user, like a click.
            if (const QModelIndex row = VoxListView1->currentIndex(); row.isValid())
                RunGuarded([nick = m_users->NickAt(row.row())] { NewPrivateForm(nick); });
            return true;
        }
        if (watched == VoxEdit1) {
            // A change of keyboard language is announced as the user types.
            if (Form1)
                RunGuarded([] { Form1->SpeakLang(); });
            bool handled = false;
            RunGuarded([&] { handled = Keys->InputKey(key) || inputKey(key, false); });
            return handled;
        }
        if (watched == VoxRichEdit1) {
            if (Form1)
                RunGuarded([] { Form1->SpeakLang(); });
            const bool typed = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                               (!key->text().isEmpty() && key->text().at(0).isPrint() &&
                                !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
            if (typed) {
                // What is typed in the conversation belongs to the input line; the
                // character itself is not put there, Enter sends the line.
                VoxEdit1->setFocus(Qt::OtherFocusReason);
                RunGuarded([&] { inputKey(key, true); });
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TChannelForm::inputKey(QKeyEvent *event, bool fromView)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const QString text = VoxEdit1->text();
        VoxEdit1->clear();
        SayMessage(text);
        return true;
    }
    if (fromView)
        return true;
    if (Form1 && Form1->KeyboardConversion && event->text().size() == 1 &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QChar typed = event->text().at(0);
        const QChar converted = ConvertKey(typed);
        if (converted != typed) {
            VoxEdit1->insert(QString(converted));
            return true;
        }
    }
    return false;
}

// ---- Conversation view ----

void TChannelForm::LinesAdd(const QString &text)
{
    addLine(text, VoxRichEdit1->currentCharFormat());
}

void TChannelForm::addLine(const QString &text, const QTextCharFormat &format)
{
    m_pending.push_back(PendingLine{text, format});
    scheduleFlush();
}

void TChannelForm::scheduleFlush()
{
    if (m_flushScheduled)
        return;
    m_flushScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_flushScheduled = false;
        flushTurn(LinesPerTurn);
    });
}

void TChannelForm::FlushLines()
{
    flushTurn(int(m_pending.size()));
}

void TChannelForm::flushTurn(int limit)
{
    if (m_pending.empty())
        return;
    const size_t count = std::min(m_pending.size(), size_t(std::max(limit, 0)));
    QTextDocument *document = VoxRichEdit1->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (size_t i = 0; i < count; ++i) {
        const PendingLine &line = m_pending[i];
        // The plain-text layout of the view has no paragraph indents: blocks keep the
        // default block format.
        if (m_viewLines == 0 && !m_trimmed)
            cursor.setBlockCharFormat(line.Format);
        else
            cursor.insertBlock(QTextBlockFormat(), line.Format);
        cursor.insertText(line.Text, line.Format);
        ++m_viewLines;
    }
    cursor.endEditBlock();
    m_pending.erase(m_pending.begin(), m_pending.begin() + qsizetype(count));
    trimView();
    // The caret follows the conversation, except while the user reads it: then the place
    // being read stays put.
    if (!VoxRichEdit1->hasFocus())
        VoxRichEdit1->moveCursor(QTextCursor::End);
    if (!m_pending.empty())
        scheduleFlush();
}

void TChannelForm::trimView()
{
    if (m_viewLines <= ViewLineLimit + ViewLineSlack)
        return;
    const int remove = m_viewLines - ViewLineLimit;
    QTextDocument *document = VoxRichEdit1->document();
    const int first = m_trimmed ? 1 : 0; // the note stays on top
    QTextCursor cursor(document->findBlockByNumber(first));
    QTextBlock last = document->findBlockByNumber(first + remove);
    cursor.beginEditBlock();
    cursor.setPosition(last.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    if (!m_trimmed) {
        cursor.movePosition(QTextCursor::Start);
        cursor.insertText(TrimNote, LineFormat(EventColour, true));
        cursor.insertBlock(QTextBlockFormat(), LineFormat(TextColour, false));
        m_trimmed = true;
    }
    cursor.endEditBlock();
    m_viewLines -= remove;
}

// ---- User table ----

int TChannelForm::UserPresent(const QString &nick) const
{
    return m_users->RowOf(nick) + 1;
}

int TChannelForm::UserCount() const
{
    return m_users->Count();
}

void TChannelForm::UpdateUserList(const QStringList &names)
{
    if (names.size() == 1)
        m_users->Add(names.front());
    else
        m_users->AddMissing(names);
}

void TChannelForm::DeleteFromUserList(const QString &nick)
{
    m_users->Remove(nick);
}

void TChannelForm::RenameUser(const QString &oldNick, const QString &newNick)
{
    m_users->Rename(oldNick, newNick);
    Presence->Renamed(oldNick, newNick);
}

void TChannelForm::IncMessageCount(const QString &nick)
{
    m_users->CountMessage(nick);
}
