// Fuzz target: the decoder of GIF pictures on arbitrary bytes.
#include "fuzz_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vorlino::fuzzDecoder(&vorlino::readGif, data, size);
}
