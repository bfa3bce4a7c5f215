#include "app/window_keys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QStyleOptionMenuItem>
#include <QWidget>

namespace vorlino {

namespace {

constexpr char kItemKeyProperty[] = "vorlinoItemKey";

// Sees every ShortcutOverride of the application and refuses the claim of a field of its window
// on a key that a shortcut of that window uses. A line edit claims Ctrl+Z, Ctrl+C and Ctrl+V for
// its text otherwise, and the window's shortcut never runs.
class TWindowKeysFirst : public QObject {
 public:
  explicit TWindowKeysFirst(QWidget* window) : QObject(window), window_(window) {
    QApplication::instance()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget == window_ || widget->window() != window_) return false;
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (const QShortcut* shortcut :
         window_->findChildren<QShortcut*>(Qt::FindDirectChildrenOnly)) {
      if (shortcut->isEnabled() && shortcut->key() == pressed) {
        event->ignore();  // not claimed: the shortcut map gets the key
        return true;
      }
    }
    return false;
  }

 private:
  QWidget* window_;
};

}  // namespace

void TKeyMenu::SetItemKey(QAction* item, const QKeySequence& keys) {
  item->setProperty(kItemKeyProperty, keys);
}

QKeySequence TKeyMenu::ItemKey(const QAction* item) {
  return item->property(kItemKeyProperty).value<QKeySequence>();
}

void TKeyMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
  QMenu::initStyleOption(option, action);
  const QKeySequence keys = ItemKey(action);
  if (!keys.isEmpty() && !option->text.contains(QLatin1Char('\t')))
    option->text += QLatin1Char('\t') + keys.toString(QKeySequence::NativeText);
}

void KeepWindowShortcutsFirst(QWidget* window) {
  new TWindowKeysFirst(window);
}

}  // namespace vorlino
