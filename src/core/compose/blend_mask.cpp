#include "compose/blend_mask.h"

#include <stdexcept>

#include "compose/pixel_blocks.h"

namespace vorlino {
namespace {

using blocks::kBytes;
using blocks::kPixels;

// Weight of each byte of one block from the mask bytes under it, all in 16-bit lanes: the sum of
// the three bytes is at most 765 and every product stays below 25500.
VORLINO_ALWAYS_INLINE void maskWeights(const std::uint8_t* __restrict mask, unsigned opacity,
                                       std::uint8_t* __restrict weights) {
  for (int k = 0; k < kPixels; ++k) {
    const auto sum = static_cast<std::uint16_t>(mask[3 * k] + mask[3 * k + 1] + mask[3 * k + 2]);
    const auto mean = static_cast<std::uint16_t>(sum / 3);
    const auto percent =
        static_cast<std::uint16_t>(static_cast<std::uint16_t>((255 - mean) * 100) / 255);
    auto f = static_cast<std::uint16_t>(static_cast<std::uint16_t>(percent * opacity) / 100);
    // Near-white mask pixels keep the photo exactly; a weight of 0 changes nothing.
    f = mean >= 250 ? 0 : f;
    weights[3 * k] = weights[3 * k + 1] = weights[3 * k + 2] = static_cast<std::uint8_t>(f);
  }
}

VORLINO_ALWAYS_INLINE void blendRows(Bitmap& target, const Bitmap& mask, unsigned opacity,
                                     const std::uint8_t* colourBytes, int y0, int y1) {
  for (int y = y0; y < y1; ++y) {
    blocks::forEachBlock(target.width(), target.row(y), mask.row(y),
                         [&](std::uint8_t* c, const std::uint8_t* m) VORLINO_LAMBDA_INLINE {
                           alignas(32) std::uint8_t weights[kBytes];
                           maskWeights(m, opacity, weights);
                           blocks::pullBlock(c, colourBytes, weights);
                         });
  }
}

void blendBaseline(Bitmap& target, const Bitmap& mask, unsigned opacity, const std::uint8_t* bytes,
                   int y0, int y1) {
  blendRows(target, mask, opacity, bytes, y0, y1);
}

VORLINO_AVX2 void blendAvx2(Bitmap& target, const Bitmap& mask, unsigned opacity,
                            const std::uint8_t* bytes, int y0, int y1) {
  blendRows(target, mask, opacity, bytes, y0, y1);
}

}  // namespace

void BlendMask(Bitmap& target, const Bitmap& mask, int opacity, Color colour) {
  if (opacity <= 0 || target.empty()) return;
  blocks::require24(target, "BlendMask");
  blocks::require24(mask, "BlendMask");
  if (mask.width() < target.width() || mask.height() < target.height())
    throw std::invalid_argument("BlendMask: mask smaller than the target");
  if (opacity > 100) opacity = 100;

  const Color plain = ColorToRGB(colour);
  alignas(32) std::uint8_t colourBytes[kBytes];
  for (int k = 0; k < kPixels; ++k) {
    colourBytes[3 * k] = blueOf(plain);
    colourBytes[3 * k + 1] = greenOf(plain);
    colourBytes[3 * k + 2] = redOf(plain);
  }
  // Rows are independent: any split of [0, height) between threads gives the same bytes.
  if (blocks::useAvx2())
    blendAvx2(target, mask, static_cast<unsigned>(opacity), colourBytes, 0, target.height());
  else
    blendBaseline(target, mask, static_cast<unsigned>(opacity), colourBytes, 0, target.height());
}

}  // namespace vorlino
