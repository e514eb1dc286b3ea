// The user list's menu and the window's own actions.
#include "app/codepage.h"
#include "app/main_window.h"
#include "app/talvin_application.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "channels/channel_mode_form.h"
#include "channels/channel_setup_form.h"
#include "channels/channel_text.h"
#include "channels/presence_notes.h"
#include "channels/window_speech_mode.h"
#include "config/config_files.h"
#include "irc/irc_client.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help.h"
#include "speech/tspeech.h"

#include <QAction>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>

namespace {

const QString kKickReason = QStringLiteral("so reson...");

} // namespace

void TChannelForm::createUserMenu()
{
    UserMenu = new QMenu(VoxListView1);
    UserMenu->setObjectName(QStringLiteral("UserMenu"));
    auto item = [this](QMenu *menu, const char *name, const QString &text, const QString &keys,
                       void (TChannelForm::*run)()) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        if (!keys.isEmpty()) {
            action->setShortcut(QKeySequence(keys));
            action->setShortcutContext(Qt::WidgetShortcut);
            // The list carries the shortcut so that it works while the list has the focus.
            VoxListView1->addAction(action);
        }
        if (run)
            connect(action, &QAction::triggered, this,
                    [this, run] { RunGuarded([this, run] { (this->*run)(); }); });
        return action;
    };
    UM_Info = item(UserMenu, "Info", QStringLiteral("Info"), QString(), nullptr);
    UM_Info->setVisible(false);
    UM_Whois = item(UserMenu, "Whois", QStringLiteral("Whois"), QString(), nullptr);
    UM_Whois->setVisible(false);
    UM_Query = item(UserMenu, "Query", QStringLiteral("Query"), QStringLiteral("Ctrl+C"),
                    &TChannelForm::QueryExecute);
    UserMenu->addSeparator();
    QMenu *control = UserMenu->addMenu(QStringLiteral("Control"));
    UM_Control = control->menuAction();
    UM_Ignor =
        item(control, "Ignor", QStringLiteral("Ignor"), QString(), &TChannelForm::IgnorExecute);
    UM_Deignore = item(control, "deignore", QStringLiteral("deignore"), QString(), nullptr);
    UM_Deignore->setVisible(false);
    UM_Op = item(control, "op", QStringLiteral("op"), QStringLiteral("Ctrl+O"),
                 &TChannelForm::OpExecute);
    UM_Deop = item(control, "deop", QStringLiteral("deop"), QString(), &TChannelForm::DeopExecute);
    UM_Voice = item(control, "Voice", QStringLiteral("Voice"), QStringLiteral("Ctrl+V"), nullptr);
    UM_Devoice =
        item(control, "Devoice", QStringLiteral("Devoice"), QStringLiteral("Ctrl+D"), nullptr);
    UM_Kick = item(control, "Kick", QStringLiteral("Kick"), QStringLiteral("Del"),
                   &TChannelForm::KickExecute);
    UM_KickWhy = item(control, "KickWhy", QStringLiteral("Kick(why)"), QStringLiteral("Shift+Del"),
                      &TChannelForm::KickWhyExecute);
    UM_Ban = item(control, "Ban", QStringLiteral("Ban"), QString(), nullptr);
    UM_Ban->setEnabled(false);
    QMenu *ctcp = control->addMenu(QStringLiteral("CTCP"));
    ctcp->addAction(QStringLiteral("Ping"));
    ctcp->addAction(QStringLiteral("Time"));
    ctcp->addAction(QStringLiteral("Version"));
    UM_Ctcp = ctcp->menuAction();
    UM_Ctcp->setVisible(false);
    UserMenu->addSeparator();
    UM_Slap = item(UserMenu, "Slap", QStringLiteral("Slap"), QString(), nullptr);
    UM_Slap->setVisible(false);

    connect(VoxListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &) { UserMenu->popup(QCursor::pos()); });
    // A click on a row opens a dialogue with that user (Enter: see eventFilter).
    connect(VoxListView1, &QAbstractItemView::clicked, this, [this](const QModelIndex &row) {
        RunGuarded([this, row] {
            if (row.isValid())
                NewPrivateForm(m_users->NickAt(row.row()));
        });
    });
}

