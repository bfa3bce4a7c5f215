// What keeping a photo's metadata costs on a 24 MP JPEG: opening the file (read and decode, the
// metadata read included) next to the metadata read alone, and saving it with and without its
// tags. The tags are a camera's (EXIF with maker notes, GPS, a thumbnail to drop) from
// VORLINO_BENCH_EXIF, by default the shared corpus' flower.jpg, plus a colour profile.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_images.h"
#include "imagefile/decoders.h"
#include "imagefile/jpeg_writer.h"
#include "imagefile/load_image.h"
#include "imagefile/metadata.h"
#include "imagefile/save_image.h"

namespace vorlino::bench {
namespace {

std::vector<std::uint8_t> fileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The camera's tags, and a 24 MP photo written as a JPEG that carries them, once per run.
struct TaggedPhoto {
  PhotoMetadata metadata;
  Bitmap photo;
  std::string file;
  std::vector<std::uint8_t> bytes;
  bool ok = false;

  TaggedPhoto() {
    const char* source = std::getenv("VORLINO_BENCH_EXIF");
    const std::vector<std::uint8_t> camera =
        fileBytes(source ? source : VORLINO_SHARED_DIR "/testimages/jpeg/flower.jpg");
    metadata = readPhotoMetadata(camera.data(), camera.size());
    photo = makePhoto();
    ByteWriter out;
    if (!metadata.hasTags() || !WriteJpeg(photo, out, JpegOptions{90, false}).ok()) return;
    bytes = std::move(out.bytes());
    if (!embedPhotoMetadata(metadata, photo.width(), photo.height(), bytes).ok()) return;
    file = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
           "/vorlino-bench-tagged.jpg";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ok = true;
  }
  ~TaggedPhoto() {
    if (!file.empty()) std::remove(file.c_str());
  }
};

TaggedPhoto& tagged() {
  static TaggedPhoto t;
  return t;
}

void BM_OpenTaggedJpeg24MP(benchmark::State& state) {
  TaggedPhoto& t = tagged();
  if (!t.ok) return state.SkipWithError("no camera tags (set VORLINO_BENCH_EXIF)");
  for (auto _ : state) {
    Bitmap picture;
    PhotoMetadata metadata;
    if (!decodeImageFile(t.file, picture, metadata).ok()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(picture.bits());
  }
}
BENCHMARK(BM_OpenTaggedJpeg24MP)->Unit(benchmark::kMillisecond)->Iterations(5);

// The decoder alone on the same bytes: opening without the file read and the metadata.
void BM_DecodeTaggedJpeg24MP(benchmark::State& state) {
  TaggedPhoto& t = tagged();
  if (!t.ok) return state.SkipWithError("no camera tags (set VORLINO_BENCH_EXIF)");
  for (auto _ : state) {
    ByteReader in(t.bytes);
    Bitmap picture;
    if (!readJpeg(in, picture, DecodeLimits{}).ok()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(picture.bits());
  }
}
BENCHMARK(BM_DecodeTaggedJpeg24MP)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ReadMetadataOfTaggedJpeg24MP(benchmark::State& state) {
  TaggedPhoto& t = tagged();
  if (!t.ok) return state.SkipWithError("no camera tags (set VORLINO_BENCH_EXIF)");
  for (auto _ : state) {
    PhotoMetadata metadata = readPhotoMetadata(t.bytes.data(), t.bytes.size());
    benchmark::DoNotOptimize(metadata.orientation());
  }
  state.counters["file MB"] = static_cast<double>(t.bytes.size()) / 1e6;
}
BENCHMARK(BM_ReadMetadataOfTaggedJpeg24MP)->Unit(benchmark::kMillisecond)->Iterations(20);

// arg 0: saved without metadata (as a format that carries none); arg 1: with the camera's tags.
void BM_SaveJpeg24MP(benchmark::State& state) {
  TaggedPhoto& t = tagged();
  if (!t.ok) return state.SkipWithError("no camera tags (set VORLINO_BENCH_EXIF)");
  const std::string name = t.file + ".out.jpg";
  const PhotoMetadata* metadata = state.range(0) ? &t.metadata : nullptr;
  for (auto _ : state)
    if (SaveImageFileWith(name, t.photo, JpegOptions{90, false}, false, metadata) != 1)
      state.SkipWithError("save failed");
  std::remove(name.c_str());
}
BENCHMARK(BM_SaveJpeg24MP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_EmbedMetadataInJpeg24MP(benchmark::State& state) {
  TaggedPhoto& t = tagged();
  if (!t.ok) return state.SkipWithError("no camera tags (set VORLINO_BENCH_EXIF)");
  ByteWriter out;
  WriteJpeg(t.photo, out, JpegOptions{90, false});
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::uint8_t> bytes = out.bytes();
    state.ResumeTiming();
    if (!embedPhotoMetadata(t.metadata, t.photo.width(), t.photo.height(), bytes).ok())
      state.SkipWithError("embedding failed");
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_EmbedMetadataInJpeg24MP)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
}  // namespace vorlino::bench
