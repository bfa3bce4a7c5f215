#include "controls/color_popup.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScreen>
#include <QToolTip>

namespace vorlino {
namespace {

const QColor kMidGrey(128, 128, 128);
constexpr int kCustomHintMsecs = 5000;

bool matchesMnemonic(const QString& caption, const QKeyEvent* event) {
  if (caption.isEmpty() || !(event->modifiers() & Qt::AltModifier)) return false;
  const QKeySequence mnemonic = QKeySequence::mnemonic(caption);
  if (mnemonic.isEmpty()) return false;
  return mnemonic[0].key() == Qt::Key(event->key());
}

QPolygon hexagon(QPoint centre, int size) {
  const std::vector<QPoint> corners = hexagonCorners(centre, size);
  return QPolygon(QList<QPoint>(corners.begin(), corners.end()));
}

}  // namespace

TColorPopup::TColorPopup(QWidget* owner)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint) {
  // The press that closes the palette must not reach the control under it (the arrow would reopen
  // the palette at once).
  setAttribute(Qt::WA_NoMouseReplay);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  greyRow_ = buildGreyRow();
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive && isVisible()) emit closeRequested();
          });
  adjustWindow();
}

void TColorPopup::setDefaultText(const QString& text) {
  if (text == defaultText_) return;
  defaultText_ = text;
  adjustWindow();
}

void TColorPopup::setCustomText(const QString& text) {
  if (text == customText_) return;
  customText_ = text;
  adjustWindow();
}

void TColorPopup::setShowSystemColors(bool show) {
  if (show == layout_.shape.showSystemColors) return;
  layout_.shape.showSystemColors = show;
  adjustWindow();
}

void TColorPopup::setSpacing(int spacing) {
  spacing = std::max(0, spacing);
  if (spacing == layout_.shape.spacing) return;
  layout_.shape.spacing = spacing;
  adjustWindow();
}

void TColorPopup::adjustWindow() {
  PaletteShape shape = layout_.shape;
  shape.hasDefault = !defaultText_.isEmpty();
  shape.hasCustom = !customText_.isEmpty();
  QSize caption;
  if (shape.hasDefault || shape.hasCustom) {
    const QFontMetrics fm(font());
    caption = fm.size(Qt::TextShowMnemonic, defaultText_)
                  .expandedTo(fm.size(Qt::TextShowMnemonic, customText_));
  }
  layout_ = layoutPalette(shape, caption);
  comb_ = layoutComb(kEdge, layout_.shape.spacing, layout_.height);
  if (hotIndex_ > layout_.shape.lastCell()) hotIndex_ = kNoCell;
  if (selectedIndex_ > layout_.shape.lastCell()) selectedIndex_ = kNoCell;
  setFixedSize(layout_.width, customMode_ ? comb_.windowHeight : layout_.height);
  update();
}

const TCombArray& TColorPopup::colorComb() {
  if (colorComb_.empty()) colorComb_ = buildColorComb(brightness_);
  return colorComb_;
}

Color TColorPopup::customColor() {
  if (customIndex_ > 0) return colorComb()[customIndex_ - 1].color;
  if (customIndex_ < 0) return greyRow_[-customIndex_ - 1].color;
  return kNoColor;
}

void TColorPopup::selectColor(Color c) {
  int selected = kNoCell;
  customIndex_ = 0;
  if (c == kNoColor) {
    selected = kNoCell;
  } else if (c == kDefaultColor) {
    selected = defaultText_.isEmpty() ? kNoCell : kDefaultCell;
  } else if (isSystemColor(c) && showSystemColors() && (c & 0xFF) < kSystemCellCount &&
             (c & ~(kSystemColorFlag | 0xFF)) == 0) {
    selected = kFirstSystemCell + int(c & 0xFF);
  } else {
    const Color plain = ColorToRGB(c);
    for (int i = 0; i < kPaletteCellCount && selected == kNoCell; ++i)
      if (paletteColor(i) == plain) selected = i;
    for (int i = 0; showSystemColors() && i < kSystemCellCount && selected == kNoCell; ++i)
      if (ColorToRGB(systemColor(i)) == plain) selected = kFirstSystemCell + i;
    if (selected == kNoCell) {
      for (std::size_t i = 0; i < greyRow_.size() && customIndex_ == 0; ++i)
        if (greyRow_[i].color == plain) customIndex_ = -int(i) - 1;
      const TCombArray& comb = colorComb();
      for (std::size_t i = 0; i < comb.size() && customIndex_ == 0; ++i)
        if (comb[i].color == plain) customIndex_ = int(i) + 1;
      if (customIndex_ != 0) {
        selected = kCustomCell;
        enterCustomMode();
      }
    }
  }
  selectedIndex_ = selected;
  update();
}

