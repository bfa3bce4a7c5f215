// The mask compositing operations on a 24 MP photo; compare with BM_Memcpy24MP.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_images.h"
#include "compose/bitmap_filters.h"
#include "compose/blend_mask.h"
#include "compose/pixel_blocks.h"
#include "compose/quarter_turn.h"

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

// First argument 0: the vignette, white in the middle (blocks under white are skipped); 1: a mask
// dark enough everywhere that every pixel is blended, the worst case. Second argument 1: the
// baseline x86-64 build instead of the AVX2 one.
void BM_BlendMask24MP(benchmark::State& state) {
  Bitmap photo = makePhoto();
  Bitmap mask = photoSizedMask();
  if (state.range(0) == 1) {
    for (int y = 0; y < mask.height(); ++y) {
      std::uint8_t* p = mask.row(y);
      for (int x = 0; x < 3 * mask.width(); ++x) p[x] = static_cast<std::uint8_t>(p[x] * 31 / 32);
    }
  }
  blocks::allowAvx2(state.range(1) == 0);
  for (auto _ : state) {
    BlendMask(photo, mask, 60, rgb(30, 200, 90));
    benchmark::ClobberMemory();
  }
  blocks::allowAvx2(true);
  setCounters(state, photo);
}
BENCHMARK(BM_BlendMask24MP)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// The in-place filters run on the same photo over and over; each keeps it a busy image (grey and
// two tones are idempotent, invert alternates, soften converges slowly), which is what is timed.
template <void (*Filter)(Bitmap&)>
void BM_Filter24MP(benchmark::State& state) {
  Bitmap photo = makePhoto();
  for (auto _ : state) {
    Filter(photo);
    benchmark::ClobberMemory();
  }
  setCounters(state, photo);
}
BENCHMARK(BM_Filter24MP<GreyBitmap>)->Name("BM_GreyBitmap24MP")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Filter24MP<InvertBitmap>)->Name("BM_InvertBitmap24MP")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Filter24MP<SoftenBitmap>)->Name("BM_SoftenBitmap24MP")->Unit(benchmark::kMillisecond);

void BM_TwoToneBitmap24MP(benchmark::State& state) {
  const Bitmap original = makePhoto();
  Bitmap photo = original;
  for (auto _ : state) {
    state.PauseTiming();
    photo.assign(original);
    state.ResumeTiming();
    TwoToneBitmap(photo, 128, kBlack, kWhite);
    benchmark::ClobberMemory();
  }
  setCounters(state, photo);
}
BENCHMARK(BM_TwoToneBitmap24MP)->Unit(benchmark::kMillisecond);

// The mask picture repeated over the photo: a plain copy at opacity 100, a blend at 50.
void BM_TileBitmap24MP(benchmark::State& state) {
  Bitmap photo = makePhoto();
  const Bitmap mask = makeMask();
  const int opacity = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TileBitmap(photo, mask, opacity, kNoColor, 0);
    benchmark::ClobberMemory();
  }
  setCounters(state, photo);
}
BENCHMARK(BM_TileBitmap24MP)->Arg(100)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_RotateQuarter24MP(benchmark::State& state) {
  Bitmap photo = makePhoto();
  for (auto _ : state) {
    RotateQuarter(photo, true);
    benchmark::ClobberMemory();
  }
  setCounters(state, photo);
}
BENCHMARK(BM_RotateQuarter24MP)->Unit(benchmark::kMillisecond);

// The turn alone, into a target that keeps its pixel block from one turn to the next.
void BM_RotateQuarterInto24MP(benchmark::State& state) {
  Bitmap photo = makePhoto();
  Bitmap turned;
  for (auto _ : state) {
    RotateQuarterInto(photo, turned, true);
    benchmark::ClobberMemory();
  }
  setCounters(state, photo);
}
BENCHMARK(BM_RotateQuarterInto24MP)->Unit(benchmark::kMillisecond);

void BM_RotateHalf24MP(benchmark::State& state) {
  Bitmap photo = makePhoto();
  for (auto _ : state) {
    RotateHalf(photo);
    benchmark::ClobberMemory();
  }
  setCounters(state, photo);
}
BENCHMARK(BM_RotateHalf24MP)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlino::bench
