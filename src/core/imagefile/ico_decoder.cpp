// Windows icons (.ico; cursors share the layout and are read too).
//
// The directory may list several images; the largest, then the deepest, is read, judged from each
// image's own header (directory fields are often zero or wrong). An image is either a DIB (any
// depth that readDib knows, uncompressed) followed by its 1-bit AND mask, or a PNG file, decoded by
// the PNG decoder. The result is 32 bits with alpha: a 32-bit image with any alpha keeps its alpha;
// otherwise the AND mask makes its pixels transparent. The mask's other use, inverting the screen
// where the colour is not black (cursors), is not reproduced: many writers leave any colour under
// the mask, and the picture is meant to show white there.
#include <algorithm>
#include <cstring>
#include <vector>

#include "bitmap/checked.h"
#include "imagefile/decoder_kind.h"
#include "imagefile/decoders.h"
#include "imagefile/rows/dib_reader.h"
#include "imagefile/rows/pixel_rows.h"

namespace vorlino {
namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct Entry {
  std::size_t offset = 0;
  std::size_t bytes = 0;  // from the offset to the end of the file
  bool png = false;
  std::uint64_t area = 0;
  unsigned depth = 0;
};

std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint32_t be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (p[2] << 8) | p[3];
}

// Size and depth from the image's own header; false when it has none that can be read.
bool probe(const std::uint8_t* p, Entry& e) {
  if (e.bytes >= 26 && std::memcmp(p, kPngSignature, 8) == 0) {
    static constexpr unsigned kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    const std::uint8_t colorType = p[25];
    e.png = true;
    e.area = std::uint64_t{be32(p + 16)} * be32(p + 20);
    e.depth = p[24] * (colorType < 7 ? kChannels[colorType] : 0);
    return true;
  }
  if (e.bytes < 16) return false;
  const std::uint32_t headerSize = le32(p);
  std::int64_t w, h;
  if (headerSize == 12) {
    w = p[4] | (p[5] << 8);
    h = p[6] | (p[7] << 8);
    e.depth = p[10] | (p[11] << 8);
  } else if (headerSize >= 16 && headerSize <= 124) {
    w = static_cast<std::int32_t>(le32(p + 4));
    h = static_cast<std::int32_t>(le32(p + 8));
    e.depth = p[14] | (p[15] << 8);
  } else {
    return false;
  }
  if (w <= 0 || h <= 1) return false;
  e.area = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h / 2);
  return true;
}

CodecResult readPngImage(ByteReader& sub, Bitmap& pic, const DecodeLimits& limits) {
  const DecoderInfo png = decoderInfo(DecoderKind::dkPng);
  if (auto r = png.read(sub, pic, limits); !r.ok()) return r;
  if (pic.bitsPerPixel() == 32) return CodecResult::success();
  pic.convertTo24();
  Bitmap withAlpha;
  withAlpha.resetForOverwrite(pic.width(), pic.height(), 32);
  for (int y = 0; y < pic.height(); ++y) {
    const std::uint8_t* s = pic.row(y);
    std::uint8_t* d = withAlpha.row(y);
    for (int x = 0; x < pic.width(); ++x, s += 3, d += 4) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
      d[3] = 255;
    }
  }
  pic.swap(withAlpha);
  return CodecResult::success();
}

CodecResult readDibImage(ByteReader& sub, Bitmap& pic, const DecodeLimits& limits) {
  Bitmap image;
  DibLayout layout;
  layout.icon = true;
  if (auto r = readDib(sub, layout, image, limits); !r.ok()) return r;
  const int w = image.width();
  const int h = image.height();
  const auto count = static_cast<std::size_t>(w);

  bool alpha = false;
  if (image.bitsPerPixel() == 32)
    for (int y = 0; y < h && !alpha; ++y)
      for (int x = 0; x < w; ++x)
        if (image.row(y)[4 * x + 3] != 0) {
          alpha = true;
          break;
        }

  // The AND mask follows the colour rows, bottom-up like them. An image with alpha does not need
  // it.
  const std::size_t maskStride = *rowStride(count, 1);
  const std::uint8_t* mask = nullptr;
  if (!alpha) {
    const auto maskBytes = checkedMul(maskStride, static_cast<std::size_t>(h));
    if (!maskBytes || !(mask = sub.take(*maskBytes)))
      return CodecResult::fail(CodecError::ceDamaged, "icon mask truncated");
  }

  pic.resetForOverwrite(w, h, 32);
  std::vector<std::uint8_t> indices(image.isPaletted() ? count : 0);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* src = image.row(y);
    std::uint8_t* dst = pic.row(y);
    switch (image.bitsPerPixel()) {
      case 32:
        copyPixels(src, 4, count, dst, 1);
        break;
      case 24:
        for (std::size_t x = 0; x < count; ++x) {
          std::memcpy(dst + 4 * x, src + 3 * x, 3);
          dst[4 * x + 3] = 255;
        }
        break;
      default:
        unpackIndices(src, image.bitsPerPixel(), count, indices.data());
        expandPalette(indices.data(), 1, count, image.palette(), dst, 4, 1);
    }
    if (alpha) continue;
    const std::uint8_t* m = mask + maskStride * static_cast<std::size_t>(h - 1 - y);
    for (std::size_t x = 0; x < count; ++x)
      dst[4 * x + 3] = ((m[x / 8] >> (7 - x % 8)) & 1) ? 0 : 255;
  }
  return CodecResult::success();
}

}  // namespace

CodecResult readIco(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&]() -> CodecResult {
    const std::size_t base = in.position();
    const std::uint16_t reserved = in.u16le();
    const std::uint16_t type = in.u16le();
    const std::uint16_t count = in.u16le();
    if (in.truncated() || reserved != 0 || (type != 1 && type != 2) || count == 0)
      return CodecResult::fail(CodecError::ceSignature, "not an icon");
    if (in.remaining() < std::size_t{16} * count)
      return CodecResult::fail(CodecError::ceDamaged, "icon directory truncated");

    Entry best;
    bool found = false;
    for (unsigned i = 0; i < count; ++i) {
      // Sizes, depth and byte count of the directory are often zero or wrong: the image's own
      // header tells what it is and how much it needs.
      in.skip(12);
      const std::uint32_t offset = in.u32le();
      Entry e;
      e.offset = base + offset;
      if (offset == 0 || e.offset >= in.size()) continue;
      e.bytes = in.size() - e.offset;
      if (!probe(in.data() + e.offset, e)) continue;
      if (!found || e.area > best.area || (e.area == best.area && e.depth > best.depth)) {
        best = e;
        found = true;
      }
    }
    if (!found) return CodecResult::fail(CodecError::ceDamaged, "no readable icon image");

    Bitmap pic;
    ByteReader sub(in.data() + best.offset, best.bytes);
    if (auto r = best.png ? readPngImage(sub, pic, limits) : readDibImage(sub, pic, limits);
        !r.ok())
      return r;
    out.swap(pic);
    return CodecResult::success();
  });
}

}  // namespace vorlino
