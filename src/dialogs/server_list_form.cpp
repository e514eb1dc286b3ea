#include "dialogs/server_list_form.h"

#include "dialogs/dialog_host.h"
#include "dialogs/dialog_support.h"
#include "dialogs/server_list_store.h"
#include "dialogs/server_options_form.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QVBoxLayout>

namespace {

QPointer<TServerListForm> &currentForm()
{
    static QPointer<TServerListForm> form;
    return form;
}

} // namespace

TServerListForm *ServerListForm()
{
    if (!currentForm()) {
        IDialogHost *host = DialogHost();
        new TServerListForm(host ? host->MainWidget() : nullptr);
    }
    return currentForm();
}

TServerListForm::TServerListForm(QWidget *parent) : QDialog(parent)
{
    currentForm() = this;
    setObjectName(QStringLiteral("ServerListForm"));
    setWindowTitle(QStringLiteral("ServerListForm"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Memo1 = new TVoxMemo(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::NoFocus); // holds nothing to read
    Memo1->setMaximumHeight(40);

    ListView1 = new TVoxListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setHeaderLabels({QStringLiteral("address"), QStringLiteral("description"),
                                QStringLiteral("port"), QStringLiteral("code page"),
                                QStringLiteral("added"), QStringLiteral("connected")});

    auto button = [this](const char *name, const char *text) {
        auto *b = new TVoxButton(QLatin1String(text), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    AddButton = button("AddButton", "Add");
    ChengButton = button("ChengButton", "Cheng");
    DeleteButton = button("DeleteButton", "Delete");
    CloseButton = button("CloseButton", "Close");
    connect(AddButton, &QPushButton::clicked, this, &TServerListForm::AddButtonClick);
    connect(ChengButton, &QPushButton::clicked, this, &TServerListForm::ChengButtonClick);
    connect(DeleteButton, &QPushButton::clicked, this, &TServerListForm::DeleteButtonClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    for (TVoxButton *b : {AddButton, ChengButton, DeleteButton, CloseButton})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
    layout->addWidget(ListView1, 1);
    layout->addLayout(buttons);
    resize(640, 360);
}

TServerListForm::~TServerListForm() = default;

void TServerListForm::Refresh()
{
    LoadServerList();
    ListView1->clear();
    for (const ServerRecord &record : ServerList()) {
        const QString added = ServerDateText(record.AddDate, record.AddDateText);
        const QString connected = ServerDateText(record.LastConnect, record.LastConnectText);
        auto *item = new QTreeWidgetItem({record.Name, record.Desc, QString::number(record.Port),
                                          record.CodePage, added,
                                          connected != added ? connected : QStringLiteral("-//-")});
        ListView1->addTopLevelItem(item);
    }
}

int TServerListForm::selectedSlot() const
{
    // The row, not the name: two records may carry one name, and the one chosen is meant.
    const QList<QTreeWidgetItem *> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        return 0;
    const int slot = ListView1->indexOfTopLevelItem(selected.first()) + 1;
    const ServerRecord *record = ServerAt(slot);
    return record && record->Name == selected.first()->text(0) ? slot : 0;
}

void TServerListForm::AddButtonClick()
{
    ServerOptionsForm()->ShowAdd();
    Refresh();
}

void TServerListForm::ChengButtonClick()
{
    if (ListView1->selectedItems().isEmpty())
        return;
    ServerOptionsForm()->ShowChangeAt(selectedSlot());
    Refresh();
}

void TServerListForm::DeleteButtonClick()
{
    if (ListView1->selectedItems().isEmpty()) {
        VoxShowMessage(QStringLiteral("Server list"), QStringLiteral("not selected"));
        return;
    }
    DeleteServerAt(selectedSlot());
    Refresh();
}

bool TServerListForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        AttachInterfaceVoice(this);
        Refresh();
    }
    return QDialog::event(event);
}
