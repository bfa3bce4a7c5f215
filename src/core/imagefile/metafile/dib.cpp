// Bitmaps of metafile blits and pattern brushes: DIBs through the one DIB reader, and the device
// bitmaps of the oldest files. Compressed DIBs (RLE, JPEG, PNG) are not read: the record that
// carries one is skipped.
#include "imagefile/metafile/dib.h"

#include "bitmap/checked.h"
#include "imagefile/rows/dib_reader.h"

namespace vorlino {

namespace {

std::uint32_t get32(const std::uint8_t* p) {
  return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
std::uint16_t get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

bool readMetafileDib(const std::uint8_t* info, std::size_t infoSize, const std::uint8_t* bits,
                     std::size_t bitsSize, bool paletteIndices, const DecodeLimits& limits,
                     MetafileDib& out) {
  if (info == nullptr || infoSize < 12) return false;
  const std::uint32_t headerSize = get32(info);
  if (headerSize != 12 && (headerSize < 40 || headerSize > infoSize)) return false;
  // Uncompressed pixels and bit fields only.
  if (headerSize >= 40) {
    const std::uint32_t compression = get32(info + 16);
    if (compression != 0 && compression != 3) return false;
  }
  ByteReader in(info, infoSize);
  DibLayout layout;
  layout.paletteIndices = paletteIndices;
  if (bits != nullptr) {
    layout.pixels = bits;
    layout.pixelBytes = bitsSize;
  }
  Bitmap image;
  DibFacts facts;
  if (!readDib(in, layout, image, limits, &facts).ok()) return false;
  out.monochrome = facts.bitCount == 1 && image.palette().size() >= 2 &&
                   image.palette()[0] == PaletteColor{0, 0, 0, 0} &&
                   image.palette()[1] == PaletteColor{255, 255, 255, 0};
  image.convertTo24();
  image.palette().clear();
  out.image.swap(image);
  out.bottomUp = !facts.topDown;
  return true;
}

bool readMetafileBitmap16(const std::uint8_t* header, const std::uint8_t* bits,
                          std::size_t bitsSize, const DecodeLimits& limits, MetafileDib& out) {
  const int width = static_cast<std::int16_t>(get16(header + 2));
  const int height = static_cast<std::int16_t>(get16(header + 4));
  const std::size_t widthBytes = get16(header + 6);
  const unsigned planes = header[8];
  const unsigned bpp = header[9];
  if (width <= 0 || height <= 0 || planes != 1 || (bpp != 1 && bpp != 24 && bpp != 32))
    return false;
  if (!checkDimensions(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                       limits)
           .ok())
    return false;
  if (widthBytes * 8 < static_cast<std::size_t>(width) * bpp) return false;
  if (bitsSize / widthBytes < static_cast<std::size_t>(height)) return false;
  Bitmap image;
  image.resetForOverwrite(width, height, 24);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = bits + widthBytes * static_cast<std::size_t>(y);
    std::uint8_t* dst = image.row(y);
    if (bpp == 1) {
      for (int x = 0; x < width; ++x, dst += 3) {
        const std::uint8_t v = (src[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
        dst[0] = dst[1] = dst[2] = v;
      }
    } else {
      const unsigned step = bpp / 8;
      for (int x = 0; x < width; ++x, dst += 3, src += step) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
      }
    }
  }
  out.image.swap(image);
  out.bottomUp = false;
  out.monochrome = bpp == 1;
  return true;
}

}  // namespace vorlino
