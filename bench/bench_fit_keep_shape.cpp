// The mask fitted to a 24-megapixel photo, plainly and keeping its shape (cuts found on the mask
// at every call, as the window does), landscape and portrait. The keep-shape fit reuses the
// resampler's passes; only its weight tables differ, so it should cost about the same.
#include <benchmark/benchmark.h>

#include "bench_images.h"
#include "compose/fit_keep_shape.h"
#include "compose/resample.h"

namespace vorlino::bench {
namespace {

void runFit(benchmark::State& state, bool keepShape, bool portrait) {
  Bitmap mask = makeMask();
  const int width = portrait ? kPhotoHeight : kPhotoWidth;
  const int height = portrait ? kPhotoWidth : kPhotoHeight;
  Bitmap target(width, height, 24);
  for (auto _ : state) {
    if (keepShape)
      FitKeepShape(mask, std::nullopt, target);
    else
      ResampleBitmap(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                     rkLanczos3, 0, mask, target);
    benchmark::DoNotOptimize(target.bits());
    benchmark::ClobberMemory();
  }
}

void BM_FitPlainLandscape(benchmark::State& state) {
  runFit(state, false, false);
}
BENCHMARK(BM_FitPlainLandscape)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FitKeepShapeLandscape(benchmark::State& state) {
  runFit(state, true, false);
}
BENCHMARK(BM_FitKeepShapeLandscape)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FitPlainPortrait(benchmark::State& state) {
  runFit(state, false, true);
}
BENCHMARK(BM_FitPlainPortrait)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FitKeepShapePortrait(benchmark::State& state) {
  runFit(state, true, true);
}
BENCHMARK(BM_FitKeepShapePortrait)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace vorlino::bench
