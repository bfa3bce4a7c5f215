// Helpers for a look at the framed photo before "Appliquer le masque" makes it: the full-size look
// uses BuildMaskBitmap and ApplyMaskBitmap themselves; these serve the reduced one, for a photo
// seen at a fraction of its size. Safe on any thread for bitmaps nobody changes meanwhile.
#pragma once

#include <optional>

#include "bitmap/bitmap.h"
#include "compose/mask_build.h"

namespace vorlino {

// Whether two settings make the same mask bitmap from the same picture (the colour, the opacity
// and the format, except for the two tones "Transparent" forces, only matter to the blend).
bool SameMaskShape(const MaskOptions& a, const MaskOptions& b);

// A 24-bit width x height copy of source for display: each pixel is the mean of the four source
// pixels nearest the quarter points of its area, so fine detail does not shimmer as it does when
// one pixel is dropped or kept. An empty source or size gives an empty bitmap.
Bitmap SampleDown(const Bitmap& source, int width, int height);

// The mask bitmap for a width x height reduced copy of a fullWidth x fullHeight photo: built at
// the reduced size, a tiled mask from a picture reduced by the same factor so that the tiles keep
// their place. Close to the full mask seen at that size, not equal to it. Nothing on failure.
std::optional<Bitmap> BuildReducedMask(const Bitmap& maskPicture, int fullWidth, int fullHeight,
                                       int width, int height, const MaskOptions& options) noexcept;

}  // namespace vorlino
