// Fuzz target for the JPEG reader: any input must end in a clean result, never a crash, a leak
// or a sanitizer report, and a success must hand back a picture within the limits.
#include <cstddef>
#include <cstdint>

#include "imagefile/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vorlino::ByteReader in(data, size);
  vorlino::Bitmap out;
  vorlino::DecodeLimits limits;
  limits.maxPixels = std::uint64_t{1} << 24;  // keeps one run within the fuzzer's memory budget
  const vorlino::CodecResult r = vorlino::readJpeg(in, out, limits);
  if (r.ok() &&
      (out.empty() || static_cast<std::uint64_t>(out.width()) * out.height() > limits.maxPixels))
    __builtin_trap();
  if (!r.ok() && !out.empty()) __builtin_trap();
  return 0;
}
