// Fuzz target: the decoder of JPEG pictures on arbitrary bytes, and the DC-only reader of the
// first look at a large photo, on one thread and split over two wherever the data allows.
#include "fuzz_decoder.h"
#include "imagefile/jpeg_dc.h"

namespace {

// readJpegDc in the decoder's shape, so that the same checks hold for its pictures.
template <int kThreads>
vorlino::CodecResult readDc(vorlino::ByteReader& in, vorlino::Bitmap& out,
                            const vorlino::DecodeLimits& limits) noexcept {
  vorlino::JpegDcOptions options;
  options.threads = kThreads;
  options.minSplitBytes = 0;
  options.limits = limits;
  return vorlino::readJpegDc(in.data(), in.size(), out, options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vorlino::fuzzDecoder(&vorlino::readJpeg, data, size);
  vorlino::fuzzDecoder(&readDc<1>, data, size);
  return vorlino::fuzzDecoder(&readDc<2>, data, size);
}
