// The device-independent bitmap reader behind both the BMP and the icon decoders.
#pragma once

#include <cstddef>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct DibLayout {
  // Icon image: the height field counts the colour image and the AND mask below it, and the
  // fourth byte of 32-bit pixels is alpha. Otherwise that byte is ignored (made 255).
  bool icon = false;
  // Where the pixels start, from the start of `in`; 0 means right after the palette.
  std::size_t pixelOffset = 0;
};

// Reads an info header at the position of `in` (OS/2 1.x, OS/2 2.x or Windows 3.x to v5), its
// masks and palette, then the pixels, into `out` (only on success). Afterwards `in` stands right
// after the pixel data of an uncompressed picture.
CodecResult readDib(ByteReader& in, const DibLayout& layout, Bitmap& out,
                    const DecodeLimits& limits);

}  // namespace vorlino
