// Fuzz target: the decoder of PNG pictures on arbitrary bytes.
#include "fuzz_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vorlino::fuzzDecoder(&vorlino::readPng, data, size);
}
