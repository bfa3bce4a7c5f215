// The soft-transparency result: the mask becomes the photo's alpha channel instead of pulling its
// colours, and the way back from such a picture to an opaque one.
//
// Alpha follows the weights of BlendMask exactly: with f the blend's weight of a pixel (0..100,
// from the mask mean and the opacity), alpha = 255 - f * 255 / 100, truncated. White mask (and
// mask means of 250 or more) gives 255, black at full opacity 0. The mapping from f to alpha is
// one-to-one, so composing the picture over a colour (ComposeOverColour) gives back, to the bit,
// what BlendMask would have made of the photo with that colour.
#pragma once

#include <cstdint>

#include "bitmap/bitmap.h"
#include "bitmap/color.h"

namespace vorlino {

// Alpha of a pixel whose blend weight is f (0..100).
constexpr std::uint8_t alphaOfWeight(unsigned f) {
  return static_cast<std::uint8_t>(255 - (f * 255) / 100);
}

// The blend weight back from an alpha: the inverse of alphaOfWeight on its values, and the
// nearest weight at or above for alphas it never gives (a resized picture has all of them).
constexpr unsigned weightOfAlpha(std::uint8_t alpha) {
  return ((255u - alpha) * 100 + 254) / 255;
}

// Turns target into a 32-bit picture (blue, green, red, straight alpha) whose colours are the
// photo's and whose alpha comes from the mask at the opacity as above. A target that is already
// 32-bit keeps its colours and gets the product of its alpha and the new one (truncated), as two
// blends towards one colour would combine. Opacity 0 or below leaves every alpha as it was, above
// 100 acts as 100. The mask is 24-bit and at least as large as the target (else
// std::invalid_argument, nothing changed). Attributes are kept.
void SoftAlphaMask(Bitmap& target, const Bitmap& mask, int opacity);

// Makes a 32-bit picture opaque in place (24 bits): every pixel pulled towards colour by
// weightOfAlpha(alpha) percent, with BlendMask's arithmetic. Other depths are left as they are.
// Attributes are kept.
void ComposeOverColour(Bitmap& bitmap, Color colour);

}  // namespace vorlino
