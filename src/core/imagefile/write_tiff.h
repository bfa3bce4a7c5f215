// Uncompressed little-endian TIFF writer: one strip, a fixed 15-entry directory after the pixel
// data, resolution 877/10 per inch on both axes and the Software text "Quendaline".
//
// 8-bit palette bitmaps are written as palette colour (the colour map right after the header,
// pixel data at 1570); 24-bit ones as RGB (pixel data at 40, red first). 1- and 4-bit bitmaps are
// written as 8 bits with the same colours. 32-bit ones as RGBA (pixel data at 42, 16 entries, the
// last an ExtraSamples of 2: unassociated alpha). Width and height are SHORT
// entries: a side above 65535 fails with ceTooLarge. An empty bitmap gives an empty file.
#pragma once

#include <string>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct TiffOptions {};

CodecResult WriteTiff(const Bitmap& bitmap, ByteWriter& out,
                      const TiffOptions& options = {}) noexcept;

// Encodes the bitmap and writes it to fileName, replacing any existing file only once the whole
// file is written (see writeFileReplacing).
CodecResult WriteTiffFile(const Bitmap& bitmap, const std::string& fileName) noexcept;

}  // namespace vorlino
