#include "controls/visual_styles.h"

#include <QApplication>
#include <QString>
#include <QStyle>

namespace vorlino {
namespace {

bool gVisualStyles = false;
BeepHandler gBeepHandler = nullptr;

}  // namespace

bool visualStylesEnabled() {
  return gVisualStyles;
}
void setVisualStylesEnabled(bool enabled) {
  gVisualStyles = enabled;
}

bool styleDrawsThemedControls(const QStyle* style) {
  if (!style) return false;
  // Only these styles hand the drawing to a native theme engine; Fusion, Windows (classic) and
  // the desktop styles of Linux draw everything themselves.
  const QString name = style->name().toLower();
  return name == QLatin1String("windowsvista") || name == QLatin1String("windows11") ||
         name == QLatin1String("macos");
}

BeepHandler setBeepHandler(BeepHandler handler) {
  BeepHandler previous = gBeepHandler;
  gBeepHandler = handler;
  return previous;
}

void beep() {
  if (gBeepHandler)
    gBeepHandler();
  else
    QApplication::beep();
}

}  // namespace vorlino
