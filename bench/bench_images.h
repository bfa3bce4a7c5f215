// Inputs shared by the benchmarks: a photo-like 24-bit bitmap (smooth gradients with fine noise,
// so that nothing is uniform and every colour cell is visited) and a grey mask with a dark frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bitmap/bitmap.h"

namespace vorlino::bench {

inline constexpr int kPhotoWidth = 6000;
inline constexpr int kPhotoHeight = 4000;
inline constexpr int kMaskWidth = 800;
inline constexpr int kMaskHeight = 600;

// Reads a binary PPM (P6) or PGM (P5) of exactly that size into a 24-bit bitmap; false otherwise.
// scripts/bench.sh points VORLINO_BENCH_PHOTO / VORLINO_BENCH_MASK at the files it hands to the
// other tools, so that both sides work on the same pixels.
inline bool readNetpbm(const char* path, int width, int height, Bitmap& out) {
  if (!path) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path, "rb"), &std::fclose);
  if (!f) return false;
  char magic[3] = {};
  int w = 0, h = 0, maxval = 0;
  if (std::fscanf(f.get(), "%2s %d %d %d", magic, &w, &h, &maxval) != 4 || w != width ||
      h != height || maxval != 255)
    return false;
  std::fgetc(f.get());
  const bool grey = magic[1] == '5';
  if (magic[0] != 'P' || (!grey && magic[1] != '6')) return false;
  out.resetForOverwrite(width, height, 24);
  std::unique_ptr<std::uint8_t[]> line(new std::uint8_t[static_cast<std::size_t>(width) * 3]);
  const std::size_t n = static_cast<std::size_t>(width) * (grey ? 1 : 3);
  for (int y = 0; y < height; ++y) {
    if (std::fread(line.get(), 1, n, f.get()) != n) return false;
    std::uint8_t* p = out.row(y);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* s = grey ? line.get() + x : line.get() + 3 * x;
      p[3 * x] = grey ? s[0] : s[2];
      p[3 * x + 1] = grey ? s[0] : s[1];
      p[3 * x + 2] = s[0];
    }
  }
  return true;
}

inline Bitmap makePhoto(int width = kPhotoWidth, int height = kPhotoHeight) {
  Bitmap b;
  if (readNetpbm(std::getenv("VORLINO_BENCH_PHOTO"), width, height, b)) return b;
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
  if (readNetpbm(std::getenv("VORLINO_BENCH_MASK"), width, height, b)) return b;
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
