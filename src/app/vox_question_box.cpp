#include "app/vox_question_box.h"

#include "speech/controls/vox_button.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

TVoxQuestionBox::TVoxQuestionBox(TSpeech *speech, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VoxQuestionBox"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label1 = new QLabel;
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);

    YesButton = new TVoxButton(QStringLiteral("Да"));
    YesButton->setObjectName(QStringLiteral("YesButton"));
    YesButton->setSpeech(speech);
    NoButton = new TVoxButton(QStringLiteral("Нет"));
    NoButton->setObjectName(QStringLiteral("NoButton"));
    NoButton->setSpeech(speech);
    NoButton->setDefault(true);
    connect(YesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(NoButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(YesButton);
    buttons->addWidget(NoButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(buttons);
    setMinimumWidth(420);
    setTabOrder(NoButton, YesButton);
}

bool TVoxQuestionBox::Ask(const QString &title, const QString &question, const QString &details)
{
    setWindowTitle(title);
    setAccessibleName(title);
    Label1->setText(details.isEmpty() ? question : question + QStringLiteral("\n\n") + details);
    // A button says its spoken name, then its caption: "<question> Нет".
    YesButton->setSpeechName(question);
    NoButton->setSpeechName(question);
    NoButton->setFocus();
    return exec() == QDialog::Accepted;
}

bool VoxAskYesNo(TSpeech *speech, QWidget *parent, const QString &title, const QString &question,
                 const QString &details)
{
    TVoxQuestionBox box(speech, parent);
    return box.Ask(title, question, details);
}
