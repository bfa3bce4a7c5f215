// A JPEG given an EXIF block that holds only the Orientation tag, as cameras write it, for the
// tests of pictures turned upright.
#pragma once

#include <cstdint>
#include <vector>

namespace vorlino::test {

// jpeg with an APP1 segment right after SOI: a little-endian TIFF block with one IFD entry,
// Orientation (274, SHORT) = orientation.
inline std::vector<std::uint8_t> withExifOrientation(const std::vector<std::uint8_t>& jpeg,
                                                     std::uint8_t orientation) {
  const std::vector<std::uint8_t> app1 = {
      0xFF, 0xE1, 0,  34, 'E', 'x', 'i', 'f', 0,           0,        // marker, length, identifier
      'I',  'I',  42, 0,  8,   0,   0,   0,                          // TIFF header, IFD at 8
      1,    0,                                                       // one entry
      0x12, 0x01, 3,  0,  1,   0,   0,   0,   orientation, 0, 0, 0,  // Orientation, one SHORT
      0,    0,    0,  0};                                            // no next IFD
  std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  out.insert(out.end(), app1.begin(), app1.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

}  // namespace vorlino::test
