// The PNG writer on a 24 MP photo: Sub filter and zlib deflate at level 7 into memory.
#include <benchmark/benchmark.h>

#include "bench_images.h"
#include "imagefile/write_png.h"

namespace vorlino::bench {
namespace {

void BM_WritePng24MP(benchmark::State& state) {
  const Bitmap photo = makePhoto();
  std::size_t bytes = 0;
  for (auto _ : state) {
    ByteWriter out;
    if (!WritePng(photo, out, PngOptions{7}).ok()) state.SkipWithError("PNG writer failed");
    bytes = out.size();
    benchmark::DoNotOptimize(out.bytes().data());
  }
  state.counters["pixels/s"] =
      benchmark::Counter(static_cast<double>(photo.width()) * photo.height(),
                         benchmark::Counter::kIsIterationInvariantRate);
  state.counters["file MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_WritePng24MP)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace vorlino::bench
