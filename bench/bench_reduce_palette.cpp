// Palette reduction of a 24 MP photo with the options the program uses: 65 (transparent format,
// dithered, stays 24 bits), 66 (saving a transparent result: no dithering, becomes 8 bits) and 3
// (RLE writer: dithered, 8 bits). The copy of the input before each run is not timed.
#include <benchmark/benchmark.h>

#include "bench_images.h"
#include "imagefile/palette/color_quantizer.h"
#include "imagefile/palette/reduce_palette.h"

namespace vorlino::bench {
namespace {

const Bitmap& photo() {
  static const Bitmap p = [] {
    Bitmap b = makePhoto();
    b.TransparentColor = kTransparentKey;
    return b;
  }();
  return p;
}

void BM_ReduceToPalette(benchmark::State& state) {
  const Bitmap& src = photo();
  const int options = static_cast<int>(state.range(0));
  Bitmap work;
  for (auto _ : state) {
    state.PauseTiming();
    work.assign(src);
    state.ResumeTiming();
    ReduceToPalette(work, 256, options);
    benchmark::DoNotOptimize(work.bits());
  }
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(src.width()) * src.height(),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReduceToPalette)->Arg(65)->Arg(66)->Arg(3)->Unit(benchmark::kMillisecond);

// The octree pass alone (the part every option shares).
void BM_OctreeInsert(benchmark::State& state) {
  const Bitmap& src = photo();
  for (auto _ : state) {
    TColorQuantizer octree(255, 8);
    octree.addBitmap(src);
    benchmark::DoNotOptimize(octree.leafCount());
  }
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(src.width()) * src.height(),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OctreeInsert)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlino::bench
