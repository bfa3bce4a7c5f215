#include "imagefile/palette/reduce_palette.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "bitmap/color.h"
#include "imagefile/palette/color_quantizer.h"
#include "imagefile/palette/fast_color_lookup.h"
#include "imagefile/palette/floyd_steinberg.h"
#include "parallel/parallel.h"

namespace vorlino {
namespace {

int paletteBits(int colors) {
  if (colors <= 2) return 1;
  if (colors <= 16) return 4;
  int bits = 5;
  while ((1 << bits) < colors) ++bits;
  return bits;
}

int convertedDepth(int paletteBits) {
  return paletteBits == 1 ? 1 : paletteBits == 4 ? 4 : 8;
}

// Packs one row of indices (one byte each) into a row of 1, 4 or 8 bits per pixel, most
// significant bits first.
void packRow(const std::uint8_t* indices, int width, int depth, std::uint8_t* out) {
  if (depth == 8) {
    std::memcpy(out, indices, static_cast<std::size_t>(width));
    return;
  }
  const int perByte = 8 / depth;
  for (int x = 0; x < width; x += perByte) {
    unsigned byte = 0;
    for (int k = 0; k < perByte; ++k) {
      byte <<= depth;
      if (x + k < width) byte |= indices[x + k];
    }
    *out++ = static_cast<std::uint8_t>(byte);
  }
}

constexpr std::uint32_t kNoColour = 0xFFFFFFFF;

// For every colour cell, the first colour of the image in reading order that falls into it, as
// red | green << 8 | blue << 16, or kNoColour.
void recordFirstColours(const Bitmap& source, std::vector<std::uint32_t>& first) {
  for (int y = 0; y < source.height(); ++y) {
    const std::uint8_t* p = source.row(y);
    for (int x = 0; x < source.width(); ++x, p += 3) {
      std::uint32_t& cell = first[TFastColorLookup::cellOf(p[2], p[1], p[0])];
      if (cell == kNoColour)
        cell = p[2] | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[0]) << 16);
    }
  }
}

// Maps one row through a lookup whose cells are all filled, straight into a palette row of
// `depth` bits (through a small local buffer) or, with depth 0, as palette colours into `out`,
// pixelBytes apart. Allocates nothing and changes no shared state, so rows can go to threads.
void mapRowCached(const TFastColorLookup& lookup, const std::vector<PaletteColor>& palette,
                  const std::uint8_t* src, int width, int depth, std::uint8_t* out,
                  int pixelBytes) {
  if (depth == 0) {
    for (int x = 0; x < width; ++x, src += 3, out += pixelBytes) {
      const PaletteColor& c =
          palette[static_cast<std::size_t>(lookup.cached(src[2], src[1], src[0]))];
      out[0] = c.blue;
      out[1] = c.green;
      out[2] = c.red;
    }
    return;
  }
  constexpr int kPiece = 256;  // a multiple of 8, so each piece starts on a whole byte
  std::uint8_t indices[kPiece];
  for (int x = 0; x < width; x += kPiece) {
    const int n = std::min(kPiece, width - x);
    for (int k = 0; k < n; ++k, src += 3)
      indices[k] = static_cast<std::uint8_t>(lookup.cached(src[2], src[1], src[0]));
    packRow(indices, n, depth, out + static_cast<std::size_t>(x) * depth / 8);
  }
}

}  // namespace

