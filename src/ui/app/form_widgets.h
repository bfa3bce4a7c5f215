// Small widgets of the main window: the zoom list that reports its drop-down and close-up, and
// the clickable mask panel with the picture that shows the mask.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QWidget>

#include "bitmap/bitmap.h"

namespace vorlino {

class TZoomComboBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;
  void showPopup() override;
  void hidePopup() override;

 signals:
  void dropDown();  // the list is about to open
  void closeUp();   // the list has just closed (after the selection, if any, was made)
};

// A framed panel that reports a click (press and release of the left button inside it).
class TClickPanel : public QFrame {
  Q_OBJECT

 public:
  using QFrame::QFrame;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// Shows a bitmap stretched to its own size; reports clicks like TClickPanel. Call PictureChanged
// after every change of the bitmap.
class TMaskImage : public QWidget {
  Q_OBJECT

 public:
  TMaskImage(const vorlino::Bitmap& picture, QWidget* parent = nullptr);
  void PictureChanged();

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const vorlino::Bitmap& picture_;
  QImage scaled_;  // the picture at the widget's size, made on first paint after a change
};

}  // namespace vorlino
