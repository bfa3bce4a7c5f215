// Netpbm maps (.pbm, .pgm, .ppm): P1 to P6.
//
// Plain (ASCII) and raw forms; maxval 1 to 65535 (two bytes per sample, most significant first,
// above 255); "#" comments up to the end of the line between header fields, and in plain rasters.
// Bit maps become 1-bit pictures (palette white, black: 1 is black), grey maps 8-bit grey palette
// pictures, pixel maps 24 bits; samples are scaled to 0..255 with rounding. Only the first image of
// a multi-image file is read. Not read: PAM (P7) and the floating-point maps.
#include <algorithm>
#include <cstring>
#include <vector>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"
#include "imagefile/rows/pixel_rows.h"

namespace vorlino {
namespace {

bool isSpace(std::uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Text tokens of the header and of plain rasters.
class PnmText {
 public:
  explicit PnmText(ByteReader& in) : in_(in) {}

  void skipBlanks() {
    while (in_.remaining() > 0) {
      const std::uint8_t c = in_.data()[in_.position()];
      if (c == '#') {
        while (in_.remaining() > 0 && in_.u8() != '\n') {
        }
      } else if (isSpace(c)) {
        in_.u8();
      } else {
        break;
      }
    }
  }
  // A decimal number; false when there is none or it exceeds `max`.
  bool number(std::uint32_t max, std::uint32_t& value) {
    skipBlanks();
    std::uint64_t v = 0;
    int digits = 0;
    while (in_.remaining() > 0) {
      const std::uint8_t c = in_.data()[in_.position()];
      if (c < '0' || c > '9') break;
      in_.u8();
      v = v * 10 + (c - '0');
      if (v > max) return false;
      ++digits;
    }
    value = static_cast<std::uint32_t>(v);
    return digits > 0;
  }
  // One plain bit-map digit: "0" or "1", blanks between them optional.
  bool bit(std::uint8_t& value) {
    skipBlanks();
    if (in_.remaining() == 0) return false;
    const std::uint8_t c = in_.u8();
    value = static_cast<std::uint8_t>(c - '0');
    return c == '0' || c == '1';
  }

 private:
  ByteReader& in_;
};

// Maps samples 0..maxval to 0..255, rounding to nearest.
class SampleScale {
 public:
  explicit SampleScale(std::uint32_t maxval) : maxval_(maxval) {
    if (maxval <= 255) {
      for (std::uint32_t v = 0; v <= maxval; ++v) table_[v] = scale(v);
    }
  }
  std::uint8_t operator()(std::uint32_t v) const { return maxval_ <= 255 ? table_[v] : scale(v); }

 private:
  std::uint8_t scale(std::uint32_t v) const {
    return static_cast<std::uint8_t>((v * 255 + maxval_ / 2) / maxval_);
  }
  std::uint32_t maxval_;
  std::uint8_t table_[256] = {};
};

}  // namespace

CodecResult readPnm(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&]() -> CodecResult {
    if (in.remaining() < 2 || in.u8() != 'P')
      return CodecResult::fail(CodecError::ceSignature, "not a Netpbm file");
    const int form = in.u8() - '0';
    if (form < 1 || form > 6) return CodecResult::fail(CodecError::ceSignature, "not P1 to P6");
    const bool plain = form <= 3;
    const int kind = (form - 1) % 3;  // 0 bit map, 1 grey map, 2 pixel map

    PnmText text(in);
    std::uint32_t width = 0, height = 0, maxval = 1;
    if (!text.number(0x7FFFFFFF, width) || !text.number(0x7FFFFFFF, height) ||
        (kind != 0 && !text.number(65535, maxval)) || maxval == 0)
      return CodecResult::fail(CodecError::ceDamaged, "bad header");
    if (auto r = checkDimensions(width, height, limits); !r.ok()) return r;
    // A raw raster follows exactly one blank character.
    if (!plain && (in.remaining() == 0 || !isSpace(in.u8())))
      return CodecResult::fail(CodecError::ceDamaged, "no blank after the header");

    const std::size_t w = width;
    const std::size_t samples = w * height * (kind == 2 ? 3 : 1);
    const std::size_t sampleBytes = maxval > 255 ? 2 : 1;
    // Fewest bytes the raster can take: a raw row of bits is (w + 7) / 8 bytes; plain samples need
    // a digit each and a blank between numbers.
    const std::size_t needed = !plain ? (kind == 0 ? (w + 7) / 8 * height : samples * sampleBytes)
                               : kind == 0 ? samples
                                           : 2 * samples - 1;
    if (in.remaining() < needed)
      return CodecResult::fail(CodecError::ceDamaged, "raster truncated");

    Bitmap pic;
    const int outBpp = kind == 0 ? 1 : kind == 1 ? 8 : 24;
    pic.reset(static_cast<int>(width), static_cast<int>(height), outBpp);
    if (kind == 0)
      pic.palette() = {PaletteColor{255, 255, 255, 0}, PaletteColor{0, 0, 0, 0}};
    else if (kind == 1)
      pic.palette() = greyPalette(256);

    const SampleScale scale(maxval);
    const std::size_t perRow = kind == 2 ? 3 * w : w;
    std::vector<std::uint8_t> line(perRow);
    for (int y = 0; y < static_cast<int>(height); ++y) {
      std::uint8_t* dst = pic.row(y);
      if (kind == 0 && !plain) {
        std::memcpy(dst, in.take((w + 7) / 8), (w + 7) / 8);
        continue;
      }
      if (kind == 0) {
        for (std::size_t x = 0; x < w; ++x) {
          std::uint8_t b;
          if (!text.bit(b)) return CodecResult::fail(CodecError::ceDamaged, "bad bit");
          dst[x / 8] = static_cast<std::uint8_t>(dst[x / 8] | (b << (7 - x % 8)));
        }
        continue;
      }
      if (plain) {
        for (std::size_t i = 0; i < perRow; ++i) {
          std::uint32_t v;
          if (!text.number(maxval, v)) return CodecResult::fail(CodecError::ceDamaged, "sample");
          line[i] = scale(v);
        }
      } else {
        const std::uint8_t* src = in.take(perRow * sampleBytes);
        for (std::size_t i = 0; i < perRow; ++i) {
          const std::uint32_t v = sampleBytes == 1 ? src[i] : (src[2 * i] << 8) | src[2 * i + 1];
          if (v > maxval) return CodecResult::fail(CodecError::ceDamaged, "sample above maxval");
          line[i] = scale(v);
        }
      }
      if (kind == 1) {
        std::memcpy(dst, line.data(), w);
      } else {
        for (std::size_t x = 0; x < w; ++x) {  // red, green, blue -> blue, green, red
          dst[3 * x] = line[3 * x + 2];
          dst[3 * x + 1] = line[3 * x + 1];
          dst[3 * x + 2] = line[3 * x];
        }
      }
    }
    out.swap(pic);
    return CodecResult::success();
  });
}

}  // namespace vorlino
