// A small button showing one arrow (down, up, left or right) and firing one click per press: the
// drop-down arrow of the colour field, among others.
//
// The arrow is half of an up-down arrow pair (TMyUpDown) about twice the button's size along the
// arrow's axis, placed so that only the wanted half lies inside the button; the button clips the
// rest. A press on the arrow sets Down(); releasing on the button fires OnClick() once. Holding
// never repeats, and releasing elsewhere fires nothing. Disabling the button disables the arrow.
#pragma once

#include <QRect>
#include <QWidget>

#include "controls/up_down.h"

namespace vorlino {

enum TPNStyle { stDown, stUp, stLeft, stRight };

// The up-down pair inside a TPrevNextButton: reports its pressed state and one click on release.
class TMyUpDown : public TUpDown {
  Q_OBJECT

 public:
  explicit TMyUpDown(QWidget* parent = nullptr);
  bool pressedFlag() const { return pressedArrow() != udNone; }
};

class TPrevNextButton : public QWidget {
  Q_OBJECT

 public:
  explicit TPrevNextButton(QWidget* parent = nullptr);

  // True while the arrow is held down.
  bool Down() const { return upDown_->pressedFlag(); }
  TPNStyle Style() const { return style_; }
  void SetStyle(TPNStyle style);

  TMyUpDown* upDown() const { return upDown_; }

  // Where the up-down pair goes for a button of width w and height h (left, top, right, bottom as
  // in QRect::adjusted terms: right and bottom exclusive), grown by one pixel on every side when
  // visual styles are on.
  static QRect upDownRect(TPNStyle style, int w, int h, bool visualStyles);

  // A square whose side is the style's scroll-bar arrow width.
  QSize sizeHint() const override;

 signals:
  void OnClick();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void layoutUpDown();

  TPNStyle style_ = stDown;
  TMyUpDown* upDown_;
};

}  // namespace vorlino
