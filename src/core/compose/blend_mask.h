// Blending a prepared mask into the photo.
#pragma once

#include "bitmap/bitmap.h"
#include "bitmap/color.h"

namespace vorlino {

// Pulls every pixel of target towards colour in proportion to how dark the mask is there: with m
// the mean of the mask pixel's three bytes, f = ((255 - m) * 100 / 255) * opacity / 100 percent of
// the distance, truncated; mask means of 250 or more leave the pixel exactly as it was. Opacity 0
// or below does nothing, above 100 acts as 100. Both bitmaps are 24-bit and the mask is at least
// as large as the target (else std::invalid_argument, nothing changed).
void BlendMask(Bitmap& target, const Bitmap& mask, int opacity, Color colour);

}  // namespace vorlino
