#include "channels/channel_event_router.h"

#include "channels/channel_activity_keys.h"

#include "app/codepage.h"
#include "app/main_window.h"
#include "app/talvin_application.h"
#include "base/exception.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "channels/channel_text.h"
#include "channels/message_sent_time.h"
#include "channels/presence_notes.h"
#include "irc/irc_case.h"
#include "irc/irc_client.h"
#include "irc/irc_tags.h"

#include <QMdiSubWindow>

namespace {

QString D(const QByteArray &bytes)
{
    return DecodeEngineText(bytes);
}

TIrcCaseMapping ServerCaseMapping()
{
    return Form1 && Form1->IRC ? Form1->IRC->CaseMapping() : TIrcCaseMapping::AsciiCyrillic;
}

// Every change of a user table passes here first: the table compares nicks as the server
// does, also when the server named its rule after the window opened.
TChannelForm *Synced(TChannelForm *form)
{
    if (form)
        form->UserTable()->SetCaseMapping(ServerCaseMapping());
    return form;
}

TChannelForm *WindowOf(const TIrcChannel *channel)
{
    return channel ? Synced(ChannelFormAt(FindChannelForm(D(channel->Name())))) : nullptr;
}

QStringList MemberNicks(const TIrcChannel *channel)
{
    QStringList nicks;
    if (!channel)
        return nicks;
    const TIrcNames &names = channel->Names();
    nicks.reserve(names.Count());
    for (int i = 0; i < names.Count(); ++i)
        nicks << D(names.Nick(i));
    return nicks;
}

template <typename F> void ForEachWindow(F f)
{
    for (int slot = 0; slot < TForm1::ChannelFormCount; ++slot) {
        if (TChannelForm *form = Synced(ChannelFormAt(slot)))
            f(form);
    }
}

} // namespace

