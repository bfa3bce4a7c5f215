#include "view/my_graphic.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "view/bitmap_image.h"

namespace vorlino {

namespace {
constexpr int kArrowStep = 20;
constexpr int kCheckerSquare = 4;  // logical pixels

// A logical rectangle in the device pixels of a surface drawn at `ratio`.
QRect toDevice(const QRect& r, qreal ratio) {
  if (ratio == 1.0) return r;
  const int left = roundHalfEven(r.left() * ratio), top = roundHalfEven(r.top() * ratio);
  return QRect(left, top, roundHalfEven((r.left() + r.width()) * ratio) - left,
               roundHalfEven((r.top() + r.height()) * ratio) - top);
}

// Two silver squares on white, each `square` device pixels wide.
QImage checkerTile(int square) {
  QImage tile(2 * square, 2 * square, QImage::Format_RGB32);
  tile.fill(qRgb(255, 255, 255));
  for (int y = 0; y < 2 * square; ++y)
    for (int x = 0; x < 2 * square; ++x)
      if ((x < square) == (y < square)) tile.setPixel(x, y, qRgb(0xC0, 0xC0, 0xC0));
  return tile;
}

// A remainder in [0, m), so that the squares keep their phase left of the surface too.
int positiveModulo(int v, int m) {
  const int r = v % m;
  return r < 0 ? r + m : r;
}
}  // namespace

// ---- TMyScrollBox -------------------------------------------------------------------------------

TMyScrollBox::TMyScrollBox(TMyImage* image) : QAbstractScrollArea(image), image_(image) {
  setFrameStyle(QFrame::NoFrame);
  horizontalScrollBar()->setTracking(true);
  verticalScrollBar()->setTracking(true);
  // An arrow key or a wheel notch moves by a visible amount, not by one pixel.
  horizontalScrollBar()->setSingleStep(kArrowStep);
  verticalScrollBar()->setSingleStep(kArrowStep);
  // Every pixel of the viewport is painted by the view, the background included: no erase.
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  // A click on the picture gives it the keyboard, so that the arrows and page keys scroll it
  // rather than change whichever list had the focus before. The viewport passes its focus to the
  // scroll box, and so does its policy.
  viewport()->setFocusPolicy(Qt::ClickFocus);
}

void TMyScrollBox::setExtent(const QSize& extent) {
  extent_ = extent;
  updateRanges();
}

void TMyScrollBox::updateRanges() {
  // When everything fits without scroll bars, the viewport gets the whole area.
  const QSize whole = maximumViewportSize();
  QSize view = viewport()->size();
  if (extent_.width() <= whole.width() && extent_.height() <= whole.height()) view = whole;
  QScrollBar* h = horizontalScrollBar();
  QScrollBar* v = verticalScrollBar();
  h->setPageStep(qMax(1, view.width()));
  v->setPageStep(qMax(1, view.height()));
  h->setRange(0, qMax(0, extent_.width() - view.width()));
  v->setRange(0, qMax(0, extent_.height() - view.height()));
}

void TMyScrollBox::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  image_->paintClient(painter, viewport()->rect());
}

void TMyScrollBox::scrollContentsBy(int, int) {
  // Repaint only for a position not seen yet.
  const QPoint now(horizontalScrollBar()->value(), verticalScrollBar()->value());
  if (now == remembered_) return;
  remembered_ = now;
  viewport()->update();
}

void TMyScrollBox::keyPressEvent(QKeyEvent* event) {
  const bool home = event->key() == Qt::Key_Home;
  if (!home && event->key() != Qt::Key_End) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  // Home and End go to the top and the bottom, or to the left and right ends of a picture that
  // only scrolls sideways.
  QScrollBar* bar =
      verticalScrollBar()->maximum() > 0 ? verticalScrollBar() : horizontalScrollBar();
  bar->triggerAction(home ? QAbstractSlider::SliderToMinimum : QAbstractSlider::SliderToMaximum);
}

void TMyScrollBox::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateRanges();
}

// ---- TMyImage -----------------------------------------------------------------------------------

TMyImage::TMyImage(QWidget* parent) : QFrame(parent), scrollBox_(new TMyScrollBox(this)) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setFocusPolicy(Qt::NoFocus);
  scrollBox_->setGeometry(contentsRect());
  zoomer_.SetAlignment(zaManual);
  zoomer_.SetBitmap(&bitmap_);
  zoomer_.SetSnapToPixels(true);
  display_.SetScreenProfile(ScreenIccProfile());
  UpdateExtent();
}

