#include "imagefile/rows/pixel_rows.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vorlino {

ChannelMask::ChannelMask(std::uint32_t mask) : mask_(mask) {
  if (mask == 0) return;
  shift_ = std::countr_zero(mask);
  // A mask with holes is read as the span from its lowest to its highest bit.
  bits_ = 32 - std::countl_zero(mask) - shift_;
  if (bits_ < 8) {
    const std::uint32_t top = (1u << bits_) - 1;
    for (std::uint32_t v = 0; v <= top; ++v) {
      // Repeat the bit pattern downwards: exact for 0 and full scale, even spacing in between.
      std::uint32_t out = 0;
      int filled = 0;
      while (filled < 8) {
        out = (out << bits_) | v;
        filled += bits_;
      }
      scale_[v] = static_cast<std::uint8_t>(out >> (filled - 8));
    }
  }
}

PixelMasks masks555() {
  return {ChannelMask(0x7C00), ChannelMask(0x03E0), ChannelMask(0x001F)};
}

void unpackIndices(const std::uint8_t* src, int bits, std::size_t count, std::uint8_t* dst) {
  if (bits == 8) {
    std::memcpy(dst, src, count);
    return;
  }
  const int perByte = 8 / bits;
  const unsigned mask = (1u << bits) - 1;
  for (std::size_t i = 0; i < count; ++i) {
    const int shift = 8 - bits * (1 + static_cast<int>(i % perByte));
    dst[i] = static_cast<std::uint8_t>((src[i / perByte] >> shift) & mask);
  }
}

void expandPalette(const std::uint8_t* src, int indexBytes, std::size_t count,
                   const std::vector<PaletteColor>& palette, std::uint8_t* dst, int dstBytes,
                   int step) {
  const std::size_t size = palette.size();
  const std::ptrdiff_t advance = static_cast<std::ptrdiff_t>(step) * dstBytes;
  for (std::size_t i = 0; i < count; ++i, dst += advance) {
    const std::size_t index =
        indexBytes == 1 ? src[i] : static_cast<std::size_t>(src[2 * i] | (src[2 * i + 1] << 8));
    const PaletteColor c = index < size ? palette[index] : PaletteColor{};
    dst[0] = c.blue;
    dst[1] = c.green;
    dst[2] = c.red;
    if (dstBytes == 4) dst[3] = 255;
  }
}

void convertPacked(const std::uint8_t* src, int srcBytes, std::size_t count,
                   const PixelMasks& masks, std::uint8_t* dst, int step) {
  const std::ptrdiff_t advance = static_cast<std::ptrdiff_t>(step) * 3;
  for (std::size_t i = 0; i < count; ++i, src += srcBytes, dst += advance) {
    std::uint32_t v = src[0] | (std::uint32_t{src[1]} << 8);
    if (srcBytes == 4) v |= (std::uint32_t{src[2]} << 16) | (std::uint32_t{src[3]} << 24);
    dst[0] = masks.blue.extract(v);
    dst[1] = masks.green.extract(v);
    dst[2] = masks.red.extract(v);
  }
}

void copyPixels(const std::uint8_t* src, int pixelBytes, std::size_t count, std::uint8_t* dst,
                int step) {
  const auto n = static_cast<std::size_t>(pixelBytes);
  if (step == 1) {
    std::memcpy(dst, src, count * n);
    return;
  }
  const std::ptrdiff_t advance = static_cast<std::ptrdiff_t>(step) * pixelBytes;
  for (std::size_t i = 0; i < count; ++i, src += n, dst += advance) std::memcpy(dst, src, n);
}

std::vector<PaletteColor> greyPalette(int entries) {
  std::vector<PaletteColor> p(static_cast<std::size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    const auto g = static_cast<std::uint8_t>(i * 255 / (entries - 1));
    p[static_cast<std::size_t>(i)] = {g, g, g, 0};
  }
  return p;
}

void makeOpaque(Bitmap& bmp) {
  if (bmp.bitsPerPixel() != 32) return;
  for (int y = 0; y < bmp.height(); ++y) {
    std::uint8_t* p = bmp.row(y);
    for (int x = 0; x < bmp.width(); ++x) p[4 * x + 3] = 255;
  }
}

void interleavePlane(const std::uint8_t* plane, std::size_t count, std::uint8_t* dst,
                     int pixelBytes) {
  for (std::size_t i = 0; i < count; ++i) dst[i * pixelBytes] = plane[i];
}

void highBytesBE(const std::uint8_t* src, std::size_t count, std::uint8_t* dst) {
  for (std::size_t i = 0; i < count; ++i) dst[i] = src[2 * i];
}

PaletteColor vgaColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  auto scale = [](std::uint8_t v) {
    return static_cast<std::uint8_t>(std::min<unsigned>(v, 63) * 255 / 63);
  };
  return {scale(b), scale(g), scale(r), 0};
}

}  // namespace vorlino
