#include "channels/channel_list_form.h"

#include "app/codepage.h"
#include "base/time_text.h"
#include "channels/channel_list_request_form.h"
#include "channels/channel_list_view.h"
#include "config/config_files.h"
#include "dialogs/dialog_host.h"
#include "dialogs/dialog_support.h"
#include "dialogs/faworits_form.h"
#include "irc/irc_client.h"
#include "speech/help/help.h"
#include "speech/tspeech.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPointer<TForm3> &currentForm3()
{
    static QPointer<TForm3> form;
    return form;
}

TIrcClient *engine()
{
    IDialogHost *host = DialogHost();
    return host ? host->IrcClient() : nullptr;
}

const QString ListTitle = QStringLiteral("Список каналов");

// While the list arrives the shown list is re-sorted at most this often; the end of the
// list always brings it up to date at once.
constexpr int SortedRebuildDelayMs = 300;
constexpr int ArrivalRefreshMs = 200;

} // namespace

std::function<void(TForm3 *)> TForm3::Placement;

TForm3 *Form3()
{
    return currentForm3();
}

TForm3 *CreateForm3()
{
    if (!currentForm3()) {
        IDialogHost *host = DialogHost();
        auto *form = new TForm3(host ? host->MainWidget() : nullptr);
        if (TForm3::Placement)
            TForm3::Placement(form);
    }
    return currentForm3();
}

TForm3::TForm3(QWidget *parent) : QWidget(parent, Qt::Window)
{
    currentForm3() = this;
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setMinimumWidth(480);
    resize(560, 400);

    ShownList = new TShownChannelModel(&FullList, this);
    ListView1 = new TChannelListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(ShownList);
    QHeaderView *header = ListView1->horizontalHeader();
    header->setMinimumSectionSize(25);
    ListView1->setColumnWidth(0, 120);
    ListView1->setColumnWidth(1, 50);

    ProgressPanel = new QWidget(this);
    ProgressPanel->setObjectName(QStringLiteral("ProgressPanel"));
    ProgressLabel = new QLabel(QStringLiteral("Получение списка каналов. Ждите..."), ProgressPanel);
    ProgressBar1 = new QProgressBar(ProgressPanel);
    ProgressBar1->setAccessibleName(ProgressLabel->text());
    auto *progressLayout = new QHBoxLayout(ProgressPanel);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    progressLayout->addWidget(ProgressLabel);
    progressLayout->addWidget(ProgressBar1, 1);
    ProgressPanel->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ListView1, 1);
    layout->addWidget(ProgressPanel);

    auto action = [this](const QString &text, const QKeySequence &key, void (TForm3::*slot)()) {
        auto *a = new QAction(text, this);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        return a;
    };
    N_Join = action(QStringLiteral("Войти в канал"), QKeySequence(Qt::CTRL | Qt::Key_J),
                    &TForm3::JoinChannel);
    N_GetList = action(QStringLiteral("Получить список"), QKeySequence(Qt::CTRL | Qt::Key_L),
                       &TForm3::RequestList);
    N_AddFaworit = action(QStringLiteral("Добавить в избранное"),
                          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F), &TForm3::AddToFaworits);
    N_NoSort = action(QStringLiteral("не сортировать"), QKeySequence(Qt::CTRL | Qt::Key_N),
                      &TForm3::SortNone);
    N_SortByName =
        action(QStringLiteral("алфавиту"), QKeySequence(Qt::CTRL | Qt::Key_A), &TForm3::SortByName);
    N_SortByUsers = action(QStringLiteral("колличеству пользователей"),
                           QKeySequence(Qt::CTRL | Qt::Key_U), &TForm3::SortByUsers);
    N_Filter = action(QStringLiteral("Фильтр..."), QKeySequence(Qt::CTRL | Qt::Key_F),
                      &TForm3::ShowFilter);
    // Present in the menu, as the user expects to find it, but saving elsewhere is not
    // offered: the list is always kept in "1.lst".
    N_SaveAs = new QAction(QStringLiteral("Сохранить как..."), this);
    N_SaveAs->setShortcut(QKeySequence(Qt::Key_F2));
    N_SaveAs->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(N_SaveAs);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->addAction(N_Join);
    PopupMenu1->setDefaultAction(N_Join);
    PopupMenu1->addAction(N_GetList);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(N_AddFaworit);
    PopupMenu1->addSeparator();
    SortMenu = PopupMenu1->addMenu(QStringLiteral("Сортировать по"));
    SortMenu->addAction(N_NoSort);
    SortMenu->addAction(N_SortByName);
    SortMenu->addAction(N_SortByUsers);
    PopupMenu1->addAction(N_Filter);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(N_SaveAs);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        PopupMenu1->popup(ListView1->viewport()->mapToGlobal(pos));
    });

    connect(ListView1, &QAbstractItemView::doubleClicked, this, [this] { JoinChannel(); });
    connect(ListView1, &TChannelListView::EnterPressed, this, &TForm3::ShowFilter);
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) {
                if (!selected.isEmpty())
                    RowSelected();
            });

    m_rebuildTimer = new QTimer(this);
    m_rebuildTimer->setSingleShot(true);
    m_rebuildTimer->setInterval(SortedRebuildDelayMs);
    connect(m_rebuildTimer, &QTimer::timeout, this, &TForm3::AddFiltredChannel);
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(ArrivalRefreshMs);
    connect(m_refreshTimer, &QTimer::timeout, this, [this] { refreshArrived(false); });

    ShownList->SetColoured(ChannelListForm()->Coloured());
    ConfigureComponents();
    updateHeader();
}

