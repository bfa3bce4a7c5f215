// A JPEG given an EXIF block that holds only the Orientation tag, as cameras write it, for the
// tests of pictures turned upright.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlino::test {

// jpeg with an APP1 segment right after SOI: a little-endian TIFF block with one IFD entry,
// Orientation (274, SHORT) = orientation.
inline std::vector<std::uint8_t> withExifOrientation(const std::vector<std::uint8_t>& jpeg,
                                                     std::uint8_t orientation) {
  std::string app1(
      "\xFF\xE1\x00\x22"
      "Exif\0\0"
      "II*\0\x08\0\0\0"
      "\x01\0"
      "\x12\x01\x03\0\x01\0\0\0\x01\0\0\0"
      "\0\0\0\0",
      36);
  app1[28] = static_cast<char>(orientation);
  std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  out.insert(out.end(), app1.begin(), app1.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

}  // namespace vorlino::test