void TMyImage::BitmapChanged() {
  display_.Invalidate();
  zoomer_.Recompute();
  knownBitmapSize_ = QSize(bitmap_.width(), bitmap_.height());
  // The scroll range follows at once, so that a ScrollTo right after the change is not clamped
  // to the old extent.
  UpdateExtent();
  scrollBox_->viewport()->update();
}

void TMyImage::SetColorProfile(std::vector<std::uint8_t> icc) {
  display_.SetSourceProfile(std::move(icc));
  scrollBox_->viewport()->update();
}

void TMyImage::SetZoom(double zoom) {
  zoomer_.SetZoom(zoom);
  UpdateExtent();
  scrollBox_->viewport()->update();
}

qreal TMyImage::DeviceRatio() const {
  return scrollBox_->viewport()->devicePixelRatioF();
}

void TMyImage::FitInto(int w, int h) {
  const qreal ratio = DeviceRatio();
  zoomer_.SetDrawnWidth(roundHalfEven((w - 2 * margin_) * ratio));
  const int height = roundHalfEven((h - 2 * margin_) * ratio);
  if (height < zoomer_.DrawnHeight()) zoomer_.SetDrawnHeight(height);
  UpdateExtent();
  scrollBox_->viewport()->update();
}

void TMyImage::FitToClient() {
  const QRect client = contentsRect();
  FitInto(client.width(), client.height());
}

void TMyImage::ScrollTo(int x, int y) {
  scrollBox_->horizontalScrollBar()->setValue(x);
  scrollBox_->verticalScrollBar()->setValue(y);
}

void TMyImage::SetShownBitmap(const vorlino::Bitmap* shown) {
  if (shown_ == shown) return;
  shown_ = shown;
  scrollBox_->viewport()->update();
}

void TMyImage::SetStandIn(const vorlino::Bitmap* standIn) {
  if (standIn_ == standIn) return;
  standIn_ = standIn;
  display_.Invalidate();
  scrollBox_->viewport()->update();
}

void TMyImage::SetTransparentDisplay(bool on) {
  if (transparentDisplay_ == on) return;
  transparentDisplay_ = on;
  scrollBox_->viewport()->update();
}

QPoint TMyImage::OriginMarker() const {
  return QPoint(-scrollBox_->horizontalScrollBar()->value(),
                -scrollBox_->verticalScrollBar()->value());
}

QPoint TMyImage::ExtentMarker() const {
  const QSize extent = scrollBox_->extent();
  return OriginMarker() + QPoint(extent.width(), extent.height());
}

void TMyImage::UpdateExtent() {
  // The drawn size is in device pixels; the scroll range in logical ones, rounded up so that the
  // last device pixel column can be reached.
  layoutRatio_ = DeviceRatio();
  const auto logical = [this](int device) {
    return int(std::ceil(device / layoutRatio_ - 1e-9)) + 2 * margin_;
  };
  const QSize extent(logical(zoomer_.DrawnWidth()), logical(zoomer_.DrawnHeight()));
  if (extent == scrollBox_->extent()) return;
  scrollBox_->setExtent(extent);
  scrollBox_->forgetPosition();
}

void TMyImage::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  scrollBox_->setGeometry(contentsRect());
}

void TMyImage::paintClient(QPainter& painter, const QRect& client) {
  if (knownBitmapSize_ != QSize(bitmap_.width(), bitmap_.height())) {
    // Changed without notice: follow the new size as the notification would.
    zoomer_.Recompute();
    knownBitmapSize_ = QSize(bitmap_.width(), bitmap_.height());
    layoutDirty_ = true;
  }
  const qreal ratio = painter.device()->devicePixelRatioF();
  // Moved to a screen of another density: the same zoom covers another logical extent.
  if (layoutDirty_ || ratio != layoutRatio_) {
    UpdateExtent();
    layoutDirty_ = false;
  }
  // The image sits Margin logical pixels in from the top-left of the scrolled area; the zoomer
  // places it in device pixels.
  const QPoint origin = OriginMarker();
  zoomer_.SetLeft(roundHalfEven((origin.x() + margin_) * ratio));
  zoomer_.SetTop(roundHalfEven((origin.y() + margin_) * ratio));

  const vorlino::Bitmap* over = standIn_ != nullptr ? standIn_ : shown_;
  if (!transparentDisplay_ && !(over != nullptr && over->Transparent)) {
    drawSteps(painter, client);
    return;
  }
  // One off-screen image for the whole client area, copied in one operation.
  QImage buffer(toDevice(QRect(QPoint(0, 0), client.size()), ratio).size(),
                QImage::Format_ARGB32_Premultiplied);
  buffer.setDevicePixelRatio(ratio);
  {
    QPainter offscreen(&buffer);
    drawSteps(offscreen, QRect(QPoint(0, 0), client.size()));
  }
  painter.drawImage(client.topLeft(), buffer);
}

