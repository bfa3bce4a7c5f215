// The main window's keys. A menu key (Ctrl+O, Ctrl+Z...) refreshes its menu, as opening the menu
// would, and then runs the item when it is enabled; and the window's keys act on the picture even
// while a side panel field holds the keyboard.
#pragma once

#include <functional>

class QAction;
class QWidget;

namespace vorlino {

// Makes item's shortcut key run `run` instead of triggering the item, also while the item is
// disabled (run refreshes it first). Exactly one shortcut per key is live at any time: the item's
// own while it is enabled, otherwise a window shortcut named after the item ("...Shortcut"). Two
// live shortcuts on one key would make Qt run neither.
void AddMenuKey(QAction* item, QWidget* window, std::function<void()> run);

// Installed for a window: the fields of that window no longer claim a key that one of its menu
// keys uses (a line edit otherwise takes Ctrl+Z, Ctrl+C and Ctrl+V for its text). Freed with the
// window.
void KeepWindowShortcutsFirst(QWidget* window);

}  // namespace vorlino
