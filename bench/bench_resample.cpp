// Lanczos resampling at the program's two sizes: the 800 x 600 mask fitted to a 6000 x 4000 photo
// (three channels), and the photo halved to 3000 x 2000. Single-threaded; the target is reused
// between iterations, as the image-size dialog reuses the working bitmap.
#include <benchmark/benchmark.h>

#include "bench_images.h"
#include "compose/resample.h"

namespace vorlino::bench {
namespace {

void runResample(benchmark::State& state, const Bitmap& source, int width, int height,
                 ResampleCode code) {
  Bitmap src(source), target;
  for (auto _ : state) {
    resampleBitmapWith(code, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                       rkLanczos3, 0, src, target);
    benchmark::DoNotOptimize(target.bits());
    benchmark::ClobberMemory();
  }
  state.counters["out pixels/s"] = benchmark::Counter(
      static_cast<double>(width) * height, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ResampleMaskUp(benchmark::State& state) {
  runResample(state, makeMask(), kPhotoWidth, kPhotoHeight, ResampleCode::kFastest);
}
BENCHMARK(BM_ResampleMaskUp)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ResamplePhotoDown(benchmark::State& state) {
  runResample(state, makePhoto(), kPhotoWidth / 2, kPhotoHeight / 2, ResampleCode::kFastest);
}
BENCHMARK(BM_ResamplePhotoDown)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The plain loops, for comparison (and the speed on processors without AVX2).
void BM_ResampleMaskUpPortable(benchmark::State& state) {
  runResample(state, makeMask(), kPhotoWidth, kPhotoHeight, ResampleCode::kPortable);
}
BENCHMARK(BM_ResampleMaskUpPortable)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ResamplePhotoDownPortable(benchmark::State& state) {
  runResample(state, makePhoto(), kPhotoWidth / 2, kPhotoHeight / 2, ResampleCode::kPortable);
}
BENCHMARK(BM_ResamplePhotoDownPortable)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace vorlino::bench
