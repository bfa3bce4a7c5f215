// The heavy steps of one mask application with one worker and with every core, side by side, so
// that one run shows the speed-up. The argument is the worker count, 0 meaning every hardware
// thread. Time is wall-clock time; CPU is the CPU time of the whole process (all threads), so a
// CPU/Time ratio near the worker count means the threads really ran side by side.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_images.h"
#include "compose/blend_mask.h"
#include "compose/mask_build.h"
#include "compose/resample.h"
#include "imagefile/palette/reduce_palette.h"
#include "parallel/parallel.h"

namespace vorlino::bench {
namespace {

// Sets the worker count for one benchmark and restores the default afterwards.
class BenchWorkers {
 public:
  explicit BenchWorkers(const benchmark::State& state) {
    setWorkerCount(static_cast<int>(state.range(0)));
    workers_ = workerCount();
  }
  ~BenchWorkers() { setWorkerCount(0); }
  BenchWorkers(const BenchWorkers&) = delete;
  BenchWorkers& operator=(const BenchWorkers&) = delete;
  int workers() const { return workers_; }

 private:
  int workers_;
};

void setCounters(benchmark::State& state, const BenchWorkers& w, double pixels) {
  state.counters["workers"] = w.workers();
  state.counters["pixels/s"] =
      benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ParallelMaskFit24MP(benchmark::State& state) {
  const BenchWorkers w(state);
  Bitmap mask = makeMask(), target;
  for (auto _ : state) {
    ResampleBitmap(kPhotoWidth, kPhotoHeight, rkLanczos3, 0, mask, target);
    benchmark::DoNotOptimize(target.bits());
    benchmark::ClobberMemory();
  }
  setCounters(state, w, static_cast<double>(kPhotoWidth) * kPhotoHeight);
}

void BM_ParallelPhotoHalf24MP(benchmark::State& state) {
  const BenchWorkers w(state);
  Bitmap photo = makePhoto(), target;
  for (auto _ : state) {
    ResampleBitmap(kPhotoWidth / 2, kPhotoHeight / 2, rkLanczos3, 0, photo, target);
    benchmark::DoNotOptimize(target.bits());
    benchmark::ClobberMemory();
  }
  setCounters(state, w, static_cast<double>(kPhotoWidth / 2) * (kPhotoHeight / 2));
}

// The mask as the program makes it (fitted, near-white snapped to white), blended over and over
// into the same photo; every pixel under the dark frame is pulled each time.
void BM_ParallelBlendMask24MP(benchmark::State& state) {
  const BenchWorkers w(state);
  Bitmap photo = makePhoto();
  const auto mask = BuildMaskBitmap(makeMask(), kPhotoWidth, kPhotoHeight, MaskOptions{});
  if (!mask) {
    state.SkipWithError("no mask");
    return;
  }
  for (auto _ : state) {
    BlendMask(photo, *mask, 60, rgb(30, 200, 90));
    benchmark::ClobberMemory();
  }
  setCounters(state, w, static_cast<double>(kPhotoWidth) * kPhotoHeight);
}

// The whole of "Appliquer le masque": mask built from the 800 x 600 picture, then applied.
// Second argument 0: fitted; 1: fitted and softened; 2: "Transparent" (two tones, dithered
// 256-colour reduction). The copy of the photo before each run is not timed.
void BM_ParallelBuildAndApply24MP(benchmark::State& state) {
  const BenchWorkers w(state);
  const Bitmap original = makePhoto();
  const Bitmap maskPicture = makeMask();
  MaskOptions options;
  options.soften = state.range(1) == 1;
  options.format = state.range(1) == 2 ? rfTransparent : rfCouleursRVB;
  Bitmap photo;
  for (auto _ : state) {
    state.PauseTiming();
    photo.assign(original);
    state.ResumeTiming();
    const auto mask = BuildMaskBitmap(maskPicture, photo.width(), photo.height(), options);
    ApplyMaskBitmap(photo, *mask, options.format, {60, rgb(255, 255, 255)});
    benchmark::ClobberMemory();
  }
  setCounters(state, w, static_cast<double>(kPhotoWidth) * kPhotoHeight);
}

// Saving a transparent result: 256 colours without dithering, into an 8-bit bitmap (options 66).
void BM_ParallelReduce66_24MP(benchmark::State& state) {
  const BenchWorkers w(state);
  Bitmap original = makePhoto();
  original.TransparentColor = kTransparentKey;
  Bitmap work;
  for (auto _ : state) {
    state.PauseTiming();
    work.assign(original);
    state.ResumeTiming();
    ReduceToPalette(work, 256, 66);
    benchmark::DoNotOptimize(work.bits());
  }
  setCounters(state, w, static_cast<double>(kPhotoWidth) * kPhotoHeight);
}

void workerArgs(benchmark::internal::Benchmark* b) {
  b->ArgName("workers")->Arg(1)->Arg(0)->UseRealTime()->MeasureProcessCPUTime()->Unit(
      benchmark::kMillisecond);
}

BENCHMARK(BM_ParallelMaskFit24MP)->Apply(workerArgs);
BENCHMARK(BM_ParallelPhotoHalf24MP)->Apply(workerArgs);
BENCHMARK(BM_ParallelBlendMask24MP)->Apply(workerArgs);
BENCHMARK(BM_ParallelBuildAndApply24MP)
    ->ArgNames({"workers", "variant"})
    ->ArgsProduct({{1, 0}, {0, 1, 2}})
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParallelReduce66_24MP)->Apply(workerArgs);

}  // namespace
}  // namespace vorlino::bench
