#include "dialogs/modal.h"

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <utility>

namespace vorlino {

namespace {

ModalHook& modalHook() {
  static ModalHook hook;
  return hook;
}

QPixmap glyph(bool ok, qreal ratio) {
  QPixmap pixmap(qRound(16 * ratio), qRound(16 * ratio));
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QPen pen(ok ? QColor(0, 128, 0) : QColor(192, 0, 0), 2.4, Qt::SolidLine, Qt::RoundCap,
           Qt::RoundJoin);
  p.setPen(pen);
  if (ok) {
    QPainterPath tick;
    tick.moveTo(3, 8.5);
    tick.lineTo(6.5, 12);
    tick.lineTo(13, 4);
    p.drawPath(tick);
  } else {
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
  }
  return pixmap;
}

// Drawn for 1x and for the screen's density, so that neither is an enlarged copy of the other.
QIcon glyphIcon(bool ok) {
  QIcon icon(glyph(ok, 1.0));
  const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
  if (ratio != 1.0) icon.addPixmap(glyph(ok, ratio));
  return icon;
}

}  // namespace

ModalHook SetModalHook(ModalHook hook) {
  return std::exchange(modalHook(), std::move(hook));
}

int ExecModal(QDialog& dialog) {
  if (!modalHook()) return dialog.exec();
  dialog.setResult(QDialog::Rejected);
  dialog.show();
  QApplication::processEvents();
  // The hook may install another hook for dialogs it opens; keep ours for the time of the call.
  const ModalHook hook = modalHook();
  hook(dialog);
  if (dialog.isVisible()) dialog.reject();
  return dialog.result();
}

QFont DialogFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(11);
  return font;
}

QIcon OkGlyph() {
  return glyphIcon(true);
}

QIcon CancelGlyph() {
  return glyphIcon(false);
}

void Place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(left, top, width, height);
}

void PlaceAt(QWidget* widget, int left, int top) {
  widget->adjustSize();
  widget->move(left, top);
}

}  // namespace vorlino
