// Fuzz target: the decoder of HEIC and HEIF pictures on arbitrary bytes.
#include "fuzz_decoder.h"
#include "imagefile/photo_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vorlino::fuzzDecoder(&vorlino::readHeif, data, size);
}
