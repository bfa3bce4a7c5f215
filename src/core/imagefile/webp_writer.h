// WebP writer over libwebp.
//
// A 24-bit bitmap is written lossy at the given quality, the one the JPEG quality dialog asks
// for; a 32-bit one (a soft-transparency result) too, with its alpha plane kept exactly. A palette
// bitmap (the transparent result, or any 1-, 4- or 8-bit picture) is written lossless, so its
// colours come back exactly; when it is flagged transparent and its palette holds its transparent
// colour, the pixels of the first such entry get alpha 0 (their colour is kept). A side above 16383
// pixels does not fit the format and fails, as does an empty bitmap.
#pragma once

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct WebpOptions {
  int quality = 90;  // 1..100 for the lossy form; values outside are clamped
};

CodecResult WriteWebp(const Bitmap& bitmap, ByteWriter& out, const WebpOptions& options) noexcept;

}  // namespace vorlino