void TColorPopup::placeAndShow(const QRect& anchor) {
  anchor_ = anchor;
  hotIndex_ = selectedIndex_;
  leftHeld_ = false;
  dragArea_ = daNone;
  setFixedSize(layout_.width, customMode_ ? comb_.windowHeight : layout_.height);
  QScreen* screen = QGuiApplication::screenAt(anchor.center());
  if (screen == nullptr) screen = this->screen();
  move(placePopup(anchor, size(), screen->geometry()));
  show();
  raise();
}

void TColorPopup::enterCustomMode() {
  selectedIndex_ = kCustomCell;
  if (customMode_) return;
  customMode_ = true;
  setFixedSize(layout_.width, comb_.windowHeight);
  if (isVisible()) {
    // Grown downwards: it may now pass the screen's bottom and have to open above the anchor.
    QScreen* screen = QGuiApplication::screenAt(anchor_.center());
    if (screen == nullptr) screen = this->screen();
    move(placePopup(anchor_, size(), screen->geometry()));
  }
  update();
}

int TColorPopup::hitTest(QPoint p) const {
  return rect().contains(p) ? hitTestPalette(layout_, p) : kNoCell;
}

void TColorPopup::setHot(int cell) {
  if (cell == hotIndex_) return;
  hotIndex_ = cell;
  update();
}

void TColorPopup::take(int cell) {
  selectedIndex_ = cell;
  update();
  emit taken(cell);
}

void TColorPopup::setCustomIndex(int index) {
  if (index == customIndex_) return;
  customIndex_ = index;
  update();
}

void TColorPopup::handleCustomDrag(QPoint p) {
  const QRect& bar = comb_.brightnessBar;
  const bool overBarColumn = p.x() >= bar.left() && p.x() <= bar.right();
  if ((dragArea_ == daNone && bar.contains(p)) || (dragArea_ == daBar && overBarColumn)) {
    dragArea_ = daBar;
    const double b = brightnessAt(bar, p.y());
    if (b != brightness_) {
      brightness_ = b;
      colorComb_.clear();  // rebuilt with the new centre on the next paint or lookup
      update();
    }
  } else if ((dragArea_ == daNone || dragArea_ == daGrey) && comb_.greyRow.contains(p)) {
    dragArea_ = daGrey;
    const int i = hitGreyRow(greyRow_, p - comb_.greyRow.topLeft());
    setCustomIndex(i >= 0 ? -i - 1 : 0);
  } else if ((dragArea_ == daNone || dragArea_ == daComb) && comb_.combSquare.contains(p)) {
    dragArea_ = daComb;
    const int i = hitColorComb(colorComb(), p - comb_.combCentre());
    setCustomIndex(i >= 0 ? i + 1 : 0);
  } else {
    setCustomIndex(0);
  }
  showDragHint(p);
}

void TColorPopup::showDragHint(QPoint p) {
  if (!showHints_ || !isVisible()) return;
  const Hint h = hintAt(p);
  if (h.text.isEmpty())
    QToolTip::hideText();
  else
    QToolTip::showText(mapToGlobal(h.at), h.text, this, QRect(), h.msecs);
}

TColorPopup::Hint TColorPopup::hintAt(QPoint p) {
  Hint h;
  h.at = p;
  const int cell = hitTest(p);
  auto ownerHint = [this](int c) { return hintProvider_ ? hintProvider_(c) : QString(); };
  if (cell >= kFirstSystemCell) {
    h.text = systemColorName(cell);
    h.area = cellRect(layout_, cell);
  } else if (cell >= 0) {
    h.text = paletteColorName(cell);
    h.area = cellRect(layout_, cell);
  } else if (cell == kDefaultCell || cell == kCustomCell) {
    h.text = ownerHint(cell);
    h.area = cell == kDefaultCell ? layout_.defaultButton : layout_.customButton;
  } else if (customMode_ &&
             (dragArea_ == daBar || (dragArea_ == daNone && comb_.brightnessBar.contains(p)))) {
    h.text = tr("Intensité: %1%").arg(roundEven(brightness_ * 100.0));
    h.at = QPoint(comb_.brightnessBar.right() + 1, p.y() - 8);
    h.msecs = kCustomHintMsecs;
  } else {
    Color c = kNoColor;
    if (customMode_ && (dragArea_ == daComb || dragArea_ == daGrey)) {
      c = customColor();
    } else if (customMode_ && comb_.greyRow.contains(p)) {
      const int i = hitGreyRow(greyRow_, p - comb_.greyRow.topLeft());
      if (i >= 0) c = greyRow_[i].color;
    }
    if (c == kNoColor && customMode_ && dragArea_ == daNone && comb_.combSquare.contains(p)) {
      const int i = hitColorComb(colorComb(), p - comb_.combCentre());
      if (i >= 0) c = colorComb()[i].color;
    }
    if (c != kNoColor) {
      h.text = tr("Rouge: %1, Vert: %2, Bleue: %3").arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c));
      h.msecs = kCustomHintMsecs;
    } else {
      h.text = ownerHint(kNoCell);
    }
  }
  return h;
}

