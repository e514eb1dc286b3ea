#include "dialogs/about_form.h"

#include "dialogs/desktop_links.h"
#include "dialogs/dialog_host.h"
#include "dialogs/window_placement.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/tspeech.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QStyle>
#include <QVBoxLayout>

TAboutForm::TAboutForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About..."));
    setAttribute(Qt::WA_QuitOnClose, false);
    // A tool window with a title and no border icons.
    setWindowFlags(Qt::Dialog | Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    Image1 = new QLabel;
    Image1->setObjectName(QStringLiteral("Image1"));
    const QIcon icon = QApplication::windowIcon().isNull()
                           ? style()->standardIcon(QStyle::SP_MessageBoxInformation)
                           : QApplication::windowIcon();
    Image1->setPixmap(icon.pixmap(48, 48));
    Image1->setAlignment(Qt::AlignTop);

    VoxRichEdit1 = new TVoxRichEdit;
    VoxRichEdit1->setObjectName(QStringLiteral("VoxRichEdit1"));
    // The view says its name before the line under the caret: the full stop keeps the two
    // apart when heard.
    VoxRichEdit1->setSpeechName(QStringLiteral("О программе. "));
    VoxRichEdit1->setReadOnly(true);
    VoxRichEdit1->setAcceptRichText(false);
    VoxRichEdit1->setUndoRedoEnabled(false);
    VoxRichEdit1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    VoxRichEdit1->setPlainText(DescriptionText());

    CreditLabel = new QLabel(QStringLiteral("Talvin 1.7.0 beta, разработчики Talvin. FREEWARE"));
    CreditLabel->setObjectName(QStringLiteral("CreditLabel"));
    WebLabel = new QLabel(WebAddress());
    WebLabel->setObjectName(QStringLiteral("WebLabel"));
    UpdateLabel = new QLabel(QStringLiteral("Download Update"));
    UpdateLabel->setObjectName(QStringLiteral("UpdateLabel"));
    for (QLabel *label : {WebLabel, UpdateLabel}) {
        label->setVisible(!WebAddress().isEmpty());
        label->setCursor(Qt::PointingHandCursor);
        label->setAttribute(Qt::WA_Hover);
        label->installEventFilter(this);
    }
    colourLabels(nullptr);

    auto *top = new QHBoxLayout;
    top->addWidget(Image1);
    top->addWidget(VoxRichEdit1, 1);
    auto *strip = new QHBoxLayout;
    strip->addWidget(CreditLabel, 1);
    strip->addWidget(WebLabel);
    strip->addWidget(UpdateLabel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(strip);
    setFixedSize(520, 320);
    setMouseTracking(true);
}

QString TAboutForm::DescriptionText()
{
    return QStringLiteral(
        "Talvin, версия 1.7.0 beta.\n"
        "IRC-клиент для незрячих и слабовидящих людей. Всё, что происходит в программе, "
        "можно услышать: каждый элемент окна называет себя и своё содержимое, сообщения "
        "каналов и приватных бесед читает синтезатор речи через speech-dispatcher или "
        "eSpeak NG.\n"
        "Возможности:\n"
        "общение в каналах на слух, без чтения с экрана;\n"
        "прослушивание нескольких десятков каналов одновременно;\n"
        "приватные беседы;\n"
        "создание каналов и управление ими;\n"
        "наблюдение за трафиком сервера;\n"
        "сведения о пользователях;\n"
        "работа с серверами в кодировке KOI8-R, а также Windows-1251 и CP866.\n"
        "Программа бесплатна.");
}

QString TAboutForm::WebAddress()
{
    return QString();
}

bool TAboutForm::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
        CenterOnScreen(this);
        break;
    case QEvent::WindowActivate: {
        // The text view takes the focus right after this event; its own announcement
        // (name and first line) would stop the description after one line. So the box
        // says the name and the whole description itself, and the view gets its voice back
        // once that focus has arrived, for the user's own reading.
        TSpeech *speech = DialogHost() ? DialogHost()->InterfaceSpeech() : nullptr;
        VoxRichEdit1->setSpeech(nullptr);
        if (speech)
            speech->Speak(VoxRichEdit1->SpeechName() + VoxRichEdit1->toPlainText());
        QMetaObject::invokeMethod(
            this, [this, speech = QPointer<TSpeech>(speech)] { VoxRichEdit1->setSpeech(speech); },
            Qt::QueuedConnection);
        break;
    }
    case QEvent::HoverMove:
    case QEvent::MouseMove:
        colourLabels(nullptr);
        break;
    default:
        break;
    }
    return QDialog::event(event);
}

bool TAboutForm::eventFilter(QObject *watched, QEvent *event)
{
    auto *label = qobject_cast<QLabel *>(watched);
    if (label && (label == WebLabel || label == UpdateLabel)) {
        if (event->type() == QEvent::Enter || event->type() == QEvent::HoverMove)
            colourLabels(label);
        else if (event->type() == QEvent::Leave)
            colourLabels(nullptr);
        else if (event->type() == QEvent::MouseButtonRelease && !WebAddress().isEmpty())
            OpenWebAddress(WebAddress());
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::keyPressEvent(QKeyEvent *event)
{
    // The box reads its keys before the text view does: Enter and Escape close it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Escape) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutForm::colourLabels(QLabel *hovered)
{
    for (QLabel *label : {WebLabel, UpdateLabel}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, label == hovered ? Qt::red : Qt::blue);
        label->setPalette(palette);
    }
}
