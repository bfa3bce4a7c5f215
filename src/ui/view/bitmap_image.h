// QImage views of a vorlino::Bitmap for drawing with QPainter.
//
// Only the requested rectangle is touched, so the cost of showing a strongly enlarged or scrolled
// photo follows the visible area, not the bitmap's size.
#pragma once

#include <QImage>
#include <QRect>

#include "bitmap/bitmap.h"

namespace vorlino {

struct BitmapArea {
  QImage image;  // the pixels
  QRect source;  // where the requested rectangle lies inside image
};

// The rectangle `area` (inside the bitmap) as a QImage. 24-bit, 32-bit and 8-bit bitmaps are
// wrapped without copying (Format_BGR888, Format_ARGB32 with the straight alpha, Format_Indexed8
// with the palette as colour table), 1-bit ones likewise from the byte holding the area's first
// column (Format_Mono); a wrapped image is valid only while the bitmap is neither changed nor
// destroyed. 4-bit areas are converted into a new image. An empty or outside area gives a null
// image.
BitmapArea imageOfArea(const Bitmap& bitmap, const QRect& area);

// A copy of `area` in Format_ARGB32_Premultiplied, sampled to `size` by nearest neighbour (pixel
// centres, as QPainter's unsmoothed scaling does), in which every pixel of the colour `key` is
// fully transparent and every other pixel opaque. With size equal to area.size() it is a plain
// copy.
QImage maskedImageOfArea(const Bitmap& bitmap, const QRect& area, const QSize& size, Color key);

// A copy of `area` in Format_RGB32 with a 32-bit bitmap's alpha composed over colour, pixel for
// pixel as ComposeOverColour does; other depths are copied as they are.
QImage opaqueImageOfArea(const Bitmap& bitmap, const QRect& area, Color colour);

}  // namespace vorlino