namespace TChannelEventRouter {

void Message(TIrcUser *user, TIrcChannel *channel, const QByteArray &text)
{
    const QString nick = user ? D(user->Nick) : QString();
    if (channel) {
        // The table follows joins, parts, nick changes and the names reply; a sender
        // missing from it who is a member (the names reply still on its way) joins it.
        if (TChannelForm *form = WindowOf(channel)) {
            const bool add =
                user && !form->UserPresent(nick) && channel->Names().Contains(user->Nick);
            form->Recive(nick, D(text), add ? QStringList{nick} : QStringList());
        }
        return;
    }
    if (nick.isEmpty())
        return;
    int slot = FindChannelForm(nick);
    if (slot < 0) {
        try {
            slot = NewPrivateForm(nick, false);
        } catch (const ETalvinError &error) {
            // Every private slot is taken: the status window takes the message.
            ReportUnhandledError(error.message());
            PrivateToStatus(nick, D(text), false);
            return;
        }
    }
    if (TChannelForm *form = ChannelFormAt(slot))
        form->PersonalRecive(nick, D(text));
}

void PrivateNotice(TIrcUser *user, const QByteArray &text)
{
    if (!user || user->Nick.isEmpty())
        return;
    const QString nick = D(user->Nick);
    // A server's notice (no user address) is shown, not read out: registration brings
    // several of them.
    if (user->Address.isEmpty()) {
        if (Form1)
            Form1->AddToStatus(QStringLiteral("NOTICE ") + nick + QLatin1Char(' ') + D(text));
        return;
    }
    if (TChannelForm *form = ChannelFormAt(FindChannelForm(nick)))
        form->PersonalRecive(nick, D(text), true);
    else
        PrivateToStatus(nick, D(text), true);
}

void PrivateToStatus(const QString &nick, const QString &text, bool notice)
{
    if (!Form1)
        return;
    const QString shown = StripControlCodes(text);
    Form1->AddToStatus((notice ? QStringLiteral("NOTICE ") : QStringLiteral("PRIVMSG ")) + nick +
                           QLatin1Char(' ') + shown,
                       QColor(0, 0, 0));
    Form1->SpeakChannelText(nick + QLatin1Char(' ') + shown);
}

void Joined(TIrcChannel *channel)
{
    if (!channel)
        return;
    const QString name = D(channel->Name());
    // Joined again after a lost connection: into the window that stayed open for it.
    if (Form1 && Form1->TakeRejoin(name)) {
        if (TChannelForm *kept = ChannelFormAt(FindChannelForm(name))) {
            kept->Joined(name);
            return;
        }
    }
    // A window left open after a kick or a part now only keeps what was said there.
    ForEachWindow([&](TChannelForm *open) {
        if (!open->PrivateDialogue &&
            IrcCase::SameName(open->ChannelName, name, ServerCaseMapping()))
            open->setProperty(TForm1::SupersededProperty, true);
    });
    TChannelForm *form = nullptr;
    try {
        form = ChannelFormAt(NewChannelForm(D(channel->Name())));
    } catch (const ETalvinError &error) {
        ReportUnhandledError(error.message());
        return;
    }
    if (form)
        form->Joined(D(channel->Name()));
}

void Members(TIrcChannel *channel)
{
    if (TChannelForm *form = WindowOf(channel))
        form->UpdateUserList(MemberNicks(channel));
}

void Join(TIrcUser *user, TIrcChannel *channel)
{
    if (TChannelForm *form = WindowOf(channel); form && user) {
        form->UpdateUserList({D(user->Nick)});
        form->Presence->Join(D(user->Nick), D(channel->Name()));
    }
}

void ChannelMode(TIrcChannel *channel)
{
    // A member's mode changes no row (the list shows nicks alone), and the members are
    // already listed: only the caption follows.
    if (TChannelForm *form = WindowOf(channel))
        form->SetCaptionText(D(channel->Name()) + QLatin1Char('[') + D(channel->ModeString()) +
                             QLatin1Char(']'));
}

void Part(TIrcUser *user, TIrcChannel *channel)
{
    if (TChannelForm *form = WindowOf(channel); form && user) {
        form->DeleteFromUserList(D(user->Nick));
        form->Presence->Part(D(user->Nick), D(channel->Name()));
    }
}

void Parted(TIrcChannel *channel)
{
    TChannelForm *form = WindowOf(channel);
    if (form && !form->property(TForm1::SupersededProperty).toBool()) {
        if (form->SubWindow())
            form->SubWindow()->close();
        else
            form->close();
    }
}

void Kick(TIrcUser *victim, TIrcChannel *channel)
{
    if (TChannelForm *form = WindowOf(channel); form && victim)
        form->DeleteFromUserList(D(victim->Nick));
}

void NickChange(const QByteArray &oldNick, const QByteArray &newNick)
{
    const QString from = D(oldNick);
    const QString to = D(newNick);
    ForEachWindow([&](TChannelForm *form) {
        form->RenameUser(from, to);
        if (form->PrivateDialogue &&
            IrcCase::SameName(form->ChannelName, from, ServerCaseMapping()))
            form->RenameDialogue(to);
    });
}

void Quit(TIrcUser *user)
{
    if (!user)
        return;
    const QString nick = D(user->Nick);
    const QString reason = D(user->Reason);
    // Told in every window the user was in, and in the private dialogue with them.
    ForEachWindow([&](TChannelForm *form) {
        const bool there = form->PrivateDialogue
                               ? IrcCase::SameName(form->ChannelName, nick, ServerCaseMapping())
                               : form->UserPresent(nick) > 0;
        if (!there || form->Closing())
            return;
        form->DeleteFromUserList(nick);
        form->Presence->Quit(nick, reason);
    });
}

void AttachChannelRouting(TIrcClient *irc)
{
    if (!irc)
        return;
    AttachActivityKeys();
    // Each event keeps its earlier handler and runs it first.
    auto chain = [](auto &slot, auto after) {
        auto before = slot;
        slot = [before, after](auto... args) {
            if (before)
                before(args...);
            after(args...);
        };
    };
    // A message's header shows when it was sent where the server says so (replayed history,
    // a bouncer), else when it arrived.
    chain(irc->OnMessage,
          [](TIrcClient *from, TIrcUser *user, TIrcChannel *channel, const QByteArray &text) {
              const TMessageSentTime sent(ServerTime(LineTags(from->Line())));
              TChannelEventRouter::Message(user, channel, text);
          });
    // Actions ("/me waves") are messages too; shown and spoken with a leading "*".
    chain(irc->OnAction,
          [](TIrcClient *from, TIrcUser *user, TIrcChannel *channel, const QByteArray &text) {
              const TMessageSentTime sent(ServerTime(LineTags(from->Line())));
              TChannelEventRouter::Message(user, channel, QByteArray("* ") + text);
          });
    chain(irc->OnNotice,
          [](TIrcClient *, TIrcUser *user, TIrcChannel *channel, const QByteArray &text) {
              if (!channel)
                  TChannelEventRouter::PrivateNotice(user, text);
          });
    chain(irc->OnJoined,
          [](TIrcClient *, TIrcChannel *channel) { TChannelEventRouter::Joined(channel); });
    chain(irc->OnJoin, [](TIrcClient *, TIrcUser *user, TIrcChannel *channel) {
        TChannelEventRouter::Join(user, channel);
    });
    chain(irc->OnPart, [](TIrcClient *, TIrcUser *user, TIrcChannel *channel) {
        TChannelEventRouter::Part(user, channel);
    });
    chain(irc->OnParted,
          [](TIrcClient *, TIrcChannel *channel) { TChannelEventRouter::Parted(channel); });
    chain(irc->OnKick, [](TIrcClient *, TIrcUser *, TIrcUser *victim, TIrcChannel *channel) {
        TChannelEventRouter::Kick(victim, channel);
    });
    chain(irc->OnKicked, [](TIrcClient *, TIrcUser *, TIrcChannel *channel) {
        TChannelEventRouter::Members(channel);
    });
    chain(irc->OnNickChange, [](TIrcClient *, TIrcUser *user, const QByteArray &newNick) {
        if (user)
            TChannelEventRouter::NickChange(user->Nick, newNick);
    });
    chain(irc->OnNickChanged, [irc](TIrcClient *, const QByteArray &oldNick) {
        TChannelEventRouter::NickChange(oldNick, irc->CurrentNick());
    });
    chain(irc->OnQuit, [](TIrcClient *, TIrcUser *user) { TChannelEventRouter::Quit(user); });
    chain(irc->OnNames, [](TIrcClient *, TIrcUsers *, TIrcChannel *channel) {
        TChannelEventRouter::Members(channel);
    });
    chain(irc->OnChannelMode,
          [](TIrcClient *, TIrcUser *, TIrcChannel *channel, const QByteArray &,
             const QByteArray &) { TChannelEventRouter::ChannelMode(channel); });
    chain(irc->OnChannelModeChanged, [](TIrcClient *, TIrcUser *, TIrcChannel *channel) {
        TChannelEventRouter::ChannelMode(channel);
    });
}

} // namespace TChannelEventRouter
