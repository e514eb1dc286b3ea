#include "channels/channel_mode_form.h"

#include "app/codepage.h"
#include "app/main_window.h"
#include "app/talvin_application.h"
#include "config/config_files.h"
#include "irc/irc_client.h"
#include "irc/secret_mask.h"
#include "speech/controls/vox_controls.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

void SendRaw(const QString &line)
{
    if (Form1 && Form1->IRC)
        Form1->IRC->Raw(EncodeEngineText(line));
}

} // namespace

TChannelModeForm::TChannelModeForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChannelModeForm"));
    setModal(true);
    auto box = [this](const char *name, const QString &text) {
        auto *check = new TVoxCheckBox(text, this);
        check->setObjectName(QLatin1String(name));
        connect(check, &QCheckBox::clicked, this, [this] { BuildChannelMode(); });
        return check;
    };
    auto edit = [this](const char *name, const QString &spoken) {
        auto *line = new TVoxEdit(this);
        line->setObjectName(QLatin1String(name));
        line->setSpeechName(spoken);
        line->setAccessibleName(spoken);
        return line;
    };
    TopicEdit = edit("TopicEdit", QStringLiteral("Topic"));
    Label1 = new QLabel(QStringLiteral("Topic history"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setBuddy(TopicEdit);
    VoxCheckBox1 = box("VoxCheckBox1", QStringLiteral("Only op chang topic"));
    VoxCheckBox3 = box("VoxCheckBox3", QStringLiteral("invite"));
    VoxCheckBox2 = box("VoxCheckBox2", QStringLiteral("no external message"));
    VoxCheckBox4 = box("VoxCheckBox4", QStringLiteral("moderated"));
    VoxCheckBox5 = box("VoxCheckBox5", QStringLiteral("limit"));
    LimitEdit = edit("LimitEdit", QStringLiteral("limit"));
    Label2 = new QLabel(QStringLiteral("users"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    VoxCheckBox7 = box("VoxCheckBox7", QStringLiteral("privat"));
    VoxCheckBox6 = box("VoxCheckBox6", QStringLiteral("key"));
    KeyEdit = edit("KeyEdit", QStringLiteral("key"));
    KeyEdit->setEchoMode(QLineEdit::Password);
    VoxCheckBox8 = box("VoxCheckBox8", QStringLiteral("sicret"));
    Preview = edit("Preview", QStringLiteral("MODE"));
    Preview->setReadOnly(true);
    // The preview shows the key; aloud it is stars.
    Preview->setSpeechMask(
        [](const QString &text) { return StarSpans(text, FindTypedSecrets(text, {})); });
    VoxButton1 = new TVoxButton(QStringLiteral("OK"), this);
    VoxButton1->setObjectName(QStringLiteral("VoxButton1"));
    VoxButton2 = new TVoxButton(QStringLiteral("Cancel"), this);
    VoxButton2->setObjectName(QStringLiteral("VoxButton2"));
    connect(LimitEdit, &QLineEdit::textChanged, this, [this] { BuildChannelMode(); });
    connect(KeyEdit, &QLineEdit::textChanged, this, [this] { BuildChannelMode(); });
    connect(VoxButton1, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { VoxButton1Click(); }); });
    connect(VoxButton2, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(TopicEdit);
    auto *grid = new QGridLayout;
    grid->addWidget(VoxCheckBox1, 0, 0);
    grid->addWidget(VoxCheckBox3, 0, 1);
    grid->addWidget(VoxCheckBox2, 1, 0);
    grid->addWidget(VoxCheckBox4, 1, 1);
    grid->addWidget(VoxCheckBox5, 2, 0);
    auto *limitRow = new QHBoxLayout;
    limitRow->addWidget(LimitEdit);
    limitRow->addWidget(Label2);
    grid->addLayout(limitRow, 2, 1);
    grid->addWidget(VoxCheckBox7, 3, 0);
    grid->addWidget(VoxCheckBox6, 4, 0);
    grid->addWidget(KeyEdit, 4, 1);
    grid->addWidget(VoxCheckBox8, 5, 0);
    layout->addLayout(grid);
    layout->addWidget(Preview);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(VoxButton1);
    buttons->addWidget(VoxButton2);
    layout->addLayout(buttons);
}

bool TChannelModeForm::Prepare(const QString &channel)
{
    if (!Form1 || !Form1->IRC)
        return false;
    TIrcChannel *record = Form1->IRC->Channels().Get(EncodeEngineText(channel));
    if (!record)
        return false;
    const TIrcChanModeFlags mode = record->Mode();
    VoxCheckBox1->setChecked(mode & cfTopicByOps);
    VoxCheckBox2->setChecked(mode & cfNoOutside);
    VoxCheckBox3->setChecked(mode & cfInviteOnly);
    VoxCheckBox4->setChecked(mode & cfModerated);
    VoxCheckBox5->setChecked(mode & cfLimit);
    VoxCheckBox6->setChecked(mode & cfKey);
    VoxCheckBox7->setChecked(mode & cfPrivate);
    VoxCheckBox8->setChecked(mode & cfSecret);
    // The limit and key the channel has now, rather than whatever the last channel had.
    LimitEdit->setText(record->Limit() > 0 ? QString::number(record->Limit()) : QString());
    KeyEdit->setText(DecodeEngineText(record->Key()));
    m_channel = channel;
    m_topic = DecodeEngineText(record->Topic());
    TopicEdit->setText(m_topic);
    BuildChannelMode();
    return true;
}

QString TChannelModeForm::BuildChannelMode()
{
    QString plus, minus;
    QStringList plusArgs;
    auto mode = [&](TVoxCheckBox *box, QChar letter) {
        (box->isChecked() ? plus : minus) += letter;
    };
    mode(VoxCheckBox1, QLatin1Char('t'));
    mode(VoxCheckBox2, QLatin1Char('n'));
    mode(VoxCheckBox3, QLatin1Char('i'));
    mode(VoxCheckBox4, QLatin1Char('m'));
    mode(VoxCheckBox5, QLatin1Char('l'));
    mode(VoxCheckBox7, QLatin1Char('p'));
    mode(VoxCheckBox8, QLatin1Char('s'));
    // A ticked limit carries its number, or the server has nothing to set.
    bool limitNumber = false;
    const int limit = LimitEdit->text().trimmed().toInt(&limitNumber);
    if (VoxCheckBox5->isChecked() && limitNumber && limit > 0)
        plusArgs << QString::number(limit);
    if (!KeyEdit->text().isEmpty()) {
        if (VoxCheckBox6->isChecked()) {
            plus += QLatin1Char('k');
            plusArgs << KeyEdit->text();
        } else {
            minus += QStringLiteral("k ") + KeyEdit->text();
        }
    }
    if (!plusArgs.isEmpty())
        plus += QLatin1Char(' ') + plusArgs.join(QLatin1Char(' '));
    QString line = QStringLiteral("MODE ") + m_channel;
    if (!plus.isEmpty())
        line += QStringLiteral(" +") + plus;
    if (!minus.isEmpty())
        line += QStringLiteral(" -") + minus;
    Preview->setText(QLatin1Char('/') + line);
    return line;
}

void TChannelModeForm::VoxButton1Click()
{
    SendRaw(BuildChannelMode());
    if (!KeyEdit->text().isEmpty() && !VoxCheckBox6->isChecked())
        SendRaw(QStringLiteral("MODE ") + m_channel + QStringLiteral(" -k ") + KeyEdit->text());
    if (TopicEdit->text() != m_topic)
        SendRaw(QStringLiteral("TOPIC ") + m_channel + QStringLiteral(" :") + TopicEdit->text());
    accept();
}

void TChannelModeForm::ConfigureComponents()
{
    setWindowTitle(GetCaption(QStringLiteral("CMCaption")) + QLatin1Char(' ') + m_channel);
    setAccessibleName(windowTitle());
    Label1->setText(GetCaption(QStringLiteral("CMLabel1")));
    Label2->setText(GetCaption(QStringLiteral("CMLabel2")));
    for (TVoxCheckBox *box : {VoxCheckBox1, VoxCheckBox2, VoxCheckBox3, VoxCheckBox4, VoxCheckBox5,
                              VoxCheckBox6, VoxCheckBox7, VoxCheckBox8})
        box->setText(GetCaption(QStringLiteral("CM") + box->objectName()));
    VoxButton1->setText(GetCaption(QStringLiteral("CMVoxButton1")));
    VoxButton2->setText(GetCaption(QStringLiteral("CMVoxButton2")));
    TopicEdit->setSpeechName(Label1->text());
    TopicEdit->setAccessibleName(Label1->text());
    LimitEdit->setSpeechName(VoxCheckBox5->text());
    LimitEdit->setAccessibleName(VoxCheckBox5->text());
    KeyEdit->setSpeechName(VoxCheckBox6->text());
    KeyEdit->setAccessibleName(VoxCheckBox6->text());
    TSpeech *voice = Form1 ? Form1->Speech1 : nullptr;
    for (QWidget *w : findChildren<QWidget *>()) {
        if (auto *c = qobject_cast<TVoxCheckBox *>(w))
            c->setSpeech(voice);
        else if (auto *e = qobject_cast<TVoxEdit *>(w))
            e->setSpeech(voice);
        else if (auto *b = qobject_cast<TVoxButton *>(w))
            b->setSpeech(voice);
    }
}

void TChannelModeForm::showEvent(QShowEvent *event)
{
    RunGuarded([this] { ConfigureComponents(); });
    QDialog::showEvent(event);
}

TChannelModeForm *ChannelModeForm()
{
    static QPointer<TChannelModeForm> form;
    if (!form)
        form = new TChannelModeForm(Form1);
    return form;
}

void ShowChannelMode(const QString &channel)
{
    TChannelModeForm *form = ChannelModeForm();
    if (form->Prepare(channel))
        form->exec();
}
