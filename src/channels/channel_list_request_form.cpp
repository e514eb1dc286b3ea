#include "channels/channel_list_request_form.h"

#include "app/codepage.h"
#include "channels/channel_list_form.h"
#include "config/config_files.h"
#include "dialogs/dialog_host.h"
#include "dialogs/dialog_support.h"
#include "irc/irc_client.h"
#include "speech/controls/vox_controls.h"
#include "speech/help/help.h"
#include "speech/tspeech.h"

#include <QEvent>
#include <QFile>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

namespace {

QPointer<TChannelListForm> &currentForm()
{
    static QPointer<TChannelListForm> form;
    return form;
}

TIrcClient *engine()
{
    IDialogHost *host = DialogHost();
    return host ? host->IrcClient() : nullptr;
}

bool isStepKey(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
           key == Qt::Key_PageDown || key == Qt::Key_Home || key == Qt::Key_End;
}

} // namespace

// ---- The number fields ----

TChannelListNumberField::TChannelListNumberField(const QString &speechName, QWidget *parent)
    : QSpinBox(parent), m_voice(this, speechName)
{
    // The up-down control's position is a signed 16-bit value.
    setRange(-32768, 32767);
    setValue(0);
    m_voice.setSpeechName(speechName);
    // The field's own edit line takes the focus: it carries the label for screen readers.
    lineEdit()->setAccessibleName(speechName);
}

void TChannelListNumberField::focusInEvent(QFocusEvent *event)
{
    QSpinBox::focusInEvent(event);
    m_voice.forgetKeys();
    if (!AnnouncesFocus(this, event))
        return;
    m_voice.stop();
    m_voice.announce(m_voice.speechName() + u' ' + QString::number(value()));
}

void TChannelListNumberField::keyPressEvent(QKeyEvent *event)
{
    m_voice.keyWentDown(event);
    QSpinBox::keyPressEvent(event);
}

void TChannelListNumberField::keyReleaseEvent(QKeyEvent *event)
{
    if (m_voice.keyWentUp(event) && isStepKey(event->key())) {
        m_voice.stop();
        m_voice.announce(QString::number(value()));
    }
    QSpinBox::keyReleaseEvent(event);
}

// ---- The dialog ----

TChannelListForm *ChannelListForm()
{
    if (!currentForm()) {
        IDialogHost *host = DialogHost();
        new TChannelListForm(host ? host->MainWidget() : nullptr);
    }
    return currentForm();
}

