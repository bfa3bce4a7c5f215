#include "imagefile/palette/floyd_steinberg.h"

#include <algorithm>

namespace vorlino {
namespace {

inline int adjust(int source, int error) {
  return std::clamp(source + (error + 8) / 16, 0, 255);
}

}  // namespace

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TFastColorLookup& lookup)
    : width_(width),
      lookup_(lookup),
      current_(3 * (static_cast<std::size_t>(width) + 2), 0),
      below_(3 * (static_cast<std::size_t>(width) + 2), 0) {}

// The pixels form one chain (each error carries into the next pixel), so the loop is kept short
// between a pixel's adjusted colour and the next one's: one table read gives both the index and
// the entry's colour, and the three cells of the row below that a pixel feeds are summed in
// registers, each written once when complete (behind the pixel), instead of being added to in
// memory three times each. Integer sums taken in another order are the same sums.
void TFloydSteinbergDitherer::ditherRow(const std::uint8_t* bgr, std::uint8_t* indices) {
  const int step = leftToRight_ ? 1 : -1;
  const std::ptrdiff_t cellStep = 3 * step;
  int x = leftToRight_ ? 0 : width_ - 1;
  const int* __restrict error = current_.data() + 3 * (x + 1);
  // The cell of the row below behind the current pixel: the spare cell before the first one.
  int* __restrict behind = below_.data() + 3 * (x + 1) - cellStep;
  const std::uint8_t* __restrict p = bgr + 3 * x;
  std::uint8_t* __restrict out = indices + x;
  int carryBlue = 0, carryGreen = 0, carryRed = 0;
  // Below the pixel: what it has from earlier pixels (1e from the one before); ahead: nothing yet.
  int underBlue = 0, underGreen = 0, underRed = 0;
  int aheadBlue = 0, aheadGreen = 0, aheadRed = 0;
  for (int i = 0; i < width_; ++i) {
    const int blue = adjust(p[0], error[0] + carryBlue);
    const int green = adjust(p[1], error[1] + carryGreen);
    const int red = adjust(p[2], error[2] + carryRed);
    const std::uint32_t entry =
        lookup_.lookupEntry(static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                            static_cast<std::uint8_t>(blue));
    *out = static_cast<std::uint8_t>(entry >> 24);
    const int eRed = red - static_cast<int>(entry & 0xFF);
    const int eGreen = green - static_cast<int>((entry >> 8) & 0xFF);
    const int eBlue = blue - static_cast<int>((entry >> 16) & 0xFF);
    carryBlue = 7 * eBlue;
    carryGreen = 7 * eGreen;
    carryRed = 7 * eRed;
    // Behind is complete with 3e; under gets 5e and becomes the next pixel's behind; ahead gets
    // 1e and becomes the next pixel's under.
    behind[0] = underBlue + 3 * eBlue;
    behind[1] = underGreen + 3 * eGreen;
    behind[2] = underRed + 3 * eRed;
    underBlue = aheadBlue + 5 * eBlue;
    underGreen = aheadGreen + 5 * eGreen;
    underRed = aheadRed + 5 * eRed;
    aheadBlue = eBlue;
    aheadGreen = eGreen;
    aheadRed = eRed;
    error += cellStep;
    behind += cellStep;
    p += cellStep;
    out += step;
  }
  // The cell under the last pixel, and the spare cell after it.
  behind[0] = underBlue;
  behind[1] = underGreen;
  behind[2] = underRed;
  behind[cellStep] = aheadBlue;
  behind[cellStep + 1] = aheadGreen;
  behind[cellStep + 2] = aheadRed;
  current_.swap(below_);
  leftToRight_ = !leftToRight_;
}

}  // namespace vorlino
