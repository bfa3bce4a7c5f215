// Filtered resampling of a picture with an alpha channel.
//
// The resampler works on three channels. A 32-bit picture is resampled as two 24-bit ones: its
// colours, and its alpha (in the first channel). The alpha is straight, not premultiplied: the
// colours of a soft-transparency result are the photo's own, meaningful under any alpha, so
// resampling them apart gives exactly the resized photo under the resized mask, loses no colour
// precision where the alpha is low, and composing the result over a colour later stays what the
// blend would give on the resized pair. (Premultiplying is needed when the colours under a zero
// alpha are arbitrary; they are not here.)
#pragma once

#include <cstdint>

#include "bitmap/bitmap.h"
#include "compose/resample.h"

namespace vorlino {

// As ResampleBitmap, with 32-bit sources giving 32-bit targets (colours and alpha each filtered
// as ResampleBitmap filters a channel) and the source left unchanged; attributes are copied to
// the target. Other depths go through ResampleBitmap itself, to the same bytes (the source is
// converted in place to 24 bits as it converts it).
void ResampleKeepingAlpha(std::uint32_t newWidth, std::uint32_t newHeight, TResampleKernel kernel,
                          float radius, Bitmap& source, Bitmap& target);

}  // namespace vorlino
