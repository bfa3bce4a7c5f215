// A pair of arrow buttons drawn with the current style's primitives: the stand-in for the
// platform's up-down control. Vertical: an up arrow over a down arrow; horizontal: a left arrow
// beside a right arrow. Each arrow takes half of the widget.
//
// Two ways of reporting a click, as the owners need them:
// - PressRepeat (spin fields): a click on the press, repeated while the arrow stays held down and
//   the pointer stays on it, after the style's auto-repeat threshold and at its rate.
// - Release (previous/next buttons): one click on release, only when the press started on an
//   arrow and the release point lies on the visible part of the widget; holding never repeats.
// Only the left button acts. The widget may be larger than its parent (the previous/next button
// shows one arrow by letting the parent clip the other); "visible" means inside the parent.
#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace vorlino {

class TUpDown : public QWidget {
  Q_OBJECT

 public:
  enum Arrow {
    udNone = -1,
    udFirst = 0,
    udSecond = 1
  };  // first: up or left; second: down or right
  enum ClickMode { cmPressRepeat, cmRelease };

  explicit TUpDown(QWidget* parent = nullptr);

  Qt::Orientation orientation() const { return orientation_; }
  void setOrientation(Qt::Orientation orientation);
  ClickMode clickMode() const { return clickMode_; }
  void setClickMode(ClickMode mode) { clickMode_ = mode; }

  // The arrow held down by the left button, udNone when none.
  Arrow pressedArrow() const { return pressed_; }
  // The rectangle of one arrow in widget coordinates, and the arrow under a point.
  QRect arrowRect(Arrow arrow) const;
  Arrow arrowAt(const QPoint& pos) const;

  QSize sizeHint() const override;

 signals:
  void arrowClicked(vorlino::TUpDown::Arrow arrow);
  void pressedChanged(bool pressed);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void changeEvent(QEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool onVisiblePart(const QPoint& pos) const;
  void setPressed(Arrow arrow);

  Qt::Orientation orientation_ = Qt::Vertical;
  ClickMode clickMode_ = cmPressRepeat;
  Arrow pressed_ = udNone;
  Arrow hovered_ = udNone;
  bool pointerOnPressed_ = false;
  QBasicTimer repeatTimer_;
};

}  // namespace vorlino
