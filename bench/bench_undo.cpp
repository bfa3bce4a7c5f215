// Undo history on a 24 MP working bitmap: recording a snapshot with the list full (one copy, and
// the XOR that turns the previous snapshot into a difference; its compression runs on the list's
// own thread), and undo/redo of a same-size action (the difference XORed in place, from its
// compressed pieces once they are ready).
#include <benchmark/benchmark.h>

#include "bench_images.h"
#include "history/undo.h"

namespace vorlino::bench {
namespace {

const Bitmap& photo() {
  static const Bitmap p = makePhoto();
  return p;
}

void setPixelsPerSecond(benchmark::State& state, const Bitmap& b) {
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(b.width()) * b.height(),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void BM_UndoAdd(benchmark::State& state) {
  Bitmap working = photo();
  TUndoList list(6);
  for (int i = 0; i < 6; ++i) list.Add(working, "Masque");  // full: every Add drops the oldest
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.Add(working, "Masque"));
    benchmark::ClobberMemory();
  }
  setPixelsPerSecond(state, working);
}
BENCHMARK(BM_UndoAdd)->Unit(benchmark::kMillisecond);

void BM_UndoExchange(benchmark::State& state) {
  Bitmap working = photo();
  TUndoList list(6);
  list.Add(working, "Masque");
  working.row(0)[0] ^= 0xFF;
  for (auto _ : state) {  // one exchange per iteration: undo, redo, undo...
    if (list.Current())
      list.Undo();
    else
      list.Redo();
    benchmark::ClobberMemory();
  }
  setPixelsPerSecond(state, working);
}
BENCHMARK(BM_UndoExchange)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlino::bench
