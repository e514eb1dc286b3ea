#include "speech/help/help_form.h"

#include "config/config_files.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/controls/vox_selection.h"
#include "speech/controls/vox_tree_view.h"
#include "speech/help/help.h"
#include "speech/help/help_text_file.h"
#include "speech/tspeech.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>

namespace {

bool isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

THelpForm::THelpForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("Помощь Talvin"));
    setMinimumSize(550, 350);
    resize(700, 450);
    // An open viewer must not keep the program running after the main window closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    VoxTreeView1 = new TVoxTreeView;
    VoxTreeView1->setObjectName(QStringLiteral("VoxTreeView1"));
    VoxRichEdit1 = new TVoxRichEdit;
    VoxRichEdit1->setObjectName(QStringLiteral("VoxRichEdit1"));
    VoxRichEdit1->setReadOnly(true);
    VoxRichEdit1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    VoxRichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    VoxRichEdit1->setUndoRedoEnabled(false);
    VoxTreeView1->setSpeechName(QStringLiteral("Дерево помощи"));
    VoxRichEdit1->setSpeechName(QStringLiteral("Текст помощи"));

    m_splitter = new QSplitter(Qt::Horizontal);
    m_splitter->addWidget(VoxTreeView1);
    m_splitter->addWidget(VoxRichEdit1);
    m_splitter->setStretchFactor(1, 3);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);

    VoxTreeView1->installEventFilter(this);
    VoxRichEdit1->installEventFilter(this);
}

void THelpForm::SetHelp(const QString &topic)
{
    VoxTreeView1->setSpeech(HelpSpeech());
    VoxRichEdit1->setSpeech(HelpSpeech());
    const QString path = ProgramDir() + QStringLiteral("/help/") + topic + QStringLiteral(".txt");
    const std::optional<QString> text =
        QFile::exists(path) ? ReadHelpText(path) : std::optional<QString>();
    if (!text) {
        VoxShowMessage(QStringLiteral("Не найден раздел справки."),
                       QStringLiteral("Файл \"") + topic + QStringLiteral(".txt \"") +
                           QStringLiteral(" отсутствует, либо поврежден."));
        return;
    }
    VoxRichEdit1->setPlainText(*text);
    if (text->isEmpty())
        return;
    // The title line stands out in bold; the cursor goes back to an unformatted start.
    QTextCursor title(VoxRichEdit1->document()->firstBlock());
    title.select(QTextCursor::BlockUnderCursor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    title.mergeCharFormat(bold);
    VoxRichEdit1->moveCursor(QTextCursor::Start);
    VoxRichEdit1->setCurrentCharFormat(QTextCharFormat());
    if (TSpeech *speech = HelpSpeech()) {
        speech->Stop();
        speech->Speak(*text);
    }
}

bool THelpForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool press = event->type() == QEvent::KeyPress;

    // Enter belongs to the viewer, not to the tree: its release must not make the tree
    // announce the node over the topic that has just started.
    if (watched == VoxTreeView1 && isEnter(key)) {
        if (press) {
            if (const QTreeWidgetItem *node = SelectedTreeItem(VoxTreeView1))
                SetHelp(node->text(0));
        }
        return true;
    }
    if (watched == VoxRichEdit1 && isEnter(key)) {
        if (press) {
            const QString text = VoxRichEdit1->toPlainText();
            if (text.isEmpty()) {
                VoxRichEdit1->Announce(QStringLiteral("Текст помощи пусто"));
            } else {
                if (TSpeech *speech = HelpSpeech())
                    speech->Stop();
                VoxRichEdit1->Announce(QStringLiteral("Текст помощи ") +
                                       VoxRichEdit1->document()->firstBlock().text());
            }
        }
        return true;
    }
    if (key->key() == Qt::Key_Escape && (watched == VoxTreeView1 || watched == VoxRichEdit1)) {
        if (press)
            close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void THelpForm::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // A hidden viewer must not stay the active window (some platforms leave it so): the
    // next ShowHelp then activates it afresh and the focused pane announces itself.
    if (QApplication::activeWindow() == this)
        QApplication::setActiveWindow(nullptr);
}

void THelpForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (!isVisible())
        return;
    if (TSpeech *speech = HelpSpeech()) {
        speech->Stop();
        speech->Speak(QStringLiteral("Помощь закрыта"));
    }
}
