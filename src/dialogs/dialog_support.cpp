#include "dialogs/dialog_support.h"

#include "dialogs/dialog_host.h"
#include "speech/controls/vox_controls.h"
#include "speech/tspeech.h"

#include <QWidget>

namespace {

template <typename Control> void attach(QWidget *root, TSpeech *voice)
{
    for (Control *control : root->findChildren<Control *>())
        control->setSpeech(voice);
}

} // namespace

TSpeech *InterfaceVoice()
{
    IDialogHost *host = DialogHost();
    return host ? host->InterfaceSpeech() : nullptr;
}

void SpeakInterface(const QString &text)
{
    if (TSpeech *voice = InterfaceVoice())
        voice->Speak(text);
}

void AttachInterfaceVoice(QWidget *root)
{
    TSpeech *voice = InterfaceVoice();
    attach<TVoxButton>(root, voice);
    attach<TVoxCheckBox>(root, voice);
    attach<TVoxComboBox>(root, voice);
    attach<TVoxEdit>(root, voice);
    attach<TVoxListBox>(root, voice);
    attach<TVoxListView>(root, voice);
    attach<TVoxMemo>(root, voice);
    attach<TVoxRichEdit>(root, voice);
    attach<TVoxTreeView>(root, voice);
}
