#include "app/form_widgets.h"

#include <QMouseEvent>
#include <QPainter>

#include "view/bitmap_image.h"

namespace vorlino {

void TZoomComboBox::showPopup() {
  emit dropDown();
  QComboBox::showPopup();
}

void TZoomComboBox::hidePopup() {
  QComboBox::hidePopup();
  emit closeUp();
}

void TClickPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) event->accept();
}

void TClickPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
}

TMaskImage::TMaskImage(const vorlino::Bitmap& picture, QWidget* parent)
    : QWidget(parent), picture_(picture) {}

void TMaskImage::PictureChanged() {
  scaled_ = QImage();
  update();
}

void TMaskImage::paintEvent(QPaintEvent*) {
  if (picture_.empty() || width() <= 0 || height() <= 0) return;
  const qreal ratio = devicePixelRatioF();
  const QSize target(qRound(width() * ratio), qRound(height() * ratio));
  if (scaled_.size() != target) {
    const BitmapArea area = imageOfArea(picture_, QRect(0, 0, picture_.width(), picture_.height()));
    scaled_ = area.image.copy(area.source)
                  .scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled_.setDevicePixelRatio(ratio);
  }
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), scaled_);
}

void TMaskImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) event->accept();
}

void TMaskImage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
}

}  // namespace vorlino
