#include "dialogs/master_form.h"

#include "config/config_files.h"
#include "config/event_sound.h"
#include "dialogs/dialog_host.h"
#include "dialogs/irc_identity.h"
#include "dialogs/server_list_store.h"
#include "dialogs/window_placement.h"
#include "irc/irc_client.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help.h"
#include "speech/help/help_text_file.h"
#include "speech/tspeech.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QtDebug>

namespace {

const QString MessageTitle = QStringLiteral("Мастер соединения");
const QString IrcHelpTopic = QStringLiteral("Что такое IRC");

QString stepTitle(int step)
{
    switch (step) {
    case 1:
        return QStringLiteral("Добро пожаловать в IRC.");
    case 2:
        return QStringLiteral("Данные пользователя.[Real Name]");
    case 3:
        return QStringLiteral("Данные пользователя.[EMail]");
    case 4:
        return QStringLiteral("Данные пользователя.[Nick]");
    case 5:
        return QStringLiteral("Настройка подключения к серверу.[IRC Server]");
    default:
        return QStringLiteral("Настройка завершена.");
    }
}

// The spoken message box, after which the wizard takes the keyboard back: the user was
// typing in it and goes on there.
void showMessage(QWidget *window, const QString &title, const QString &text)
{
    VoxShowMessage(title, text);
    if (window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}

QString stepTextPath(int step)
{
    return ProgramDir() + QStringLiteral("/help/masterf") + QString::number(step) +
           QStringLiteral(".txt");
}

// A page holding one labelled field.
QWidget *fieldPage(const QString &labelText, QWidget *field)
{
    auto *page = new QWidget;
    auto *label = new QLabel(labelText);
    label->setBuddy(field);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(label);
    layout->addWidget(field);
    layout->addStretch();
    return page;
}

TVoxEdit *makeEdit(const QString &objectName, const QString &spokenName)
{
    auto *edit = new TVoxEdit;
    edit->setObjectName(objectName);
    edit->setSpeechName(spokenName);
    return edit;
}

} // namespace

TMasterForm::TMasterForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MasterForm"));
    setWindowTitle(QStringLiteral("Мастер настройки соединения. "));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *header = new QWidget;
    header->setObjectName(QStringLiteral("Header"));
    header->setAutoFillBackground(true);
    QPalette headerPalette = header->palette();
    headerPalette.setColor(QPalette::Window, Qt::white);
    headerPalette.setColor(QPalette::WindowText, Qt::black);
    header->setPalette(headerPalette);
    TitleLabel = new QLabel(stepTitle(1));
    TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
    QFont bold = TitleLabel->font();
    bold.setBold(true);
    TitleLabel->setFont(bold);
    StepLabel = new QLabel;
    StepLabel->setObjectName(QStringLiteral("StepLabel"));
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->addWidget(TitleLabel);
    headerLayout->addWidget(StepLabel);

