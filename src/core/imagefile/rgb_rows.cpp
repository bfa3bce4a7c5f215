#include "imagefile/rgb_rows.h"

#include <cstring>

namespace vorlino {

RgbRowStore::RgbRowStore(int channels, int maxValue) : channels_(channels), maxValue_(maxValue) {
  if (maxValue_ == 255) return;
  const std::uint32_t max = static_cast<std::uint32_t>(maxValue_);
  to8_.resize(65536);
  for (std::uint32_t v = 0; v < 65536; ++v) {
    const std::uint32_t c = v > max ? max : v;
    to8_[v] = static_cast<std::uint8_t>((c * 255 + max / 2) / max);
  }
}

void RgbRowStore::store(const void* src, std::size_t count, std::uint8_t* dst) const {
  const auto* s = static_cast<const std::uint8_t*>(src);
  const int n = channels_;
  if (maxValue_ == 255) {
    for (std::size_t i = 0; i < count; ++i, s += n, dst += n) {
      dst[0] = s[2];
      dst[1] = s[1];
      dst[2] = s[0];
      if (n == 4) dst[3] = s[3];
    }
    return;
  }
  for (std::size_t i = 0; i < count; ++i, s += 2 * n, dst += n) {
    std::uint16_t v[4] = {};
    std::memcpy(v, s, 2 * static_cast<std::size_t>(n));
    dst[0] = to8_[v[2]];
    dst[1] = to8_[v[1]];
    dst[2] = to8_[v[0]];
    if (n == 4) dst[3] = to8_[v[3]];
  }
}

}  // namespace vorlino
