#include "dialogs/connect_form.h"

#include "dialogs/about_form.h"

#include "config/config_files.h"
#include "dialogs/desktop_links.h"
#include "dialogs/dialog_host.h"
#include "dialogs/dialog_support.h"
#include "dialogs/irc_identity.h"
#include "dialogs/server_list_form.h"
#include "dialogs/server_list_store.h"
#include "dialogs/server_options_form.h"
#include "dialogs/window_placement.h"
#include "irc/irc_client.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString HelpTopic = QStringLiteral("Диалог настройки соединения");
// The project has no e-mail address of its own yet; the link stays hidden until it has.
// (The web address is the About box's, empty for the same reason.)
const QString MailAddress;

const QString AboutText = QStringLiteral(
    "Talvin — IRC-клиент для незрячих и слабовидящих пользователей.\n"
    "Программа озвучивает всё, что происходит на экране: поля и кнопки называют себя при "
    "получении фокуса, сообщения каналов и привата читаются синтезатором речи, главные "
    "команды доступны с клавиатуры.\n"
    "Talvin держит одно соединение с IRC-сервером, ведёт список серверов и избранных "
    "каналов, перекодирует текст между Windows-1251 и KOI8-R и сам отвечает на запросы "
    "CTCP.\n"
    "Надписи главного окна и диалогов можно заменить в файле config/caption.ini.");

// A link is a flat button: it takes the focus, speaks, and opens with Enter or Space.
TVoxButton *makeLink(QWidget *parent, const char *name, const QString &text)
{
    auto *link = new TVoxButton(text, parent);
    link->setObjectName(QLatin1String(name));
    link->setFlat(true);
    link->setAutoDefault(false);
    link->setCursor(Qt::PointingHandCursor);
    return link;
}

void setLinkColour(TVoxButton *link, const QColor &colour)
{
    QPalette palette = link->palette();
    palette.setColor(QPalette::ButtonText, colour);
    link->setPalette(palette);
}

bool isFallback(const QString &value, const QString &key)
{
    return value == QStringLiteral("err-") || value == QStringLiteral("err-") + key;
}

} // namespace

