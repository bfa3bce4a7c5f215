// Uncompressed Windows BMP writer: 14-byte file header, 40-byte information header, colour table,
// rows bottom-up padded to 4 bytes.
//
// 1-, 4- and 8-bit bitmaps are written at their depth with a colour table of 2^bpp entries. A
// 24-bit bitmap is written at 24 bits; when it still keeps a palette (one converted from a palette
// picture), that palette is written as a colour table too, the colours-used field giving its size
// (at most 256). A 32-bit bitmap is written as 24 bits (alpha dropped).
#pragma once

#include <cstdint>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct BmpOptions {};

// Resolution written in both BMP writers (pixels per metre): none stated.
inline constexpr std::int32_t kBmpPixelsPerMetre = 0;

// Appends the whole BMP file to out. Fails only when out of memory or when the file would pass
// 4 GiB.
CodecResult WriteBmp(const Bitmap& bitmap, ByteWriter& out, const BmpOptions& options) noexcept;

// The 40-byte information header shared with the RLE writer.
struct BmpInfoHeader {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t bitsPerPixel = 24;
  std::uint32_t compression = 0;
  std::uint32_t imageSize = 0;
  std::uint32_t colorsUsed = 0;
};
void writeBmpHeaders(ByteWriter& out, const BmpInfoHeader& info, std::uint32_t dataOffset,
                     std::uint32_t fileSize);

}  // namespace vorlino
