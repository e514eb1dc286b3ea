#include "dialogs/faworits_form.h"

#include "config/config_files.h"
#include "dialogs/dialog_host.h"
#include "dialogs/dialog_support.h"
#include "dialogs/faworit_store.h"
#include "dialogs/irc_identity.h"
#include "dialogs/window_placement.h"
#include "irc/irc_client.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help.h"
#include "speech/tspeech.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPointer<TFaworitsForm> &currentFaworitsForm()
{
    static QPointer<TFaworitsForm> form;
    return form;
}

QPointer<TEditFaworitForm> &currentEditForm()
{
    static QPointer<TEditFaworitForm> form;
    return form;
}

QWidget *hostWidget()
{
    IDialogHost *host = DialogHost();
    return host ? host->MainWidget() : nullptr;
}

TIrcClient *engine()
{
    IDialogHost *host = DialogHost();
    return host ? host->IrcClient() : nullptr;
}

} // namespace

TFaworitsForm *FaworitsForm()
{
    if (!currentFaworitsForm())
        new TFaworitsForm(hostWidget());
    return currentFaworitsForm();
}

TEditFaworitForm *EditFaworitForm()
{
    if (!currentEditForm())
        new TEditFaworitForm(hostWidget());
    return currentEditForm();
}

// ---- The favourites window ----

