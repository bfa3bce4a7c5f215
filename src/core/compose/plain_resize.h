// Plain stretch of a bitmap to a new size: every target pixel takes the source pixel under its
// centre (rows and columns are dropped or repeated), so no colour is created. Used by the image
// size dialog when filtering is off, and always for a transparent result, whose key colour must
// stay exact.
#pragma once

#include "bitmap/bitmap.h"

namespace vorlino {

// Makes target a newWidth x newHeight copy of source in source's depth, palette and attributes
// (Transparent, TransparentColor). Target column x samples source column
// (2x + 1) * srcWidth / (2 * newWidth) (truncated), rows likewise. A transparent source's key
// pixels stay key pixels, so the result shows the same transparency. An empty source leaves
// target untouched. source and target may be the same bitmap. Throws std::length_error or
// std::bad_alloc for a size that cannot be allocated; target is then unchanged.
void PlainResize(int newWidth, int newHeight, const Bitmap& source, Bitmap& target);

}  // namespace vorlino
