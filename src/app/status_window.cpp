#include "app/status_window.h"

#include "app/session_log.h"
#include "irc/secret_mask.h"
#include "speech/controls/vox_edit.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/help/help.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

#include <QVBoxLayout>
#include <algorithm>

TStatusForm::TStatusForm(TSpeech *speech, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatusForm"));
    setWindowTitle(QStringLiteral("Статус"));

    RichEdit1 = new TVoxRichEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setSpeech(speech);
    RichEdit1->setSpeechName(QStringLiteral("Статус"));
    RichEdit1->setReadOnly(true);
    // A read-only view still records every insertion for undo, which nothing here uses.
    RichEdit1->setUndoRedoEnabled(false);
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
    // The line goes to the server raw: a password in it is heard as stars.
    Edit1->setSpeechMask(
        [](const QString &text) { return StarSpans(text, FindTypedSecrets(text, {})); });

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
    AppendToStatusTranscript(text);
    m_pending.push_back(PendingLine{text, colour});
    scheduleFlush();
}

void TStatusForm::scheduleFlush()
{
    if (m_flushScheduled)
        return;
    m_flushScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_flushScheduled = false;
        flushTurn(LinesPerTurn);
    });
}

void TStatusForm::FlushLines()
{
    flushTurn(m_pending.size());
}

// One edit block and one scroll per turn: a line at a time, laying out and scrolling the
// view for each, made a burst of server events (a big channel's joins and parts, each with
// its status line) cost about half a millisecond per line.
void TStatusForm::flushTurn(size_t limit)
{
    const size_t count = std::min(limit, m_pending.size());
    if (count == 0)
        return;
    QTextCursor cursor(RichEdit1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (size_t i = 0; i < count; ++i) {
        QTextCharFormat format;
        format.setForeground(m_pending[i].Colour);
        format.setFontWeight(QFont::Bold);
        if (!RichEdit1->document()->isEmpty())
            cursor.insertBlock();
        cursor.insertText(m_pending[i].Text, format);
    }
    cursor.endEditBlock();
    m_pending.erase(m_pending.begin(), m_pending.begin() + qsizetype(count));
    cursor.movePosition(QTextCursor::End);
    RichEdit1->setTextCursor(cursor);
    RichEdit1->ensureCursorVisible();
    if (!m_pending.empty())
        scheduleFlush();
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