QString TChannelForm::SelectedNick() const
{
    const QModelIndex row = VoxListView1->SelectedRow();
    return row.isValid() ? m_users->NickAt(row.row()) : QString();
}

void TChannelForm::QueryExecute()
{
    const QString nick = SelectedNick();
    if (nick.isEmpty()) {
        VoxShowMessage(QStringLiteral("User"), QStringLiteral("Select user nick in list"));
        return;
    }
    NewPrivateForm(nick);
}

namespace {

TIrcChannel *EngineChannel(const QString &name)
{
    if (!Form1 || !Form1->IRC)
        return nullptr;
    return Form1->IRC->Channels().Get(EncodeEngineText(name));
}

QByteArray NickBytes(const QString &nick)
{
    return EncodeEngineText(nick);
}

} // namespace

void TChannelForm::OpExecute()
{
    const QString nick = SelectedNick();
    TIrcChannel *channel = EngineChannel(ChannelName);
    if (nick.isEmpty() || UserPresent(nick) == 0 || !channel)
        return;
    channel->Op(NickBytes(nick));
}

void TChannelForm::DeopExecute()
{
    const QString nick = SelectedNick();
    TIrcChannel *channel = EngineChannel(ChannelName);
    if (nick.isEmpty() || UserPresent(nick) == 0 || !channel)
        return;
    channel->Deop(NickBytes(nick));
}

void TChannelForm::KickExecute()
{
    const QString nick = SelectedNick();
    TIrcChannel *channel = EngineChannel(ChannelName);
    if (nick.isEmpty() || UserPresent(nick) == 0 || !channel)
        return;
    channel->Kick(NickBytes(nick), QByteArray());
}

void TChannelForm::KickWhyExecute()
{
    const QString nick = SelectedNick();
    TIrcChannel *channel = EngineChannel(ChannelName);
    if (nick.isEmpty() || UserPresent(nick) == 0 || !channel)
        return;
    channel->Kick(NickBytes(nick), ChannelSendBytes(kKickReason));
}

void TChannelForm::IgnorExecute()
{
    m_users->ToggleIgnored(SelectedNick());
}

void TChannelForm::AC_SpeakExecute()
{
    const TWindowSpeechMode mode = NextSpeechMode(SpeechModeOf(Options));
    SetSpeechMode(Options, mode);
    const QString key =
        Options.SpeechOn ? QStringLiteral("CFAC_SpeakOn") : QStringLiteral("CFAC_SpeakOff");
    AC_Speak->setText(GetCaption(key));
    StoreSpeechMode(ChannelName, mode);
    if (Form1 && Form1->Speech1) {
        Form1->Speech1->Stop();
        Form1->Speech1->Speak(SpeechModeCaption(mode));
    }
}

void TChannelForm::AC_PresenceExecute()
{
    Presence->Own = NextPresenceSpeech(Presence->Setting());
    StorePresenceSpeech(ChannelName, *Presence->Own);
    if (Form1 && Form1->Speech1) {
        Form1->Speech1->Stop();
        Form1->Speech1->Speak(PresenceSpeechCaption(*Presence->Own));
    }
}

void TChannelForm::RestoreSpeechMode()
{
    Presence->Own = StoredPresenceSpeech(ChannelName);
    if (const auto mode = StoredSpeechMode(ChannelName)) {
        SetSpeechMode(Options, *mode);
        ConfigureComponents();
    }
}

void TChannelForm::AC_DialogModeExecute()
{
    DialogMode = !DialogMode;
    const QString nick = ownNick();
    const QString spoken = DialogMode ? QStringLiteral("Включен режим диалога. ")
                                      : QStringLiteral("Выключен режим диалога. ");
    const QString sent = DialogMode ? spoken + nick + QStringLiteral(" сейчас вас не слышит.")
                                    : spoken + nick + QStringLiteral(" сейчас слышит вас.");
    if (Form1 && Form1->IRC)
        Form1->IRC->Say(NickBytes(ChannelName), ChannelSendBytes(sent));
    if (Form1)
        Form1->SpeakChannelText(spoken);
}

void TChannelForm::AC_ChannelModeExecute()
{
    ShowChannelMode(ChannelName);
}

void TChannelForm::AC_ChannelSetupExecute()
{
    ShowChannelSetup(Slot);
}
