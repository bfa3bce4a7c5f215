// Fuzz target for the EMF record walker: any input must end in a clean result, never a crash,
// a leak or a sanitizer report. The records are played on the recording canvas, which goes
// through every step of the player except the painting itself.
#include <cstddef>
#include <cstdint>

#include "imagefile/metafile/records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vorlino::ByteReader in(data, size);
  vorlino::DecodeLimits limits;
  limits.maxPixels = std::uint64_t{1} << 24;
  vorlino::MetafileLayout layout;
  if (!vorlino::measureEmf(in, layout, limits).ok()) return 0;
  if (layout.width <= 0 || layout.height <= 0 ||
      static_cast<std::uint64_t>(layout.width) * layout.height > limits.maxPixels)
    __builtin_trap();
  vorlino::MetafileRecorder canvas;
  if (!vorlino::playEmf(in, layout, canvas, limits).ok()) __builtin_trap();
  return 0;
}
