#include "app/vox_input_box.h"

#include "speech/controls/vox_button.h"
#include "speech/controls/vox_edit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

TVoxInputBox::TVoxInputBox(TSpeech *speech, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VoxInputBox"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label1 = new QLabel;
    Label1->setObjectName(QStringLiteral("Label1"));

    Edit1 = new TVoxEdit;
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setSpeech(speech);
    // Nothing on the screen tells a blind user what was typed: each character is heard.
    Edit1->setSpeakMode(true);
    Label1->setBuddy(Edit1);

    OKButton = new TVoxButton(QStringLiteral("OK"));
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setSpeech(speech);
    OKButton->setDefault(true);
    CancelButton = new TVoxButton(QStringLiteral("Отмена"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setSpeech(speech);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    layout->addLayout(buttons);
    setMinimumWidth(360);
    setTabOrder(Edit1, OKButton);
    setTabOrder(OKButton, CancelButton);
}

std::optional<QString> TVoxInputBox::Ask(const QString &title, const QString &prompt)
{
    setWindowTitle(title);
    setAccessibleName(title);
    Label1->setText(prompt);
    Label1->setVisible(!prompt.isEmpty());
    // The box's prompt is usually empty; the title is what the user is asked.
    const QString spoken = prompt.isEmpty() ? title : title + QLatin1Char(' ') + prompt;
    Edit1->setSpeechName(spoken.trimmed());
    Edit1->clear();
    Edit1->setFocus();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return Edit1->text();
}

std::optional<QString> VoxInputQuery(TSpeech *speech, QWidget *parent, const QString &title,
                                     const QString &prompt,
                                     std::function<QString(const QString &)> speechMask)
{
    TVoxInputBox box(speech, parent);
    box.Edit1->setSpeechMask(std::move(speechMask));
    return box.Ask(title, prompt);
}
