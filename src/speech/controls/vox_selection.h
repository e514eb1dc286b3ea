#pragma once

#include <QListWidget>
#include <QTreeWidget>

// The item a list or tree "has selected" in the sense the speech uses: the current item
// when it is selected, otherwise the first selected one. An item that merely holds the
// focus frame (Qt makes the first row current on focus without selecting it) does not count.
inline QTreeWidgetItem *SelectedTreeItem(const QTreeWidget *view)
{
    QTreeWidgetItem *current = view->currentItem();
    if (current && current->isSelected())
        return current;
    const QList<QTreeWidgetItem *> selected = view->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

inline QListWidgetItem *SelectedListItem(const QListWidget *view)
{
    QListWidgetItem *current = view->currentItem();
    if (current && current->isSelected())
        return current;
    const QList<QListWidgetItem *> selected = view->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

// Qt puts the current-item frame on the first row when an item view takes the focus but
// selects nothing; the next Down then moves to the second row and the first one is never
// heard. The speaking views select that row instead, so what is announced, what the arrows
// move from and what the window acts on are the same item.
template <class View> void SelectCurrentWhenNoneSelected(View *view)
{
    if (view->selectedItems().isEmpty() && view->currentItem())
        view->currentItem()->setSelected(true);
}
