// Fuzz target: the decoder of Dr. Halo CUT pictures on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "imagefile/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vorlino::ByteReader in(data, size);
  // No file name: the side palette is never looked for, so every run depends on the bytes alone.
  vorlino::Bitmap out;
  vorlino::DecodeLimits limits;
  limits.maxPixels = std::uint64_t{1} << 24;  // keeps each run's memory small; same checks
  if (vorlino::readCut(in, out, limits).ok()) {
    // Touch every pixel, so that a picture shorter than it claims shows up.
    unsigned sum = 0;
    out.convertTo24();
    for (int y = 0; y < out.height(); ++y)
      for (int x = 0; x < 3 * out.width(); ++x) sum += out.row(y)[x];
    static volatile unsigned sink;
    sink = sum;
  }
  return 0;
}
