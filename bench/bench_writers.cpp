// The PNG writer on a 24 MP photo: Sub filter and deflate at level 7 into memory, on every core;
// and zlib at the same level over the same Sub-filtered rows, the size the writer must not exceed.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <vector>

#include "bench_images.h"
#include "imagefile/png_writer.h"

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

void BM_ZlibLevel7SameRows(benchmark::State& state) {
  const Bitmap photo = makePhoto();
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(photo.width());
  std::vector<std::uint8_t> rows((rowBytes + 1) * static_cast<std::size_t>(photo.height()));
  for (int y = 0; y < photo.height(); ++y) {
    const std::uint8_t* s = photo.row(y);
    std::uint8_t* f = rows.data() + static_cast<std::size_t>(y) * (rowBytes + 1);
    *f++ = 1;  // Sub: each byte minus the same byte of the pixel on the left, in R, G, B order
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const std::uint8_t v = s[i - i % 3 + 2 - i % 3];
      f[i] = static_cast<std::uint8_t>(v - (i >= 3 ? s[i - 3 - i % 3 + 2 - i % 3] : 0));
    }
  }
  uLongf size = 0;
  std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(rows.size())));
  for (auto _ : state) {
    size = static_cast<uLongf>(packed.size());
    if (compress2(packed.data(), &size, rows.data(), static_cast<uLong>(rows.size()), 7) != Z_OK)
      state.SkipWithError("zlib failed");
  }
  state.counters["file MB"] = static_cast<double>(size) / 1e6;
}
BENCHMARK(BM_ZlibLevel7SameRows)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace vorlino::bench
