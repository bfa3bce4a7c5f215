// Row machinery shared by the writers: the forms a writer accepts (8-bit palette or 24-bit
// colour), palette lookups and the transparent entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

// The largest side a 16-bit size field (Targa header, TIFF SHORT entries, GIF screen) can hold.
inline constexpr int kMaxShortSide = 65535;

// Fails with ceTooLarge when a side does not fit a 16-bit size field.
CodecResult checkShortSides(const Bitmap& bitmap);

// Copy of a 1-, 4- or 8-bit bitmap as 8 bits per pixel with the same colours; the palette is
// padded with black (or cut) to exactly 256 entries. Attributes are kept.
// Throws std::bad_alloc.
Bitmap paletteTo8Bits(const Bitmap& bitmap);

// Copy of a bitmap of any depth as 24 bits per pixel (palette resolved, alpha dropped).
// Throws std::bad_alloc.
Bitmap copyAs24Bits(const Bitmap& bitmap);

// Hands body the bitmap in one of the two forms the short-sided writers (Targa, TIFF) lay out:
// 8 and 24 bits as they are, 32 bits copied as 24, 1 and 4 bits widened to 8. An empty bitmap
// writes nothing; a side above 65535 fails.
template <class Body>
CodecResult writeAs8Or24Bits(const Bitmap& bitmap, Body&& body) {
  if (bitmap.empty()) return CodecResult::success();
  if (CodecResult r = checkShortSides(bitmap); !r.ok()) return r;
  switch (bitmap.bitsPerPixel()) {
    case 8:
    case 24:
      return body(bitmap);
    case 32:
      return body(copyAs24Bits(bitmap));
    default:
      return body(paletteTo8Bits(bitmap));
  }
}

// As writeAs8Or24Bits, with 32-bit bitmaps handed on as they are, alpha and all.
template <class Body>
CodecResult writeAs8Or24Or32Bits(const Bitmap& bitmap, Body&& body) {
  if (bitmap.bitsPerPixel() == 32 && !bitmap.empty()) {
    if (CodecResult r = checkShortSides(bitmap); !r.ok()) return r;
    return body(bitmap);
  }
  return writeAs8Or24Bits(bitmap, body);
}

// Entry `index` of the palette, black past its end.
PaletteColor paletteEntry(const Bitmap& bitmap, std::size_t index);

// Index of the first of the first `entries` palette entries equal to the bitmap's transparent
// colour, or nothing (also when the bitmap is not flagged transparent).
std::optional<std::size_t> transparentIndex(const Bitmap& bitmap, std::size_t entries);

// Palette indices of row y of a 1-, 4- or 8-bit bitmap, one byte per pixel, into out
// (width bytes).
void unpackIndices(const Bitmap& bitmap, int y, std::uint8_t* out);

}  // namespace vorlino