TFaworitsForm::TFaworitsForm(QWidget *parent) : QDialog(parent)
{
    currentFaworitsForm() = this;
    setObjectName(QStringLiteral("FaworitsForm"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    VoxListBox1 = new TVoxListBox(this);
    VoxListBox1->setObjectName(QStringLiteral("VoxListBox1"));
    VoxListBox1->installEventFilter(this);
    Label1->setBuddy(VoxListBox1);
    VoxEdit1 = new TVoxEdit(this);
    VoxEdit1->setObjectName(QStringLiteral("VoxEdit1"));
    VoxEdit1->setText(QStringLiteral("#Talvin"));
    VoxEdit1->installEventFilter(this);

    auto button = [this](const char *name) {
        auto *b = new TVoxButton(this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    Button1 = button("Button1");
    Button2 = button("Button2");
    Button3 = button("Button3");
    Button4 = button("Button4");
    Button5 = button("Button5");
    // Favourites are changed in the configuration editor; these two have no action yet.
    Button3->setEnabled(false);
    Button4->setEnabled(false);
    VoxCheckBox1 = new TVoxCheckBox(this);
    VoxCheckBox1->setObjectName(QStringLiteral("VoxCheckBox1"));

    connect(VoxListBox1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { VoxEdit1->setText(item->text()); });
    connect(VoxListBox1, &QListWidget::currentTextChanged, this, [this](const QString &text) {
        if (VoxListBox1->hasFocus())
            VoxEdit1->setText(text);
    });
    connect(Button1, &QPushButton::clicked, this, &TFaworitsForm::JoinClick);
    connect(Button2, &QPushButton::clicked, this, &TFaworitsForm::AddClick);
    connect(Button5, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    for (TVoxButton *b : {Button1, Button2, Button3, Button4, Button5})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(VoxListBox1, 1);
    layout->addWidget(VoxEdit1);
    layout->addLayout(buttons);
    layout->addWidget(VoxCheckBox1);
    resize(420, 360);
    setTabOrder(VoxEdit1, VoxListBox1);
}

TFaworitsForm::~TFaworitsForm() = default;

void TFaworitsForm::ConfigurateComponents()
{
    LoadFaworitList();
    VoxListBox1->clear();
    for (const FaworitRecord &record : Faworits())
        VoxListBox1->addItem(record.channel);

    setWindowTitle(GetCaption(QStringLiteral("FFCaption")));
    Label1->setText(GetCaption(QStringLiteral("FFLabel1")));
    for (TVoxButton *b : {Button1, Button2, Button3, Button4, Button5})
        b->setText(GetCaption(QStringLiteral("FF") + b->objectName()));
    VoxCheckBox1->setText(GetCaption(QStringLiteral("FFVoxCheckBox1")));
    VoxListBox1->setSpeechName(GetCaption(QStringLiteral("FFVoxListBox1")));
    VoxEdit1->setSpeechName(GetCaption(QStringLiteral("FFVoxEdit1")));
}

void TFaworitsForm::FormActivate()
{
    AttachInterfaceVoice(this);
    ConfigurateComponents();
    TSpeech *voice = InterfaceVoice();
    if (voice) {
        voice->Stop();
        voice->Speak(windowTitle());
    }
    TIrcClient *client = engine();
    Button1->setEnabled(client && client->Connected());
    // The window names the field itself, once: the field's own focus announcement would
    // stop the window's name and repeat the field.
    VoxEdit1->setSpeech(nullptr);
    VoxEdit1->setFocus();
    QTimer::singleShot(0, this, [this] { VoxEdit1->setSpeech(InterfaceVoice()); });
    if (voice)
        voice->Speak(VoxEdit1->SpeechName() + u' ' + VoxEdit1->text());
}

void TFaworitsForm::JoinClick()
{
    TIrcClient *client = engine();
    if (!client || !client->Connected()) {
        VoxShowMessage(QStringLiteral("Нет соединения"),
                       QStringLiteral("Войти в канал вы можете только присоединившись к IRC "
                                      "серверу."));
        return;
    }
    const QString channel = VoxEdit1->text();
    if (channel.isEmpty()) {
        VoxShowMessage(QStringLiteral("Синтаксическая ошибка"),
                       QStringLiteral("Надо либо ввести имя канала, либо выбрать это имя из "
                                      "списка."));
        return;
    }
    if (!channel.startsWith(u'#')) {
        VoxShowMessage(QStringLiteral("Синтаксическая ошибка"),
                       QStringLiteral("Имя канала должно начинатся со знака # (решетка)"));
        return;
    }
    client->Join(ToConnectionText(channel));
    close();
}

void TFaworitsForm::AddClick()
{
    EditFaworitForm()->ShowEmpty();
}

bool TFaworitsForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

bool TFaworitsForm::eventFilter(QObject *watched, QEvent *event)
{
    const bool press = event->type() == QEvent::KeyPress;
    const bool release = event->type() == QEvent::KeyRelease;
    if (press || release) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // Enter in the field joins as it goes down; in the list as it comes up, so the
        // list has chosen its item first.
        if (enter && ((watched == VoxEdit1 && press) || (watched == VoxListBox1 && release))) {
            if (watched == VoxListBox1 && VoxListBox1->currentItem())
                VoxEdit1->setText(VoxListBox1->currentItem()->text());
            JoinClick();
            return true;
        }
        if (enter && watched == VoxListBox1 && press)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ---- The favourite editor ----

TEditFaworitForm::TEditFaworitForm(QWidget *parent) : QDialog(parent)
{
    currentEditForm() = this;
    setObjectName(QStringLiteral("EditFaworitForm"));
    setWindowTitle(QStringLiteral("Избранный канал"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *grid = new QGridLayout;
    auto field = [this, grid](const char *name, const QString &labelText) {
        auto *label = new QLabel(labelText, this);
        auto *edit = new TVoxEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setSpeechName(labelText);
        edit->installEventFilter(this);
        label->setBuddy(edit);
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        return edit;
    };
    ChannelEdit = field("ChannelEdit", QStringLiteral("Channel"));
    PasswordEdit = field("PasswordEdit", QStringLiteral("Password"));
    PasswordEdit->setEchoMode(QLineEdit::Password); // the channel key is heard as stars
    DescrEdit = field("DescrEdit", QStringLiteral("Descr"));
    ServerEdit = field("ServerEdit", QStringLiteral("IRC Server"));

    GroupBox1 = new QGroupBox(QStringLiteral("Options"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto box = [this](const char *name, const QString &text) {
        auto *check = new TVoxCheckBox(text, GroupBox1);
        check->setObjectName(QLatin1String(name));
        check->setEnabled(false); // not stored yet
        return check;
    };
    JoinOnConnect = box("JoinOnConnect", QStringLiteral("join on connect"));
    SpeakOnJoin = box("SpeakOnJoin", QStringLiteral("speak on join"));
    HideOnJoin = box("HideOnJoin", QStringLiteral("hide on join"));
    auto *options = new QVBoxLayout(GroupBox1);
    for (TVoxCheckBox *check : {JoinOnConnect, SpeakOnJoin, HideOnJoin})
        options->addWidget(check);

    OkButton = new TVoxButton(QStringLiteral("OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setAutoDefault(false);
    CancelButton = new TVoxButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    connect(OkButton, &QPushButton::clicked, this, &TEditFaworitForm::AddChannelToFaworits);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    setFixedSize(380, 300);
}

TEditFaworitForm::~TEditFaworitForm() = default;

void TEditFaworitForm::ShowEmpty()
{
    ShowFilled(QString(), QString(), QString());
}

void TEditFaworitForm::ShowFilled(const QString &channel, const QString &description,
                                  const QString &server)
{
    ChannelEdit->setText(channel);
    PasswordEdit->clear();
    DescrEdit->setText(description);
    ServerEdit->setText(server);
    ChannelEdit->setFocus();
    CenterOnScreen(this);
    exec();
}

void TEditFaworitForm::AddChannelToFaworits()
{
    AddFaworit({ChannelEdit->text(), PasswordEdit->text(), DescrEdit->text(), ServerEdit->text()});
    FaworitsForm()->ConfigurateComponents();
    accept();
}

bool TEditFaworitForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        AttachInterfaceVoice(this);
    return QDialog::event(event);
}

bool TEditFaworitForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            AddChannelToFaworits();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
