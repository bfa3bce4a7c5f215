#include "imagefile/write_support.h"

#include <cstring>

namespace vorlino {

CodecResult checkShortSides(const Bitmap& bitmap) {
  if (bitmap.width() > kMaxShortSide || bitmap.height() > kMaxShortSide)
    return CodecResult::fail(CodecError::ceTooLarge, "side above 65535");
  return CodecResult::success();
}

PaletteColor paletteEntry(const Bitmap& bitmap, std::size_t index) {
  return index < bitmap.palette().size() ? bitmap.palette()[index] : PaletteColor{};
}

void unpackIndices(const Bitmap& bitmap, int y, std::uint8_t* out) {
  const std::uint8_t* src = bitmap.row(y);
  const int bpp = bitmap.bitsPerPixel();
  const int width = bitmap.width();
  if (bpp == 8) {
    std::memcpy(out, src, static_cast<std::size_t>(width));
    return;
  }
  const int perByte = 8 / bpp;
  const unsigned mask = (1u << bpp) - 1;
  for (int x = 0; x < width; ++x) {
    const int shift = 8 - bpp * (x % perByte + 1);
    out[x] = static_cast<std::uint8_t>((src[x / perByte] >> shift) & mask);
  }
}

Bitmap paletteTo8Bits(const Bitmap& bitmap) {
  Bitmap out;
  if (bitmap.bitsPerPixel() == 8) {
    out.assign(bitmap);
  } else {
    out.resetForOverwrite(bitmap.width(), bitmap.height(), 8);
    for (int y = 0; y < bitmap.height(); ++y) unpackIndices(bitmap, y, out.row(y));
    out.Transparent = bitmap.Transparent;
    out.TransparentColor = bitmap.TransparentColor;
  }
  out.palette() = bitmap.palette();
  out.palette().resize(256);
  return out;
}

Bitmap copyAs24Bits(const Bitmap& bitmap) {
  Bitmap out(bitmap);
  out.convertTo24();
  return out;
}

std::optional<std::size_t> transparentIndex(const Bitmap& bitmap, std::size_t entries) {
  if (!bitmap.Transparent) return std::nullopt;
  const Color key = ColorToRGB(bitmap.TransparentColor);
  for (std::size_t i = 0; i < entries; ++i)
    if (toColor(paletteEntry(bitmap, i)) == key) return i;
  return std::nullopt;
}

}  // namespace vorlino
