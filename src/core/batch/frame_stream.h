// Framing a photo as a stream of rows: decoded rows come in, the mask's rows are made as needed,
// blended and handed to the encoder, with decoding, making the mask and blending, and encoding
// on three threads, so that neither the photo, nor the encoded file is ever held whole. The mask is
// held whole only to be kept for the next photos of the same size (see MaskBitmapCache::keptRows).
// The file is byte for byte the one the whole-picture path writes. Only some jobs can go this way:
// an RGB result ("Couleurs RVB"), a photo whose decoder reads rows (JPEG in grey, YCbCr or RGB), an
// output whose writer takes rows (JPEG, PNG, TIFF, BMP, Targa) and a grey mask picture; for the
// others the caller frames the photo whole, and the user sees no difference.
#pragma once

#include <optional>

#include "batch/frame_files.h"
#include "bitmap/bitmap.h"

namespace vorlino {

// Frames job as frameFile does, in a stream, with the mask picture and kept mask rows of masks;
// nothing when this job cannot be streamed (nothing has been written then). The existing-output
// check is the caller's. No pixel-count limit applies, only the sides of the formats: rows are
// never held all at once.
std::optional<FrameFileResult> frameFileStreamed(const FrameFileJob& job,
                                                 const FrameFileSettings& settings,
                                                 MaskBitmapCache& masks) noexcept;

}  // namespace vorlino
