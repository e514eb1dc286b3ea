#include "channels/channel_setup_form.h"

#include "app/main_window.h"
#include "app/talvin_application.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "config/config_files.h"
#include "speech/controls/vox_controls.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

TChannelSetupForm::TChannelSetupForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChannelSetupForm"));
    setModal(true);
    GroupBox1 = new QGroupBox(QStringLiteral("View"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox2 = new QGroupBox(QStringLiteral("Speak"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    const char *texts[11] = {nullptr,
                             "Speak ?",
                             "Speak not focused",
                             "Signal on message and not focus",
                             "Say nick on message",
                             "Speak outgoin messages",
                             "Show time",
                             "Show nick",
                             "Show messagse",
                             "Show incoming messages",
                             "Show server messages"};
    auto *view = new QVBoxLayout(GroupBox1);
    auto *speak = new QVBoxLayout(GroupBox2);
    // Reading order: the view options first, then the speech options.
    for (int i = 6; i <= 10; ++i) {
        VoxCheckBox[i] = new TVoxCheckBox(QString::fromUtf8(texts[i]), GroupBox1);
        view->addWidget(VoxCheckBox[i]);
    }
    for (int i = 1; i <= 5; ++i) {
        VoxCheckBox[i] = new TVoxCheckBox(QString::fromUtf8(texts[i]), GroupBox2);
        speak->addWidget(VoxCheckBox[i]);
    }
    for (int i = 1; i <= 10; ++i)
        VoxCheckBox[i]->setObjectName(QStringLiteral("VoxCheckBox%1").arg(i));
    VoxButton1 = new TVoxButton(QStringLiteral("OK"), this);
    VoxButton1->setObjectName(QStringLiteral("VoxButton1"));
    VoxButton2 = new TVoxButton(QStringLiteral("Cancel"), this);
    VoxButton2->setObjectName(QStringLiteral("VoxButton2"));
    connect(VoxButton1, &QPushButton::clicked, this, &QDialog::accept);
    connect(VoxButton2, &QPushButton::clicked, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(VoxButton1);
    buttons->addWidget(VoxButton2);
    layout->addLayout(buttons);
}

void TChannelSetupForm::LoadOptions(const TChannelOptions &o)
{
    const bool values[11] = {false,       o.SpeechOn,      o.SpeakNotFocused, o.SoundNotSpoken,
                             o.SpeakNick, o.SpeakOutgoing, o.ShowTime,        o.ShowNick,
                             o.ShowText,  o.ShowIncoming,  o.ShowEvents};
    for (int i = 1; i <= 10; ++i)
        VoxCheckBox[i]->setChecked(values[i]);
}

void TChannelSetupForm::StoreOptions(TChannelOptions &o) const
{
    bool *targets[11] = {nullptr,      &o.SpeechOn,      &o.SpeakNotFocused, &o.SoundNotSpoken,
                         &o.SpeakNick, &o.SpeakOutgoing, &o.ShowTime,        &o.ShowNick,
                         &o.ShowText,  &o.ShowIncoming,  &o.ShowEvents};
    for (int i = 1; i <= 10; ++i)
        *targets[i] = VoxCheckBox[i]->isChecked();
}

void TChannelSetupForm::ConfigureComponents()
{
    setWindowTitle(GetCaption(QStringLiteral("CSFCaption")));
    setAccessibleName(windowTitle());
    GroupBox1->setTitle(GetCaption(QStringLiteral("CSFGroupBox1")));
    GroupBox1->setAccessibleName(GroupBox1->title());
    GroupBox2->setTitle(GetCaption(QStringLiteral("CSFGroupBox2")));
    GroupBox2->setAccessibleName(GroupBox2->title());
    TSpeech *voice = Form1 ? Form1->Speech1 : nullptr;
    for (int i = 1; i <= 10; ++i) {
        VoxCheckBox[i]->setText(GetCaption(QStringLiteral("CSFVoxCheckBox%1").arg(i)));
        VoxCheckBox[i]->setSpeech(voice);
    }
    VoxButton1->setText(GetCaption(QStringLiteral("CSFVoxButton1")));
    VoxButton2->setText(GetCaption(QStringLiteral("CSFVoxButton2")));
    VoxButton1->setSpeech(voice);
    VoxButton2->setSpeech(voice);
}

void TChannelSetupForm::showEvent(QShowEvent *event)
{
    RunGuarded([this] { ConfigureComponents(); });
    QDialog::showEvent(event);
}

TChannelSetupForm *ChannelSetupForm()
{
    static QPointer<TChannelSetupForm> form;
    if (!form)
        form = new TChannelSetupForm(Form1);
    return form;
}

void ShowChannelSetup(int slot)
{
    TChannelForm *window = ChannelFormAt(slot);
    if (!window)
        return;
    TChannelSetupForm *form = ChannelSetupForm();
    form->LoadOptions(window->Options);
    const QPointer<TChannelForm> guard(window);
    if (form->exec() == QDialog::Accepted && guard) {
        form->StoreOptions(guard->Options);
        guard->ConfigureComponents();
    }
}
