#include "speech/controls/vox_list_box.h"

#include "speech/controls/vox_selection.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace {

bool isArrow(int key)
{
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

} // namespace

TVoxListBox::TVoxListBox(QWidget *parent)
    : QListWidget(parent), m_voice(this, QStringLiteral("List box"))
{}

void TVoxListBox::focusInEvent(QFocusEvent *event)
{
    QListWidget::focusInEvent(event);
    m_voice.forgetKeys();
    if (!AnnouncesFocus(this, event))
        return;
    SelectCurrentWhenNoneSelected(this);
    m_voice.stopForFocus(event);
    if (const QListWidgetItem *item = SelectedListItem(this))
        Announce(SpeechName() + item->text());
    else
        Announce(SpeechName());
}

void TVoxListBox::keyPressEvent(QKeyEvent *event)
{
    m_voice.keyWentDown(event);
    QListWidget::keyPressEvent(event);
}

void TVoxListBox::keyReleaseEvent(QKeyEvent *event)
{
    if (!m_voice.keyWentUp(event)) {
        QListWidget::keyReleaseEvent(event);
        return;
    }
    const int key = event->key();
    if (key == Qt::Key_Home || key == Qt::Key_End || isArrow(key))
        m_voice.stop();
    if (isArrow(key)) {
        if (const QListWidgetItem *item = SelectedListItem(this))
            Announce(item->text());
    }
    QListWidget::keyReleaseEvent(event);
}
