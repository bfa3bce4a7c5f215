#include "app/window_keys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QWidget>
#include <utility>

namespace vorlino {

namespace {

// Takes the item's own shortcut event and runs the key's command in its place.
class TMenuKey : public QObject {
 public:
  TMenuKey(QAction* item, std::function<void()> run) : QObject(item), run_(std::move(run)) {
    item->installEventFilter(this);
  }
  void Run() { run_(); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Shortcut) return false;
    Run();
    return true;
  }

 private:
  std::function<void()> run_;
};

// Sees every ShortcutOverride of the application and refuses the claim of a field of its window
// on a key that one of the window's shortcuts uses, so that the shortcut map gets the key.
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
      if (shortcut->key() == pressed) {
        event->ignore();  // not claimed
        return true;
      }
    }
    return false;
  }

 private:
  QWidget* window_;
};

}  // namespace

void AddMenuKey(QAction* item, QWidget* window, std::function<void()> run) {
  auto* key = new TMenuKey(item, std::move(run));
  auto* shortcut = new QShortcut(item->shortcut(), window);
  shortcut->setObjectName(item->objectName() + QStringLiteral("Shortcut"));
  shortcut->setEnabled(!item->isEnabled());
  QObject::connect(item, &QAction::enabledChanged, shortcut,
                   [shortcut](bool enabled) { shortcut->setEnabled(!enabled); });
  QObject::connect(shortcut, &QShortcut::activated, key, &TMenuKey::Run);
}

void KeepWindowShortcutsFirst(QWidget* window) {
  new TWindowKeysFirst(window);
}

}  // namespace vorlino
