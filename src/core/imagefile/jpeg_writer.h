// JPEG writer over libjpeg: JFIF, three components from RGB input, the library defaults, the
// floating-point forward DCT, the settings' quality with quantisation values kept in the baseline
// range, and the library's simple progression script when progressive is set.
//
// Any bitmap is encoded from a 24-bit copy (palette resolved, alpha dropped); transparency is not
// kept. An empty bitmap cannot be a JPEG and fails.
#pragma once

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

// The JPEG settings record the before-save handler fills in.
struct JpegOptions {
  int quality = 90;  // 1..100; values outside are clamped
  bool progressive = false;
};

CodecResult WriteJpeg(const Bitmap& bitmap, ByteWriter& out, const JpegOptions& options) noexcept;

}  // namespace vorlino
