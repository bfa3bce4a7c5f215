// Helpers shared by the core tests: small bitmaps written pixel by pixel and random images.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>

#include "bitmap/bitmap.h"

namespace vorlino::test {

// A 24-bit bitmap filled with pseudo-random bytes (padding included), reproducible by seed.
inline Bitmap randomBitmap(int width, int height, std::uint32_t seed, int bpp = 24) {
  Bitmap b(width, height, bpp);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = b.row(y);
    for (std::size_t i = 0; i < b.stride(); ++i) p[i] = static_cast<std::uint8_t>(rng());
  }
  if (bpp <= 8)
    for (auto& c : b.palette())
      c = {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
           static_cast<std::uint8_t>(rng()), 0};
  return b;
}

// A 24-bit bitmap of one colour (0x00BBGGRR).
inline Bitmap solidBitmap(int width, int height, Color c) {
  Bitmap b(width, height, 24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) b.setPixel(x, y, c);
  return b;
}

// A 24-bit grey bitmap from rows of grey values.
inline Bitmap greyBitmap(std::initializer_list<std::initializer_list<int>> rows) {
  const int h = static_cast<int>(rows.size());
  const int w = h ? static_cast<int>(rows.begin()->size()) : 0;
  Bitmap b(w, h, 24);
  int y = 0;
  for (const auto& r : rows) {
    int x = 0;
    for (int v : r) {
      const auto g = static_cast<std::uint8_t>(v);
      b.setPixel(x++, y, rgb(g, g, g));
    }
    ++y;
  }
  return b;
}

// Grey value (byte 0) at (x, y) of a 24-bit bitmap.
inline int greyAt(const Bitmap& b, int x, int y) {
  return b.row(y)[3 * x];
}

}  // namespace vorlino::test
