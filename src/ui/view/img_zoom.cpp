#include "view/img_zoom.h"

#include <QPaintDevice>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cmath>

#include "view/bitmap_image.h"

namespace vorlino {
namespace {

// Coordinates are kept within +-2^30 so that no sum of two of them overflows, in QRect included.
constexpr qint64 kCoordLimit = qint64(1) << 30;

int clampCoord(qint64 v) {
  return int(std::clamp(v, -kCoordLimit, kCoordLimit));
}

int clampCoord(double v) {
  if (std::isnan(v)) return 0;
  return int(std::clamp(v, double(-kCoordLimit), double(kCoordLimit)));
}

// A rectangle from its edges, right and bottom exclusive.
QRect edges(qint64 left, qint64 top, qint64 right, qint64 bottom) {
  const int l = clampCoord(left), t = clampCoord(top);
  return QRect(l, t, clampCoord(right) - l, clampCoord(bottom) - t);
}

// The logical size of a painter's device: widgets report it directly, images and pixmaps in
// device pixels.
QRect deviceRect(const QPainter& painter) {
  const QPaintDevice* device = painter.device();
  if (!device) return {};
  if (device->devType() == QInternal::Widget) return QRect(0, 0, device->width(), device->height());
  const qreal ratio = device->devicePixelRatioF();
  return QRect(0, 0, roundHalfEven(device->width() / ratio),
               roundHalfEven(device->height() / ratio));
}

}  // namespace

int roundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  // nearbyint follows the default rounding mode: to nearest, ties to even.
  return clampCoord(std::nearbyint(value));
}

double zoomForMode(TZoomMode mode, double current, const QRect& bounds, int width, int height) {
  const double byWidth = width > 0 ? double(bounds.width()) / width : 0.0;
  const double byHeight = height > 0 ? double(bounds.height()) / height : 0.0;
  switch (mode) {
    case zmNormal:
      return 1.0;
    case zmFitWidth:
      return byWidth;
    case zmFitHeight:
      return byHeight;
    case zmFitInside:
      return std::min(byWidth, byHeight);
    case zmCustom:
      break;
  }
  return current;
}

QPoint alignedPosition(TZoomAlignment alignment, const QRect& bounds, int drawnWidth,
                       int drawnHeight, QPoint current) {
  // C++ integer division truncates towards zero, which is the centring rule.
  const int left = bounds.left();
  const int centreX = clampCoord(left + (qint64(bounds.width()) - drawnWidth) / 2);
  const int rightX = clampCoord(qint64(left) + bounds.width() - drawnWidth);
  const int top = bounds.top();
  const int centreY = clampCoord(top + (qint64(bounds.height()) - drawnHeight) / 2);
  const int bottomY = clampCoord(qint64(top) + bounds.height() - drawnHeight);
  switch (alignment) {
    case zaTopLeft:
      return {left, top};
    case zaTop:
      return {centreX, top};
    case zaTopRight:
      return {rightX, top};
    case zaLeft:
      return {left, centreY};
    case zaCenter:
      return {centreX, centreY};
    case zaRight:
      return {rightX, centreY};
    case zaBottomLeft:
      return {left, bottomY};
    case zaBottom:
      return {centreX, bottomY};
    case zaBottomRight:
      return {rightX, bottomY};
    case zaCenterHorz:
      return {centreX, current.y()};
    case zaCenterVert:
      return {current.x(), centreY};
    case zaManual:
      break;
  }
  return current;
}

ZoomDrawPlan planZoomDraw(const QRect& bounds, QPoint origin, double zoom, int width, int height,
                          bool snapToPixels) {
  ZoomDrawPlan plan;
  if (!(zoom > 0) || width <= 0 || height <= 0) return plan;
  const qint64 ox = origin.x(), oy = origin.y();
  const QRect drawn =
      edges(ox, oy, ox + roundHalfEven(width * zoom), oy + roundHalfEven(height * zoom));
  QRect visible = drawn.intersected(bounds);
  if (visible.isEmpty()) return plan;

  // Only the bitmap pixels that can be seen are copied.
  const qint64 visibleRight = qint64(visible.left()) + visible.width();
  const qint64 visibleBottom = qint64(visible.top()) + visible.height();
  const QRect source = edges(clampCoord(std::trunc((visible.left() - ox) / zoom)),
                             clampCoord(std::trunc((visible.top() - oy) / zoom)),
                             clampCoord(std::ceil((visibleRight - ox) / zoom)),
                             clampCoord(std::ceil((visibleBottom - oy) / zoom)))
                           .intersected(QRect(0, 0, width, height));
  if (source.isEmpty()) return plan;

  if (snapToPixels && zoom > 1) {
    // Whole blocks aligned with the image's origin; the first and last may overhang bounds.
    const qint64 left = clampCoord(std::trunc(source.left() * zoom + double(ox)));
    const qint64 top = clampCoord(std::trunc(source.top() * zoom + double(oy)));
    const qint64 right = clampCoord(std::trunc(source.width() * zoom + double(left)));
    const qint64 bottom = clampCoord(std::trunc(source.height() * zoom + double(top)));
    visible = edges(left, top, right, bottom);
    plan.snapped = true;
  }
  plan.target = visible;
  plan.source = source;
  return plan;
}

void TImageZoom::SetBitmap(const vorlino::Bitmap* bitmap) {
  if (bitmap_ == bitmap) return;
  bitmap_ = bitmap;
  Recompute();
}

