// DIB reading for metafile blits and pattern brushes. Compressed DIBs (RLE, JPEG, PNG) are not
// read: the record that carries one is skipped.
#include "imagefile/metafile/dib.h"

#include <bit>
#include <vector>

#include "bitmap/checked.h"

namespace vorlino {

namespace {

std::uint32_t get32(const std::uint8_t* p) {
  return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
std::uint16_t get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// One channel of a bit-field pixel scaled to 8 bits.
struct Field {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;
  explicit Field(std::uint32_t m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    max = m >> shift;
  }
  std::uint8_t get(std::uint32_t v) const {
    if (max == 0) return 0;
    return static_cast<std::uint8_t>(((v & mask) >> shift) * 255u / max);
  }
};

}  // namespace

bool readMetafileDib(const std::uint8_t* info, std::size_t infoSize, const std::uint8_t* bits,
                     std::size_t bitsSize, bool paletteIndices, const DecodeLimits& limits,
                     MetafileDib& out) {
  if (info == nullptr || infoSize < 12) return false;
  const std::uint32_t headerSize = get32(info);
  std::int64_t width = 0;
  std::int64_t height = 0;
  unsigned bpp = 0;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::size_t entryBytes = 4;
  if (headerSize == 12) {
    width = get16(info + 4);
    height = static_cast<std::int16_t>(get16(info + 6));
    bpp = get16(info + 10);
    entryBytes = 3;
  } else if (headerSize >= 40 && headerSize <= infoSize) {
    width = static_cast<std::int32_t>(get32(info + 4));
    height = static_cast<std::int32_t>(get32(info + 8));
    bpp = get16(info + 14);
    compression = get32(info + 16);
    colorsUsed = get32(info + 32);
  } else {
    return false;
  }
  if (paletteIndices) entryBytes = 2;
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0) return false;
  if (!checkDimensions(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                       limits)
           .ok())
    return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (compression != 0 && !(compression == 3 && (bpp == 16 || bpp == 32))) return false;

  std::size_t pos = headerSize;
  std::uint32_t masks[3] = {0, 0, 0};
  if (bpp == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else if (bpp == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0x00FF00;
    masks[2] = 0x0000FF;
  }
  if (compression == 3) {
    // A plain info header is followed by three masks; later headers hold them inside.
    const std::size_t at = headerSize == 40 ? headerSize : 40;
    if (at + 12 > infoSize) return false;
    for (int i = 0; i < 3; ++i) masks[i] = get32(info + at + 4 * static_cast<std::size_t>(i));
    if (headerSize == 40) pos += 12;
  }

  // Colour table: palette forms need one; other depths may carry an optional one to skip.
  std::size_t entries = 0;
  if (bpp <= 8) {
    const std::uint32_t full = 1u << bpp;
    entries = colorsUsed == 0 || colorsUsed > full ? full : colorsUsed;
  } else if (colorsUsed <= (1u << 16)) {
    entries = colorsUsed;
  }
  if (entries > (infoSize - pos) / entryBytes) {
    // Some writers declare a full table but store fewer entries: keep what is there.
    if (bpp > 8 || bits == nullptr) return false;
    entries = (infoSize - pos) / entryBytes;
  }
  std::vector<PaletteColor> palette;
  if (bpp <= 8) {
    palette.resize(std::size_t{1} << bpp);
    for (std::size_t i = 0; i < entries; ++i) {
      const std::uint8_t* e = info + pos + i * entryBytes;
      if (paletteIndices) {
        const auto g = static_cast<std::uint8_t>(get16(e));
        palette[i] = {g, g, g, 0};
      } else {
        palette[i] = {e[0], e[1], e[2], 0};
      }
    }
  }
  pos += entries * entryBytes;
  if (bits == nullptr) {
    if (pos > infoSize) return false;
    bits = info + pos;
    bitsSize = infoSize - pos;
  }

  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  const auto strideBytes = rowStride(static_cast<std::size_t>(w), bpp);
  const auto need = bitmapBytes(static_cast<std::size_t>(w), static_cast<std::size_t>(h), bpp);
  if (!strideBytes || !need || *need > bitsSize) return false;
  const std::size_t stride = *strideBytes;

  Bitmap image;
  image.resetForOverwrite(w, h, 24);
  const Field red(masks[0]), green(masks[1]), blue(masks[2]);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* src = bits + stride * static_cast<std::size_t>(topDown ? y : h - 1 - y);
    std::uint8_t* dst = image.row(y);
    switch (bpp) {
      case 1:
      case 4:
      case 8: {
        const unsigned perByte = 8 / bpp;
        const unsigned mask = (1u << bpp) - 1;
        for (int x = 0; x < w; ++x) {
          const unsigned shift = 8 - bpp * (1 + static_cast<unsigned>(x) % perByte);
          const PaletteColor& c =
              palette[(src[static_cast<unsigned>(x) / perByte] >> shift) & mask];
          dst[0] = c.blue;
          dst[1] = c.green;
          dst[2] = c.red;
          dst += 3;
        }
        break;
      }
      case 16:
        for (int x = 0; x < w; ++x, src += 2, dst += 3) {
          const std::uint32_t v = get16(src);
          dst[0] = blue.get(v);
          dst[1] = green.get(v);
          dst[2] = red.get(v);
        }
        break;
      case 24:
        for (int x = 0; x < w; ++x, src += 3, dst += 3) {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
        }
        break;
      case 32:
        for (int x = 0; x < w; ++x, src += 4, dst += 3) {
          const std::uint32_t v = get32(src);
          dst[0] = blue.get(v);
          dst[1] = green.get(v);
          dst[2] = red.get(v);
        }
        break;
      default:
        return false;
    }
  }
  out.image.swap(image);
  out.bottomUp = !topDown;
  out.monochrome = bpp == 1 && palette[0] == PaletteColor{0, 0, 0, 0} &&
                   palette[1] == PaletteColor{255, 255, 255, 0};
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
