#include "compose/bitmap_filters.h"
#include "compose/pixel_blocks.h"
#include "parallel/parallel.h"

namespace vorlino {
namespace {

using blocks::kBytes;
using blocks::kPixels;

struct TileParams {
  std::uint8_t opacity;  // 1..100
  bool keyed;            // source pixels near key leave the target alone
  std::uint8_t key[3];
  std::uint8_t tolerance;  // at most 255, which every byte matches
};

// Copies `pixels` pixels of a source row, starting at column sx and wrapping at its width.
VORLINO_ALWAYS_INLINE void copyRepeated(const std::uint8_t* sourceRow, int sourceWidth, int sx,
                                        int pixels, std::uint8_t* dst) {
  while (pixels > 0) {
    const int run = pixels < sourceWidth - sx ? pixels : sourceWidth - sx;
    std::memcpy(dst, sourceRow + 3 * sx, 3 * static_cast<std::size_t>(run));
    dst += 3 * run;
    pixels -= run;
    sx = 0;
  }
}

VORLINO_ALWAYS_INLINE std::uint8_t distance(std::uint8_t a, std::uint8_t b) {
  return static_cast<std::uint8_t>(a > b ? a - b : b - a);
}

// Source pixels near the key get weight 0, the others the opacity.
VORLINO_ALWAYS_INLINE void keyedWeights(const std::uint8_t* __restrict s, const TileParams& p,
                                        std::uint8_t* __restrict weights) {
  const std::uint8_t k0 = p.key[0], k1 = p.key[1], k2 = p.key[2], tol = p.tolerance;
  const std::uint8_t opacity = p.opacity;
  for (int k = 0; k < kPixels; ++k) {
    const std::uint8_t* q = s + 3 * k;
    const bool transparent =
        distance(q[0], k0) <= tol && distance(q[1], k1) <= tol && distance(q[2], k2) <= tol;
    const std::uint8_t f = transparent ? 0 : opacity;
    weights[3 * k] = weights[3 * k + 1] = weights[3 * k + 2] = f;
  }
}

// Rows are independent: any split of [y0, y1) between threads gives the same bytes.
template <bool Keyed>
VORLINO_ALWAYS_INLINE void blendTiles(Bitmap& target, const Bitmap& source, const TileParams& p,
                                      int y0, int y1) {
  const int sw = source.width();
  const int width = target.width();
  alignas(32) std::uint8_t opacityWeights[kBytes];
  std::memset(opacityWeights, p.opacity, kBytes);
  for (int y = y0; y < y1; ++y) {
    const std::uint8_t* sourceRow = source.row(y % source.height());
    blocks::forEachBlockAt(width, target.row(y), [&](std::uint8_t* c, int x) VORLINO_LAMBDA_INLINE {
      const int sx = x % sw;
      alignas(32) std::uint8_t repeated[kBytes] = {};
      const std::uint8_t* s = sourceRow + 3 * sx;
      if (sx + kPixels > sw) {  // the block wraps around the source, or the source is short
        const int n = width - x < kPixels ? width - x : kPixels;
        copyRepeated(sourceRow, sw, sx, n, repeated);
        s = repeated;
      }
      if constexpr (Keyed) {
        alignas(32) std::uint8_t weights[kBytes];
        keyedWeights(s, p, weights);
        blocks::pullBlock(c, s, weights);
      } else {
        blocks::pullBlock(c, s, opacityWeights);
      }
    });
  }
}

VORLINO_ALWAYS_INLINE void tileRows(Bitmap& target, const Bitmap& source, const TileParams& p,
                                    int y0, int y1) {
  if (p.keyed) {
    blendTiles<true>(target, source, p, y0, y1);
  } else if (p.opacity < 100) {
    blendTiles<false>(target, source, p, y0, y1);
  } else {  // a plain copy
    for (int y = y0; y < y1; ++y)
      copyRepeated(source.row(y % source.height()), source.width(), 0, target.width(),
                   target.row(y));
  }
}

void tileBaseline(Bitmap& target, const Bitmap& source, const TileParams& p, int y0, int y1) {
  tileRows(target, source, p, y0, y1);
}
VORLINO_AVX2 void tileAvx2(Bitmap& target, const Bitmap& source, const TileParams& p, int y0,
                           int y1) {
  tileRows(target, source, p, y0, y1);
}

}  // namespace

// An empty source has nothing to repeat: the target is left as it is.
void TileBitmap(Bitmap& target, const Bitmap& source, int opacity, Color transparentColour,
                int tolerance) {
  if (opacity <= 0 || tolerance < 0 || target.empty() || source.empty()) return;
  blocks::require24(target, "TileBitmap");
  blocks::require24(source, "TileBitmap");
  const Color key = ColorToRGB(transparentColour);
  const TileParams p{static_cast<std::uint8_t>(opacity > 100 ? 100 : opacity),
                     transparentColour != kNoColor,
                     {blueOf(key), greenOf(key), redOf(key)},
                     static_cast<std::uint8_t>(tolerance > 255 ? 255 : tolerance)};
  const bool avx2 = blocks::useAvx2();
  parallelRows(target.height(), target.width(), [&](int y0, int y1) {
    if (avx2)
      tileAvx2(target, source, p, y0, y1);
    else
      tileBaseline(target, source, p, y0, y1);
  });
}

}  // namespace vorlino
