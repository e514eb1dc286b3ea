#include "app/status_window.h"

#include "app/session_log.h"
#include "irc/secret_mask.h"
#include "speech/controls/vox_edit.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/help/help.h"

#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTextBlock>
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
    // The caret's line follows the name at once: the separator keeps them two words.
    RichEdit1->setSpeechName(QStringLiteral("Статус: "));
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
    RichEdit1->viewport()->installEventFilter(this);
    Edit1->installEventFilter(this);
    setFocusProxy(Edit1);
}

void TStatusForm::AddToStatus(const QString &text, const QColor &colour)
{
    AppendToStatusTranscript(text);
    m_pending.push_back(PendingLine{text, colour});
    capPending();
    scheduleFlush();
}

// Waiting lines beyond what the view would keep are dropped at once, so a long burst
// in another window holds no more than the view would.
void TStatusForm::capPending()
{
    if (m_pending.size() <= size_t(LineLimit + LineSlack))
        return;
    m_pending.erase(m_pending.begin(), m_pending.end() - LineLimit);
    m_viewStale = true;
}

// The view can be seen when its window is the MDI area's current one (or, outside an MDI
// area, when it is shown). Every other way it can come into sight (shown, painted beside
// others, focused, activated) puts the waiting lines in first.
bool TStatusForm::inView() const
{
    const auto *sub = qobject_cast<const QMdiSubWindow *>(parentWidget());
    if (!sub || !sub->mdiArea())
        return isVisible();
    return sub->mdiArea()->currentSubWindow() == sub;
}

void TStatusForm::watchActivation()
{
    const auto *sub = qobject_cast<const QMdiSubWindow *>(parentWidget());
    if (m_watchingActivation || !sub || !sub->mdiArea())
        return;
    m_watchingActivation = true;
    connect(sub->mdiArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *now) {
        if (now && now == parentWidget())
            FlushLines();
    });
}

void TStatusForm::scheduleFlush()
{
    if (m_flushScheduled)
        return;
    m_flushScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_flushScheduled = false;
        if (m_flushAllWanted) {
            m_flushAllWanted = false;
            FlushLines();
        } else if (inView()) {
            flushTurn(LinesPerTurn);
        } else {
            watchActivation();
        }
    });
}

void TStatusForm::FlushLines()
{
    flushTurn(m_pending.size());
}

void TStatusForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FlushLines();
}

// One edit block and one scroll per turn: a line at a time, laying out and scrolling the
// view for each, made a burst of server events (a big channel's joins and parts, each with
// its status line) cost about half a millisecond per line.
void TStatusForm::flushTurn(size_t limit)
{
    const size_t count = std::min(limit, m_pending.size());
    if (count == 0)
        return;
    QTextDocument *document = RichEdit1->document();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (m_viewStale) {
        // The lines waiting replace everything shown: the note goes on top of them.
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
        cursor.insertText(TrimNote, noteFormat());
        m_viewLines = 0;
        m_trimmed = true;
        m_viewStale = false;
    }
    cursor.movePosition(QTextCursor::End);
    for (size_t i = 0; i < count; ++i) {
        QTextCharFormat format;
        format.setForeground(m_pending[i].Colour);
        format.setFontWeight(QFont::Bold);
        if (!document->isEmpty())
            cursor.insertBlock();
        cursor.insertText(m_pending[i].Text, format);
        ++m_viewLines;
    }
    cursor.endEditBlock();
    m_pending.erase(m_pending.begin(), m_pending.begin() + qsizetype(count));
    trimView();
    cursor.movePosition(QTextCursor::End);
    RichEdit1->setTextCursor(cursor);
    RichEdit1->ensureCursorVisible();
    if (!m_pending.empty())
        scheduleFlush();
}

QTextCharFormat TStatusForm::noteFormat()
{
    QTextCharFormat format;
    format.setFontWeight(QFont::Bold);
    return format;
}

void TStatusForm::trimView()
{
    if (m_viewLines <= LineLimit + LineSlack)
        return;
    const int remove = m_viewLines - LineLimit;
    QTextDocument *document = RichEdit1->document();
    const int first = m_trimmed ? 1 : 0; // the note stays on top
    QTextCursor cursor(document->findBlockByNumber(first));
    cursor.beginEditBlock();
    cursor.setPosition(document->findBlockByNumber(first + remove).position(),
                       QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    if (!m_trimmed) {
        cursor.insertText(TrimNote, noteFormat());
        cursor.insertBlock();
        m_trimmed = true;
    }
    cursor.endEditBlock();
    m_viewLines -= remove;
}

bool TStatusForm::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_pending.empty()) {
        // Read at once: the caret's line is spoken as the view takes the focus.
        if (watched == RichEdit1 && event->type() == QEvent::FocusIn)
            FlushLines();
        // Seen: put in after this paint (changing the text inside a paint is not allowed).
        if (watched == RichEdit1->viewport() && event->type() == QEvent::Paint) {
            m_flushAllWanted = true;
            scheduleFlush();
        }
    }
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
