// Reads the reference decodes (8-bit RGB or grey PNG files) that the decoder tests compare with,
// and writes a bitmap as PNG for looking at a decode by eye.
#pragma once

#include <string>

#include "bitmap/bitmap.h"

namespace vorlino::test::more {

// The PNG at `path` as a 24-bit bitmap (alpha, if any, is dropped); empty when it cannot be read.
Bitmap readPng(const std::string& path);

// Writes a bitmap (any depth, converted to 24 bits) as an RGB PNG; false on failure.
bool writePng(const Bitmap& bmp, const std::string& path);

// Largest difference of any channel of any pixel between two bitmaps of the same size, both
// compared at 24 bits; -1 when the sizes differ.
int maxChannelDifference(const Bitmap& a, const Bitmap& b);

}  // namespace vorlino::test::more