TForm3::~TForm3() = default;

int TForm3::MinimumUsers()
{
    return ChannelListForm()->MinimumUsers();
}

void TForm3::ConfigureComponents()
{
    setWindowTitle(GetCaption(QStringLiteral("F3Caption")) + m_captionSuffix);
    for (int column = 0; column < 3; ++column)
        ShownList->SetHeader(
            column, GetCaption(QStringLiteral("F3ListViewColumns") + QString::number(column)));
}

void TForm3::SetCaptionSuffix(const QString &suffix)
{
    m_captionSuffix = suffix;
    setWindowTitle(GetCaption(QStringLiteral("F3Caption")) + m_captionSuffix);
}

bool TForm3::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(event);
}

void TForm3::FormActivate()
{
    ListView1->setSpeech(InterfaceVoice());
    ConfigureComponents();
    SpeakInterface(windowTitle());
}

template <typename Change> void TForm3::keepingCurrentRow(Change change)
{
    const int selected = ListView1->SelectedRow();
    const int fullIndex = selected >= 0 ? ShownList->FullIndex(selected) : -1;
    m_quiet = true;
    change();
    if (fullIndex >= 0) {
        const int row = ShownList->ShownRowOf(fullIndex);
        if (row >= 0) {
            const QModelIndex index = ShownList->index(row, 0);
            ListView1->selectionModel()->setCurrentIndex(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            ListView1->scrollTo(index);
        }
    }
    m_quiet = false;
}

void TForm3::AddFiltredChannel()
{
    m_rebuildTimer->stop();
    m_needsRebuild = false;
    m_shownUpTo = FullList.Count();
    keepingCurrentRow([this] { ShownList->Rebuild(MinimumUsers()); });
    updateHeader();
}

void TForm3::AddNewChannels(int firstNew)
{
    m_shownUpTo = FullList.Count();
    if (ShownList->InFullListOrder() && !ShownList->SortByName()) {
        ShownList->AppendFrom(firstNew, MinimumUsers());
        updateHeader();
        return;
    }
    scheduleRebuild();
}

void TForm3::scheduleRebuild()
{
    if (!m_rebuildTimer->isActive())
        m_rebuildTimer->start();
}

void TForm3::updateHeader()
{
    ShownList->SetHeader(0, QStringLiteral("Каналов  ") + QString::number(ShownList->rowCount()) +
                                QStringLiteral(" из ") + QString::number(FullList.Count()));
}

void TForm3::ReceiveList(const QList<QByteArray> &entries, int position, bool last)
{
    const int count = int(entries.size());
    const bool continues =
        m_receiving && m_receivedRows == FullList.Count() && count >= m_receivedRows;
    if (!continues) {
        // A new list, or the full list was changed meanwhile: it becomes this list.
        FullList.Clear();
        m_receivedRows = 0;
        m_needsRebuild = true;
    }
    const int firstNew = m_receivedRows;
    for (int i = firstNew; i < count; ++i)
        FullList.Append(TChannelListRow::FromListEntry(entries[i]));
    m_receivedRows = count;
    m_receiving = !last;
    m_lastPosition = position;
    // The shown list must never point past a cleared full list, so a new list is shown at
    // once; so is the end of a list.
    if (last || !continues) {
        m_refreshTimer->stop();
        refreshArrived(last);
    } else if (!m_refreshTimer->isActive()) {
        m_refreshTimer->start();
    }
}

void TForm3::refreshArrived(bool last)
{
    // The list first: the progress bar repaints the window at once, and the table must
    // not be painted from a full list that was just replaced.
    if (m_needsRebuild) {
        AddFiltredChannel();
    } else {
        AddNewChannels(m_shownUpTo);
        // A sorted list waits for its next re-sort; the end of the list does not wait.
        if (last && m_rebuildTimer->isActive())
            AddFiltredChannel();
    }
    ShowProgress(m_lastPosition, last);
    if (last)
        ProgressPanel->hide();
}

void TForm3::ShowProgress(int position, bool last)
{
    ProgressPanel->show();
    int maximum = 2000;
    if (position > maximum)
        maximum = position + 400;
    ProgressBar1->setMaximum(maximum);
    ProgressBar1->setValue(position);
    if (last)
        ProgressBar1->setMaximum(position);
}

void TForm3::RowSelected()
{
    if (m_quiet)
        return;
    const int row = ListView1->SelectedRow();
    if (row < 0)
        return;
    TSpeech *voice = InterfaceVoice();
    if (!voice)
        return;
    const TChannelListRow &channel = ShownList->Row(row);
    voice->Stop();
    voice->Speak(channel.NameText + u' ' + channel.UsersText + u' ' + channel.TopicText);
}

void TForm3::JoinChannel()
{
    const int row = ListView1->SelectedRow();
    if (row < 0) {
        VoxShowMessage(ListTitle, QStringLiteral("Не один канал из списка не выбран. "));
        return;
    }
    if (TIrcClient *client = engine())
        client->Join(ShownList->Row(row).Name);
}

void TForm3::RequestList()
{
    if (TIrcClient *client = engine())
        client->Raw("LIST");
}

void TForm3::AddToFaworits()
{
    const int row = ListView1->SelectedRow();
    if (row < 0) {
        VoxShowMessage(ListTitle, QStringLiteral("Не один канал из списка не выбран. "));
        return;
    }
    const TChannelListRow &channel = ShownList->Row(row);
    TIrcClient *client = engine();
    EditFaworitForm()->ShowFilled(channel.NameText, channel.TopicText,
                                  client ? client->Host : QString());
}

void TForm3::ShowFilter()
{
    ChannelListForm()->ShowAndFocus();
}

void TForm3::SortNone()
{
    ShownList->SetSortByName(false);
}

void TForm3::SortByName()
{
    m_quiet = true;
    ShownList->SetSortByName(true);
    m_quiet = false;
}

void TForm3::SortByUsers()
{
    m_quiet = true;
    ShownList->SetSortByName(false);
    ShownList->SortByUsers();
    m_quiet = false;
}

// ---- The list arriving, and "1.lst" ----

QString ChannelListFilePath()
{
    return ProgramDir() + QStringLiteral("/1.lst");
}

QByteArray ChannelListFileHeader(const QString &host, int count)
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return EncodeEngineText(QStringLiteral(" получен с ") + host + u' ' +
                            locale.toString(now.date(), QLocale::ShortFormat) + u' ' +
                            LongTimeText(now.time()) + QStringLiteral(" всего каналов ") +
                            QString::number(count) + u' ');
}