bool TColorPopup::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const Hint h = showHints_ ? hintAt(help->pos()) : Hint{};
    if (h.text.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(mapToGlobal(h.at), h.text, this, h.area, h.msecs);
    }
    return true;
  }
  return QWidget::event(event);
}

void TColorPopup::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  if (!rect().contains(p)) {
    emit closeRequested();
    return;
  }
  leftHeld_ = true;
  const int cell = hitTest(p);
  hotIndex_ = cell;
  if (cell == kNoCell && customMode_) handleCustomDrag(p);
  update();
}

void TColorPopup::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

void TColorPopup::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const int cell = hitTest(p);
  setHot(cell);
  if ((event->buttons() & Qt::LeftButton) && cell == kNoCell && customMode_) handleCustomDrag(p);
}

void TColorPopup::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  leftHeld_ = false;
  const DragArea drag = dragArea_;
  dragArea_ = daNone;
  const int cell = hitTest(event->position().toPoint());
  if (cell >= 0 || cell == kDefaultCell) {
    take(cell);
  } else if (cell == kCustomCell) {
    enterCustomMode();
  } else if ((drag == daComb || drag == daGrey) && customIndex_ != 0) {
    take(kCustomCell);
  } else {
    update();
  }
}

void TColorPopup::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      emit closeRequested();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      // On the custom button the key opens the comb, as a click does, rather than closing the
      // palette with nothing; with a comb colour chosen it takes that colour.
      if (hotIndex_ == kCustomCell && (!customMode_ || customIndex_ == 0))
        enterCustomMode();
      else
        take(hotIndex_);
      return;
    case Qt::Key_Left:
      setHot(moveHot(layout_.shape, hotIndex_, PaletteKey::pkLeft));
      return;
    case Qt::Key_Up:
      setHot(moveHot(layout_.shape, hotIndex_, PaletteKey::pkUp));
      return;
    case Qt::Key_Right:
      setHot(moveHot(layout_.shape, hotIndex_, PaletteKey::pkRight));
      return;
    case Qt::Key_Down:
      setHot(moveHot(layout_.shape, hotIndex_, PaletteKey::pkDown));
      return;
    default:
      break;
  }
  if (matchesMnemonic(defaultText_, event)) {
    take(kDefaultCell);
  } else if (matchesMnemonic(customText_, event)) {
    enterCustomMode();
  } else {
    event->ignore();
  }
}

void TColorPopup::focusOutEvent(QFocusEvent* event) {
  // Another popup taking the keyboard is not a loss of focus for the palette.
  if (isVisible() && event->reason() != Qt::PopupFocusReason) emit closeRequested();
  QWidget::focusOutEvent(event);
}

void TColorPopup::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  customMode_ = false;
  dragArea_ = daNone;
  leftHeld_ = false;
  setFixedSize(layout_.width, layout_.height);
  emit hidden();
}

// ---- painting -------------------------------------------------------------------------------

void TColorPopup::paintCell(QPainter& p, const QRect& r, int cell) {
  const bool selected = cell == selectedIndex_;
  const bool hot = cell == hotIndex_;
  p.fillRect(r, palette().color((selected && !hot) ? QPalette::Light : QPalette::Button));
  if (selected || (hot && leftHeld_))
    qDrawShadePanel(&p, r, palette(), true, 1);
  else if (hot)
    qDrawShadePanel(&p, r, palette(), false, 1);
  const QRect swatch = r.adjusted(kEdge + 1, kEdge + 1, -(kEdge + 1), -(kEdge + 1));
  p.setPen(kMidGrey);
  p.setBrush(toQColor(cellColor(cell)));
  p.drawRect(swatch.adjusted(0, 0, -1, -1));
}

void TColorPopup::paintTextButton(QPainter& p, const QRect& r, int cell, const QString& text) {
  const bool selected = cell == selectedIndex_;
  const bool hot = cell == hotIndex_;
  p.fillRect(r, palette().color((selected && !hot) ? QPalette::Light : QPalette::Button));
  if (selected || (hot && leftHeld_))
    qDrawShadePanel(&p, r, palette(), true, 1);
  else if (hot)
    qDrawShadePanel(&p, r, palette(), false, 1);
  p.setPen(palette().color(QPalette::ButtonText));
  p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text);
}