    Memo = new TVoxRichEdit;
    Memo->setObjectName(QStringLiteral("Memo"));
    // The caret's line follows the name at once: the separator keeps them two words.
    Memo->setSpeechName(QStringLiteral("Пояснение: "));
    Memo->setReadOnly(true);
    Memo->setAcceptRichText(false);
    Memo->setUndoRedoEnabled(false);
    Memo->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);

    AboutIrcButton = new TVoxButton(QStringLiteral("About IRC..."));
    AboutIrcButton->setObjectName(QStringLiteral("AboutIrcButton"));
    connect(AboutIrcButton, &QPushButton::clicked, this, [] { ShowHelp(IrcHelpTopic); });
    auto *welcomePage = new QWidget;
    auto *welcomeLayout = new QVBoxLayout(welcomePage);
    welcomeLayout->addWidget(AboutIrcButton, 0, Qt::AlignLeft);
    welcomeLayout->addStretch();

    NameEdit = makeEdit(QStringLiteral("NameEdit"), QStringLiteral("Имя и фамилия"));
    EMailEdit = makeEdit(QStringLiteral("EMailEdit"), QStringLiteral("EMail"));
    NickEdit = makeEdit(QStringLiteral("NickEdit"), QStringLiteral("Ник"));
    ServerBox = new TVoxComboBox;
    ServerBox->setObjectName(QStringLiteral("ServerBox"));
    ServerBox->setSpeechName(QStringLiteral("IRC сервер"));
    ServerBox->setEditable(true);
    ServerBox->setInsertPolicy(QComboBox::NoInsert);
    // The edit inside the box takes the focus; a screen reader must hear it labelled too.
    ServerBox->lineEdit()->setAccessibleName(ServerBox->SpeechName());
    ServerBox->setEditText(DefaultServer());

    Pages = new QStackedWidget;
    Pages->setObjectName(QStringLiteral("Pages"));
    Pages->addWidget(welcomePage);
    Pages->addWidget(fieldPage(QStringLiteral("Наберите имя и фамилию здесь"), NameEdit));
    Pages->addWidget(fieldPage(QStringLiteral("EMail"), EMailEdit));
    Pages->addWidget(fieldPage(QStringLiteral("Ник"), NickEdit));
    Pages->addWidget(fieldPage(QStringLiteral("IRC сервер"), ServerBox));
    Pages->addWidget(new QWidget);

    BackButton = new TVoxButton(QStringLiteral("&< Назад"));
    BackButton->setObjectName(QStringLiteral("BackButton"));
    BackButton->setEnabled(false);
    NextButton = new TVoxButton(QStringLiteral("Далее &>"));
    NextButton->setObjectName(QStringLiteral("NextButton"));
    FinishButton = new TVoxButton(QStringLiteral("Завершить"));
    FinishButton->setObjectName(QStringLiteral("FinishButton"));
    connect(BackButton, &QPushButton::clicked, this, &TMasterForm::backClicked);
    connect(NextButton, &QPushButton::clicked, this, &TMasterForm::nextClicked);
    connect(FinishButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BackButton);
    buttons->addWidget(NextButton);
    buttons->addWidget(FinishButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(header);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->addWidget(Memo, 1);
    body->addWidget(Pages);
    body->addLayout(buttons);
    layout->addLayout(body, 1);
    setFixedSize(560, 440);

    // Enter in a field is the wizard's "next step", not a click on a button.
    for (QWidget *field : {static_cast<QWidget *>(NameEdit), static_cast<QWidget *>(EMailEdit),
                           static_cast<QWidget *>(NickEdit), static_cast<QWidget *>(ServerBox)})
        field->installEventFilter(this);
    NextButton->installEventFilter(this);
    Memo->installEventFilter(this);
}

QString TMasterForm::DefaultServer()
{
    return QStringLiteral("irc.libera.chat");
}

void TMasterForm::attachVoice()
{
    TSpeech *speech = DialogHost() ? DialogHost()->InterfaceSpeech() : nullptr;
    Memo->setSpeech(speech);
    for (TVoxButton *button : {AboutIrcButton, BackButton, NextButton, FinishButton})
        button->setSpeech(speech);
    for (TVoxEdit *edit : {NameEdit, EMailEdit, NickEdit})
        edit->setSpeech(speech);
    ServerBox->setSpeech(speech);
}

void TMasterForm::stopVoice()
{
    if (TSpeech *speech = DialogHost() ? DialogHost()->InterfaceSpeech() : nullptr)
        speech->Stop();
}

void TMasterForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CenterOnScreen(this);
        start();
    }
}

void TMasterForm::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        stopVoice();
}

