// What a picture file is, without reading its pixels where the format allows: the size and the
// depth that opening it would give. Files whose header tells both (PNG, JPEG, GIF, Windows
// bitmaps, Targa) are read only as far as that header; the others are decoded whole.
#pragma once

#include <string>

#include "imagefile/codec.h"

namespace vorlino {

struct ImageInfo {
  int width = 0;
  int height = 0;
  // The depth of the bitmap that decodeImageFile gives for the file: 1, 4, 8, 24 or 32.
  int bitsPerPixel = 0;
  // The EXIF Orientation found in the file (1 to 8), 0 when there was none. The size above is
  // already the upright one.
  int orientation = 0;
};

// The file's size and depth as decodeImageFile would give them, chosen by its extension like it.
// A header that cannot be read, or an unusual one, falls back to decoding the file. A header read
// alone does not check the pixel data that follows it.
CodecResult readImageInfo(const std::string& fileName, ImageInfo& info) noexcept;

}  // namespace vorlino