void TMyImage::drawSteps(QPainter& painter, const QRect& logicalClient) {
  // Everything below is laid out in device pixels, so that zoom 1 puts one bitmap pixel on one
  // pixel of the screen whatever the scale of the desktop.
  const qreal ratio = painter.device()->devicePixelRatioF();
  painter.save();
  painter.scale(1 / ratio, 1 / ratio);
  const QRect client = toDevice(logicalClient, ratio);
  zoomer_.SetCanvas(&painter);
  zoomer_.SetBounds(client);
  const QRect imageRect = zoomer_.ImageRect();

  const vorlino::Bitmap* over = standIn_ != nullptr ? standIn_ : shown_;
  const vorlino::Bitmap& drawn = over != nullptr ? *over : bitmap_;
  // Key-colour and alpha-channel results alike show what lies behind them as squares.
  if (drawn.Transparent || drawn.bitsPerPixel() == 32) {
    // The squares keep their logical size and fall on whole device pixels.
    const int square = std::max(1, roundHalfEven(kCheckerSquare * ratio));
    if (checkerPattern_.width() != 2 * square) checkerPattern_ = checkerTile(square);
    // The squares move with the image.
    painter.setBrushOrigin(positiveModulo(zoomer_.Left(), 2 * square),
                           positiveModulo(zoomer_.Top(), 2 * square));
    painter.fillRect(client.intersected(imageRect), QBrush(checkerPattern_));
    painter.setBrushOrigin(0, 0);
  }

  if (over == nullptr) {
    // Colour management draws a converted copy of the same size; the layout stays the bitmap's.
    const vorlino::Bitmap& shown = display_.Shown(bitmap_);
    if (&shown != &bitmap_) zoomer_.SetBitmap(&shown);
    zoomer_.Draw(false);
    if (&shown != &bitmap_) zoomer_.SetBitmap(&bitmap_);
  } else {
    drawShown(painter, over == standIn_ ? display_.Shown(*over) : *over);
  }

  QRegion around(client.adjusted(-1, -1, 1, 1));
  around -= imageRect;
  painter.setClipRegion(around);
  painter.fillRect(client.adjusted(-1, -1, 1, 1), palette().color(QPalette::Window));
  painter.setClipping(false);
  painter.restore();
  // The painter ends with the paint event; do not keep a pointer to it.
  zoomer_.SetCanvas(nullptr);
}

void TMyImage::drawShown(QPainter& painter, const vorlino::Bitmap& shown) {
  if (shown.width() == bitmap_.width() && shown.height() == bitmap_.height()) {
    // Same size: drawn by the very steps that draw the working bitmap.
    zoomer_.SetBitmap(&shown);
    zoomer_.Draw(false);
    zoomer_.SetBitmap(&bitmap_);
    return;
  }
  // A reduced copy: the plan is the working bitmap's, so the picture sits exactly where it would,
  // and its source rectangle is scaled down to the copy.
  const ZoomDrawPlan plan = planZoomDraw(zoomer_.Bounds(), QPoint(zoomer_.Left(), zoomer_.Top()),
                                         zoomer_.Zoom(), bitmap_.width(), bitmap_.height(), false);
  if (plan.target.isEmpty() || shown.empty() || bitmap_.empty()) return;
  const double sx = static_cast<double>(shown.width()) / bitmap_.width();
  const double sy = static_cast<double>(shown.height()) / bitmap_.height();
  const QRectF source(plan.source.left() * sx, plan.source.top() * sy, plan.source.width() * sx,
                      plan.source.height() * sy);
  const QRect whole =
      source.toAlignedRect().intersected(QRect(0, 0, shown.width(), shown.height()));
  if (whole.isEmpty()) return;
  // Where `whole` starts inside the image drawn from.
  QImage image;
  QPoint offset;
  if (shown.Transparent) {
    image = maskedImageOfArea(shown, whole, whole.size(), ColorToRGB(shown.TransparentColor));
  } else {
    const BitmapArea area = imageOfArea(shown, whole);
    image = area.image;
    offset = area.source.topLeft();
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawImage(QRectF(plan.target), image, source.translated(offset - whole.topLeft()));
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

}  // namespace vorlino
