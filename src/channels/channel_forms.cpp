#include "channels/channel_forms.h"

#include "app/main_window.h"
#include "base/exception.h"
#include "channels/channel_form.h"
#include "channels/window_speech_mode.h"
#include "speech/controls/vox_voice.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <optional>

namespace {

int FreeSlot(int from)
{
    for (int slot = from; slot < TForm1::ChannelFormCount; ++slot) {
        if (!Form1->ChannelForms[slot])
            return slot;
    }
    return -1;
}

TChannelForm *OpenForm(const QString &name, int slot, bool privateDialogue)
{
    auto *form = new TChannelForm(name, slot, privateDialogue);
    Form1->ChannelForms[slot] = form;
    QMdiSubWindow *sub = Form1->MdiArea->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setMinimumSize(400, 200);
    form->SetSubWindow(sub);
    QPointer<TChannelForm> guard(form);
    QObject::connect(Form1->MdiArea, &QMdiArea::subWindowActivated, form,
                     [guard, sub, active = false](QMdiSubWindow *now) mutable {
                         if (!guard)
                             return;
                         if (now == sub && !active) {
                             active = true;
                             guard->FormActivate();
                         } else if (now != sub && active) {
                             active = false;
                             guard->FormDeactivate();
                         }
                     });
    form->AddChannelToWath(name);
    return form;
}

} // namespace

TChannelForm *ChannelFormAt(int slot)
{
    if (!Form1 || slot < 0 || slot >= TForm1::ChannelFormCount)
        return nullptr;
    return qobject_cast<TChannelForm *>(Form1->ChannelForms[slot].data());
}

int FindChannelForm(const QString &name)
{
    return Form1 ? Form1->FindChannelForm(name) : -1;
}

int NewChannelForm(const QString &channel)
{
    const int slot = Form1 ? FreeSlot(0) : -1;
    if (slot < 0)
        throw ETalvinError(QStringLiteral("No free channel window for ") + channel);
    TChannelForm *form = OpenForm(channel, slot, false);
    TChannelOptions &o = form->Options;
    o.ShowNick = o.ShowText = o.ShowEvents = true;
    o.SoundNotSpoken = o.SpeakNick = o.SpeakOutgoing = true;
    SetSpeechMode(o, DefaultSpeechMode());
    form->ConfigureComponents();
    form->RestoreSpeechMode();
    form->SubWindow()->showMaximized();
    return slot;
}

int NewPrivateForm(const QString &nick, bool activate)
{
    const int slot = Form1 ? FreeSlot(1) : -1;
    if (slot < 0)
        throw ETalvinError(QStringLiteral("No free private window for ") + nick);
    QPointer<QMdiSubWindow> previous = Form1->MdiArea->activeSubWindow();
    QPointer<QWidget> focus = QApplication::focusWidget();
    // Opened behind the current window, the new one is shown, activated and left again: the
    // user stays where they were and hears only the new window's name, not every step.
    const bool behind = !activate && previous;
    TChannelForm *form = nullptr;
    {
        std::optional<VoxVoice::QuietControls> quiet;
        if (behind)
            quiet.emplace();
        form = OpenForm(nick, slot, true);
        form->RestoreSpeechMode();
        form->SubWindow()->showMaximized();
        if (behind) {
            Form1->MdiArea->setActiveSubWindow(previous);
            if (focus)
                focus->setFocus(Qt::OtherFocusReason);
        }
    }
    if (behind && Form1->Speech1)
        Form1->Speech1->Speak(form->windowTitle());
    return slot;
}
