// Blending a prepared mask into the photo.
#pragma once

#include <cstdint>
#include <memory>

#include "bitmap/bitmap.h"
#include "bitmap/color.h"

namespace vorlino {

// Pulls every pixel of target towards colour in proportion to how dark the mask is there: with m
// the mean of the mask pixel's three bytes, f = ((255 - m) * 100 / 255) * opacity / 100 percent of
// the distance, truncated; mask means of 250 or more leave the pixel exactly as it was. Opacity 0
// or below does nothing, above 100 acts as 100. Both bitmaps are 24-bit and the mask is at least
// as large as the target (else std::invalid_argument, nothing changed).
void BlendMask(Bitmap& target, const Bitmap& mask, int opacity, Color colour);

// BlendMask row by row with a grey mask, for pictures framed as a stream of rows: each mask pixel
// is given as one byte standing for three equal ones, and the bytes are those BlendMask writes
// with that mask. The tables are built once, for every row.
class GreyMaskBlender {
 public:
  GreyMaskBlender(int opacity, Color colour);
  ~GreyMaskBlender();
  GreyMaskBlender(const GreyMaskBlender&) = delete;
  GreyMaskBlender& operator=(const GreyMaskBlender&) = delete;
  // Blends one 24-bit row of width pixels with width grey mask bytes, on the caller's thread.
  void blendRow(std::uint8_t* row, const std::uint8_t* grey, int width) const;

  struct Tables;

 private:
  std::unique_ptr<Tables> tables_;
  bool active_;  // opacity above 0
};

}  // namespace vorlino
