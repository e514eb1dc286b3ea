#include "speech/controls/vox_list_view.h"

#include "speech/controls/vox_selection.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

TVoxListView::TVoxListView(QWidget *parent)
    : QTreeWidget(parent), m_voice(this, QStringLiteral("List View"))
{
    setRootIsDecorated(false);
}

void TVoxListView::focusInEvent(QFocusEvent *event)
{
    QTreeWidget::focusInEvent(event);
    m_voice.forgetKeys();
    if (!AnnouncesFocus(this, event))
        return;
    SelectCurrentWhenNoneSelected(this);
    m_voice.stopForFocus(event);
    Announce(nameAndSelection());
}

void TVoxListView::keyPressEvent(QKeyEvent *event)
{
    m_voice.keyWentDown(event);
    QTreeWidget::keyPressEvent(event);
}

void TVoxListView::keyReleaseEvent(QKeyEvent *event)
{
    if (!m_voice.keyWentUp(event)) {
        QTreeWidget::keyReleaseEvent(event);
        return;
    }
    Announce(nameAndSelection());
    QTreeWidget::keyReleaseEvent(event);
}

void TVoxListView::mouseReleaseEvent(QMouseEvent *event)
{
    // The row was selected when the button went down; it is heard before the window's own
    // click handlers run.
    if (event->button() == Qt::LeftButton) {
        if (const QTreeWidgetItem *item = SelectedTreeItem(this))
            Announce(item->text(0));
    }
    QTreeWidget::mouseReleaseEvent(event);
}

QString TVoxListView::nameAndSelection() const
{
    if (const QTreeWidgetItem *item = SelectedTreeItem(this))
        return SpeechName() + QLatin1Char(' ') + item->text(0);
    return SpeechName();
}
