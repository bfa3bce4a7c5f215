#include "compose/quarter_turn.h"

#include <cstring>

#include "compose/pixel_blocks.h"

namespace vorlino {
namespace {

// Square tiles of source pixels: a tile's source rows and target rows both stay in the L1 cache,
// so neither bitmap is walked across its rows one pixel at a time.
constexpr int kTile = 32;

VORLINO_ALWAYS_INLINE void movePixel(std::uint8_t* dst, const std::uint8_t* src) {
  std::memcpy(dst, src, 3);
}

// Target rows tx0..tx1 correspond to source columns; tiles are independent, so any split of the
// source rows between threads gives the same bytes.
VORLINO_ALWAYS_INLINE void turnRows(const Bitmap& source, Bitmap& target, bool clockwise, int y0,
                                    int y1) {
  const int w = source.width();
  const int h = source.height();
  for (int ty = y0; ty < y1; ty += kTile) {
    const int tyEnd = ty + kTile < y1 ? ty + kTile : y1;
    for (int tx = 0; tx < w; tx += kTile) {
      const int txEnd = tx + kTile < w ? tx + kTile : w;
      for (int x = tx; x < txEnd; ++x) {
        // Clockwise, source column x becomes target row x read from right to left; anticlockwise
        // it becomes target row w - 1 - x read from left to right.
        std::uint8_t* dst = target.row(clockwise ? x : w - 1 - x);
        for (int y = ty; y < tyEnd; ++y)
          movePixel(dst + 3 * static_cast<std::size_t>(clockwise ? h - 1 - y : y),
                    source.row(y) + 3 * static_cast<std::size_t>(x));
      }
    }
  }
}

}  // namespace

void RotateQuarterInto(Bitmap& source, Bitmap& target, bool clockwise) {
  if (&source == &target) {
    RotateQuarter(source, clockwise);
    return;
  }
  source.convertTo24();
  const int w = source.width();
  const int h = source.height();
  target.resetForOverwrite(h, w, 24);
  if (source.empty()) return;
  turnRows(source, target, clockwise, 0, h);
}

void RotateQuarter(Bitmap& bitmap, bool clockwise) {
  Bitmap turned;
  RotateQuarterInto(bitmap, turned, clockwise);
  turned.Transparent = bitmap.Transparent;
  turned.TransparentColor = bitmap.TransparentColor;
  turned.palette() = bitmap.palette();
  bitmap.swap(turned);
}

void RotateHalf(Bitmap& bitmap) {
  bitmap.convertTo24();
  if (bitmap.empty()) return;
  const int w = bitmap.width();
  const int h = bitmap.height();
  // Pixel pairs are exchanged directly: rows i and h-1-i mirrored into each other, then the
  // middle row of an odd height mirrored into itself.
  for (int i = 0; i < (h + 1) / 2; ++i) {
    std::uint8_t* top = bitmap.row(i);
    std::uint8_t* bottom = bitmap.row(h - 1 - i);
    const int count = top == bottom ? w / 2 : w;
    for (int x = 0; x < count; ++x) {
      std::uint8_t pixel[3];
      std::uint8_t* a = top + 3 * static_cast<std::size_t>(x);
      std::uint8_t* b = bottom + 3 * static_cast<std::size_t>(w - 1 - x);
      std::memcpy(pixel, a, 3);
      std::memcpy(a, b, 3);
      std::memcpy(b, pixel, 3);
    }
  }
}

}  // namespace vorlino