void TImageZoom::SetCanvas(QPainter* canvas) {
  canvas_ = canvas;
  if (!canvas)
    bounds_ = QRect();
  else if (canvas->hasClipping())
    bounds_ = canvas->clipBoundingRect().toAlignedRect();
  else
    bounds_ = canvas->transform().inverted().mapRect(deviceRect(*canvas));
  Recompute();
}

void TImageZoom::SetBounds(const QRect& bounds) {
  if (bounds_ == bounds) return;
  bounds_ = bounds;
  Recompute();
}

void TImageZoom::SetLeft(int left) {
  left_ = left;
  alignment_ = zaManual;
}

void TImageZoom::SetTop(int top) {
  top_ = top;
  alignment_ = zaManual;
}

void TImageZoom::SetZoom(double zoom) {
  if (!(zoom > 0)) zoom = 1.0;
  zoomMode_ = zmCustom;
  if (zoom == zoom_) return;
  zoom_ = zoom;
  Recompute();
}

void TImageZoom::SetDrawnWidth(int w) {
  // An empty bitmap has no scale to derive: its width would divide by zero.
  if (!bitmap_ || bitmap_->width() <= 0 || w <= 0 || w == drawnWidth_) return;
  drawnWidth_ = w;
  zoom_ = double(w) / bitmap_->width();
  drawnHeight_ = roundHalfEven(bitmap_->height() * zoom_);
  zoomMode_ = zmCustom;
  Reposition();
}

void TImageZoom::SetDrawnHeight(int h) {
  if (!bitmap_ || bitmap_->height() <= 0 || h <= 0 || h == drawnHeight_) return;
  drawnHeight_ = h;
  zoom_ = double(h) / bitmap_->height();
  drawnWidth_ = roundHalfEven(bitmap_->width() * zoom_);
  zoomMode_ = zmCustom;
  Reposition();
}

void TImageZoom::SetZoomMode(TZoomMode mode) {
  if (zoomMode_ == mode) return;
  zoomMode_ = mode;
  Recompute();
}

void TImageZoom::SetAlignment(TZoomAlignment alignment) {
  if (alignment_ == alignment) return;
  alignment_ = alignment;
  Reposition();
}

void TImageZoom::Recompute() {
  if (!bitmap_) {
    drawnWidth_ = 0;
    drawnHeight_ = 0;
    return;
  }
  if (!bounds_.isEmpty())
    zoom_ = zoomForMode(zoomMode_, zoom_, bounds_, bitmap_->width(), bitmap_->height());
  drawnWidth_ = roundHalfEven(bitmap_->width() * zoom_);
  drawnHeight_ = roundHalfEven(bitmap_->height() * zoom_);
  Reposition();
}

void TImageZoom::Reposition() {
  if (!bitmap_ || bounds_.isEmpty() || alignment_ == zaManual) return;
  const QPoint p =
      alignedPosition(alignment_, bounds_, drawnWidth_, drawnHeight_, QPoint(left_, top_));
  left_ = p.x();
  top_ = p.y();
}

QRect TImageZoom::Draw(bool fill) {
  if (!bitmap_ || !canvas_) return {};
  QPainter& painter = *canvas_;
  const ZoomDrawPlan plan = planZoomDraw(bounds_, QPoint(left_, top_), zoom_, bitmap_->width(),
                                         bitmap_->height(), snapToPixels_);
  if (plan.target.isEmpty()) {
    if (fill) painter.fillRect(bounds_, painter.brush());
    return {};
  }
  if (plan.snapped) painter.setClipRect(bounds_, Qt::IntersectClip);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, halftone_);

  if (bitmap_->Transparent) {
    if (fill) painter.fillRect(plan.target, painter.brush());
    const Color key = ColorToRGB(bitmap_->TransparentColor);
    // The target as the device sees it: on a scaled desktop it covers more pixels than its size.
    const QTransform& device = painter.deviceTransform();
    const QSize deviceTarget(
        std::max(1, roundHalfEven(plan.target.width() * std::hypot(device.m11(), device.m12()))),
        std::max(1, roundHalfEven(plan.target.height() * std::hypot(device.m21(), device.m22()))));
    const qint64 targetArea = qint64(deviceTarget.width()) * deviceTarget.height();
    const qint64 sourceArea = qint64(plan.source.width()) * plan.source.height();
    if (!halftone_ && targetArea < sourceArea) {
      // Reducing: sample straight to the device size, so the cost follows the visible area.
      const QImage image = maskedImageOfArea(*bitmap_, plan.source, deviceTarget, key);
      if (deviceTarget == plan.target.size())
        painter.drawImage(plan.target.topLeft(), image);
      else
        painter.drawImage(QRectF(plan.target), image, QRectF(image.rect()));
    } else {
      const QImage image = maskedImageOfArea(*bitmap_, plan.source, plan.source.size(), key);
      painter.drawImage(QRectF(plan.target), image, QRectF(image.rect()));
    }
  } else {
    const BitmapArea area = imageOfArea(*bitmap_, plan.source);
    painter.drawImage(QRectF(plan.target), area.image, QRectF(area.source));
  }

  const QRect covered = plan.target.intersected(bounds_);
  if (fill) {
    const QRect everything(-int(kCoordLimit), -int(kCoordLimit), int(2 * kCoordLimit - 1),
                           int(2 * kCoordLimit - 1));
    painter.setClipRegion(QRegion(everything).subtracted(QRegion(covered)), Qt::IntersectClip);
    painter.fillRect(bounds_, painter.brush());
  }
  return covered;
}

}  // namespace vorlino