// Runs once per showing, not on every activation: the wizard becomes active again each
// time a message box or the help viewer closes, and must then stay on the user's step.
void TMasterForm::start()
{
    attachVoice();
    PlayEventSound(QStringLiteral("Startmaster"));

    // Offer the known servers; what the user typed (or the default) stays in the box.
    const QString typed = ServerBox->currentText();
    try {
        LoadServerList();
    } catch (const std::exception &error) {
        qWarning("Server list not read for the wizard: %s", error.what());
    }
    ServerBox->clear();
    for (const ServerRecord &server : ServerList())
        ServerBox->addItem(server.Name);
    ServerBox->setEditText(typed);

    m_step = 0;
    TitleLabel->setText(stepTitle(1));
    stopVoice();
    if (TSpeech *speech = DialogHost() ? DialogHost()->InterfaceSpeech() : nullptr) {
        speech->Speak(windowTitle());
        speech->Speak(TitleLabel->text());
    }
    // The first explanation follows the title instead of cutting it off.
    m_step = 1;
    showStep(m_step, false);
}

void TMasterForm::nextStep()
{
    if (m_step >= StepCount)
        return;
    ++m_step;
    showStep(m_step);
}

void TMasterForm::previousStep()
{
    if (m_step <= 1)
        return;
    --m_step;
    showStep(m_step);
}

void TMasterForm::showStep(int step, bool interruptVoice)
{
    BackButton->setEnabled(step >= 2);
    NextButton->setEnabled(true);
    StepLabel->setText(QStringLiteral("шаг ") + QString::number(step) + QStringLiteral(" из ") +
                       QString::number(StepCount));
    // Hiding the page that holds the focus would hand it to the Back button, which would
    // announce itself before the new step's field takes the focus.
    if (QWidget *focused = QApplication::focusWidget(); focused && Pages->isAncestorOf(focused))
        focused->clearFocus();
    Pages->setCurrentIndex(step - 1);
    TitleLabel->setText(stepTitle(step));
    if (step == 5)
        NextButton->setText(QStringLiteral("Далее >"));
    else if (step == 6)
        NextButton->setText(QStringLiteral("Готово"));

    switch (step) {
    case 2:
        NameEdit->setFocus();
        break;
    case 3:
        EMailEdit->setFocus();
        break;
    case 4:
        NickEdit->setFocus();
        break;
    case 5:
        ServerBox->setFocus();
        break;
    default:
        NextButton->setFocus();
        break;
    }

    const QString path = stepTextPath(step);
    const std::optional<QString> text =
        QFile::exists(path) ? ReadHelpText(path) : std::optional<QString>();
    if (!text || text->trimmed().isEmpty()) {
        // An empty or unreadable explanation is as useless to a listener as a missing one.
        Memo->clear();
        qWarning("Wizard step text missing or empty: %s", qUtf8Printable(path));
        showMessage(this, QStringLiteral("Master error"),
                    QStringLiteral("Master text file is wrong, check - ") + path);
        return;
    }
    Memo->setPlainText(*text);
    Memo->moveCursor(QTextCursor::Start);
    if (TSpeech *speech = DialogHost() ? DialogHost()->InterfaceSpeech() : nullptr) {
        if (interruptVoice)
            speech->Stop();
        speech->Speak(*text);
    }
}

void TMasterForm::nextClicked()
{
    stopVoice();
    if (m_step < StepCount)
        nextStep();
    else
        finish();
}

void TMasterForm::backClicked()
{
    stopVoice();
    previousStep();
}

