// Framing a photo for a look before the change is made: the same mask bitmap and blend as
// "Appliquer le masque" on a copy of the photo, or on a reduced copy when the picture is only
// to be seen at a fraction of its size. Safe to call from any thread on bitmaps nobody changes.
#pragma once

#include "bitmap/bitmap.h"
#include "compose/mask_build.h"

namespace vorlino {

// result := photo framed exactly as ApplyMaskBitmap frames the working bitmap (same pixels, same
// Transparent attribute). result's pixel block is reused when large enough. False when the mask
// bitmap cannot be built (result then holds an unframed copy); other errors propagate.
bool FrameCopy(const Bitmap& photo, const Bitmap& maskPicture, const MaskOptions& mask,
               const BlendOptions& blend, Bitmap& result);

// A 24-bit width x height copy of source for display: each pixel is the mean of the four source
// pixels nearest the quarter points of its area, so fine detail does not shimmer as it does when
// one pixel is dropped or kept. An empty source or size gives an empty bitmap.
Bitmap SampleDown(const Bitmap& source, int width, int height);

// The framed look of a photo of fullWidth x fullHeight whose reduced copy is `reduced`: the mask
// is built at the reduced size (a tiled mask from a picture reduced by the same factor, so the
// tiles keep their place). Close to the full result seen at that size, not equal to it.
bool FrameReduced(const Bitmap& reduced, int fullWidth, int fullHeight, const Bitmap& maskPicture,
                  const MaskOptions& mask, const BlendOptions& blend, Bitmap& result);

}  // namespace vorlino
