#include "dialogs/day_team_form.h"

#include "config/config_files.h"
#include "dialogs/dialog_host.h"
#include "speech/controls/vox_controls.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QTextCursor>
#include <QVBoxLayout>

TDayTeam::TDayTeam(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("DayTeam"));
    setWindowTitle(QStringLiteral("Team of day"));
    setAttribute(Qt::WA_QuitOnClose, false);
    // A message of the day arrives while the user works elsewhere; the window appears
    // without pulling the keyboard (and the voice) away from there.
    setAttribute(Qt::WA_ShowWithoutActivating);

    VoxRichEdit1 = new TVoxRichEdit;
    VoxRichEdit1->setObjectName(QStringLiteral("VoxRichEdit1"));
    VoxRichEdit1->setSpeechName(QStringLiteral("Сообщение дня"));
    VoxRichEdit1->setReadOnly(true);
    VoxRichEdit1->setUndoRedoEnabled(false);
    VoxRichEdit1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);

    VoxCheckBox1 = new TVoxCheckBox(QStringLiteral("Show every connect"));
    VoxCheckBox1->setObjectName(QStringLiteral("VoxCheckBox1"));
    VoxButton1 = new TVoxButton(QStringLiteral("Close"));
    VoxButton1->setObjectName(QStringLiteral("VoxButton1"));
    // A keyboard user has no close box; the button and Escape close the window.
    connect(VoxButton1, &QPushButton::clicked, this, &QWidget::close);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(VoxCheckBox1);
    bottom->addStretch();
    bottom->addWidget(VoxButton1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(VoxRichEdit1, 1);
    layout->addLayout(bottom);
    resize(520, 360);
}

// Texts from caption.ini (prefix "DT"), like every other window, at each showing.
void TDayTeam::ConfigureComponents()
{
    setWindowTitle(GetCaption(QStringLiteral("DTCaption")));
    VoxRichEdit1->setSpeechName(GetCaption(QStringLiteral("DTVoxRichEdit1")));
    VoxCheckBox1->setText(GetCaption(QStringLiteral("DTVoxCheckBox1")));
    VoxButton1->setText(GetCaption(QStringLiteral("DTVoxButton1")));
}

void TDayTeam::showEvent(QShowEvent *event)
{
    ConfigureComponents();
    TSpeech *speech = DialogHost() ? DialogHost()->InterfaceSpeech() : nullptr;
    VoxRichEdit1->setSpeech(speech);
    VoxCheckBox1->setSpeech(speech);
    VoxButton1->setSpeech(speech);
    QWidget::showEvent(event);
}

void TDayTeam::AddLine(const QString &text, const QColor &colour)
{
    if (!isVisible())
        show();
    QTextCursor cursor(VoxRichEdit1->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colour);
    if (!VoxRichEdit1->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(text, format);
    VoxRichEdit1->moveCursor(QTextCursor::End);
}

void TDayTeam::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
