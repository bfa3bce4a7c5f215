#include "compose/frame_preview.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace vorlino {

bool SameMaskShape(const MaskOptions& a, const MaskOptions& b) {
  const bool twoToneA = a.twoTone || a.format == rfTransparent;
  const bool twoToneB = b.twoTone || b.format == rfTransparent;
  return a.fit == b.fit && a.soften == b.soften && twoToneA == twoToneB;
}

Bitmap SampleDown(const Bitmap& source, int width, int height) {
  Bitmap out;
  if (source.empty() || width <= 0 || height <= 0) return out;
  const Bitmap* from = &source;
  Bitmap converted;
  if (source.bitsPerPixel() != 24) {
    converted = source;
    converted.convertTo24();
    from = &converted;
  }
  out.resetForOverwrite(width, height, 24);
  out.Transparent = source.Transparent;
  out.TransparentColor = source.TransparentColor;
  const int sw = from->width();
  const int sh = from->height();
  // The two sample columns of every target column, in source pixels.
  auto at = [](int i, int quarter, int target, int size) {
    const long long pos = (4LL * i + quarter) * size / (4LL * target);
    return static_cast<int>(std::min<long long>(pos, size - 1));
  };
  std::vector<int> x0(static_cast<std::size_t>(width)), x1(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) {
    x0[static_cast<std::size_t>(x)] = 3 * at(x, 1, width, sw);
    x1[static_cast<std::size_t>(x)] = 3 * at(x, 3, width, sw);
  }
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* a = from->row(at(y, 1, height, sh));
    const std::uint8_t* b = from->row(at(y, 3, height, sh));
    std::uint8_t* d = out.row(y);
    for (int x = 0; x < width; ++x) {
      const int p = x0[static_cast<std::size_t>(x)];
      const int q = x1[static_cast<std::size_t>(x)];
      for (int c = 0; c < 3; ++c)
        d[c] = static_cast<std::uint8_t>((a[p + c] + a[q + c] + b[p + c] + b[q + c] + 2) / 4);
      d += 3;
    }
  }
  return out;
}

std::optional<Bitmap> BuildReducedMask(const Bitmap& maskPicture, int fullWidth, int fullHeight,
                                       int width, int height, const MaskOptions& options) noexcept {
  if (fullWidth <= 0 || fullHeight <= 0 || maskPicture.empty()) return std::nullopt;
  if (options.fit) return BuildMaskBitmap(maskPicture, width, height, options);
  try {
    // Tiles keep their size relative to the photo.
    const double sx = static_cast<double>(width) / fullWidth;
    const double sy = static_cast<double>(height) / fullHeight;
    const int tw = std::max(1, static_cast<int>(std::lround(maskPicture.width() * sx)));
    const int th = std::max(1, static_cast<int>(std::lround(maskPicture.height() * sy)));
    return BuildMaskBitmap(SampleDown(maskPicture, tw, th), width, height, options);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace vorlino
