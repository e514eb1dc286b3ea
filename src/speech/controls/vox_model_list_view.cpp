#include "speech/controls/vox_model_list_view.h"

#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

TVoxModelListView::TVoxModelListView(QWidget *parent)
    : QTreeView(parent), m_voice(this, QStringLiteral("List View"))
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
}

QModelIndex TVoxModelListView::SelectedRow() const
{
    const QItemSelectionModel *selection = selectionModel();
    if (!selection)
        return {};
    const QModelIndex current = currentIndex();
    if (current.isValid() && selection->isSelected(current))
        return current.siblingAtColumn(0);
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.front();
}

void TVoxModelListView::focusInEvent(QFocusEvent *event)
{
    QTreeView::focusInEvent(event);
    m_voice.forgetKeys();
    if (!AnnouncesFocus(this, event))
        return;
    // Qt frames the first row without selecting it; selecting it makes what is heard, what
    // the arrows move from and what the window acts on the same row.
    if (selectionModel() && !selectionModel()->hasSelection() && currentIndex().isValid())
        selectionModel()->select(currentIndex(),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_voice.stop();
    Announce(nameAndSelection());
}

void TVoxModelListView::keyPressEvent(QKeyEvent *event)
{
    m_voice.keyWentDown(event);
    QTreeView::keyPressEvent(event);
}

void TVoxModelListView::keyReleaseEvent(QKeyEvent *event)
{
    if (m_voice.keyWentUp(event))
        Announce(nameAndSelection());
    QTreeView::keyReleaseEvent(event);
}

void TVoxModelListView::mouseReleaseEvent(QMouseEvent *event)
{
    // The row was selected when the button went down; it is heard before the window's own
    // click handlers run.
    if (event->button() == Qt::LeftButton) {
        if (const QModelIndex row = SelectedRow(); row.isValid())
            Announce(row.data().toString());
    }
    QTreeView::mouseReleaseEvent(event);
}

QString TVoxModelListView::nameAndSelection() const
{
    if (const QModelIndex row = SelectedRow(); row.isValid())
        return SpeechName() + QLatin1Char(' ') + row.data().toString();
    return SpeechName();
}
