#include "channels/channel_list_hooks.h"

#include "app/main_window.h"
#include "channels/channel_list_form.h"
#include "channels/channel_list_request_form.h"

#include <QAction>

void AttachChannelList(TForm1 *form)
{
    TChannelListForm *dialog = ChannelListForm();
    form->IRC->OnList = [](TIrcClient *sender, const QList<QByteArray> &chans, int position,
                           bool last) { ChannelListOnList(sender->Host, chans, position, last); };
    QObject::connect(form->A_ChannelList, &QAction::triggered, dialog,
                     [dialog] { dialog->ShowAndFocus(); });
}
