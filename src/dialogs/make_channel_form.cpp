#include "dialogs/make_channel_form.h"

#include "dialogs/dialog_host.h"
#include "dialogs/irc_identity.h"
#include "irc/irc_client.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QtDebug>

TForm5::TForm5(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Make Channel"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    VoxEdit1 = new TVoxEdit;
    VoxEdit1->setObjectName(QStringLiteral("VoxEdit1"));
    VoxEdit1->setSpeechName(QStringLiteral("Channel name"));
    VoxCheckBox1 = new TVoxCheckBox(QStringLiteral("Privat Channel"));
    VoxCheckBox1->setObjectName(QStringLiteral("VoxCheckBox1"));
    VoxCheckBox2 = new TVoxCheckBox(QStringLiteral("moderated channel"));
    VoxCheckBox2->setObjectName(QStringLiteral("VoxCheckBox2"));
    VoxCheckBox3 = new TVoxCheckBox(QStringLiteral("set a channel key (password)."));
    VoxCheckBox3->setObjectName(QStringLiteral("VoxCheckBox3"));
    VoxEdit2 = new TVoxEdit;
    VoxEdit2->setObjectName(QStringLiteral("VoxEdit2"));
    VoxEdit2->setSpeechName(QStringLiteral("Channel key"));
    VoxEdit2->setEchoMode(QLineEdit::Password);
    VoxCheckBox4 =
        new TVoxCheckBox(QStringLiteral("no messages to channel from clients on the outside;"));
    VoxCheckBox4->setObjectName(QStringLiteral("VoxCheckBox4"));
    VoxButton1 = new TVoxButton(QStringLiteral("Make"));
    VoxButton1->setObjectName(QStringLiteral("VoxButton1"));
    VoxButton1->setDefault(true);
    VoxButton2 = new TVoxButton(QStringLiteral("Cancel"));
    VoxButton2->setObjectName(QStringLiteral("VoxButton2"));
    connect(VoxButton1, &QPushButton::clicked, this, &TForm5::make);
    connect(VoxButton2, &QPushButton::clicked, this, &QDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Channel name"), VoxEdit1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(VoxCheckBox1);
    layout->addWidget(VoxCheckBox2);
    layout->addWidget(VoxCheckBox3);
    layout->addWidget(VoxEdit2);
    layout->addWidget(VoxCheckBox4);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(VoxButton1);
    buttons->addWidget(VoxButton2);
    layout->addLayout(buttons);
}

bool TForm5::event(QEvent *event)
{
    if (event->type() == QEvent::Show) {
        TSpeech *speech = DialogHost() ? DialogHost()->InterfaceSpeech() : nullptr;
        for (TVoxEdit *edit : {VoxEdit1, VoxEdit2})
            edit->setSpeech(speech);
        for (TVoxCheckBox *box : {VoxCheckBox1, VoxCheckBox2, VoxCheckBox3, VoxCheckBox4})
            box->setSpeech(speech);
        VoxButton1->setSpeech(speech);
        VoxButton2->setSpeech(speech);
    }
    return QDialog::event(event);
}

QList<QByteArray> TForm5::MakeLines() const
{
    // Blanks, commas and control characters cannot be part of a channel name; cutting the
    // name there keeps the text from reaching the server as further parameters.
    QByteArray name = ToConnectionText(VoxEdit1->text().trimmed());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = name.at(i);
        if (c == ' ' || c == ',' || static_cast<unsigned char>(c) < 0x20) {
            name.truncate(i);
            break;
        }
    }
    if (name.isEmpty())
        return {};
    if (!TIrcClient::IsChannelName(name))
        name.prepend('#');
    QByteArray key;
    if (VoxCheckBox3->isChecked()) {
        key = ToConnectionText(VoxEdit2->text().trimmed());
        const qsizetype cut = key.indexOf(' ');
        if (cut >= 0)
            key.truncate(cut);
    }
    QList<QByteArray> lines;
    lines << (key.isEmpty() ? "JOIN " + name : "JOIN " + name + ' ' + key);
    QByteArray modes;
    if (VoxCheckBox1->isChecked())
        modes += 'p';
    if (VoxCheckBox2->isChecked())
        modes += 'm';
    if (VoxCheckBox4->isChecked())
        modes += 'n';
    if (!key.isEmpty())
        modes += 'k';
    if (!modes.isEmpty())
        lines << "MODE " + name + " +" + modes + (key.isEmpty() ? QByteArray() : ' ' + key);
    return lines;
}

void TForm5::make()
{
    const QList<QByteArray> lines = MakeLines();
    if (lines.isEmpty()) {
        VoxShowMessage(QStringLiteral("Make Channel"), QStringLiteral("Введите имя канала"));
        return;
    }
    TIrcClient *client = DialogHost() ? DialogHost()->IrcClient() : nullptr;
    if (!client || !client->Connected()) {
        VoxShowMessage(QStringLiteral("Make Channel"), QStringLiteral("Нет соединения с сервером"));
        return;
    }
    for (const QByteArray &line : lines)
        client->Raw(line);
    accept();
}
