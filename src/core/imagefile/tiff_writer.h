// Uncompressed little-endian TIFF writer: one strip, a fixed 15-entry directory after the pixel
// data, resolution 877/10 per inch on both axes and the Software text "Quendaline".
//
// 8-bit palette bitmaps are written as palette colour (the colour map right after the header,
// pixel data at 1570); 24-bit ones as RGB (pixel data at 40, red first). 1- and 4-bit bitmaps are
// written as 8 bits with the same colours. 32-bit ones as RGBA (pixel data at 42, 16 entries, the
// last an ExtraSamples of 2: unassociated alpha). Width and height are SHORT
// entries: a side above 65535 fails with ceTooLarge. An empty bitmap gives an empty file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct TiffOptions {};

CodecResult WriteTiff(const Bitmap& bitmap, ByteWriter& out,
                      const TiffOptions& options = {}) noexcept;

// Encodes the bitmap and writes it to fileName, replacing any existing file only once the whole
// file is written (see writeFileReplacing).
CodecResult WriteTiffFile(const Bitmap& bitmap, const std::string& fileName) noexcept;

// The pieces of a 24-bit file, shared with the row-streaming writer: the 40 bytes before the
// pixels (the directory offset at byte 4 still to be patched), one row turned from BGR into the
// file's RGB, and the directory that follows the pixels. The pixel bytes, or nothing when the
// file would pass 4 GiB.
inline constexpr std::uint32_t kRgbTiffPixelsAt = 40;
std::optional<std::uint32_t> rgbTiffPixelBytes(std::uint32_t width, std::uint32_t height);
void writeRgbTiffHead(ByteWriter& out);
void bgrToRgbTiffRow(const std::uint8_t* bgr, std::uint32_t width, std::uint8_t* rgb);
void writeRgbTiffDirectory(ByteWriter& out, std::uint32_t width, std::uint32_t height);

}  // namespace vorlino
