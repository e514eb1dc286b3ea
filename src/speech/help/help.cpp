#include "speech/help/help.h"

#include "config/config_files.h"
#include "speech/controls/vox_rich_edit.h"
#include "speech/controls/vox_tree_view.h"
#include "speech/help/help_form.h"
#include "speech/help/help_text_file.h"
#include "speech/help/help_tree.h"
#include "speech/help/vox_show_message_form.h"
#include "speech/tspeech.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QtDebug>

namespace {

QPointer<TSpeech> helpSpeech;

QString notFoundText(const QString &what)
{
    return QStringLiteral("Файл \"") + what + QStringLiteral(" отсутствует, либо поврежден.");
}

} // namespace

void SetHelpSpeech(TSpeech *speech)
{
    helpSpeech = speech;
}

TSpeech *HelpSpeech()
{
    return helpSpeech;
}

THelpForm *HelpForm()
{
    static QPointer<THelpForm> form;
    if (!form)
        form = new THelpForm;
    return form;
}

TVoxShowMessageForm *VoxShowMessageForm()
{
    static QPointer<TVoxShowMessageForm> form;
    if (!form)
        form = new TVoxShowMessageForm;
    return form;
}

void ShowHelp(const QString &topic)
{
    THelpForm *form = HelpForm();
    form->VoxTreeView1->setSpeech(HelpSpeech());
    form->VoxRichEdit1->setSpeech(HelpSpeech());
    form->VoxTreeView1->setSpeechName(QStringLiteral("Дерево помощи"));
    form->VoxRichEdit1->setSpeechName(QStringLiteral("Текст помощи"));
    form->VoxTreeView1->clear();

    const QString treePath = ProgramDir() + QStringLiteral("/help/helptree.txt");
    const QString treeError = notFoundText(treePath + QLatin1Char('"'));
    const QString treeTitle = QStringLiteral("Talvin Help configuration error");
    if (!QFile::exists(treePath)) {
        VoxShowMessage(treeTitle, treeError);
    } else if (const std::optional<QString> text = ReadHelpText(treePath)) {
        try {
            LoadHelpTree(form->VoxTreeView1, *text);
        } catch (const EHelpTreeError &error) {
            // The nodes before the faulty line stay usable; the topic is still read.
            qWarning().noquote() << treePath << ":" << error.message();
            VoxShowMessage(treeTitle, treeError);
        }
    } else {
        VoxShowMessage(treeTitle, treeError);
    }

    // The tree opens on the topic being read, so its announcement and the text agree.
    const QList<QTreeWidgetItem *> nodes =
        form->VoxTreeView1->findItems(topic, Qt::MatchFixedString | Qt::MatchRecursive);
    if (!nodes.isEmpty()) {
        for (QTreeWidgetItem *up = nodes.front()->parent(); up; up = up->parent())
            up->setExpanded(true);
        form->VoxTreeView1->setCurrentItem(nodes.front());
    }

    // Help asked for from a modal dialog (its Help button) must be reachable: a plain
    // window would be blocked by that dialog, so the viewer is then modal itself, on top,
    // until it is closed.
    QWidget *modal = QApplication::activeModalWidget();
    const Qt::WindowModality modality =
        modal && modal != form ? Qt::ApplicationModal : Qt::NonModal;
    if (form->windowModality() != modality) {
        if (form->isVisible())
            form->hide();
        form->setWindowModality(modality);
    }
    form->show();
    form->raise();
    form->activateWindow();
    // Take the focus now rather than when the window system gets round to it: the focused
    // pane announces itself, and that must come before the topic, not cut into it.
    QApplication::setActiveWindow(form);
    form->SetHelp(topic);
}

void VoxShowMessage(const QString &title, const QString &text)
{
    TVoxShowMessageForm *form = VoxShowMessageForm();
    if (form->isVisible()) {
        // A message raised while another one is open gets a box of its own.
        TVoxShowMessageForm nested;
        nested.ShowMessage(title, text);
        return;
    }
    form->ShowMessage(title, text);
}
