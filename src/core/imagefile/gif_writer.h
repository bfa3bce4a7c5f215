// GIF writer: one image at (0, 0), not interlaced, its colour table written as the global table,
// LZW data as the GIF standard defines it (own encoder), then the trailer.
//
// A 1-, 4- or 8-bit bitmap keeps its palette (2, 16 or 256 entries) and its indices. Any other
// bitmap is reduced to a 256-entry table by frequency (see frequencyPalette). When the bitmap is
// flagged transparent and the table holds its transparent colour, a graphic control extension
// marks the first such entry transparent and the file starts "GIF89a"; otherwise "GIF87a".
// Sides above 65535 do not fit the screen descriptor and fail with ceTooLarge; an empty bitmap
// fails.
#pragma once

#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct GifOptions {};

CodecResult WriteGif(const Bitmap& bitmap, ByteWriter& out,
                     const GifOptions& options = {}) noexcept;

// Reduces a 24- or 32-bit bitmap to an 8-bit bitmap with a 256-entry palette, by frequency:
// colours are counted after masking each channel; while more than 2049 distinct colours turn up,
// one more low bit is dropped from a channel, in the cycle blue, red, green, and counting starts
// again. The palette is the 256 most frequent masked colours, most frequent first (equal counts
// in the order they first appear, top row first), the rest grey (128, 128, 128). Each colour takes
// the nearest entry by the sum of squared channel differences (the first on ties); no dithering.
// Attributes are kept. Throws std::bad_alloc.
Bitmap frequencyPalette(const Bitmap& bitmap);

}  // namespace vorlino
