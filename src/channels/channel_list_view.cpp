#include "channels/channel_list_view.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

TChannelListView::TChannelListView(QWidget *parent)
    : QTableView(parent), m_voice(this, QStringLiteral("List View"))
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setShowGrid(false);
    setSortingEnabled(false);
    verticalHeader()->hide();
    // Every row is one line high: the view never measures 50,000 rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setSectionsClickable(false);
}

int TChannelListView::SelectedRow() const
{
    const QItemSelectionModel *selection = selectionModel();
    if (!selection)
        return -1;
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), QModelIndex()))
        return current.row();
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

QModelIndex TChannelListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    if (cursorAction == MoveHome || cursorAction == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(cursorAction, modifiers);
}

void TChannelListView::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    m_voice.forgetKeys();
    if (!AnnouncesFocus(this, event))
        return;
    // The focus frame alone would leave the first row unheard and skipped by Down.
    if (SelectedRow() < 0 && currentIndex().isValid())
        selectionModel()->select(currentIndex(),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_voice.stop();
    Announce(nameAndSelection());
}

void TChannelListView::keyPressEvent(QKeyEvent *event)
{
    m_voice.keyWentDown(event);
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        emit EnterPressed();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TChannelListView::keyReleaseEvent(QKeyEvent *event)
{
    if (m_voice.keyWentUp(event))
        Announce(nameAndSelection());
    QTableView::keyReleaseEvent(event);
}

void TChannelListView::mouseReleaseEvent(QMouseEvent *event)
{
    QTableView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const int row = SelectedRow();
    if (row >= 0)
        Announce(model()->index(row, 0).data().toString());
}

QString TChannelListView::nameAndSelection() const
{
    const int row = SelectedRow();
    if (row < 0)
        return SpeechName();
    return SpeechName() + QLatin1Char(' ') + model()->index(row, 0).data().toString();
}
