// The mask compositing operations on a 24 MP photo; compare with BM_Memcpy24MP.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_images.h"
#include "compose/blend_mask.h"

namespace vorlino::bench {
namespace {

void setCounters(benchmark::State& state, const Bitmap& b) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(b.byteCount()));
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(b.width()) * b.height(),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

// The vignette mask repeated to the photo's size.
Bitmap photoSizedMask() {
  const Bitmap small = makeMask();
  Bitmap mask(kPhotoWidth, kPhotoHeight, 24);
  for (int y = 0; y < kPhotoHeight; ++y)
    for (int x = 0; x < kPhotoWidth; ++x)
      std::memcpy(mask.row(y) + 3 * x,
                  small.row(y * kMaskHeight / kPhotoHeight) + 3 * (x * kMaskWidth / kPhotoWidth),
                  3);
  return mask;
}

void BM_BlendMask24MP(benchmark::State& state) {
  Bitmap photo = makePhoto();
  const Bitmap mask = photoSizedMask();
  for (auto _ : state) {
    BlendMask(photo, mask, 60, rgb(30, 200, 90));
    benchmark::ClobberMemory();
  }
  setCounters(state, photo);
}
BENCHMARK(BM_BlendMask24MP)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlino::bench