TChannelListForm::TChannelListForm(QWidget *parent) : QDialog(parent)
{
    currentForm() = this;
    setObjectName(QStringLiteral("ChannelListForm"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label1 = new QLabel(this);
    ComboBox1 = new TVoxComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setEditText(QStringLiteral("1.lst"));
    auto button = [this](const char *name) {
        auto *b = new TVoxButton(this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    Button1 = button("Button1");
    Button2 = button("Button2");
    Button3 = button("Button3");
    Button1->setText(QStringLiteral("Get list"));
    Button2->setText(QStringLiteral("Apply"));
    Button3->setText(QStringLiteral("Close"));
    CheckBox1 = new TVoxCheckBox(this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    Memo1 = new TVoxMemo(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    LabelFrom = new QLabel(QStringLiteral("От"), this);
    LabelTo = new QLabel(QStringLiteral("до"), this);
    Edit1 = new TChannelListNumberField(LabelFrom->text(), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = new TChannelListNumberField(LabelTo->text(), this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    LabelFrom->setBuddy(Edit1);
    LabelTo->setBuddy(Edit2);
    Label1->setBuddy(Edit1);

    connect(Button1, &QPushButton::clicked, this, &TChannelListForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TChannelListForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
    // A new minimum or colouring shows in an open browser at once: otherwise the only ways
    // to apply it would be fetching the list again or loading the saved list a second time.
    connect(Edit1, &QSpinBox::valueChanged, this, [] {
        if (TForm3 *browser = Form3())
            browser->AddFiltredChannel();
    });
    connect(CheckBox1, &QCheckBox::toggled, this, [](bool on) {
        if (TForm3 *browser = Form3())
            browser->ShownList->SetColoured(on);
    });

    auto *range = new QHBoxLayout;
    range->addWidget(LabelFrom);
    range->addWidget(Edit1);
    range->addWidget(LabelTo);
    range->addWidget(Edit2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(range);
    layout->addWidget(ComboBox1);
    layout->addLayout(buttons);
    layout->addWidget(CheckBox1);
    layout->addWidget(Memo1, 1);
    resize(420, 320);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, ComboBox1);
    setTabOrder(ComboBox1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, CheckBox1);
    setTabOrder(CheckBox1, Memo1);
}

TChannelListForm::~TChannelListForm() = default;

int TChannelListForm::MinimumUsers() const
{
    return Edit1->value();
}

bool TChannelListForm::Coloured() const
{
    return CheckBox1->isChecked();
}

void TChannelListForm::ShowAndFocus()
{
    show();
    raise();
    activateWindow();
}

void TChannelListForm::ConfigureComponents()
{
    setWindowTitle(GetCaption(QStringLiteral("CLCaption")));
    Button1->setText(GetCaption(QStringLiteral("CLButton1")));
    Button2->setText(GetCaption(QStringLiteral("CLButton2")));
    Button3->setText(GetCaption(QStringLiteral("CLButton3")));
    Memo1->setPlainText(GetCaption(QStringLiteral("CLMemo1")));
    Label1->setText(GetCaption(QStringLiteral("CLLabel1")));
    CheckBox1->setText(GetCaption(QStringLiteral("CLCheckBox1")));
    // The initial minimum comes from the caption file once; after that the dialog keeps
    // what the user set. A missing or non-numeric value leaves 0 rather than stopping the
    // dialog.
    if (!m_initialMinimumLoaded) {
        m_initialMinimumLoaded = true;
        const QString text = GetCaption(QStringLiteral("CLUpDown3"));
        bool ok = false;
        const int value = text.trimmed().toInt(&ok);
        if (ok && value >= -32768 && value <= 32767) {
            Edit1->setValue(value);
        } else {
            qWarning("Channel list: CLUpDown3 in caption.ini is not a number (%s); the "
                     "minimum starts at 0",
                     qPrintable(text));
            Edit1->setValue(0);
        }
    }
}

bool TChannelListForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

void TChannelListForm::FormActivate()
{
    AttachInterfaceVoice(this);
    Edit1->setSpeech(InterfaceVoice());
    Edit2->setSpeech(InterfaceVoice());
    ConfigureComponents();
    TIrcClient *client = engine();
    Button1->setEnabled(client && client->Connected());
}

void TChannelListForm::Button1Click()
{
    TForm3 *browser = CreateForm3();
    if (!browser->isVisible())
        browser->show();
    if (TIrcClient *client = engine())
        client->Raw("LIST");
    close();
}

void TChannelListForm::Button2Click()
{
    const QString path = ChannelListFilePath();
    if (!QFile::exists(path)) {
        qWarning("Channel list: %s not found", qPrintable(path));
        VoxShowMessage(QStringLiteral("Список каналов"),
                       QStringLiteral("Сохранённого списка каналов нет: файл 1.lst не найден. "
                                      "Получите список с сервера."));
        return;
    }
    TForm3 *browser = CreateForm3();
    QString header;
    QString error;
    if (!ReadChannelListFile(path, browser->FullList, header, error)) {
        qWarning("Channel list: cannot read %s: %s", qPrintable(path), qPrintable(error));
        VoxShowMessage(QStringLiteral("Список каналов"),
                       QStringLiteral("Не удалось прочитать файл 1.lst: ") + error);
        return;
    }
    browser->SetCaptionSuffix(header);
    browser->AddFiltredChannel();
    if (!browser->isVisible())
        browser->show();
    close();
}

bool ReadChannelListFile(const QString &path, TChannelList &list, QString &header, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    QList<QByteArray> lines = bytes.split('\n');
    // The last line's end leaves an empty piece that is no line.
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    header = lines.isEmpty() ? QString() : DecodeEngineText(lines.front());
    const int channels = int((lines.size() - 1) / 3);
    if (lines.size() > 1 && (lines.size() - 1) % 3 != 0)
        qWarning("Channel list: %s ends in an incomplete entry, which is left out",
                 qPrintable(path));
    list.Reserve(list.Count() + channels);
    for (int i = 0; i < channels; ++i) {
        const qsizetype first = 1 + qsizetype(i) * 3;
        list.Append(TChannelListRow::FromFields(lines[first], lines[first + 1], lines[first + 2]));
    }
    return true;
}
