// Fuzz target: the decoder of Windows bitmaps (BMP, RLE, packed DIB) on arbitrary bytes.
#include "fuzz_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vorlino::fuzzDecoder(&vorlino::readBmp, data, size);
}
