#include "compose/quarter_turn.h"

#include <cstring>

#include "compose/pixel_blocks.h"

namespace vorlino {
namespace {

// Square tiles of 32 by 32 pixels: while a tile is turned, its 32 source row segments and its 32
// target row segments (96 bytes each) stay in the L1 cache.
constexpr int kTile = 32;

// Tiles are independent: any split of the source rows [y0, y1) between threads gives the same
// bytes.
VORLINO_ALWAYS_INLINE void turnRows(const Bitmap& source, Bitmap& target, bool clockwise, int y0,
                                    int y1) {
  const int w = source.width();
  const int h = source.height();
  const std::uint8_t* rows[kTile];
  for (int ty = y0; ty < y1; ty += kTile) {
    const int n = ty + kTile < y1 ? kTile : y1 - ty;
    for (int i = 0; i < n; ++i) rows[i] = source.row(ty + i);
    for (int tx = 0; tx < w; tx += kTile) {
      const int txEnd = tx + kTile < w ? tx + kTile : w;
      for (int x = tx; x < txEnd; ++x) {
        const std::size_t from = 3 * static_cast<std::size_t>(x);
        if (clockwise) {
          // Source column x becomes target row x, read from right to left.
          std::uint8_t* dst = target.row(x) + 3 * static_cast<std::size_t>(h - 1 - ty);
          for (int i = 0; i < n; ++i) std::memcpy(dst - 3 * i, rows[i] + from, 3);
        } else {
          // Source column x becomes target row w - 1 - x, read from left to right.
          std::uint8_t* dst = target.row(w - 1 - x) + 3 * static_cast<std::size_t>(ty);
          for (int i = 0; i < n; ++i) std::memcpy(dst + 3 * i, rows[i] + from, 3);
        }
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
