// Device-independent bitmaps as metafiles embed them (blits, DIB pattern brushes).
#pragma once

#include <cstddef>
#include <cstdint>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct MetafileDib {
  Bitmap image;             // 24 bits, top row first
  bool monochrome = false;  // 1 bit per pixel: black where a bit is 0, white where it is 1
  bool bottomUp = true;  // rows stored bottom first: blits that address DIB rows count from there
};

// Reads a DIB: an info header (core header of 12 bytes, or an info header of 40 bytes and
// later), bit-field masks, a colour table and the pixels. `bits` may be nullptr when the pixels
// follow the colour table inside `info` (a packed DIB). Uncompressed pixels and bit fields are
// read as a .bmp file's are (readDib); a palette given as indices (paletteIndices) becomes grey.
// Every size is checked against the bytes given before anything is allocated; false on any
// inconsistency or when the picture exceeds the limits.
bool readMetafileDib(const std::uint8_t* info, std::size_t infoSize, const std::uint8_t* bits,
                     std::size_t bitsSize, bool paletteIndices, const DecodeLimits& limits,
                     MetafileDib& out);

// A device-dependent bitmap of the oldest metafiles (BITMAP16): `header` holds its 10 bytes (type,
// width, height, bytes per row, planes, bits per pixel), `bits` the rows, top first. Monochrome
// only; false for anything else or when the rows do not fit in bitsSize.
bool readMetafileBitmap16(const std::uint8_t* header, const std::uint8_t* bits,
                          std::size_t bitsSize, const DecodeLimits& limits, MetafileDib& out);

}  // namespace vorlino
