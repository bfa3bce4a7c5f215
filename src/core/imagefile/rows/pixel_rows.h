// Row machinery shared by the decoders written in this program: unpacking of 1/2/4-bit indices,
// palette expansion, packed 15/16/32-bit pixels described by channel masks, plain copies, channel
// planes, 16-bit samples and grey or VGA palettes.
//
// Every converter writes `count` pixels starting at `dst` and moves by `step` pixels (+1 or -1)
// after each one, so that a right-to-left source is handled by the choice of the starting pixel and
// the step, without a second pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"

namespace vorlino {

// One colour channel inside a packed pixel, given by its bit mask. The value is scaled to 8 bits by
// bit replication (a 5-bit 31 becomes 255, a 1-bit 1 becomes 255); wider channels keep their top
// 8 bits. An empty mask reads as 0.
class ChannelMask {
 public:
  ChannelMask() = default;
  explicit ChannelMask(std::uint32_t mask);
  std::uint8_t extract(std::uint32_t pixel) const {
    if (bits_ == 0) return 0;
    std::uint32_t v = (pixel & mask_) >> shift_;
    if (bits_ >= 8) return static_cast<std::uint8_t>(v >> (bits_ - 8));
    return scale_[v];
  }
  int bits() const { return bits_; }

 private:
  std::uint32_t mask_ = 0;
  int shift_ = 0;
  int bits_ = 0;
  std::uint8_t scale_[128] = {};  // value -> 8 bits, for channels narrower than 8 bits
};

struct PixelMasks {
  ChannelMask red, green, blue;
};

// The usual 5-5-5 layout of 15/16-bit pixels (the top bit is unused or an attribute bit).
PixelMasks masks555();

// Unpacks `count` indices of 1, 2, 4 or 8 bits (most significant bits first) into bytes.
void unpackIndices(const std::uint8_t* src, int bits, std::size_t count, std::uint8_t* dst);

// Resolves `count` indices (1 byte, or 2 bytes little-endian) through the palette into pixels of
// dstBytes (3: blue, green, red; 4: plus alpha 255). An index outside the palette gives black.
void expandPalette(const std::uint8_t* src, int indexBytes, std::size_t count,
                   const std::vector<PaletteColor>& palette, std::uint8_t* dst, int dstBytes,
                   int step);

// Converts `count` little-endian packed pixels of srcBytes (2 or 4) into blue, green, red.
void convertPacked(const std::uint8_t* src, int srcBytes, std::size_t count,
                   const PixelMasks& masks, std::uint8_t* dst, int step);

// Copies `count` pixels of pixelBytes each.
void copyPixels(const std::uint8_t* src, int pixelBytes, std::size_t count, std::uint8_t* dst,
                int step);

// A grey ramp of `entries` colours from black to white (entries >= 2).
std::vector<PaletteColor> greyPalette(int entries);

// Sets the fourth byte of every pixel of a 32-bit bitmap to 255.
void makeOpaque(Bitmap& bmp);

// Copies `count` bytes of one channel plane into every `pixelBytes`-th byte from dst.
void interleavePlane(const std::uint8_t* plane, std::size_t count, std::uint8_t* dst,
                     int pixelBytes);

// Keeps the high byte of `count` big-endian 16-bit samples.
void highBytesBE(const std::uint8_t* src, std::size_t count, std::uint8_t* dst);

// Scales a palette of 6-bit VGA components (0..63) to 8 bits; larger values are clamped.
PaletteColor vgaColor(std::uint8_t r, std::uint8_t g, std::uint8_t b);

}  // namespace vorlino
