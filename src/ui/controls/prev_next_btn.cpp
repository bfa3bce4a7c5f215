#include "controls/prev_next_btn.h"

#include <QStyle>

#include "controls/visual_styles.h"

namespace vorlino {

TMyUpDown::TMyUpDown(QWidget* parent) : TUpDown(parent) {
  setClickMode(cmRelease);
}

TPrevNextButton::TPrevNextButton(QWidget* parent) : QWidget(parent), upDown_(new TMyUpDown(this)) {
  connect(upDown_, &TUpDown::arrowClicked, this, [this](TUpDown::Arrow) { emit OnClick(); });
  resize(sizeHint());
  layoutUpDown();
  upDown_->show();
}

QSize TPrevNextButton::sizeHint() const {
  const int side = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  return {side, side};
}

QRect TPrevNextButton::upDownRect(TPNStyle style, int w, int h, bool visualStyles) {
  int left = 0, top = 0, right = w, bottom = h;
  switch (style) {
    case stDown:
      top = -(h + 1);
      break;
    case stUp:
      bottom = 2 * h + 1;
      break;
    case stLeft:
      right = 2 * w + 1;
      break;
    case stRight:
      left = -(w + 1);
      break;
  }
  if (visualStyles) {
    --left;
    --top;
    ++right;
    ++bottom;
  }
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void TPrevNextButton::SetStyle(TPNStyle style) {
  if (style_ == style) return;
  style_ = style;
  layoutUpDown();
}

void TPrevNextButton::layoutUpDown() {
  upDown_->setOrientation(style_ == stDown || style_ == stUp ? Qt::Vertical : Qt::Horizontal);
  upDown_->setGeometry(upDownRect(style_, width(), height(), visualStylesEnabled()));
}

void TPrevNextButton::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutUpDown();
}

}  // namespace vorlino
