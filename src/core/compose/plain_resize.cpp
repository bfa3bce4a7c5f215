#include "compose/plain_resize.h"

#include <cstdint>
#include <vector>

namespace vorlino {

namespace {

// Source index sampled by each of dstSize outputs: the one under the output's centre.
std::vector<int> sampleMap(int srcSize, int dstSize) {
  std::vector<int> map(static_cast<std::size_t>(dstSize));
  for (int i = 0; i < dstSize; ++i)
    map[std::size_t(i)] =
        int((std::int64_t(2 * std::int64_t(i) + 1) * srcSize) / (2 * std::int64_t(dstSize)));
  return map;
}

}  // namespace

void PlainResize(int newWidth, int newHeight, const Bitmap& source, Bitmap& target) {
  if (source.empty()) return;
  const int bpp = source.bitsPerPixel();
  Bitmap out;
  out.resetForOverwrite(newWidth, newHeight, bpp);
  out.palette() = source.palette();
  out.TransparentColor = source.TransparentColor;
  out.Transparent = source.Transparent;
  if (!out.empty()) {
    const std::vector<int> columns = sampleMap(source.width(), newWidth);
    const std::vector<int> rows = sampleMap(source.height(), newHeight);
    if (bpp >= 8) {
      const std::size_t bytes = std::size_t(bpp / 8);
      for (int y = 0; y < newHeight; ++y) {
        const std::uint8_t* src = source.row(rows[std::size_t(y)]);
        std::uint8_t* dst = out.row(y);
        for (int x = 0; x < newWidth; ++x, dst += bytes) {
          const std::uint8_t* p = src + std::size_t(columns[std::size_t(x)]) * bytes;
          for (std::size_t b = 0; b < bytes; ++b) dst[b] = p[b];
        }
      }
    } else {
      // 1 and 4 bits: indices packed most significant first.
      const int perByte = 8 / bpp;
      const unsigned mask = (1u << bpp) - 1;
      for (int y = 0; y < newHeight; ++y) {
        const std::uint8_t* src = source.row(rows[std::size_t(y)]);
        std::uint8_t* dst = out.row(y);
        for (std::size_t i = 0; i < out.stride(); ++i) dst[i] = 0;
        for (int x = 0; x < newWidth; ++x) {
          const int sx = columns[std::size_t(x)];
          const int srcShift = (perByte - 1 - sx % perByte) * bpp;
          const unsigned index = (src[sx / perByte] >> srcShift) & mask;
          const int dstShift = (perByte - 1 - x % perByte) * bpp;
          dst[x / perByte] = std::uint8_t(dst[x / perByte] | (index << dstShift));
        }
      }
    }
  }
  target.swap(out);
}

}  // namespace vorlino
