#include "controls/up_down.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimerEvent>

namespace vorlino {

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_Hover);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
}

void TUpDown::setOrientation(Qt::Orientation orientation) {
  if (orientation_ == orientation) return;
  orientation_ = orientation;
  update();
}

QSize TUpDown::sizeHint() const {
  const int side = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  return orientation_ == Qt::Vertical ? QSize(side, 2 * side) : QSize(2 * side, side);
}

QRect TUpDown::arrowRect(Arrow arrow) const {
  if (arrow == udNone) return {};
  // Two equal halves; an odd size leaves the middle line between them, so that either arrow can
  // be shown whole on its own (the previous/next button lets its parent clip the other).
  const QRect r = rect();
  if (orientation_ == Qt::Vertical) {
    const int half = r.height() / 2;
    return arrow == udFirst ? QRect(0, 0, r.width(), half)
                            : QRect(0, r.height() - half, r.width(), half);
  }
  const int half = r.width() / 2;
  return arrow == udFirst ? QRect(0, 0, half, r.height())
                          : QRect(r.width() - half, 0, half, r.height());
}

TUpDown::Arrow TUpDown::arrowAt(const QPoint& pos) const {
  if (arrowRect(udFirst).contains(pos)) return udFirst;
  if (arrowRect(udSecond).contains(pos)) return udSecond;
  return udNone;
}

bool TUpDown::onVisiblePart(const QPoint& pos) const {
  if (!rect().contains(pos)) return false;
  const QWidget* parent = parentWidget();
  if (!parent || isWindow()) return true;
  return parent->rect().contains(mapToParent(pos));
}

void TUpDown::setPressed(Arrow arrow) {
  const bool wasPressed = pressed_ != udNone;
  pressed_ = arrow;
  if (wasPressed != (arrow != udNone)) emit pressedChanged(arrow != udNone);
  update();
}

void TUpDown::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  QStyle* st = style();
  for (Arrow arrow : {udFirst, udSecond}) {
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = arrowRect(arrow);
    option.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
    const bool sunken = pressed_ == arrow && pointerOnPressed_;
    option.state |= sunken ? QStyle::State_Sunken : QStyle::State_Raised;
    if (hovered_ == arrow && isEnabled()) option.state |= QStyle::State_MouseOver;
    st->drawPrimitive(QStyle::PE_PanelButtonBevel, &option, &painter, this);

    QStyleOption arrowOption = option;
    // Keep the arrow glyph small and centred, as on the platform's arrow buttons.
    const int inset = qMax(2, qMin(option.rect.width(), option.rect.height()) / 4);
    arrowOption.rect = option.rect.adjusted(inset, inset, -inset, -inset);
    if (sunken)
      arrowOption.rect.translate(st->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                                 st->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    QStyle::PrimitiveElement glyph;
    if (orientation_ == Qt::Vertical)
      glyph = arrow == udFirst ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown;
    else
      glyph = arrow == udFirst ? QStyle::PE_IndicatorArrowLeft : QStyle::PE_IndicatorArrowRight;
    st->drawPrimitive(glyph, &arrowOption, &painter, this);
  }
}

void TUpDown::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || pressed_ != udNone) {
    event->ignore();
    return;
  }
  const QPoint pos = event->position().toPoint();
  const Arrow arrow = arrowAt(pos);
  if (arrow == udNone || !onVisiblePart(pos)) {
    event->ignore();
    return;
  }
  pointerOnPressed_ = true;
  setPressed(arrow);
  if (clickMode_ == cmPressRepeat) {
    repeatTimer_.start(
        style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatThreshold, nullptr, this), this);
    emit arrowClicked(arrow);
  }
}

void TUpDown::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const Arrow under = onVisiblePart(pos) ? arrowAt(pos) : udNone;
  if (under != hovered_) {
    hovered_ = under;
    update();
  }
  if (pressed_ != udNone) {
    const bool on = under == pressed_;
    if (on != pointerOnPressed_) {
      pointerOnPressed_ = on;
      update();
    }
  }
}

void TUpDown::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || pressed_ == udNone) {
    event->ignore();
    return;
  }
  const Arrow arrow = pressed_;
  repeatTimer_.stop();
  const bool fire = clickMode_ == cmRelease && onVisiblePart(event->position().toPoint());
  pointerOnPressed_ = false;
  setPressed(udNone);
  if (fire) emit arrowClicked(arrow);
}

void TUpDown::timerEvent(QTimerEvent* event) {
  if (event->timerId() != repeatTimer_.timerId()) {
    QWidget::timerEvent(event);
    return;
  }
  repeatTimer_.start(style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatRate, nullptr, this),
                     this);
  if (pressed_ != udNone && pointerOnPressed_) emit arrowClicked(pressed_);
}

void TUpDown::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) {
    repeatTimer_.stop();
    pointerOnPressed_ = false;
    hovered_ = udNone;
    if (pressed_ != udNone) setPressed(udNone);
  }
  QWidget::changeEvent(event);
}

void TUpDown::leaveEvent(QEvent* event) {
  if (hovered_ != udNone) {
    hovered_ = udNone;
    update();
  }
  QWidget::leaveEvent(event);
}

}  // namespace vorlino
