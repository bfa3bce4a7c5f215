// The main window's keys. Each menu key (Ctrl+O, Ctrl+Z...) is one window shortcut that refreshes
// its menu and then runs the item when enabled; the item carries the key only as text to show, so
// that no second shortcut competes for the same key (Qt then runs neither). While a side panel
// field holds the keyboard, the window's keys still act on the picture, not on the field's text.
#pragma once

#include <QKeySequence>
#include <QMenu>
#include <QObject>

class QAction;
class QWidget;

namespace vorlino {

// A menu that shows beside an item the key given by SetItemKey.
class TKeyMenu : public QMenu {
  Q_OBJECT

 public:
  using QMenu::QMenu;
  static void SetItemKey(QAction* item, const QKeySequence& keys);
  static QKeySequence ItemKey(const QAction* item);

 protected:
  void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
};

// Installed for a window: the fields of that window no longer claim a key that one of the
// window's own shortcuts (its direct QShortcut children) uses. Freed with the window.
void KeepWindowShortcutsFirst(QWidget* window);

}  // namespace vorlino
