// An ICC profile for a picture whose colours are described by code points (the 'nclx' colour box
// of HEIF and AVIF files) rather than by an embedded profile.
//
// Phones and encoders tag Display P3 or BT.2020 pictures that way; without a profile the view and
// every saved file would take their values for sRGB and show them dull. sRGB itself (BT.709
// primaries with the sRGB or BT.709 curve, or unspecified values) needs no profile: the result is
// empty, as it is for the HDR curves (PQ, HLG), which an ICC matrix profile cannot describe.
#pragma once

#include <cstdint>
#include <vector>

namespace vorlino {

struct NclxColours {
  int transfer = 2;  // transfer characteristics code point; 2 is unspecified
  bool bt709Primaries = true;
  // The primaries and white point as CIE xy: red, green, blue, white.
  double x[4] = {0.64, 0.30, 0.15, 0.3127};
  double y[4] = {0.33, 0.60, 0.06, 0.3290};
};

std::vector<std::uint8_t> iccProfileForNclx(const NclxColours& colours) noexcept;

}  // namespace vorlino
