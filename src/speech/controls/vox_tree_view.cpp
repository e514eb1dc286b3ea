#include "speech/controls/vox_tree_view.h"

#include "speech/controls/vox_selection.h"
#include "speech/controls/vox_text_speech.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

TVoxTreeView::TVoxTreeView(QWidget *parent)
    : QTreeWidget(parent), m_voice(this, QStringLiteral("Tree View"), VoxVoice::Interrupt::Yes)
{
    setHeaderHidden(true);
}

void TVoxTreeView::focusInEvent(QFocusEvent *event)
{
    QTreeWidget::focusInEvent(event);
    m_voice.forgetKeys();
    if (!AnnouncesFocus(this, event))
        return;
    SelectCurrentWhenNoneSelected(this);
    m_voice.stop();
    if (const QTreeWidgetItem *node = SelectedTreeItem(this))
        Announce(SpeechName() + QLatin1Char(' ') + node->text(0));
    else
        Announce(SpeechName());
}

void TVoxTreeView::keyPressEvent(QKeyEvent *event)
{
    m_voice.keyWentDown(event);
    QTreeWidget::keyPressEvent(event);
}

void TVoxTreeView::keyReleaseEvent(QKeyEvent *event)
{
    if (!m_voice.keyWentUp(event)) {
        QTreeWidget::keyReleaseEvent(event);
        return;
    }
    if (const QTreeWidgetItem *node = SelectedTreeItem(this))
        Announce(node->text(0));
    else
        Announce(SpeechName() + VoxWords::Empty);
    QTreeWidget::keyReleaseEvent(event);
}

void TVoxTreeView::mouseReleaseEvent(QMouseEvent *event)
{
    // The row was selected when the button went down; it is heard before the window's own
    // click handlers run.
    if (event->button() == Qt::LeftButton) {
        if (const QTreeWidgetItem *node = SelectedTreeItem(this))
            Announce(node->text(0));
    }
    QTreeWidget::mouseReleaseEvent(event);
}
