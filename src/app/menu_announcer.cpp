#include "app/menu_announcer.h"

#include "speech/controls/vox_voice.h"
#include "speech/tspeech.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTimer>

namespace {

const char AttachedProperty[] = "talvinMenuAnnounced";
const char SystemMenuProperty[] = "talvinSystemMenu";

// The standard entries of a window's system menu, by their untranslated captions.
QString systemMenuWord(const QAction *action)
{
    static const QList<QPair<QString, QString>> words = {
        {QStringLiteral("Restore"), QStringLiteral("востановить")},
        {QStringLiteral("Move"), QStringLiteral("переместить")},
        {QStringLiteral("Size"), QStringLiteral("размер")},
        {QStringLiteral("Minimize"), QStringLiteral("свернуть")},
        {QStringLiteral("Maximize"), QStringLiteral("развернуть")},
        {QStringLiteral("Close"), QStringLiteral("закрыть")},
    };
    const QString caption = CaptionForSpeech(action->text());
    for (const auto &[english, word] : words) {
        if (caption.compare(english, Qt::CaseInsensitive) == 0)
            return word;
    }
    return caption;
}

} // namespace

TMenuAnnouncer::TMenuAnnouncer(QMenuBar *menuBar, TSpeech *speech, QObject *parent)
    : QObject(parent), m_menuBar(menuBar), m_menuBarObject(menuBar), m_speech(speech)
{
    connect(menuBar, &QMenuBar::hovered, this,
            [this](QAction *action) { MenuMessage(action, m_menuBar); });
    menuBar->installEventFilter(this);
    for (QAction *action : menuBar->actions()) {
        if (action->menu())
            attach(action->menu());
    }
}

void TMenuAnnouncer::attach(QMenu *menu)
{
    if (!menu || menu->property(AttachedProperty).toBool())
        return;
    menu->setProperty(AttachedProperty, true);
    connect(menu, &QMenu::hovered, this,
            [this, menu](QAction *action) { MenuMessage(action, menu); });
    connect(menu, &QMenu::aboutToShow, this, [this] { m_inMenu = true; });
    // Hiding one menu may only be the move to the next one: decide once Qt has settled.
    connect(menu, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, this, &TMenuAnnouncer::checkLeft); });
    menu->installEventFilter(this);
    for (QAction *action : menu->actions()) {
        if (action->menu())
            attach(action->menu());
    }
}

void TMenuAnnouncer::AttachSystemMenu(QMenu *systemMenu)
{
    if (!systemMenu || systemMenu->property(SystemMenuProperty).toBool())
        return;
    systemMenu->setProperty(SystemMenuProperty, true);
    attach(systemMenu);
    connect(systemMenu, &QMenu::aboutToShow, this,
            [this] { say(QStringLiteral("Системное меню")); });
}

void TMenuAnnouncer::MenuMessage(QAction *action, QWidget *where)
{
    if (!action || !m_menuBar)
        return;
    // Qt repeats a sub-menu's highlight in every menu above it; the menu that holds the
    // entry speaks for it.
    if (where && !where->actions().contains(action))
        return;
    m_inMenu = true;
    if (action->menu())
        attach(action->menu());
    if (where && where->property(SystemMenuProperty).toBool()) {
        say(systemMenuWord(action));
        return;
    }
    if (where == m_menuBar) {
        SayMainMenu(int(m_menuBar->actions().indexOf(action)), -1);
        return;
    }
    // An item of a menu on the bar is found by its place there (the last place wins when
    // the same command sits in two menus); anything deeper is said by its own caption.
    const QList<QAction *> bar = m_menuBar->actions();
    int foundMenu = -1;
    int foundItem = -1;
    for (int i = 0; i < bar.size(); ++i) {
        QMenu *menu = bar[i]->menu();
        if (!menu)
            continue;
        const QList<QAction *> items = menu->actions();
        for (int j = 0; j < items.size(); ++j) {
            if (items[j] == action) {
                foundMenu = i;
                foundItem = j;
            }
        }
    }
    if (foundMenu >= 0)
        SayMainMenu(foundMenu, foundItem);
    else
        say(CaptionForSpeech(action->text()));
}

void TMenuAnnouncer::SayMainMenu(int i, int j)
{
    if (!m_menuBar || i < 0)
        return;
    const QList<QAction *> bar = m_menuBar->actions();
    if (i >= bar.size())
        return;
    if (j < 0) {
        say(CaptionForSpeech(bar[i]->text()));
        return;
    }
    QMenu *menu = bar[i]->menu();
    if (!menu || j >= menu->actions().size())
        return;
    say(CaptionForSpeech(menu->actions().at(j)->text()));
}

bool TMenuAnnouncer::eventFilter(QObject *watched, QEvent *event)
{
    // A chosen item runs its command while the menu closes; the user hears that the menu
    // was left before whatever the command says.
    if (auto *menu = qobject_cast<QMenu *>(watched)) {
        QAction *chosen = nullptr;
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                chosen = menu->activeAction();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            chosen = menu->actionAt(static_cast<QMouseEvent *>(event)->position().toPoint());
        }
        if (chosen && chosen->isEnabled() && !chosen->isSeparator() && !chosen->menu() && m_inMenu)
            sayLeft();
    } else if (watched == m_menuBarObject) {
        // Escape out of the bar or a click elsewhere takes the focus from it.
        if (event->type() == QEvent::FocusOut || event->type() == QEvent::Leave)
            QTimer::singleShot(0, this, &TMenuAnnouncer::checkLeft);
    }
    return QObject::eventFilter(watched, event);
}

// The menu is left when no menu is open and the bar has nothing highlighted.
void TMenuAnnouncer::checkLeft()
{
    if (!m_inMenu || !m_menuBar)
        return;
    if (qobject_cast<QMenu *>(QApplication::activePopupWidget()) || m_menuBar->activeAction())
        return;
    // A command that opened a dialog has taken over; the dialog speaks for itself.
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != m_menuBar->window()) {
        m_inMenu = false;
        return;
    }
    sayLeft();
}

void TMenuAnnouncer::sayLeft()
{
    m_inMenu = false;
    say(QStringLiteral("вышел из меню"));
}

void TMenuAnnouncer::say(const QString &text)
{
    if (!m_speech || VoxVoice::ScreenReaderReadsControls())
        return;
    // Called from Qt's menu signals, which must not be left by an exception.
    try {
        m_speech->Stop();
        m_speech->Speak(text);
    } catch (const ETalvinError &error) {
        qWarning("Menu announcement: %s", qUtf8Printable(error.message()));
        if (OnError)
            OnError(error.message());
    }
}
