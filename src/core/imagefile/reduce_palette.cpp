#include "imagefile/reduce_palette.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "bitmap/color.h"
#include "imagefile/color_quantizer.h"
#include "imagefile/fast_color_lookup.h"
#include "imagefile/floyd_steinberg.h"

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

  const int width = bitmap.width();
  const int height = bitmap.height();
  const int depth = convertedDepth(bits);
  Bitmap result;
  if (convert) result.reset(width, height, depth);
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
  TFastColorLookup lookup(palette, candidates);
  TFloydSteinbergDitherer ditherer(dither ? width : 0, lookup, palette);

  // From here on nothing allocates: each row is mapped, then written back (into the source row
  // itself when the result keeps 24 bits, which is safe since errors only flow to later pixels).
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
    // A 32-bit bitmap keeps its alpha; every other depth is written as 24 bits.
    const bool keepAlpha = bitmap.bitsPerPixel() == 32;
    std::uint8_t* out = keepAlpha ? bitmap.row(y) : src;
    const int pixelBytes = keepAlpha ? 4 : 3;
    for (int x = 0; x < width; ++x, out += pixelBytes) {
      const PaletteColor& c = palette[indices[static_cast<std::size_t>(x)]];
      out[0] = c.blue;
      out[1] = c.green;
      out[2] = c.red;
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
