// The device-independent bitmap reader behind the BMP and icon decoders and the bitmaps inside
// metafiles.
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
  // Metafile bitmaps: the colour table holds 16-bit indices into the playing device's palette
  // instead of colours; each reads as the grey level of its low byte.
  bool paletteIndices = false;
  // Metafile bitmaps whose pixels lie apart from the header: they are read from here instead of
  // from `in`, and a colour table shorter than declared keeps the entries that are there.
  const std::uint8_t* pixels = nullptr;
  std::size_t pixelBytes = 0;
};

// What the header said, for callers that need more than the pixels.
struct DibFacts {
  bool topDown = false;   // rows stored top first
  unsigned bitCount = 0;  // bits per pixel as stored
};

// Reads an info header at the position of `in` (OS/2 1.x, OS/2 2.x or Windows 3.x to v5), its
// masks and palette, then the pixels, into `out` (only on success). Afterwards `in` stands right
// after the pixel data of an uncompressed picture (unless the pixels lie apart).
//
// Output: 1, 4 and 8 bits stay palette forms (2 bits become 8), plain 32 bits stays 32 bits
// (opaque unless an icon), everything else becomes 24 bits. Channels narrower than 8 bits are
// scaled by bit replication (a 5-bit 16 becomes 132).
CodecResult readDib(ByteReader& in, const DibLayout& layout, Bitmap& out,
                    const DecodeLimits& limits, DibFacts* facts = nullptr);

}  // namespace vorlino
