// The body shared by the decoders' fuzz targets: any input must end in a clean result, never a
// crash, a leak or a sanitizer report; a success hands back a picture within the limits whose
// every pixel can be read, and a failure leaves the target empty.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imagefile/decoders.h"

namespace vorlino {

inline int fuzzDecoder(DecoderFunction read, const std::uint8_t* data, std::size_t size) {
  ByteReader in(data, size);
  Bitmap out;
  DecodeLimits limits;
  limits.maxPixels = std::uint64_t{1} << 24;  // keeps each run within the fuzzer's memory budget
  const CodecResult r = read(in, out, limits);
  if (!r.ok()) {
    if (!out.empty()) __builtin_trap();
    return 0;
  }
  if (out.empty() || static_cast<std::uint64_t>(out.width()) * out.height() > limits.maxPixels)
    __builtin_trap();
  // Touch every pixel, so that a picture shorter than it claims shows up.
  out.convertTo24();
  unsigned sum = 0;
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < 3 * out.width(); ++x) sum += out.row(y)[x];
  static volatile unsigned sink;
  sink = sum;
  return 0;
}

}  // namespace vorlino
