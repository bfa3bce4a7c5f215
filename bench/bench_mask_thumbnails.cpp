// The gallery's thumbnails: a folder of 200 masks of 480 x 360 (PNG, the shipped masks' size),
// listed, made on first sight (decode, grey, Lanczos fit into 96 x 96) and read back from the
// cache the next time. The window shows a cached folder as fast as the warm figure allows and its
// first new thumbnail after about one cold thumbnail.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_images.h"
#include "gallery/mask_thumbnails.h"
#include "gallery/user_masks.h"
#include "imagefile/file_output.h"
#include "imagefile/png_writer.h"

namespace vorlino::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kMaskCount = 200;

// A folder of kMaskCount mask files and an empty cache folder beside it, made once.
struct MaskFolder {
  fs::path root = fs::temp_directory_path() / "vorlino_bench_gallery";
  std::string masks = (root / "Masques").string();
  std::string cache = (root / "cache").string();
  std::vector<std::string> files;

  MaskFolder() {
    fs::remove_all(root);
    fs::create_directories(masks);
    ByteWriter png;
    (void)WritePng(makeMask(480, 360), png, PngOptions{});
    for (int i = 0; i < kMaskCount; ++i) {
      const std::string name = masks + "/masque_" + std::to_string(1000 + i) + ".png";
      (void)writeFileReplacing(name, png.bytes());
    }
    files = listMaskPictures(masks);
  }
  ~MaskFolder() { fs::remove_all(root); }
};

MaskFolder& folder() {
  static MaskFolder f;
  return f;
}

void BM_GalleryList200(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(listMaskPictures(folder().masks).size());
}
BENCHMARK(BM_GalleryList200)->Unit(benchmark::kMillisecond);

void BM_ThumbnailMakeOne(benchmark::State& state) {
  GreyThumbnail thumb;
  for (auto _ : state) {
    if (!makeThumbnail(folder().files.front(), kThumbnailEdge, thumb).ok())
      state.SkipWithError("thumbnail failed");
  }
}
BENCHMARK(BM_ThumbnailMakeOne)->Unit(benchmark::kMillisecond);

// The first visit of the folder: every thumbnail made and stored.
void BM_GalleryCold200(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(folder().cache);
    state.ResumeTiming();
    for (const std::string& file : folder().files) {
      GreyThumbnail thumb;
      if (thumbnailFor(file, folder().cache, kThumbnailEdge, thumb) != ThumbnailSource::tsMade)
        state.SkipWithError("thumbnail not made");
    }
  }
}
BENCHMARK(BM_GalleryCold200)->Unit(benchmark::kMillisecond)->Iterations(3);

// Every later visit: all 200 from the cache.
void BM_GalleryWarm200(benchmark::State& state) {
  for (const std::string& file : folder().files) {
    GreyThumbnail thumb;
    (void)thumbnailFor(file, folder().cache, kThumbnailEdge, thumb);
  }
  for (auto _ : state) {
    for (const std::string& file : folder().files) {
      GreyThumbnail thumb;
      if (thumbnailFor(file, folder().cache, kThumbnailEdge, thumb, true) !=
          ThumbnailSource::tsCache)
        state.SkipWithError("cache missed");
    }
  }
}
BENCHMARK(BM_GalleryWarm200)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlino::bench
