// Turning a decoded picture upright from the EXIF Orientation value (1 to 8) that its file
// carries: camera and phone photos are often stored sideways or mirrored with that tag.
#pragma once

#include <string>

#include "bitmap/bitmap.h"

namespace vorlino {

// Turns and mirrors picture in place so that it shows upright, given the Orientation value of its
// file: 1 (or any value outside 2..8) leaves it as it is; 2 mirrors left-right; 3 is a half turn;
// 4 mirrors top-bottom; 5 transposes; 6 turns a quarter clockwise; 7 transposes across the other
// diagonal; 8 turns a quarter anticlockwise. A picture that is turned or mirrored becomes 24 bits
// first (as every photo does once loaded); its attributes stay.
void applyOrientation(Bitmap& picture, int orientation);

// Whether the EXIF Orientation of a file with this lower-case extension is applied after decoding:
// JPEG, PNG and WebP. The TIFF decoder reads tag 274 itself; HEIF, AVIF and JPEG XL decoders turn
// their pictures upright themselves (irot/imir boxes, the codestream's own orientation); other
// formats carry no such tag or store their pictures as shown.
bool orientationAppliesTo(const std::string& extension);

}  // namespace vorlino
