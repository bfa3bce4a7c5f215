// Plain per-pixel versions of the compose operations, written straight from their definitions,
// and the helpers that compare the optimised builds with them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "bitmap/bitmap.h"
#include "compose/pixel_blocks.h"

namespace vorlino::test {

// Runs check() with the AVX2 build (when the processor has it) and with the baseline build.
template <class Check>
void forEachBuild(Check&& check) {
  for (bool avx2 : {true, false}) {
    SCOPED_TRACE(avx2 ? "AVX2 build allowed" : "baseline build");
    blocks::allowAvx2(avx2);
    check();
  }
  blocks::allowAvx2(true);
}

// Odd shapes around the block and tile sizes, and single rows and columns.
inline constexpr int kShapes[][2] = {{113, 157}, {1, 97},  {211, 1}, {63, 4},  {64, 3},
                                     {65, 2},    {129, 5}, {1, 1},   {200, 33}};

inline std::uint8_t* pixelAt(Bitmap& b, int x, int y) {
  return b.row(y) + 3 * x;
}
inline const std::uint8_t* pixelAt(const Bitmap& b, int x, int y) {
  return b.row(y) + 3 * x;
}

// c + ((t - c) * f) / 100 in plain int arithmetic (C++ division truncates toward zero).
inline std::uint8_t pullTowards(int c, int t, int f) {
  return static_cast<std::uint8_t>(c + ((t - c) * f) / 100);
}

inline void referenceBlend(Bitmap& target, const Bitmap& mask, int opacity, Color colour) {
  if (opacity <= 0) return;
  if (opacity > 100) opacity = 100;
  const Color c = ColorToRGB(colour);
  const int t[3] = {blueOf(c), greenOf(c), redOf(c)};
  for (int y = 0; y < target.height(); ++y)
    for (int x = 0; x < target.width(); ++x) {
      const std::uint8_t* m = pixelAt(mask, x, y);
      const int mean = (m[0] + m[1] + m[2]) / 3;
      if (mean >= 250) continue;
      int f = ((255 - mean) * 100) / 255;
      f = (f * opacity) / 100;
      std::uint8_t* p = pixelAt(target, x, y);
      for (int j = 0; j < 3; ++j) p[j] = pullTowards(p[j], t[j], f);
    }
}

}  // namespace vorlino::test