void ReduceToPalette(Bitmap& bitmap, int colors, int options) {
  if (bitmap.empty() || colors < 1 || colors > 256) return;
  const int bits = paletteBits(colors);
  const bool dither = (options & kReduceDither) != 0;
  const bool convert = (options & kReduceConvert) != 0;
  const bool transparentSlot = (options & kReduceTransparentSlot) != 0;

  // Everything below reads 24-bit pixels; another depth is read from a converted copy, so the
  // bitmap is untouched until the result is complete.
  Bitmap converted;
  const bool is24 = bitmap.bitsPerPixel() == 24;
  if (!is24) {
    converted.assign(bitmap);
    converted.convertTo24();
  }
  Bitmap& source = is24 ? bitmap : converted;

  std::vector<PaletteColor> palette;
  std::vector<int> candidates;
  const auto buildPalette = [&] {
    if (transparentSlot) {
      palette.assign(static_cast<std::size_t>(colors), PaletteColor{});
      if (colors > 1) {
        TColorQuantizer octree(colors - 1, bits);
        octree.addBitmap(source);
        const std::vector<PaletteColor> found = octree.colors();
        const int used = std::min(static_cast<int>(found.size()), colors - 1);
        for (int i = 0; i < used; ++i) {
          palette[static_cast<std::size_t>(i)] = found[static_cast<std::size_t>(i)];
          candidates.push_back(i);
        }
      }
      palette[static_cast<std::size_t>(colors - 1)] =
          toPaletteColor(ColorToRGB(bitmap.TransparentColor));
      candidates.push_back(colors - 1);
    } else {
      const int size = 1 << bits;
      palette.assign(static_cast<std::size_t>(size), PaletteColor{});
      TColorQuantizer octree(size, 8);
      octree.addBitmap(source);
      const std::vector<PaletteColor> found = octree.colors();
      const int used = std::min(static_cast<int>(found.size()), size);
      for (int i = 0; i < used; ++i) {
        palette[static_cast<std::size_t>(i)] = found[static_cast<std::size_t>(i)];
        candidates.push_back(i);
      }
    }
  };

  const int width = bitmap.width();
  const int height = bitmap.height();
  const int depth = convertedDepth(bits);
  // A 32-bit bitmap keeps its alpha; every other depth is written as 24 bits.
  const bool keepAlpha = bitmap.bitsPerPixel() == 32;

  // Without dithering each pixel only looks up its own colour, so the rows can be shared out
  // between threads; but the cache answers a cell with the search made for the first colour
  // that reached it, and the colours of one cell can have different nearest entries. So the
  // first colour of every cell in reading order is noted (alongside the octree, which must see
  // the pixels in order anyway), the cells are filled from those colours, and only then are the
  // rows mapped, each thread reading the filled cache: the same indices as the scan below.
  const bool parallelMap =
      !dither && workerCount() > 1 && std::int64_t{width} * height >= kMinParallelWork;
  std::vector<std::uint32_t> firstColours;
  if (parallelMap) {
    firstColours.assign(TFastColorLookup::kCells, kNoColour);
    parallelInvoke(buildPalette, [&] { recordFirstColours(source, firstColours); });
  } else {
    buildPalette();
  }

  Bitmap result;
  if (convert) result.reset(width, height, depth);
  TFastColorLookup lookup(palette, candidates);

  if (parallelMap) {
    const std::int64_t searchWork = 1 + static_cast<std::int64_t>(candidates.size()) / 16;
    parallelRows(static_cast<int>(TFastColorLookup::kCells), searchWork, [&](int c0, int c1) {
      for (int cell = c0; cell < c1; ++cell) {
        const std::uint32_t c = firstColours[static_cast<std::size_t>(cell)];
        if (c != kNoColour)
          lookup.fill(static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                      static_cast<std::uint8_t>(c >> 16));
      }
    });
    parallelRows(height, width, [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        if (convert)
          mapRowCached(lookup, palette, source.row(y), width, depth, result.row(y), 0);
        else
          mapRowCached(lookup, palette, source.row(y), width, 0,
                       keepAlpha ? bitmap.row(y) : source.row(y), keepAlpha ? 4 : 3);
      }
    });
  } else {
    // One pass in reading order, the cache filling as it goes. Nothing allocates once a row is
    // written back (into the source row itself when the result keeps 24 bits, which is safe
    // since errors only flow to later pixels).
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
    TFloydSteinbergDitherer ditherer(dither ? width : 0, lookup);
    for (int y = 0; y < height; ++y) {
      std::uint8_t* src = source.row(y);
      if (dither) {
        ditherer.ditherRow(src, indices.data());
      } else {
        for (int x = 0; x < width; ++x)
          indices[static_cast<std::size_t>(x)] =
              static_cast<std::uint8_t>(lookup.lookup(src[3 * x + 2], src[3 * x + 1], src[3 * x]));
      }
      if (convert) {
        packRow(indices.data(), width, depth, result.row(y));
        continue;
      }
      std::uint8_t* out = keepAlpha ? bitmap.row(y) : src;
      const int pixelBytes = keepAlpha ? 4 : 3;
      for (int x = 0; x < width; ++x, out += pixelBytes) {
        const PaletteColor& c = palette[indices[static_cast<std::size_t>(x)]];
        out[0] = c.blue;
        out[1] = c.green;
        out[2] = c.red;
      }
    }
  }

  if (convert) {
    result.palette() = std::move(palette);
    result.Transparent = bitmap.Transparent;
    result.TransparentColor = bitmap.TransparentColor;
    bitmap.swap(result);
  } else if (!is24 && bitmap.bitsPerPixel() != 32) {
    bitmap.swap(converted);  // a palette form cannot hold the new colours: it becomes 24 bits
  }
}

}  // namespace vorlino
