// The main window's keys for the channel windows' activity: the next window with unread
// messages, and the mentions window.
#include "channels/channel_activity_keys.h"

#include "app/main_window.h"
#include "app/talvin_application.h"
#include "channels/activity_jump.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "channels/mentions_form.h"
#include "config/config_files.h"
#include "config/talvin_settings.h"
#include "speech/tspeech.h"

#include <QAction>
#include <QApplication>

namespace {

QString CaptionOr(const QString &key, const QString &fallback)
{
    const QString value = GetCaption(key);
    return value.isEmpty() || value.startsWith(QLatin1String("err-")) ? fallback : value;
}

void JumpToActivity()
{
    QList<TWindowActivity> windows;
    int current = -1;
    for (int slot = 0; slot < TForm1::ChannelFormCount; ++slot) {
        TChannelForm *form = ChannelFormAt(slot);
        if (!form || form->Closing())
            continue;
        if (form->_Focused())
            current = slot;
        windows.append(
            TWindowActivity{slot, form->PrivateDialogue, form->UnreadCount, form->Mentioned});
    }
    const int next = NextActiveWindow(windows, current);
    TChannelForm *form = ChannelFormAt(next);
    if (!form || !form->WatchButton()) {
        Form1->Speech1->Stop();
        Form1->Speech1->Speak(
            CaptionOr(QStringLiteral("ActivityNone"), QStringLiteral("новых сообщений нет")));
        return;
    }
    const int unread = form->UnreadCount;
    Form1->ChannelWathClick(form->WatchButton());
    // Instead of the window's bare name, its name and what waits there.
    Form1->Speech1->Stop();
    Form1->Speech1->Speak(
        CaptionOr(QStringLiteral("ActivityUnread"), QStringLiteral("%1, новых сообщений: %2"))
            .replace(QLatin1String("%1"), form->ChannelName)
            .replace(QLatin1String("%2"), QString::number(unread)));
}

} // namespace

void AttachActivityKeys()
{
    if (!Form1 || !Form1->A_NextActivity || Form1->A_NextActivity->property("attached").toBool())
        return;
    Form1->A_NextActivity->setProperty("attached", true);
    QObject::connect(Form1->A_NextActivity, &QAction::triggered, Form1,
                     [] { RunGuarded(JumpToActivity); });
    QObject::connect(Form1->A_Mentions, &QAction::triggered, Form1,
                     [] { RunGuarded([] { MentionsForm()->ShowList(); }); });
}

const QStringList &HighlightWords()
{
    return Settings().MentionWords;
}