TForm2::TForm2(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, false);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setAccessibleName(QStringLiteral("Контролер страниц"));
    PageControl1->tabBar()->setAccessibleName(QStringLiteral("Контролер страниц"));
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));

    auto label = [](QWidget *page, const char *name) {
        auto *l = new QLabel(page);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto edit = [this](QWidget *page, const char *name) {
        auto *e = new TVoxEdit(page);
        e->setObjectName(QLatin1String(name));
        e->installEventFilter(this);
        return e;
    };
    auto button = [](QWidget *page, const char *name) {
        auto *b = new TVoxButton(page);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    auto serverBox = [this](QWidget *page, const char *name) {
        auto *box = new TVoxComboBox(page);
        box->setObjectName(QLatin1String(name));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->installEventFilter(this);
        return box;
    };

    // The user page.
    Label5 = label(TabSheet1, "Label5");
    Label8 = label(TabSheet1, "Label8");
    Label9 = label(TabSheet1, "Label9");
    Label10 = label(TabSheet1, "Label10");
    Label11 = label(TabSheet1, "Label11");
    VoxEdit1 = edit(TabSheet1, "VoxEdit1");
    VoxEdit2 = edit(TabSheet1, "VoxEdit2");
    VoxEdit3 = edit(TabSheet1, "VoxEdit3");
    VoxEdit4 = edit(TabSheet1, "VoxEdit4");
    CheckBox1 = new TVoxCheckBox(TabSheet1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    VoxComboBox1 = serverBox(TabSheet1, "VoxComboBox1");
    Button1 = button(TabSheet1, "Button1");
    {
        auto *grid = new QGridLayout(TabSheet1);
        const QList<QPair<QLabel *, QWidget *>> rows = {{Label5, VoxEdit1},
                                                        {Label8, VoxEdit2},
                                                        {Label9, VoxEdit3},
                                                        {Label10, VoxEdit4},
                                                        {Label11, VoxComboBox1}};
        for (int i = 0; i < rows.size(); ++i) {
            rows[i].first->setBuddy(rows[i].second);
            grid->addWidget(rows[i].first, i, 0);
            grid->addWidget(rows[i].second, i, 1);
        }
        // The fields the connection cannot do without.
        for (int row : {0, 2, 4})
            grid->addWidget(new QLabel(QStringLiteral("*"), TabSheet1), row, 2);
        grid->addWidget(CheckBox1, 5, 1);
        grid->addWidget(Button1, 6, 1, Qt::AlignRight);
        grid->setRowStretch(7, 1);
    }
    setTabOrder(VoxEdit1, VoxEdit2);
    setTabOrder(VoxEdit2, VoxEdit3);
    setTabOrder(VoxEdit3, VoxEdit4);
    setTabOrder(VoxEdit4, CheckBox1);
    setTabOrder(CheckBox1, VoxComboBox1);
    setTabOrder(VoxComboBox1, Button1);

    // The IRC server page.
    Label12 = label(TabSheet2, "Label12");
    VoxComboBox2 = serverBox(TabSheet2, "VoxComboBox2");
    DescEdit = new TVoxEdit(TabSheet2);
    DescEdit->setObjectName(QStringLiteral("DescEdit"));
    DescEdit->setReadOnly(true);
    DescEdit->setSpeechName(QStringLiteral("Описание сервера"));
    Button3 = button(TabSheet2, "Button3");
    Button4 = button(TabSheet2, "Button4");
    Button5 = button(TabSheet2, "Button5");
    Button6 = button(TabSheet2, "Button6");
    Button8 = button(TabSheet2, "Button8");
    {
        auto *layout = new QVBoxLayout(TabSheet2);
        Label12->setBuddy(VoxComboBox2);
        layout->addWidget(Label12);
        layout->addWidget(VoxComboBox2);
        layout->addWidget(DescEdit);
        auto *row = new QHBoxLayout;
        for (TVoxButton *b : {Button3, Button4, Button5, Button6, Button8})
            row->addWidget(b);
        layout->addLayout(row);
        layout->addStretch();
    }

    // The about page.
    AboutMemo = new TVoxMemo(TabSheet3);
    AboutMemo->setObjectName(QStringLiteral("AboutMemo"));
    AboutMemo->setReadOnly(true);
    AboutMemo->setSpeechName(QStringLiteral("О программе"));
    AboutMemo->setPlainText(AboutText);
    AboutImage = new QLabel(TabSheet3);
    AboutImage->setObjectName(QStringLiteral("AboutImage"));
    AboutImage->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
    const QString webAddress = TAboutForm::WebAddress();
    WebLink = makeLink(TabSheet3, "WebLink", webAddress);
    WebLink->setSpeechName(QStringLiteral("Ссылка"));
    MailLink = makeLink(TabSheet3, "MailLink", MailAddress);
    MailLink->setSpeechName(QStringLiteral("Письмо автору"));
    setLinkColour(WebLink, Qt::blue);
    setLinkColour(MailLink, Qt::blue);
    for (TVoxButton *link : {WebLink, MailLink})
        link->installEventFilter(this);
    // A link without an address would only be a dead stop for the keyboard and the ear.
    WebLink->setVisible(!webAddress.isEmpty());
    MailLink->setVisible(!MailAddress.isEmpty());
    connect(WebLink, &QPushButton::clicked, this, [webAddress] { OpenWebAddress(webAddress); });
    connect(MailLink, &QPushButton::clicked, this, [] { OpenNewMail(MailAddress); });
    {
        auto *layout = new QGridLayout(TabSheet3);
        layout->addWidget(AboutImage, 0, 0, Qt::AlignTop);
        layout->addWidget(AboutMemo, 0, 1);
        layout->addWidget(WebLink, 1, 1, Qt::AlignLeft);
        layout->addWidget(MailLink, 2, 1, Qt::AlignLeft);
    }

    PageControl1->addTab(TabSheet1, QString());
    PageControl1->addTab(TabSheet2, QString());
    PageControl1->addTab(TabSheet3, QString());
    PageControl1->tabBar()->installEventFilter(this);

    Button2 = new TVoxButton(this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);
    BitBtn2 = new TVoxButton(this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAutoDefault(false);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(Button2);
    bottom->addWidget(BitBtn2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(bottom);
    setFixedSize(560, 400);

    connect(Button1, &QPushButton::clicked, this, &TForm2::ConnectClick);
    connect(Button6, &QPushButton::clicked, this, &TForm2::ConnectClick);
    connect(Button2, &QPushButton::clicked, this, &TForm2::CancelClick);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm2::HelpClick);
    connect(Button3, &QPushButton::clicked, this, &TForm2::AddServerClick);
    connect(Button4, &QPushButton::clicked, this, &TForm2::EditServerClick);
    connect(Button5, &QPushButton::clicked, this, &TForm2::DeleteServerClick);
    connect(Button8, &QPushButton::clicked, this, &TForm2::ListClick);
    connect(VoxComboBox1, &QComboBox::editTextChanged, this, &TForm2::serverTextChanged);
    connect(VoxComboBox2, &QComboBox::editTextChanged, this, &TForm2::serverTextChanged);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm2::pageChanged);
    connect(qApp, &QApplication::focusChanged, this, &TForm2::focusChanged);

    ConfigureComponents();
}

TForm2::~TForm2()
{
    // QDialog's destructor hides the window, which moves the focus and raises the
    // application's focus signal: it must not reach this object once its destructor is done.
    if (qApp)
        disconnect(qApp, &QApplication::focusChanged, this, &TForm2::focusChanged);
}

void TForm2::ConfigureComponents()
{
    setWindowTitle(GetCaption(QStringLiteral("F2Caption")));
    const QList<QPair<QLabel *, TVoxEdit *>> labelled = {
        {Label5, VoxEdit1}, {Label8, VoxEdit2}, {Label9, VoxEdit3}, {Label10, VoxEdit4}};
    for (const auto &[labelWidget, field] : labelled) {
        const QString text = GetCaption(QStringLiteral("F2") + labelWidget->objectName());
        labelWidget->setText(text);
        field->setSpeechName(text);
    }
    const QString serverLabel = GetCaption(QStringLiteral("F2Label11"));
    Label11->setText(serverLabel);
    VoxComboBox1->setSpeechName(serverLabel);
    VoxComboBox2->setSpeechName(serverLabel);
    Label12->setText(GetCaption(QStringLiteral("F2Label12")));
    CheckBox1->setText(GetCaption(QStringLiteral("F2CheckBox1")));
    BitBtn2->setText(GetCaption(QStringLiteral("F2BitBtn2")));
    for (TVoxButton *b : {Button1, Button2, Button3, Button4, Button5, Button6, Button8})
        b->setText(GetCaption(QStringLiteral("F2") + b->objectName()));
    for (int i = 0; i < 3; ++i)
        PageControl1->setTabText(i, GetCaption(QStringLiteral("F2TabCaption%1").arg(i + 1)));
}

void TForm2::fillServerBoxes(const QString &text)
{
    m_filling = true;
    VoxComboBox1->clear();
    VoxComboBox2->clear();
    QStringList names;
    for (const ServerRecord &record : ServerList())
        names.append(record.Name);
    VoxComboBox2->addItems(names);
    VoxComboBox1->addItems(names);
    VoxComboBox1->setEditText(text);
    VoxComboBox2->setEditText(text);
    m_filling = false;
    serverTextChanged(text);
}

void TForm2::FormActivate()
{
    AttachInterfaceVoice(this);
    SpeakInterface(QStringLiteral("окно настройка соединения."));
    ConfigureComponents();
    if (property("fieldsLoaded").toBool()) {
        // Back from a message box, the help viewer or a server dialog: what the user typed
        // stays; only the server lists follow the file.
        LoadServerList();
        fillServerBoxes(VoxComboBox1->currentText());
        return;
    }
    setProperty("fieldsLoaded", true);
    VoxEdit1->setText(GetUserValue(QStringLiteral("UserName")));
    VoxEdit2->setText(GetUserValue(QStringLiteral("EMail")));
    VoxEdit3->setText(GetUserValue(QStringLiteral("Nick")));
    VoxEdit4->setText(GetUserValue(QStringLiteral("AlterNick")));
    const QString userServer = GetUserValue(QStringLiteral("IRCServer"));
    VoxComboBox1->setEditText(userServer);
    SelectedServer() = userServer;
    LoadServerList();
    // The server the connection really uses; the user's own entry when connect.ini has none.
    const QString connectServer = GetConnectValue(QStringLiteral("Server"));
    fillServerBoxes(isFallback(connectServer, QStringLiteral("Server")) ? userServer
                                                                        : connectServer);
    if (!focusWidget())
        VoxEdit1->setFocus();
}

void TForm2::ShowAndFocus()
{
    const bool wasActive = isVisible() && isActiveWindow();
    show();
    raise();
    activateWindow();
    if (wasActive)
        FormActivate();
}

void TForm2::serverTextChanged(const QString &text)
{
    if (m_filling)
        return;
    // Both pages show one choice, so either connect button goes to the server last typed
    // or picked, on whichever page.
    m_filling = true;
    TVoxComboBox *other = sender() == VoxComboBox1 ? VoxComboBox2 : VoxComboBox1;
    if (other->currentText() != text)
        other->setEditText(text);
    m_filling = false;
    if (const ServerRecord *record = ServerAt(FindServer(text)))
        DescEdit->setText(record->Desc);
    SelectedServer() = VoxComboBox1->currentText();
}

void TForm2::ConnectClick()
{
    const QString server = VoxComboBox1->currentText().trimmed();
    SetUserValue(QStringLiteral("UserName"), VoxEdit1->text());
    SetUserValue(QStringLiteral("EMail"), VoxEdit2->text());
    SetUserValue(QStringLiteral("Nick"), VoxEdit3->text());
    SetUserValue(QStringLiteral("AlterNick"), VoxEdit4->text());
    SetUserValue(QStringLiteral("Invisible"), BoolToConfig(CheckBox1->isChecked()));
    SetUserValue(QStringLiteral("IRCServer"), VoxComboBox1->currentText());
    // The connect action takes its server from connect.ini: the one chosen here must be
    // there, or the choice would be ignored now and at the next start.
    if (!server.isEmpty())
        WriteConnectServer(server);

    IDialogHost *host = DialogHost();
    if (TIrcClient *client = host ? host->IrcClient() : nullptr) {
        const ServerRecord *record = ServerAt(FindServer(server));
        client->Host = server;
        client->Port = record ? record->Port : 6667;
        client->Username = IrcUserField(VoxEdit1->text(), VoxEdit3->text());
        client->Replies.UserInfo = ToConnectionText(VoxEdit2->text());
        client->SetNick(ToConnectionText(VoxEdit3->text()));
        client->AltNick = ToConnectionText(VoxEdit4->text());
    }
    hide();
    if (host)
        host->ConnectAction();
}

void TForm2::CancelClick()
{
    hide();
}

void TForm2::HelpClick()
{
    ShowHelp(HelpTopic);
}

void TForm2::AddServerClick()
{
    ServerOptionsForm()->ShowAdd();
    fillServerBoxes(VoxComboBox2->currentText());
}

void TForm2::EditServerClick()
{
    ServerOptionsForm()->ShowChange(VoxComboBox2->currentText());
    fillServerBoxes(VoxComboBox2->currentText());
}

void TForm2::DeleteServerClick()
{
    const int count = DeleteServer(VoxComboBox2->currentText());
    if (count == 0)
        VoxShowMessage(QStringLiteral("Server list"),
                       QStringLiteral("no more exist servers in list."));
    fillServerBoxes(VoxComboBox2->currentText());
}

void TForm2::ListClick()
{
    ServerListForm()->exec();
    LoadServerList();
    fillServerBoxes(VoxComboBox2->currentText());
}

QString TForm2::pageCaption() const
{
    return PageControl1->tabText(PageControl1->currentIndex());
}

void TForm2::pageChanged(int index)
{
    SpeakInterface(QStringLiteral("Страница ") + pageCaption());
    if (PageControl1->widget(index) == TabSheet2)
        fillServerBoxes(VoxComboBox1->currentText());
}

void TForm2::focusChanged(QWidget *old, QWidget *now)
{
    // Leaving the page for a control outside it (Cancel, Help) names the page left.
    QWidget *page = PageControl1->currentWidget();
    if (!old || !now || !page || !isActiveWindow())
        return;
    if (page->isAncestorOf(old) && !page->isAncestorOf(now) && now != PageControl1->tabBar() &&
        isAncestorOf(now))
        SpeakInterface(QStringLiteral("Контролер страниц, страница ") + pageCaption());
}

bool TForm2::isUserField(QObject *object) const
{
    return object == VoxEdit1 || object == VoxEdit2 || object == VoxEdit3 || object == VoxEdit4 ||
           object == VoxComboBox1;
}

bool TForm2::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    else if (event->type() == QEvent::Show)
        CenterOnScreen(this);
    else if (event->type() == QEvent::Hide)
        setProperty("fieldsLoaded", false); // the next showing starts from the files
    return QDialog::event(event);
}

bool TForm2::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        if (watched == PageControl1->tabBar() &&
            static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            SpeakInterface(QStringLiteral("Контролер страниц, страница ") + pageCaption());
        break;
    case QEvent::Enter:
        if (watched == WebLink || watched == MailLink) {
            setLinkColour(static_cast<TVoxButton *>(watched), Qt::red);
            setLinkColour(watched == WebLink ? MailLink : WebLink, Qt::blue);
        }
        break;
    case QEvent::Leave:
        if (watched == WebLink || watched == MailLink)
            setLinkColour(static_cast<TVoxButton *>(watched), Qt::blue);
        break;
    case QEvent::KeyPress:
        if (isUserField(watched)) {
            if (IDialogHost *host = DialogHost())
                host->SpeakLang();
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (watched == VoxComboBox1 && VoxComboBox1->view()->isVisible())
                break;
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                ConnectClick();
                return true;
            }
            if (key == Qt::Key_Escape) {
                CancelClick();
                return true;
            }
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}
