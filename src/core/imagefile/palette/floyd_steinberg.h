// Floyd-Steinberg error diffusion onto a palette, in serpentine order.
//
// Rows alternate in direction, the first left to right. Errors are kept per channel in sixteenths
// of a level: a pixel's channel is adjusted by (E + 8) / 16 (truncated toward zero, then clamped
// to 0..255), where E is the sum of what earlier pixels passed to it; the adjusted colour is
// looked up, and its error e (adjusted minus entry) goes 7e to the next pixel in scan direction,
// 3e below and behind, 5e below, 1e below and ahead. Errors falling outside the image are dropped.
#pragma once

#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"
#include "imagefile/palette/fast_color_lookup.h"

namespace vorlino {

class TFloydSteinbergDitherer {
 public:
  // The lookup answers each colour with an entry's index and colour.
  TFloydSteinbergDitherer(int width, TFastColorLookup& lookup);

  // Maps the next row (width pixels of blue, green, red) to palette indices, one per pixel in
  // image order, and advances to the following row.
  void ditherRow(const std::uint8_t* bgr, std::uint8_t* indices);

 private:
  int width_;
  TFastColorLookup& lookup_;
  // Errors for the row being scanned and for the row below, three channels per column, with a
  // spare column at each end that takes what falls outside the image.
  std::vector<int> current_;
  std::vector<int> below_;
  bool leftToRight_ = true;
};

}  // namespace vorlino
