// Reduction of a bitmap to a palette of at most 256 colours.
#pragma once

#include "bitmap/bitmap.h"

namespace vorlino {

// Option bits of ReduceToPalette.
inline constexpr int kReduceDither = 1;   // Floyd-Steinberg error diffusion
inline constexpr int kReduceConvert = 2;  // the bitmap becomes a 1, 4 or 8-bit palette form
inline constexpr int kReduceTransparentSlot = 64;  // last entry is the bitmap's TransparentColor

// Reduces `bitmap` to `colors` (1..256) colours. The palette is drawn from the image by an octree
// (colors - 1 colours plus TransparentColor as the last entry with kReduceTransparentSlot, else
// 2^b colours where b is the palette bit count of `colors`); slots the octree leaves unused are
// black and never chosen. Pixels map to their cell's entry, with error diffusion on kReduceDither.
// With kReduceConvert the bitmap becomes 1 bit (colors <= 2), 4 bits (<= 16) or 8 bits holding
// that palette; otherwise its pixels take the palette colours (a palette form becomes 24 bits).
// Transparent and TransparentColor are kept. Nothing happens for an empty bitmap or a colour
// count outside 1..256. Throws std::bad_alloc with the bitmap unchanged.
void ReduceToPalette(Bitmap& bitmap, int colors, int options);

}  // namespace vorlino
