// The whole of "Appliquer le masque" on a 24 MP photo: the mask fitted (Lanczos 3), softened or
// not, then blended; and the "Transparent" format with its 256-colour reduction.
#include <benchmark/benchmark.h>

#include "bench_images.h"
#include "compose/mask_build.h"

namespace vorlino::bench {
namespace {

// Argument 0: fitted; 1: fitted and softened; 2: "Transparent" (fitted, two tones, reduction).
void BM_FrameBuildAndApply24MP(benchmark::State& state) {
  const Bitmap original = makePhoto();
  const Bitmap maskPicture = makeMask();
  MaskOptions options;
  options.soften = state.range(0) == 1;
  options.format = state.range(0) == 2 ? rfTransparent : rfCouleursRVB;
  Bitmap photo;
  for (auto _ : state) {
    state.PauseTiming();
    photo.assign(original);
    state.ResumeTiming();
    const auto mask = BuildMaskBitmap(maskPicture, photo.width(), photo.height(), options);
    ApplyMaskBitmap(photo, *mask, options.format, {60, rgb(255, 255, 255)});
    benchmark::ClobberMemory();
  }
  state.counters["pixels/s"] =
      benchmark::Counter(static_cast<double>(photo.width()) * photo.height(),
                         benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FrameBuildAndApply24MP)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlino::bench