bool TMasterForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (watched == NextButton) {
            if (key == Qt::Key_F1) {
                ShowHelp(IrcHelpTopic);
                return true;
            }
        } else if (watched == Memo) {
            // Enter while reading the explanation must not press the last button used.
            if (enter)
                return true;
        } else if (!enter) {
            // Name and nick are often typed in different alphabets: say when the keyboard
            // language changes.
            if (DialogHost())
                DialogHost()->SpeakLang();
        } else {
            fieldEntered(static_cast<QWidget *>(watched));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TMasterForm::fieldEntered(QWidget *field)
{
    QString text;
    QString emptyMessage;
    if (field == NameEdit) {
        text = NameEdit->text();
        emptyMessage = QStringLiteral("Вы ничего не ввели. Введите Ваше имя и фамилию.");
    } else if (field == EMailEdit) {
        text = EMailEdit->text();
    } else if (field == NickEdit) {
        text = NickEdit->text();
        emptyMessage = QStringLiteral("Вы ничего не ввели. Введите Ваш ник");
    } else if (field == ServerBox) {
        text = ServerBox->currentText();
        emptyMessage = QStringLiteral("Вы ничего не ввели. Введите адрес IRC сервера");
    }
    if (!text.trimmed().isEmpty()) {
        nextStep();
        return;
    }
    if (!emptyMessage.isEmpty())
        showMessage(this, MessageTitle, emptyMessage);
}

bool TMasterForm::identityComplete()
{
    struct Required
    {
        int step;
        QString text;
        QString message;
    };
    const Required required[] = {
        {2, NameEdit->text(), QStringLiteral("Вы ничего не ввели. Введите Ваше имя и фамилию.")},
        {4, NickEdit->text(), QStringLiteral("Вы ничего не ввели. Введите Ваш ник")},
        {5, ServerBox->currentText(),
         QStringLiteral("Вы ничего не ввели. Введите адрес IRC сервера")},
    };
    for (const Required &field : required) {
        if (field.text.trimmed().isEmpty()) {
            showMessage(this, MessageTitle, field.message);
            m_step = field.step;
            showStep(m_step);
            return false;
        }
    }
    return true;
}

// Stores the identity and the server, then connects. A connection started with an empty
// nick or server would fail at every later start too, since the start mode becomes
// "connect"; so those gaps send the user back to their step first.
void TMasterForm::finish()
{
    if (!identityComplete())
        return;
    const QString name = NameEdit->text().trimmed();
    const QString email = EMailEdit->text().trimmed();
    const QString nick = NickEdit->text().trimmed();
    const QString server = ServerBox->currentText().trimmed();

    try {
        SetUserValue(QStringLiteral("UserName"), name);
        SetUserValue(QStringLiteral("EMail"), email);
        SetUserValue(QStringLiteral("Nick"), nick);
        SetUserValue(QStringLiteral("AlterNick"), QString());
        SetUserValue(QStringLiteral("Invisible"), QStringLiteral("0"));
        SetUserValue(QStringLiteral("IRCServer"), server);
        // The connect action and every later start take the server from connect.ini.
        WriteConnectServer(server);
    } catch (const ETalvinError &error) {
        // Nothing is connected and the start mode stays, so the wizard comes back next time.
        qWarning("Wizard settings not stored: %s", qUtf8Printable(error.message()));
        showMessage(this, MessageTitle, error.message());
        return;
    }
    // The engine's settings as the wizard collected them; the connection itself takes the
    // server's port, TLS, code page and SASL from connect.ini and the server list, as every
    // later start will.
    TIrcClient *client = DialogHost() ? DialogHost()->IrcClient() : nullptr;
    if (client) {
        client->Host = server;
        client->Username = IrcUserField(name, nick);
        client->RealName = ToConnectionText(name);
        client->Replies.UserInfo = ToConnectionText(email);
        client->SetNick(ToConnectionText(nick));
        client->AltNick = QByteArray();
        client->SetUserMode(0);
    }
    accept();
    try {
        SetCaption(QStringLiteral("smode"), QStringLiteral("connect"));
    } catch (const ETalvinError &error) {
        qWarning("Start mode not stored: %s", qUtf8Printable(error.message()));
        showMessage(this, MessageTitle, error.message());
    }
    if (!client) {
        qWarning("Wizard finished without an IRC engine to connect");
        return;
    }
    try {
        // The program's own connect: name lookup and TLS off the window thread, the server
        // list's settings applied. A session already running ends first, or the connect
        // action would only end it.
        if (client->Connected())
            client->Disconnect(true);
        DialogHost()->ConnectAction();
    } catch (const std::exception &error) {
        // Said aloud as the connect action says it; the log keeps the cause.
        qWarning("Wizard connection to %s failed: %s", qUtf8Printable(server), error.what());
        showMessage(this, QStringLiteral("IRC"),
                    GetCaption(QStringLiteral("connection_faild")) + u' ' + server);
    }
}
