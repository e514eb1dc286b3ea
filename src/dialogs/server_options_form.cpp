#include "dialogs/server_options_form.h"

#include "config/config_files.h"
#include "dialogs/dialog_host.h"
#include "dialogs/dialog_support.h"
#include "dialogs/server_list_store.h"
#include "dialogs/window_placement.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QPointer<TServerOptionsForm> &currentForm()
{
    static QPointer<TServerOptionsForm> form;
    return form;
}

const QString HelpTopic = QStringLiteral("serveroptions");

// Captions added with SASL; an older caption file keeps these texts.
struct TFallbackCaption
{
    const char *Key;
    const char *Text;
};
constexpr TFallbackCaption kSaslCaptions[] = {
    {"SOLabel8", "Вход SASL"},    {"SOLabel9", "Учётная запись SASL"},
    {"SOLabel10", "Пароль SASL"}, {"SOLabel11", "Файл сертификата клиента"},
    {"SOSaslNone", "нет"},
};

QString captionOr(const char *key)
{
    const QString text = GetCaption(QLatin1String(key));
    if (IsConfigValue(text))
        return text;
    for (const TFallbackCaption &fallback : kSaslCaptions)
        if (qstrcmp(fallback.Key, key) == 0)
            return QString::fromUtf8(fallback.Text);
    return text;
}

std::optional<quint16> portFromText(const QString &text)
{
    bool ok = false;
    const uint port = text.trimmed().toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

} // namespace

TServerOptionsForm *ServerOptionsForm()
{
    if (!currentForm()) {
        IDialogHost *host = DialogHost();
        new TServerOptionsForm(host ? host->MainWidget() : nullptr);
    }
    return currentForm();
}

