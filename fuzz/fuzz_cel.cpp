// Fuzz target: the decoder of Autodesk Animator cels and pictures on arbitrary bytes.
#include "fuzz_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vorlino::fuzzDecoder(&vorlino::readCel, data, size);
}
