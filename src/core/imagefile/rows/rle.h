// Run-length schemes shared by the decoders: the BMP RLE4/RLE8 stream and the count-prefixed
// pixel packets of Targa files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

// Decodes a BMP RLE8 (bits 8) or RLE4 (bits 4) stream into `out`, which is already sized at that
// depth and zero-filled: pixels that the stream skips with deltas or early line ends keep index 0.
// Runs past the right edge are clipped. Decoding ends at the end-of-bitmap code or when the lines
// run out. Fails when the data ends before the picture does.
CodecResult decodeBmpRle(ByteReader& in, int bits, bool bottomUp, Bitmap& out);

// Reads pixel packets: a header byte whose high bit says "repeat the next pixel" and whose low
// seven bits are the pixel count minus one, followed by one pixel (repeat) or that many pixels.
// Packets may cross rows, so the state lives between calls.
class PixelPacketReader {
 public:
  PixelPacketReader(ByteReader& in, int pixelBytes) : in_(in), pixelBytes_(pixelBytes) {}
  // Fills `count` pixels at dst; false when the data ends first.
  bool read(std::uint8_t* dst, std::size_t count);
  // Fewest bytes that can encode `pixels` pixels of pixelBytes each.
  static std::size_t minimumBytes(std::size_t pixels, int pixelBytes);

 private:
  ByteReader& in_;
  int pixelBytes_;
  std::size_t left_ = 0;
  bool repeat_ = false;
  std::uint8_t value_[4] = {};
};

}  // namespace vorlino
