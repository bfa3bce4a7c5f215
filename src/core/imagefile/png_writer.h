// PNG writer built over zlib: IHDR, PLTE (palette bitmaps), tRNS (the transparent palette
// result), IDAT, IEND.
//
// 24-bit bitmaps are written as 8-bit truecolour (colour type 2); 1-, 4- and 8-bit bitmaps as
// indexed colour of the same bit depth with a PLTE of 2^depth entries; 32-bit ones as truecolour
// with alpha (colour type 6, straight alpha). Every row uses the Sub filter; the filtered data is
// one zlib stream cut into IDAT chunks of exactly 65535 bytes, the last holding the rest. For an
// indexed bitmap flagged transparent whose palette holds its transparent colour at entry i, tRNS
// lists i + 1 alpha values: 255 for entries 0 to i - 1 and 0 for entry i. An empty bitmap cannot be
// a PNG and fails.
#pragma once

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct PngOptions {
  int compressionLevel = 7;  // deflate level 0..9
};

CodecResult WritePng(const Bitmap& bitmap, ByteWriter& out,
                     const PngOptions& options = {}) noexcept;

}  // namespace vorlino
