#include "app/status_window.h"

#include "app/session_log.h"
#include "speech/controls/vox_edit.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/help/help.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

TStatusForm::TStatusForm(TSpeech *speech, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatusForm"));
    setWindowTitle(QStringLiteral("Статус"));

    RichEdit1 = new TVoxRichEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setSpeech(speech);
    RichEdit1->setSpeechName(QStringLiteral("Статус"));
    RichEdit1->setReadOnly(true);
    // Read-only still lets the keyboard walk the text, which is how the lines are read.
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setStyleSheet(
        QStringLiteral("QTextEdit { background: #f4f4f0; color: grey; font-weight: bold; }"));
    // The selection stays visible while the focus is in the command line.
    QPalette palette = RichEdit1->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    RichEdit1->setPalette(palette);

    Edit1 = new TVoxEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setSpeech(speech);
    Edit1->setSpeechName(QStringLiteral("Команда"));
    Edit1->setFixedHeight(20);
    QFont bold = Edit1->font();
    bold.setBold(true);
    Edit1->setFont(bold);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(RichEdit1, 1);
    layout->addWidget(Edit1);

    RichEdit1->installEventFilter(this);
    Edit1->installEventFilter(this);
    setFocusProxy(Edit1);
}

void TStatusForm::AddToStatus(const QString &text, const QColor &colour)
{
    QTextCursor cursor = RichEdit1->textCursor();
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colour);
    format.setFontWeight(QFont::Bold);
    if (!RichEdit1->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(text, format);
    cursor.movePosition(QTextCursor::End);
    RichEdit1->setTextCursor(cursor);
    RichEdit1->ensureCursorVisible();
    AppendToStatusTranscript(text);
}

bool TStatusForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
            ShowHelp(QStringLiteral("Status"));
            return true;
        }
        if (watched == Edit1 && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            const QString line = Edit1->text();
            Edit1->clear();
            if (OnCommand)
                OnCommand(line);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
