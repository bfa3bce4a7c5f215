#include "imagefile/floyd_steinberg.h"

#include <algorithm>

namespace vorlino {
namespace {

inline int adjust(int source, int error) {
  return std::clamp(source + (error + 8) / 16, 0, 255);
}

}  // namespace

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TFastColorLookup& lookup,
                                                 const std::vector<PaletteColor>& palette)
    : width_(width),
      lookup_(lookup),
      palette_(palette),
      current_(3 * (static_cast<std::size_t>(width) + 2), 0),
      below_(3 * (static_cast<std::size_t>(width) + 2), 0) {}

void TFloydSteinbergDitherer::ditherRow(const std::uint8_t* bgr, std::uint8_t* indices) {
  std::fill(below_.begin(), below_.end(), 0);
  const int step = leftToRight_ ? 1 : -1;
  const std::ptrdiff_t cellStep = 3 * step;
  int x = leftToRight_ ? 0 : width_ - 1;
  int carryBlue = 0, carryGreen = 0, carryRed = 0;
  for (int i = 0; i < width_; ++i, x += step) {
    const int* error = current_.data() + 3 * (x + 1);
    int* below = below_.data() + 3 * (x + 1);
    const std::uint8_t* p = bgr + 3 * x;
    const int blue = adjust(p[0], error[0] + carryBlue);
    const int green = adjust(p[1], error[1] + carryGreen);
    const int red = adjust(p[2], error[2] + carryRed);
    const int index =
        lookup_.lookup(static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                       static_cast<std::uint8_t>(blue));
    indices[x] = static_cast<std::uint8_t>(index);
    const PaletteColor& entry = palette_[static_cast<std::size_t>(index)];
    const int eBlue = blue - entry.blue;
    const int eGreen = green - entry.green;
    const int eRed = red - entry.red;
    carryBlue = 7 * eBlue;
    carryGreen = 7 * eGreen;
    carryRed = 7 * eRed;
    below[-cellStep] += 3 * eBlue;
    below[-cellStep + 1] += 3 * eGreen;
    below[-cellStep + 2] += 3 * eRed;
    below[0] += 5 * eBlue;
    below[1] += 5 * eGreen;
    below[2] += 5 * eRed;
    below[cellStep] += eBlue;
    below[cellStep + 1] += eGreen;
    below[cellStep + 2] += eRed;
  }
  current_.swap(below_);
  leftToRight_ = !leftToRight_;
}

}  // namespace vorlino
