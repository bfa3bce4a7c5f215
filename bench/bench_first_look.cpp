// The first look at a large JPEG: libjpeg's 1/8 decode, which reads every code and transforms
// every block, against the DC-only reader on one thread and on two, over a 24 MP photo-like JPEG
// (quality 90, 4:2:0, no restart markers: the two threads must find each other in the codes).
// VORLINO_BENCH_JPEG names another JPEG to read instead (the window's 100 MP test photo, say).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "bench_images.h"
#include "imagefile/decoders.h"
#include "imagefile/jpeg_dc.h"
#include "imagefile/jpeg_quick.h"
#include "imagefile/jpeg_writer.h"

namespace vorlino::bench {
namespace {

const std::vector<std::uint8_t>& photoJpeg() {
  static const std::vector<std::uint8_t> bytes = [] {
    if (const char* name = std::getenv("VORLINO_BENCH_JPEG")) {
      std::ifstream in(name, std::ios::binary);
      return std::vector<std::uint8_t>{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
    }
    ByteWriter out;
    if (!WriteJpeg(makePhoto(), out, JpegOptions{90, false}).ok())
      return std::vector<std::uint8_t>{};
    return out.bytes();
  }();
  return bytes;
}

void BM_FirstLookLibjpegEighth(benchmark::State& state) {
  const auto& file = photoJpeg();
  for (auto _ : state) {
    Bitmap picture;
    if (!readJpegReduced(file.data(), file.size(), 8, picture).ok())
      return state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(picture.bits());
  }
}
BENCHMARK(BM_FirstLookLibjpegEighth)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arg: threads.
void BM_FirstLookDcOnly(benchmark::State& state) {
  const auto& file = photoJpeg();
  JpegDcOptions options;
  options.threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    Bitmap picture;
    if (!readJpegDc(file.data(), file.size(), picture, options).ok())
      return state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(picture.bits());
  }
}
BENCHMARK(BM_FirstLookDcOnly)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vorlino::bench
