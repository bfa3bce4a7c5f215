#include "compose/bitmap_filters.h"
#include "compose/pixel_blocks.h"

namespace vorlino {
namespace {

using blocks::kBytes;
using blocks::kPixels;

// Column sums of one block, per byte: at most 3 * 255, and nine bytes at most 2295, so 16-bit
// lanes hold everything and the division by 9 is exact in them.
VORLINO_ALWAYS_INLINE void columnSums(const std::uint8_t* __restrict above,
                                      const std::uint8_t* __restrict current,
                                      const std::uint8_t* __restrict below,
                                      std::uint16_t* __restrict sums) {
  for (int i = 0; i < kBytes; ++i)
    sums[i] = static_cast<std::uint16_t>(above[i] + current[i] + below[i]);
}

VORLINO_ALWAYS_INLINE void meanOfThree(const std::uint16_t* __restrict sums,
                                       std::uint8_t* __restrict out) {
  for (int i = 0; i < kBytes; ++i)
    out[i] = static_cast<std::uint8_t>(
        static_cast<std::uint16_t>(sums[i] + sums[i + 3] + sums[i + 6]) / 9);
}

// One row in place. The column sums of a block are all taken before any pixel of it is written,
// and the sums of the block's right neighbour column before that column is written, so nothing
// reads a value of this row that was already filtered.
VORLINO_ALWAYS_INLINE void softenRow(const std::uint8_t* above, std::uint8_t* current,
                                     const std::uint8_t* below, int width) {
  // sums[0..2]: left neighbour column; sums[3..]: the block; then its right neighbour column.
  alignas(32) std::uint16_t sums[kBytes + 6];
  std::uint16_t carry[3] = {0, 0, 0};
  for (int x = 0; x < width; x += kPixels) {
    const int n = width - x < kPixels ? width - x : kPixels;
    const std::size_t at = 3 * static_cast<std::size_t>(x);
    if (n == kPixels) {
      columnSums(above + at, current + at, below + at, sums + 3);
    } else {
      alignas(32) std::uint8_t a[kBytes] = {}, c[kBytes] = {}, b[kBytes] = {};
      const std::size_t used = 3 * static_cast<std::size_t>(n);
      std::memcpy(a, above + at, used);
      std::memcpy(c, current + at, used);
      std::memcpy(b, below + at, used);
      columnSums(a, c, b, sums + 3);
    }
    const int end = 3 * n;  // sums index of the right neighbour, minus 3
    for (int j = 0; j < 3; ++j) {
      // The edge columns count twice.
      sums[j] = x == 0 ? sums[3 + j] : carry[j];
      const std::size_t right = at + static_cast<std::size_t>(end) + static_cast<std::size_t>(j);
      sums[3 + end + j] =
          x + n < width ? static_cast<std::uint16_t>(above[right] + current[right] + below[right])
                        : sums[end + j];
      carry[j] = sums[end + j];
    }
    if (n == kPixels) {
      meanOfThree(sums, current + at);
    } else {
      alignas(32) std::uint8_t out[kBytes];
      meanOfThree(sums, out);
      std::memcpy(current + at, out, 3 * static_cast<std::size_t>(n));
    }
  }
}

// Rows depend on the filtered row above, so they run in order from the top.
VORLINO_ALWAYS_INLINE void softenRows(Bitmap& bitmap) {
  const int h = bitmap.height();
  const std::uint8_t* above = bitmap.row(0);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* current = bitmap.row(y);
    const std::uint8_t* below = y + 1 < h ? bitmap.row(y + 1) : current;
    softenRow(above, current, below, bitmap.width());
    above = current;
  }
}

void softenBaseline(Bitmap& bitmap) {
  softenRows(bitmap);
}
VORLINO_AVX2 void softenAvx2(Bitmap& bitmap) {
  softenRows(bitmap);
}

}  // namespace

void SoftenBitmap(Bitmap& bitmap) {
  if (bitmap.empty()) return;
  blocks::require24(bitmap, "SoftenBitmap");
  if (blocks::useAvx2())
    softenAvx2(bitmap);
  else
    softenBaseline(bitmap);
}

}  // namespace vorlino
