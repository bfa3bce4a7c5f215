// Zoomed drawing: lays a bitmap out at a scale factor inside a rectangle of a drawing surface and
// draws its visible part in one stretched copy.
//
// TImageZoom keeps the zoom, the drawn size and the image's position consistent whenever the
// bitmap, the surface, the rectangle, the zoom rule or the alignment changes. It refers to a bitmap
// and a QPainter that its owner keeps alive (set them to nullptr before they go away) and holds
// nothing between calls. Used by the image view, the picture open dialog's preview and the print
// layout dialog.
//
// Rectangles are QRects (left, top, width, height). Round means nearest, ties to even.
#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>

#include "bitmap/bitmap.h"

class QPainter;

namespace vorlino {

enum TZoomMode : std::uint8_t {
  zmNormal,     // Zoom 1
  zmFitWidth,   // Bounds width / bitmap width
  zmFitHeight,  // Bounds height / bitmap height
  zmFitInside,  // the largest factor at which the whole image fits Bounds (may enlarge)
  zmCustom      // the value last given
};

enum TZoomAlignment : std::uint8_t {
  zaTopLeft,
  zaTop,
  zaTopRight,
  zaLeft,
  zaCenter,
  zaRight,
  zaBottomLeft,
  zaBottom,
  zaBottomRight,
  zaCenterHorz,  // centred horizontally, top unchanged
  zaCenterVert,  // centred vertically, left unchanged
  zaManual       // Left and Top as given
};

// ---- layout arithmetic, free of any surface ---------------------------------------------------

// Nearest integer, ties to even, saturated to +-2^30 so that sums of two results cannot overflow.
int roundHalfEven(double value);

// The zoom that `mode` gives for a width x height bitmap in a non-empty `bounds`; zmCustom keeps
// `current`, a fitting mode gives 0 for an empty bitmap.
double zoomForMode(TZoomMode mode, double current, const QRect& bounds, int width, int height);

// The image position that `alignment` gives for a drawn size inside `bounds`; coordinates the
// alignment leaves alone keep the value of `current`. Centring truncates towards zero, so an image
// larger than bounds gets a negative offset.
QPoint alignedPosition(TZoomAlignment alignment, const QRect& bounds, int drawnWidth,
                       int drawnHeight, QPoint current);

// What Draw copies: the bitmap rectangle `source` onto the surface rectangle `target`.
struct ZoomDrawPlan {
  QRect target;  // may overhang bounds by part of a block when snapped
  QRect source;  // inside the bitmap
  bool snapped = false;
};

// The plan for drawing a width x height bitmap at `zoom` with its top-left corner at `origin`,
// seen through `bounds`. Empty target: nothing to draw. With snapToPixels and zoom > 1, every
// bitmap pixel becomes a block of equal size aligned with the image's origin.
ZoomDrawPlan planZoomDraw(const QRect& bounds, QPoint origin, double zoom, int width, int height,
                          bool snapToPixels);

// ---- the drawing object -------------------------------------------------------------------------

class TImageZoom {
 public:
  TImageZoom() = default;

  const vorlino::Bitmap* Bitmap() const { return bitmap_; }
  // Stores and recomputes; nullptr releases the bitmap.
  void SetBitmap(const vorlino::Bitmap* bitmap);

  QPainter* Canvas() const { return canvas_; }
  // Stores, takes the painter's clipping rectangle (its whole device when unclipped; empty for
  // nullptr) as Bounds and recomputes. Always refreshes Bounds, since a new painter may sit at the
  // address of an old one.
  void SetCanvas(QPainter* canvas);

  QRect Bounds() const { return bounds_; }
  void SetBounds(const QRect& bounds);

  int Left() const { return left_; }
  int Top() const { return top_; }
  // Store the coordinate and switch to zaManual; nothing is recomputed.
  void SetLeft(int left);
  void SetTop(int top);

  double Zoom() const { return zoom_; }
  // A value <= 0 (or not a number) becomes 1; the mode becomes zmCustom even when unchanged.
  void SetZoom(double zoom);

  int DrawnWidth() const { return drawnWidth_; }
  int DrawnHeight() const { return drawnHeight_; }
  // Zoom so that the drawn width (height) is w (h), the other side following; zmCustom. Ignored
  // without a bitmap, for an empty bitmap, for w <= 0 and for the current value.
  void SetDrawnWidth(int w);
  void SetDrawnHeight(int h);

  TZoomMode ZoomMode() const { return zoomMode_; }
  void SetZoomMode(TZoomMode mode);
  TZoomAlignment Alignment() const { return alignment_; }
  void SetAlignment(TZoomAlignment alignment);

  // Smooth scaling instead of dropping or repeating pixels.
  bool Halftone() const { return halftone_; }
  void SetHalftone(bool on) { halftone_ = on; }
  // When enlarging, draw whole bitmap pixels only.
  bool SnapToPixels() const { return snapToPixels_; }
  void SetSnapToPixels(bool on) { snapToPixels_ = on; }

  // (Left, Top, DrawnWidth x DrawnHeight).
  QRect ImageRect() const { return QRect(left_, top_, drawnWidth_, drawnHeight_); }

  // Draws the visible part of the image on Canvas and returns the surface rectangle it covers,
  // clipped to Bounds (empty when nothing was drawn, or without bitmap or canvas). With fill, the
  // rest of Bounds takes the painter's brush, so nothing stale remains. A transparent bitmap leaves
  // the surface unchanged wherever it has its TransparentColor. The clip stays intersected with
  // Bounds after a snapped draw, and with the image's rectangle excluded after a filled one.
  QRect Draw(bool fill);

  // Zoom by the mode, drawn size, then Reposition.
  void Recompute();
  // Left and Top by the alignment (with a bitmap, non-empty Bounds and an alignment not zaManual).
  void Reposition();

 private:
  const vorlino::Bitmap* bitmap_ = nullptr;
  QPainter* canvas_ = nullptr;
  QRect bounds_;
  int left_ = 0;
  int top_ = 0;
  double zoom_ = 1.0;
  int drawnWidth_ = 0;
  int drawnHeight_ = 0;
  TZoomMode zoomMode_ = zmNormal;
  TZoomAlignment alignment_ = zaTopLeft;
  bool halftone_ = false;
  bool snapToPixels_ = false;
};

}  // namespace vorlino