namespace {

// One item of the file: a NUL, CR or LF inside it would break the three-lines-per-channel
// layout that the reader relies on, so each becomes a blank.
QByteArray fileLine(QByteArray field)
{
    for (char &c : field) {
        if (c == '\0' || c == '\r' || c == '\n')
            c = ' ';
    }
    field.append("\r\n");
    return field;
}

} // namespace

bool WriteChannelListFile(const QString &path, const QString &host, const TChannelList &list)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(fileLine(ChannelListFileHeader(host, list.Count())));
        QByteArray block;
        for (int i = 0; i < list.Count(); ++i) {
            const TChannelListRow &row = list.At(i);
            block += fileLine(row.Name);
            block += fileLine(row.Users);
            block += fileLine(row.Topic);
            if (block.size() > (1 << 20)) {
                file.write(block);
                block.clear();
            }
        }
        file.write(block);
        if (file.commit())
            return true;
    }
    qWarning("Channel list: cannot write %s: %s", qPrintable(path), qPrintable(file.errorString()));
    SpeakInterface(QStringLiteral("Не удалось сохранить список каналов в файл 1.lst"));
    return false;
}

void ChannelListOnList(const QString &host, const QList<QByteArray> &chans, int position, bool last)
{
    // Lets the user work (and the window redraw) while a long list arrives.
    QCoreApplication::processEvents();
    const bool created = !Form3();
    TForm3 *form = CreateForm3();
    if (created)
        form->show();
    form->ReceiveList(chans, position, last);
    if (last)
        WriteChannelListFile(ChannelListFilePath(), host, form->FullList);
}
