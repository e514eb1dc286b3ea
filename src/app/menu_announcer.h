#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;
class TSpeech;

// Speaks the main menu as the user walks it, through the interface voice: the caption of
// each menu on the menu bar, each highlighted item (in sub-menus too), and "вышел из меню"
// when the menu is left altogether (Escape out of the bar, a click elsewhere, or an item
// chosen: then before the item's own command runs). Moving from one menu to the next is not
// a leaving. Each announcement cuts off the one before.
//
//     new TMenuAnnouncer(menuBar(), Speech1, this);
//
// Menus added to the bar later are picked up when they are first highlighted.
class TMenuAnnouncer : public QObject
{
    Q_OBJECT

public:
    TMenuAnnouncer(QMenuBar *menuBar, TSpeech *speech, QObject *parent = nullptr);

    // Announces a window's system menu (QMdiSubWindow::systemMenu()): "Системное меню" when
    // it opens, its standard entries as "востановить", "переместить", "размер", "свернуть",
    // "развернуть", "закрыть", anything else by caption, and the leaving as for the bar.
    void AttachSystemMenu(QMenu *systemMenu);

    // A highlighted entry: on the bar its caption; in a menu the item's caption.
    void MenuMessage(QAction *action, QWidget *where);
    // Says top-level menu i, or its item j when j >= 0; nothing for i < 0 or positions
    // that do not exist. Positions count separators.
    void SayMainMenu(int i, int j);

    // A voice that failed; the main window logs it as "Exception: " + message.
    std::function<void(const QString &message)> OnError;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void attach(QMenu *menu);
    void checkLeft();
    void sayLeft();
    void say(const QString &text);

    QPointer<QMenuBar> m_menuBar;
    // The bar's address, only compared: events still reach the filter while the bar is
    // destroyed, when reading it through the QPointer as a QMenuBar is undefined.
    const QObject *m_menuBarObject;
    QPointer<TSpeech> m_speech;
    bool m_inMenu = false;
};
