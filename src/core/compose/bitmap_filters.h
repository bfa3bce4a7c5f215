// In-place pixel operations on 24-bit bitmaps, used to prepare and edit the mask and to exchange
// images in the edit history. None keeps state, allocates or shows anything. The caller converts
// bitmaps to 24 bits first: a bitmap of another depth is refused with std::invalid_argument before
// anything changes. An empty bitmap is valid everywhere and left as it is. Colour values are
// resolved with ColorToRGB before use; their blue byte pairs with pixel byte 0, red with byte 2.
#pragma once

#include <cstdint>

#include "bitmap/bitmap.h"
#include "bitmap/color.h"

namespace vorlino {

// Luminance of a pixel: (18 * blue + 183 * green + 54 * red) >> 8. The weights add up to 255, so
// the result lies in 0..254 (white gives 254).
constexpr unsigned LuminanceOf(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  return (18u * blue + 183u * green + 54u * red) >> 8;
}
// The same for a plain colour value (no system colour).
constexpr unsigned LuminanceOf(Color colour) {
  return LuminanceOf(blueOf(colour), greenOf(colour), redOf(colour));
}

// 3 by 3 mean filter in place, rows from the top: each channel becomes the truncated ninth of the
// sums over the row above (already filtered), the row itself and the row below (both unfiltered).
// Beyond the edges the edge row or column counts again, so one pixel stays as it is.
void SoftenBitmap(Bitmap& bitmap);

// Each pixel becomes its luminance in all three bytes.
void GreyBitmap(Bitmap& bitmap);

// Each byte b becomes 255 - b; applying it twice restores the bitmap.
void InvertBitmap(Bitmap& bitmap);

// Each pixel whose luminance is above threshold becomes light, the others dark. A threshold below
// 1 or above 254 leaves the bitmap unchanged.
void TwoToneBitmap(Bitmap& bitmap, int threshold, Color dark, Color light);

// Each pixel whose three bytes all lie within tolerance of find's becomes replacement. A negative
// tolerance changes nothing.
void ReplaceColour(Bitmap& bitmap, Color find, Color replacement, int tolerance);

// Swaps the pixels of first with those at the same place in second, which must be at least as
// wide and as high (else std::invalid_argument, nothing changed). Sizes and attributes stay.
void ExchangePixels(Bitmap& first, Bitmap& second);

// Repeats source over target from the top-left corner, each target byte c becoming
// c + (s - c) * opacity / 100 (truncated toward zero; opacity above 100 acts as 100). Source
// pixels matching transparentColour within tolerance leave the target alone, unless
// transparentColour is kNoColor. Opacity 0 or below, a negative tolerance or an empty source do
// nothing.
void TileBitmap(Bitmap& target, const Bitmap& source, int opacity, Color transparentColour,
                int tolerance);

// True when the red, green and blue bytes of the two colours (resolved first) each differ by at
// most tolerance.
bool ColoursMatch(Color a, Color b, int tolerance);

}  // namespace vorlino
