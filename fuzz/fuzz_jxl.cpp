// Fuzz target: the decoder of JPEG XL pictures on arbitrary bytes.
#include "fuzz_decoder.h"
#include "imagefile/photo_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vorlino::fuzzDecoder(&vorlino::readJxl, data, size);
}
