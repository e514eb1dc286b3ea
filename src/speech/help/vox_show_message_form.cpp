#include "speech/help/vox_show_message_form.h"

#include "config/event_sound.h"
#include "speech/controls/vox_button.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/help/help.h"
#include "speech/tspeech.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

TVoxShowMessageForm::TVoxShowMessageForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VoxShowMessageForm"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Image1 = new QLabel;
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    Image1->setAlignment(Qt::AlignTop);

    VoxRichEdit1 = new TVoxRichEdit;
    VoxRichEdit1->setObjectName(QStringLiteral("VoxRichEdit1"));
    VoxRichEdit1->setReadOnly(true);
    VoxRichEdit1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    VoxRichEdit1->setFrameShape(QFrame::NoFrame);
    VoxRichEdit1->setUndoRedoEnabled(false);
    QPalette palette = VoxRichEdit1->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    VoxRichEdit1->setPalette(palette);

    VoxButton1 = new TVoxButton(QStringLiteral("OK"));
    VoxButton1->setObjectName(QStringLiteral("VoxButton1"));
    VoxButton1->setDefault(true);
    connect(VoxButton1, &QPushButton::clicked, this, &QDialog::reject);

    auto *top = new QHBoxLayout;
    top->addWidget(Image1);
    top->addWidget(VoxRichEdit1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(VoxButton1);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setFixedSize(440, 200);
    // The button comes first, so Enter or Escape closes the box at once; Tab reaches the
    // text for reading it again line by line.
    setTabOrder(VoxButton1, VoxRichEdit1);
}

void TVoxShowMessageForm::ShowMessage(const QString &title, const QString &text)
{
    setWindowTitle(title);
    m_text = text;
    VoxRichEdit1->clear();
    VoxRichEdit1->setPlainText(text);
    VoxRichEdit1->moveCursor(QTextCursor::Start);
    VoxRichEdit1->setSpeech(HelpSpeech());
    VoxButton1->setSpeech(HelpSpeech());
    VoxButton1->setFocus();
    exec();
}

bool TVoxShowMessageForm::event(QEvent *event)
{
    // An activation that arrives after the box was already closed (the user was quicker
    // than the window system) must not play and read a message that is gone.
    if (event->type() == QEvent::WindowActivate && isVisible()) {
        PlayEventSound(QStringLiteral("msgbox"));
        if (TSpeech *speech = HelpSpeech()) {
            speech->Stop();
            speech->Speak(m_text);
        }
    }
    return QDialog::event(event);
}