void TColorPopup::paintCustomAreas(QPainter& p) {
  const int top = comb_.combSquare.top();
  // Drawn at the screen's density, so that the cells keep sharp edges on a scaled desktop.
  const qreal ratio = devicePixelRatioF();
  const QSize logical(width(), comb_.combSquare.height() + comb_.greyRow.height() + 2 * kEdge);
  QImage image(qRound(logical.width() * ratio), qRound(logical.height() * ratio),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(palette().color(QPalette::Button));
  QPainter ip(&image);
  ip.translate(0, -top);
  ip.setPen(Qt::NoPen);

  const TCombArray& comb = colorComb();
  const QPoint centre = comb_.combCentre();
  for (const CombCell& c : comb) {
    ip.setBrush(toQColor(c.color));
    ip.drawPolygon(hexagon(centre + QPoint(c.x, c.y), kCombCell));
  }
  const QPoint greyOrigin = comb_.greyRow.topLeft();
  for (std::size_t i = 0; i < greyRow_.size(); ++i) {
    const bool end = i == 0 || i + 1 == greyRow_.size();
    ip.setBrush(toQColor(greyRow_[i].color));
    ip.drawPolygon(hexagon(greyOrigin + QPoint(greyRow_[i].x, greyRow_[i].y),
                           end ? 2 * kCombCell : kCombCell));
  }
  // The chosen cell: a white outline in XOR, visible on any colour.
  if (customIndex_ != 0) {
    ip.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    ip.setPen(QPen(Qt::white, 1));
    ip.setBrush(Qt::NoBrush);
    if (customIndex_ > 0) {
      const CombCell& c = comb[customIndex_ - 1];
      ip.drawPolygon(hexagon(centre + QPoint(c.x, c.y), kCombCell));
    } else {
      const int i = -customIndex_ - 1;
      const bool end = i == 0 || i + 1 == int(greyRow_.size());
      ip.drawPolygon(hexagon(greyOrigin + QPoint(greyRow_[i].x, greyRow_[i].y),
                             end ? 2 * kCombCell : kCombCell));
    }
    ip.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  // The brightness bar: a ramp from white to black and a triangle at the current level.
  const QRect& bar = comb_.brightnessBar;
  for (int n = 0; n < bar.height(); ++n) {
    const int grey = rampGrey(bar, n);
    ip.setPen(QColor(grey, grey, grey));
    ip.drawLine(bar.left(), bar.top() + n, bar.left() + 9, bar.top() + n);
  }
  const int y = brightnessMarkY(bar, brightness_);
  const int tip = bar.left() + 11;
  ip.setPen(Qt::black);
  ip.setBrush(Qt::black);
  ip.drawPolygon(QPolygon({QPoint(tip, y), QPoint(tip + 5, y - 3), QPoint(tip + 5, y + 3)}));
  ip.end();
  p.drawImage(0, top, image);
}

void TColorPopup::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Button));
  if (layout_.shape.hasDefault)
    paintTextButton(p, layout_.defaultButton, kDefaultCell, defaultText_);
  for (int cell = 0; cell < kPaletteCellCount; ++cell) paintCell(p, cellRect(layout_, cell), cell);
  const int left = kEdge + layout_.shape.spacing;
  const int right = layout_.width - kEdge - layout_.shape.spacing - 1;
  if (layout_.shape.showSystemColors) {
    const int y = (cellRect(layout_, kPaletteCellCount - 1).bottom() +
                   cellRect(layout_, kFirstSystemCell).top()) /
                  2;
    qDrawShadeLine(&p, left, y, right, y, palette(), true, 1, 0);
    for (int cell = kFirstSystemCell; cell <= layout_.shape.lastCell(); ++cell)
      paintCell(p, cellRect(layout_, cell), cell);
  }
  if (layout_.shape.hasCustom) {
    const int y = layout_.customButton.top() + 1;
    qDrawShadeLine(&p, left, y, right, y, palette(), true, 1, 0);
    QRect face = layout_.customFace;
    paintTextButton(p, face, kCustomCell, QString());
    face.setRight(layout_.customSwatch.left() - kEdge);
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(face, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, customText_);
    const Color chosen = customColor();
    if (chosen != kNoColor) {
      p.setPen(kMidGrey);
      p.setBrush(toQColor(chosen));
    } else {
      p.setPen(palette().color(QPalette::Dark));
      p.setBrush(Qt::NoBrush);
    }
    p.drawRect(layout_.customSwatch.adjusted(0, 0, -1, -1));
  }
  if (customMode_) paintCustomAreas(p);
  qDrawWinPanel(&p, rect(), palette(), false);
}

}  // namespace vorlino