TServerOptionsForm::TServerOptionsForm(QWidget *parent) : QDialog(parent)
{
    currentForm() = this;
    setObjectName(QStringLiteral("ServerOptionsForm"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto label = [this](const char *name) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto edit = [this](const char *name) {
        auto *e = new TVoxEdit(this);
        e->setObjectName(QLatin1String(name));
        e->installEventFilter(this);
        return e;
    };
    Label1 = label("Label1");
    Label2 = label("Label2");
    Label3 = label("Label3");
    Label4 = label("Label4");
    Label5 = label("Label5");
    Label6 = label("Label6");
    Label7 = label("Label7");
    Label8 = label("Label8");
    Label9 = label("Label9");
    Label10 = label("Label10");
    Label11 = label("Label11");
    DescEdit = edit("DescEdit");
    ServerEdit = edit("ServerEdit");
    PortEdit = edit("PortEdit");
    PortEdit->setText(QStringLiteral("6667"));
    CodePageBox = new TVoxComboBox(this);
    CodePageBox->setObjectName(QStringLiteral("CodePageBox"));
    CodePageBox->setEditable(false); // only its own items
    CodePageBox->installEventFilter(this);
    resetCodePages(QStringLiteral("WIN1251"));
    TlsCheckBox = new TVoxCheckBox(this);
    TlsCheckBox->setObjectName(QStringLiteral("TlsCheckBox"));
    TlsCheckBox->installEventFilter(this);
    connect(TlsCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        const QString usual = QString::number(on ? PlainPort : TlsPort);
        if (PortEdit->text().trimmed() == usual || PortEdit->text().trimmed().isEmpty())
            PortEdit->setText(QString::number(on ? TlsPort : PlainPort));
    });
    PasswordEdit = edit("PasswordEdit");
    PasswordEdit->setEchoMode(QLineEdit::Password);
    AddDateEdit = edit("AddDateEdit");
    LastConnectEdit = edit("LastConnectEdit");
    SaslBox = new TVoxComboBox(this);
    SaslBox->setObjectName(QStringLiteral("SaslBox"));
    SaslBox->setEditable(false);
    SaslBox->installEventFilter(this);
    SaslAccountEdit = edit("SaslAccountEdit");
    SaslPasswordEdit = edit("SaslPasswordEdit");
    SaslPasswordEdit->setEchoMode(QLineEdit::Password);
    ClientCertEdit = edit("ClientCertEdit");
    showSasl(QString(), QString(), QString(), QString());
    for (TVoxEdit *dateEdit : {AddDateEdit, LastConnectEdit}) {
        dateEdit->setReadOnly(true);
        dateEdit->setFrame(false);
    }

    Button1 = new TVoxButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new TVoxButton(this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new TVoxButton(this);
    Button3->setObjectName(QStringLiteral("Button3"));
    for (TVoxButton *button : {Button1, Button2, Button3})
        button->setAutoDefault(false); // Enter is handled by the fields themselves
    connect(Button1, &QPushButton::clicked, this, &TServerOptionsForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, [] { ShowHelp(HelpTopic); });

    const QList<QPair<QLabel *, QWidget *>> rows = {
        {Label1, DescEdit},        {Label2, ServerEdit},        {Label3, PortEdit},
        {Label4, CodePageBox},     {Label5, PasswordEdit},      {Label8, SaslBox},
        {Label9, SaslAccountEdit}, {Label10, SaslPasswordEdit}, {Label11, ClientCertEdit},
        {Label6, AddDateEdit},     {Label7, LastConnectEdit}};
    auto *grid = new QGridLayout;
    for (int i = 0; i < rows.size(); ++i) {
        rows[i].first->setBuddy(rows[i].second);
        grid->addWidget(rows[i].first, i, 0);
        grid->addWidget(rows[i].second, i, 1);
    }
    grid->addWidget(TlsCheckBox, int(rows.size()), 1);
    setTabOrder(PortEdit, TlsCheckBox);
    setTabOrder(TlsCheckBox, CodePageBox);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setFixedSize(460, 470);
    loadCaptions();
}

TServerOptionsForm::~TServerOptionsForm() = default;

void TServerOptionsForm::resetCodePages(const QString &chosen)
{
    CodePageBox->clear();
    CodePageBox->addItems({QStringLiteral("WIN1251"), QStringLiteral("OEM"), QStringLiteral("KOI8"),
                           QStringLiteral("UTF8")});
    const int index = CodePageBox->findText(chosen, Qt::MatchFixedString);
    CodePageBox->setCurrentIndex(index >= 0 ? index : 0);
}

void TServerOptionsForm::showSasl(const QString &mechanism, const QString &account,
                                  const QString &password, const QString &certificate)
{
    SaslBox->clear();
    SaslBox->addItems(
        {captionOr("SOSaslNone"), QStringLiteral("PLAIN"), QStringLiteral("EXTERNAL")});
    const int index = SaslBox->findText(mechanism, Qt::MatchFixedString);
    SaslBox->setCurrentIndex(!mechanism.isEmpty() && index > 0 ? index : 0);
    SaslAccountEdit->setText(account);
    SaslPasswordEdit->setText(password);
    ClientCertEdit->setText(certificate);
}

void TServerOptionsForm::loadCaptions()
{
    setWindowTitle(GetCaption(QStringLiteral("SOCaption")));
    QList<QPair<QLabel *, QWidget *>> labelled = {{Label1, DescEdit},       {Label2, ServerEdit},
                                                  {Label3, PortEdit},       {Label4, CodePageBox},
                                                  {Label5, PasswordEdit},   {Label6, AddDateEdit},
                                                  {Label7, LastConnectEdit}};
    for (QPair<QLabel *, QWidget *> sasl :
         QList<QPair<QLabel *, QWidget *>>{{Label8, SaslBox},
                                           {Label9, SaslAccountEdit},
                                           {Label10, SaslPasswordEdit},
                                           {Label11, ClientCertEdit}})
        labelled.append(sasl);
    for (int i = 0; i < labelled.size(); ++i) {
        const QString text = captionOr(qPrintable(QStringLiteral("SOLabel%1").arg(i + 1)));
        labelled[i].first->setText(text);
        if (auto *e = qobject_cast<TVoxEdit *>(labelled[i].second))
            e->setSpeechName(text);
        else if (auto *c = qobject_cast<TVoxComboBox *>(labelled[i].second))
            c->setSpeechName(text);
    }
    SaslBox->setItemText(0, captionOr("SOSaslNone"));
    // The box says its caption as its name; an installation whose caption file predates
    // the switch still hears what it is.
    QString tls = GetCaption(QStringLiteral("SOTls"));
    if (tls.startsWith(QLatin1String("err-")))
        tls = QStringLiteral("Защищённое соединение (TLS)");
    TlsCheckBox->setText(tls);
    Button2->setText(GetCaption(QStringLiteral("SOButton2")));
    Button3->setText(GetCaption(QStringLiteral("SOButton3")));
    Button1->setText(GetCaption(m_mode == TMode::Add ? QStringLiteral("SOAddButton")
                                                     : QStringLiteral("SOChengButton")));
}

bool TServerOptionsForm::ShowAdd()
{
    m_mode = TMode::Add;
    m_slot = 0;
    m_saved = false;
    DescEdit->clear();
    PasswordEdit->clear();
    showSasl(QString(), QString(), QString(), QString());
    PortEdit->setText(QStringLiteral("6667"));
    // Today's networks carry UTF-8; a legacy server is chosen by hand.
    resetCodePages(QStringLiteral("UTF8"));
    TlsCheckBox->setChecked(false);
    AddDateEdit->setText(DateTimeToText(QDateTime::currentDateTime()));
    LastConnectEdit->clear();
    // The server field keeps what was typed last time.
    loadCaptions();
    ServerEdit->setFocus();
    CenterOnScreen(this);
    exec();
    return m_saved;
}

bool TServerOptionsForm::ShowChange(const QString &name)
{
    return ShowChangeAt(FindServer(name));
}

bool TServerOptionsForm::ShowChangeAt(int slot)
{
    const ServerRecord *record = ServerAt(slot);
    if (!record) {
        VoxShowMessage(QStringLiteral("IRC server"),
                       QStringLiteral("Input server name not exist, use add button"));
        return false;
    }
    m_mode = TMode::Change;
    m_slot = slot;
    m_saved = false;
    DescEdit->setText(record->Desc);
    ServerEdit->setText(record->Name);
    {
        // Showing the stored switch must not move the stored port.
        const QSignalBlocker quiet(TlsCheckBox);
        TlsCheckBox->setChecked(record->Tls);
    }
    PortEdit->setText(QString::number(record->Port));
    resetCodePages(record->CodePage);
    PasswordEdit->setText(record->Password);
    showSasl(record->SaslMechanism, record->SaslAccount, record->SaslPassword, record->ClientCert);
    AddDateEdit->setText(ServerDateText(record->AddDate, record->AddDateText));
    LastConnectEdit->setText(ServerDateText(record->LastConnect, record->LastConnectText));
    loadCaptions();
    ServerEdit->setFocus();
    CenterOnScreen(this);
    exec();
    return m_saved;
}

void TServerOptionsForm::Button1Click()
{
    const QString title = GetCaption(QStringLiteral("SOCaption"));
    const QString name = ServerEdit->text().trimmed();
    if (name.isEmpty()) {
        VoxShowMessage(title, GetCaption(QStringLiteral("SOMess1")));
        return;
    }
    // The port is checked before anything enters the list: a half-made record must never
    // reach the next save.
    const auto port = portFromText(PortEdit->text());
    if (!port) {
        VoxShowMessage(title, GetCaption(QStringLiteral("SOMess2")));
        return;
    }
    int slot = m_slot;
    if (m_mode == TMode::Add) {
        if (ServerCount() >= MaxServers) {
            VoxShowMessage(title,
                           QStringLiteral("Server list is full (%1 servers).").arg(MaxServers));
            return;
        }
        // The list only grows while a server is chosen; one typed here is chosen by being
        // added, so a fresh installation is not left with a silent Add button.
        if (SelectedServer().isEmpty())
            SelectedServer() = name;
        slot = AddServer(name);
    }
    ServerRecord *record = ServerAt(slot);
    if (!record)
        return;
    // Every field goes to the slot being edited. Looking the record up again by its new name
    // would write into another server that happens to carry that name.
    const QDateTime now = QDateTime::currentDateTime();
    record->Name = name;
    record->Desc = DescEdit->text();
    record->Port = *port;
    record->AddDate = now;
    record->LastConnect = now;
    record->AddDateText.clear();
    record->LastConnectText.clear();
    record->CodePage = CodePageBox->currentText();
    record->Tls = TlsCheckBox->isChecked();
    record->Password = PasswordEdit->text();
    record->SaslMechanism = SaslBox->currentIndex() > 0 ? SaslBox->currentText() : QString();
    record->SaslAccount = SaslAccountEdit->text().trimmed();
    record->SaslPassword = SaslPasswordEdit->text();
    record->ClientCert = ClientCertEdit->text().trimmed();
    try {
        SaveServerList();
    } catch (...) {
        if (m_mode == TMode::Add)
            ServerList().removeAt(slot - 1); // not stored, so not listed either
        throw;
    }
    m_saved = true;
    accept();
}

bool TServerOptionsForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        AttachInterfaceVoice(this);
        loadCaptions();
    }
    return QDialog::event(event);
}

bool TServerOptionsForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if ((watched == CodePageBox && CodePageBox->view()->isVisible()) ||
                (watched == SaslBox && SaslBox->view()->isVisible()))
                break;
            Button1Click();
            return true;
        case Qt::Key_Escape:
            reject();
            return true;
        case Qt::Key_F1:
            ShowHelp(HelpTopic);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
