// ZSoft PCX decoder.
//
// Reads versions 0 to 5, run-length coded (encoding 1) or stored (encoding 0). Pixel layouts: one
// plane of 1, 2, 4 or 8 bits of palette indices; 2 to 4 planes of 1, 2 or 4 bits whose values
// together make an index of at most 8 bits (plane 0 holds the low bits); 3 or 4 planes of 8 bits
// (red, green, blue and alpha). Palettes: a monochrome picture is black and white; up to 16
// colours come from the header palette (the default EGA colours when the file has none, as version
// 3 says); 256 colours come from the palette after the 0x0C marker at the end of the file, or are
// greys when it is missing. Runs that cross from one scanline into the next are followed.
#include <array>
#include <cstring>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"
#include "imagefile/rows/pixel_rows.h"
#include "imagefile/rows/run_length.h"

namespace vorlino {

namespace {

constexpr std::size_t kHeaderBytes = 128;
constexpr std::size_t kTrailingPaletteBytes = 769;  // 0x0C marker and 256 RGB triples

// The 16 colours of the EGA default palette, for files that carry no palette of their own.
constexpr std::array<std::uint32_t, 16> kEgaColours = {
    0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
    0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};

std::vector<PaletteColor> headerPalette(const std::uint8_t* header, int version) {
  const std::uint8_t* p = header + 16;
  bool blank = true;
  for (int i = 0; i < 48; ++i) blank = blank && p[i] == 0;
  std::vector<PaletteColor> pal(16);
  for (std::size_t i = 0; i < 16; ++i) {
    if (version == 3 || blank) {
      const std::uint32_t c = kEgaColours[i];
      pal[i] = {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                static_cast<std::uint8_t>(c >> 16), 0};
    } else {
      pal[i] = {p[3 * i + 2], p[3 * i + 1], p[3 * i], 0};
    }
  }
  return pal;
}

std::vector<PaletteColor> trailingPalette(const ByteReader& in) {
  if (in.size() >= kHeaderBytes + kTrailingPaletteBytes) {
    const std::uint8_t* p = in.data() + in.size() - kTrailingPaletteBytes;
    if (p[0] == 0x0C) {
      std::vector<PaletteColor> pal(256);
      for (std::size_t i = 0; i < 256; ++i) pal[i] = {p[3 * i + 3], p[3 * i + 2], p[3 * i + 1], 0};
      return pal;
    }
  }
  return greyPalette(256);
}

CodecResult decodePcx(ByteReader& in, Bitmap& out, const DecodeLimits& limits) {
  const std::uint8_t* header = in.take(kHeaderBytes);
  if (!header || header[0] != 0x0A) return CodecResult::fail(CodecError::ceSignature, "not PCX");
  const int version = header[1];
  const int encoding = header[2];
  const int bits = header[3];
  auto le16 = [&](std::size_t at) { return header[at] | (header[at + 1] << 8); };
  const int xMin = le16(4), yMin = le16(6), xMax = le16(8), yMax = le16(10);
  const int planes = header[65];
  const std::size_t bytesPerLine = static_cast<std::size_t>(le16(66));
  if (version > 5 || encoding > 1) return CodecResult::fail(CodecError::ceSignature, "not PCX");
  if (xMax < xMin || yMax < yMin) return CodecResult::fail(CodecError::ceDamaged, "bad window");
  const int width = xMax - xMin + 1;
  const int height = yMax - yMin + 1;

  // Kinds of layout: indices (planes of 1, 2 or 4 bits, or one plane of 8) or direct colour.
  const bool direct = bits == 8 && (planes == 3 || planes == 4);
  const bool indexed =
      planes >= 1 && planes <= 4 &&
      ((bits == 8 && planes == 1) || ((bits == 1 || bits == 2 || bits == 4) && bits * planes <= 8));
  if (!direct && !indexed) return CodecResult::fail(CodecError::ceUnsupported, "pixel layout");
  if (auto r = checkDimensions(static_cast<std::uint64_t>(width),
                               static_cast<std::uint64_t>(height), limits);
      !r.ok())
    return r;
  const std::size_t minLine =
      (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 7) / 8;
  if (bytesPerLine < minLine) return CodecResult::fail(CodecError::ceDamaged, "short scanline");
  const auto scanline = checkedMul(bytesPerLine, static_cast<std::size_t>(planes));
  const auto total =
      scanline ? checkedMul(*scanline, static_cast<std::size_t>(height)) : std::nullopt;
  if (!total) return CodecResult::fail(CodecError::ceTooLarge, "scanline size");
  const std::size_t least = encoding ? RunDecoder::minimumBytes(*total, RunScheme::rsPcx) : *total;
  if (least > in.remaining()) return CodecResult::fail(CodecError::ceDamaged, "file too short");

  const int indexBits = bits * planes;
  const int outBits = direct ? 8 * planes : indexBits == 1 ? 1 : indexBits <= 4 ? 4 : 8;
  Bitmap bmp;
  bmp.reset(width, height, outBits);
  if (indexed) {
    std::vector<PaletteColor> pal = indexBits == 1   ? greyPalette(2)
                                    : indexBits <= 4 ? headerPalette(header, version)
                                                     : trailingPalette(in);
    pal.resize(std::size_t{1} << indexBits);
    std::copy(pal.begin(), pal.end(), bmp.palette().begin());
  }

  const std::size_t w = static_cast<std::size_t>(width);
  std::vector<std::uint8_t> line(*scanline);
  std::vector<std::uint8_t> values(w);
  std::vector<std::uint8_t> index(w);
  RunDecoder runs(in, RunScheme::rsPcx);
  for (int y = 0; y < height; ++y) {
    const bool got =
        encoding ? runs.read(line.data(), line.size()) : in.read(line.data(), line.size());
    if (!got) return CodecResult::fail(CodecError::ceDamaged, "truncated");
    std::uint8_t* row = bmp.row(y);
    if (direct) {
      for (int p = 0; p < planes; ++p) {
        // Planes are red, green, blue (alpha); the bitmap stores blue, green, red (alpha).
        const int channel = p < 3 ? 2 - p : 3;
        interleavePlane(line.data() + p * bytesPerLine, w, row + channel, planes);
      }
    } else if (planes == 1 && (bits == 1 || bits == 4 || bits == 8)) {
      std::memcpy(row, line.data(), minLine);  // the bitmap packs these depths the same way
    } else {
      std::fill(index.begin(), index.end(), 0);
      for (int p = 0; p < planes; ++p) {
        unpackIndices(line.data() + p * bytesPerLine, bits, w, values.data());
        for (std::size_t x = 0; x < w; ++x)
          index[x] |= static_cast<std::uint8_t>(values[x] << (p * bits));
      }
      if (outBits == 8) {
        std::memcpy(row, index.data(), w);
      } else {
        for (std::size_t x = 0; x < w; x += 2)
          row[x / 2] = static_cast<std::uint8_t>((index[x] << 4) | (x + 1 < w ? index[x + 1] : 0));
      }
    }
  }
  // Bits of the last byte beyond the width may hold anything; the bitmap keeps its padding clean.
  if (outBits < 8 && indexed && planes == 1) {
    const std::size_t usedBits = w * static_cast<std::size_t>(outBits);
    if (usedBits % 8) {
      const auto keep = static_cast<std::uint8_t>(0xFF << (8 - usedBits % 8));
      for (int y = 0; y < height; ++y) bmp.row(y)[usedBits / 8] &= keep;
    }
  }
  out = std::move(bmp);
  return CodecResult::success();
}

}  // namespace

CodecResult readPcx(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] { return decodePcx(in, out, limits); });
}

}  // namespace vorlino
