// The physical reference: copying the bytes of a 24 MP working bitmap.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_images.h"

namespace vorlino::bench {
namespace {

void BM_Memcpy24MP(benchmark::State& state) {
  const Bitmap src = makePhoto();
  Bitmap dst(src.width(), src.height(), 24);
  for (auto _ : state) {
    std::memcpy(dst.bits(), src.bits(), src.byteCount());
    benchmark::DoNotOptimize(dst.bits());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(src.byteCount()));
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(src.width()) * src.height(),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Memcpy24MP)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlino::bench
