#include "channels/mentions_form.h"

#include "app/main_window.h"
#include "app/talvin_application.h"
#include "base/time_text.h"
#include "channels/channel_form.h"
#include "channels/channel_forms.h"
#include "channels/mentions.h"
#include "config/config_files.h"
#include "speech/controls/vox_list_box.h"

#include <QKeyEvent>
#include <QPointer>
#include <QVBoxLayout>

namespace {

QString CaptionOr(const QString &key, const QString &fallback)
{
    const QString value = GetCaption(key);
    return value.isEmpty() || value.startsWith(QLatin1String("err-")) ? fallback : value;
}

} // namespace

TMentionsForm::TMentionsForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("MentionsForm"));
    resize(480, 300);
    VoxListBox1 = new TVoxListBox(this);
    VoxListBox1->setObjectName(QStringLiteral("VoxListBox1"));
    VoxListBox1->installEventFilter(this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(VoxListBox1);
}

void TMentionsForm::Reload()
{
    const QString title = CaptionOr(QStringLiteral("MNCaption"), QStringLiteral("Упоминания"));
    setWindowTitle(title);
    VoxListBox1->setSpeechName(title);
    VoxListBox1->setAccessibleName(title);
    VoxListBox1->setSpeech(Form1 ? Form1->Speech1 : nullptr);
    VoxListBox1->clear();
    for (const TMention &m : TMentionList::Instance().Items()) {
        auto *item = new QListWidgetItem(LongTimeText(m.Time.toLocalTime().time()) +
                                         QLatin1Char(' ') + m.Window + QLatin1Char(' ') + m.Nick +
                                         QStringLiteral(": ") + m.Text);
        item->setData(Qt::UserRole, m.Window);
        VoxListBox1->addItem(item);
    }
    if (VoxListBox1->count() == 0)
        VoxListBox1->addItem(
            CaptionOr(QStringLiteral("MNEmpty"), QStringLiteral("упоминаний нет")));
    VoxListBox1->setCurrentRow(VoxListBox1->count() - 1);
}

void TMentionsForm::ShowList()
{
    Reload();
    show();
    raise();
    activateWindow();
    VoxListBox1->setFocus(Qt::OtherFocusReason);
}

bool TMentionsForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == VoxListBox1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            RunGuarded([this] { goToWindow(); });
            return true;
        }
        if (key == Qt::Key_Escape) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMentionsForm::goToWindow()
{
    const QListWidgetItem *item = VoxListBox1->currentItem();
    const QString window = item ? item->data(Qt::UserRole).toString() : QString();
    TChannelForm *form = ChannelFormAt(FindChannelForm(window));
    if (!form || !Form1 || !form->WatchButton()) {
        // The window was closed since: say so rather than do nothing.
        VoxListBox1->Announce(
            CaptionOr(QStringLiteral("MNClosed"), QStringLiteral("окно закрыто")));
        return;
    }
    close();
    Form1->activateWindow();
    Form1->ChannelWathClick(form->WatchButton());
}

TMentionsForm *MentionsForm()
{
    static QPointer<TMentionsForm> form;
    if (!form)
        form = new TMentionsForm(Form1);
    return form;
}
