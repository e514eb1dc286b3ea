#include "speech/controls/vox_combo_box.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

TVoxComboBox::TVoxComboBox(QWidget *parent)
    : QComboBox(parent), m_voice(this, QStringLiteral("Combo Box"))
{
    labelParts();
}

void TVoxComboBox::setSpeechName(const QString &name)
{
    m_voice.setSpeechName(name);
    labelParts();
}

void TVoxComboBox::labelParts()
{
    view()->setAccessibleName(SpeechName());
    if (QLineEdit *edit = lineEdit())
        edit->setAccessibleName(SpeechName());
}

void TVoxComboBox::showEvent(QShowEvent *event)
{
    labelParts(); // the edit line exists only once the box was made editable
    QComboBox::showEvent(event);
}

void TVoxComboBox::focusInEvent(QFocusEvent *event)
{
    QComboBox::focusInEvent(event);
    m_voice.forgetKeys();
    labelParts();
    // Closing the drop-down gives the focus back; the item was heard while choosing.
    if (!AnnouncesFocus(this, event))
        return;
    m_voice.stopForFocus(event);
    Announce(SpeechName() + currentText());
}

void TVoxComboBox::keyPressEvent(QKeyEvent *event)
{
    m_voice.keyWentDown(event);
    QComboBox::keyPressEvent(event);
}

void TVoxComboBox::keyReleaseEvent(QKeyEvent *event)
{
    if (!m_voice.keyWentUp(event)) {
        QComboBox::keyReleaseEvent(event);
        return;
    }
    const int key = event->key();
    const bool arrow =
        key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
    if (arrow || key == Qt::Key_Home || key == Qt::Key_End)
        m_voice.stop();
    if (arrow && currentIndex() >= 0)
        Announce(itemText(currentIndex()));
    QComboBox::keyReleaseEvent(event);
}
