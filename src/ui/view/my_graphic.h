// The zoomable image view in the middle of the main window.
//
// TMyImage owns the working bitmap and shows it at a zoom chosen by the main window, Margin pixels
// in from the top-left of the scrolled area, with scroll bars when the image and its margins do not
// fit. It is passive: no mouse or key behaviour beyond scrolling (a click gives it the keyboard
// for the arrows, page keys, Home and End), no events of its own. A
// transparent bitmap shows a white and silver checkerboard through its transparent colour, moving
// with the image. Only the visible part of the bitmap is drawn at each paint.
//
// Zoom is counted in device pixels: at zoom 1 one bitmap pixel covers one pixel of the screen, so
// on a desktop scaled by 2 the picture takes half its size in logical pixels. The zoomer therefore
// lays the picture out in the viewport's device pixels; the margin, the scroll range and the
// scroll position stay logical, as Qt gives them.
//
// The view cannot see changes made to its bitmap: whoever changes it calls BitmapChanged() (a
// change of size is also picked up at the next paint).
#pragma once

#include <QAbstractScrollArea>
#include <QFrame>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"
#include "view/display_profile.h"
#include "view/img_zoom.h"

namespace vorlino {

class TMyImage;

// The scroll bars of the view. Its scroll range covers exactly the extent the view gives it (the
// drawn image plus the margins); its viewport is where the view paints. Both bars track.
class TMyScrollBox : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TMyScrollBox(TMyImage* image);

  // Size of the scrolled area; setting a new one recomputes the ranges at once.
  QSize extent() const { return extent_; }
  void setExtent(const QSize& extent);

  // The last scroll positions seen, (-1, -1) when unknown.
  QPoint rememberedPosition() const { return remembered_; }
  void forgetPosition() { remembered_ = QPoint(-1, -1); }

  QSize sizeHint() const override { return QSize(200, 200); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void updateRanges();

  TMyImage* image_;
  QSize extent_;
  QPoint remembered_{-1, -1};
};

class TMyImage : public QFrame {
  Q_OBJECT

 public:
  explicit TMyImage(QWidget* parent = nullptr);

  // The working bitmap, owned by the view.
  vorlino::Bitmap& Bitmap() { return bitmap_; }
  const vorlino::Bitmap& Bitmap() const { return bitmap_; }
  // To be called after every change of the bitmap: the drawn size and the scroll range follow the
  // new bitmap size at the current zoom, and the view repaints.
  void BitmapChanged();

  // The ICC profile embedded in the document's file (empty: untagged). The view then shows the
  // pixels converted to the screen's profile, without changing the bitmap.
  void SetColorProfile(std::vector<std::uint8_t> icc);
  const TDisplayProfile& Display() const { return display_; }
  // Shows `shown` in place of the working bitmap, laid out exactly where the working bitmap is; a
  // bitmap of another size is stretched over that place (a reduced copy for a fitted zoom).
  // nullptr shows the working bitmap again. The view does not own it: reset it before it goes.
  void SetShownBitmap(const vorlino::Bitmap* shown);
  const vorlino::Bitmap* ShownBitmap() const { return shown_; }
  // A stand-in drawn as SetShownBitmap draws, over both the working bitmap and any shown bitmap,
  // while the working bitmap holds no picture yet (a large photo still decoding). nullptr ends it.
  // The view does not own it.
  void SetStandIn(const vorlino::Bitmap* standIn);
  const vorlino::Bitmap* StandIn() const { return standIn_; }

  // Explicit zoom in device pixels per bitmap pixel (a value <= 0 means 1).
  void SetZoom(double zoom);
  double GetZoom() const { return zoomer_.Zoom(); }
  // The largest zoom at which the image and its margins fit w x h logical pixels, by width first,
  // then height; may enlarge. FitToClient fits the view's client area (inside the border).
  void FitInto(int w, int h);
  void FitToClient();
  void ScrollTo(int x, int y);

  int Margin() const { return margin_; }
  bool TransparentDisplay() const { return transparentDisplay_; }
  // Paint through an off-screen image; the main window sets it with the bitmap's transparent flag.
  void SetTransparentDisplay(bool on);

  // Device pixels per logical pixel of the viewport (2 on a desktop scaled by 2).
  qreal DeviceRatio() const;

  TMyScrollBox* ScrollBox() const { return scrollBox_; }
  // Its drawn size and position are in device pixels of the viewport.
  const TImageZoom& Zoomer() const { return zoomer_; }
  // The top-left of the scrolled area in the scroll box's client coordinates (it moves with the
  // scroll position), and its far corner: the image plus the margins.
  QPoint OriginMarker() const;
  QPoint ExtentMarker() const;

  QSize sizeHint() const override { return QSize(400, 300); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class TMyScrollBox;
  void UpdateExtent();
  void paintClient(QPainter& painter, const QRect& client);
  void drawSteps(QPainter& painter, const QRect& logicalClient);
  void drawShown(QPainter& painter, const vorlino::Bitmap& shown);

  TMyScrollBox* scrollBox_;
  int margin_ = 8;
  vorlino::Bitmap bitmap_;
  const vorlino::Bitmap* shown_ = nullptr;
  const vorlino::Bitmap* standIn_ = nullptr;
  TImageZoom zoomer_;
  QSize knownBitmapSize_;
  bool transparentDisplay_ = false;
  bool layoutDirty_ = false;
  qreal layoutRatio_ = 1.0;  // the device ratio the scroll extent was computed for
  QImage checkerPattern_;    // built on first use, for the current device ratio
  TDisplayProfile display_;
};

}  // namespace vorlino
