// Inputs shared by the benchmarks: a photo-like 24-bit bitmap (smooth gradients with fine noise,
// so that nothing is uniform and every colour cell is visited) and a grey mask with a dark frame.
#pragma once

#include <cstdint>

#include "bitmap/bitmap.h"

namespace vorlino::bench {

inline constexpr int kPhotoWidth = 6000;
inline constexpr int kPhotoHeight = 4000;
inline constexpr int kMaskWidth = 800;
inline constexpr int kMaskHeight = 600;

inline Bitmap makePhoto(int width = kPhotoWidth, int height = kPhotoHeight) {
  Bitmap b;
  b.resetForOverwrite(width, height, 24);
  std::uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = b.row(y);
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>((seed >> 24) & 15) - 8;
      auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
      p[3 * x] = clamp(x * 255 / width + noise);
      p[3 * x + 1] = clamp(y * 255 / height + noise);
      p[3 * x + 2] = clamp(((x + y) * 255) / (width + height) + noise);
    }
  }
  return b;
}

// Grey: black frame fading to white inside, like a vignette mask.
inline Bitmap makeMask(int width = kMaskWidth, int height = kMaskHeight) {
  Bitmap b;
  b.resetForOverwrite(width, height, 24);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = b.row(y);
    for (int x = 0; x < width; ++x) {
      int d = x < y ? x : y;
      d = d < width - 1 - x ? d : width - 1 - x;
      d = d < height - 1 - y ? d : height - 1 - y;
      const std::uint8_t v = static_cast<std::uint8_t>(d * 4 > 255 ? 255 : d * 4);
      p[3 * x] = p[3 * x + 1] = p[3 * x + 2] = v;
    }
  }
  return b;
}

}  // namespace vorlino::bench
