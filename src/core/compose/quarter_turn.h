// Exact rotations by right angles: every pixel is moved, none is computed.
#pragma once

#include "bitmap/bitmap.h"

namespace vorlino {

// Turns source by a quarter turn into target: clockwise, source pixel (x, y) lands at
// (h - 1 - y, x), anticlockwise at (y, w - 1 - x). The source is first converted to 24 bits; the
// target becomes a 24-bit bitmap h wide and w high, keeping its own attributes. The same bitmap
// given twice is turned in place.
void RotateQuarterInto(Bitmap& source, Bitmap& target, bool clockwise);

// Turns a bitmap by a quarter turn in place (through a temporary), converting it to 24 bits
// first. Its attributes stay; if the temporary cannot be allocated the pixels are unchanged.
void RotateQuarter(Bitmap& bitmap, bool clockwise);

// Turns a bitmap by a half turn in place, converting it to 24 bits first: pixel (x, y) lands at
// (w - 1 - x, h - 1 - y). Needs no memory beyond the bitmap.
void RotateHalf(Bitmap& bitmap);

}  // namespace vorlino
