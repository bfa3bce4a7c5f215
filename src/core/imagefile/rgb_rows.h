// Interleaved RGB and RGBA rows as the photo libraries hand them out, into the program's blue,
// green, red (alpha) pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorlino {

// Converts rows of `channels` samples per pixel (3: RGB, 4: RGBA) into rows with the same number
// of channels in the order blue, green, red (alpha). Samples are bytes when maxValue is 255,
// otherwise native-endian 16-bit values from 0 to maxValue (1023 for 10 bits...), rounded to the
// nearest 8-bit value; values above maxValue count as maxValue.
class RgbRowStore {
 public:
  RgbRowStore(int channels, int maxValue);
  void store(const void* src, std::size_t count, std::uint8_t* dst) const;

 private:
  int channels_;
  int maxValue_;
  std::vector<std::uint8_t> to8_;  // 16-bit sample -> 8 bits, built once per picture
};

}  // namespace vorlino
