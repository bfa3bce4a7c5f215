// The gallery's thumbnails and their cache, the listing of a masks folder and the copy that never
// replaces a file.
#include "gallery/mask_thumbnails.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "gallery/user_masks.h"
#include "imagefile/bmp_writer.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;

// A w x h BMP whose left `darkColumns` columns are black and the rest white.
void writeMask(const std::string& path, int w, int h, int darkColumns) {
  Bitmap bitmap(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) bitmap.setPixel(x, y, x < darkColumns ? 0x000000 : 0xFFFFFF);
  }
  ByteWriter out;
  ASSERT_TRUE(WriteBmp(bitmap, out, BmpOptions{}).ok());
  test::writeFileBytes(path, out.bytes());
}

TEST(MaskThumbnails, CacheIsReusedWhileTheFileIsUnchangedAndRedoneWhenItChanges) {
  ScratchFolder folder;
  const std::string mask = folder.file("cadre.bmp");
  const std::string cache = folder.file("cache");
  writeMask(mask, 200, 50, 100);

  GreyThumbnail made;
  ASSERT_EQ(thumbnailFor(mask, cache, kThumbnailEdge, made), ThumbnailSource::tsMade);
  ASSERT_EQ(made.width, 96);  // proportions kept: 200 x 50 fits as 96 x 24
  ASSERT_EQ(made.height, 24);
  EXPECT_LT(made.pixels[96 * 10 + 5], 16);    // the dark left half
  EXPECT_GT(made.pixels[96 * 10 + 90], 240);  // the white right half

  GreyThumbnail cached;
  ASSERT_EQ(thumbnailFor(mask, cache, kThumbnailEdge, cached, true), ThumbnailSource::tsCache);
  EXPECT_EQ(cached.pixels, made.pixels);
  EXPECT_EQ(cached.width, made.width);

  // The same size, other pixels, a later time: the old thumbnail must not come back.
  writeMask(mask, 200, 50, 190);
  fs::last_write_time(mask, fs::last_write_time(mask) + std::chrono::seconds(5));
  GreyThumbnail stale;
  EXPECT_EQ(thumbnailFor(mask, cache, kThumbnailEdge, stale, true), ThumbnailSource::tsFailed);
  GreyThumbnail remade;
  ASSERT_EQ(thumbnailFor(mask, cache, kThumbnailEdge, remade), ThumbnailSource::tsMade);
  EXPECT_LT(remade.pixels[96 * 10 + 80], 16);
  EXPECT_EQ(thumbnailFor(mask, cache, kThumbnailEdge, cached, true), ThumbnailSource::tsCache);
  EXPECT_EQ(cached.pixels, remade.pixels);

  // A damaged cache file reads as a miss and is replaced.
  const std::string cacheFile =
      (fs::path(cache) / thumbnailCacheName(*stampMaskFile(mask), kThumbnailEdge)).string();
  fs::resize_file(cacheFile, fs::file_size(cacheFile) - 7);
  EXPECT_EQ(thumbnailFor(mask, cache, kThumbnailEdge, cached, true), ThumbnailSource::tsFailed);
  EXPECT_EQ(thumbnailFor(mask, cache, kThumbnailEdge, cached), ThumbnailSource::tsMade);
  EXPECT_EQ(cached.pixels, remade.pixels);
}

TEST(MaskThumbnails, SmallPicturesGrowAndUnreadableOnesFailWithoutACacheFile) {
  ScratchFolder folder;
  const std::string tile = folder.file("motif.bmp");
  writeMask(tile, 12, 12, 6);
  GreyThumbnail thumb;
  ASSERT_EQ(thumbnailFor(tile, folder.file("cache"), kThumbnailEdge, thumb),
            ThumbnailSource::tsMade);
  EXPECT_EQ(thumb.width, 96);
  EXPECT_EQ(thumb.height, 96);

  const std::string bad = folder.file("faux.bmp");
  test::writeFileText(bad, "BM not a bitmap");
  GreyThumbnail untouched = thumb;
  EXPECT_EQ(thumbnailFor(bad, folder.file("cache2"), kThumbnailEdge, untouched),
            ThumbnailSource::tsFailed);
  EXPECT_EQ(untouched.pixels, thumb.pixels);
  EXPECT_FALSE(fs::exists(folder / "cache2"));
}

TEST(UserMasks, ListingKeepsReadableExtensionsByNameAndCopiesNeverReplace) {
  ScratchFolder folder;
  writeMask(folder.file("b.bmp"), 4, 4, 2);
  writeMask(folder.file("A.bmp"), 4, 4, 2);
  writeMask(folder.file("c.BMP"), 4, 4, 2);
  test::writeFileText(folder.file("notes.txt"), "pas une image");
  fs::create_directory(folder / "sous.bmp");
  const std::vector<std::string> listed = listMaskPictures(folder.path().string());
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(fs::path(listed[0]).filename(), "A.bmp");
  EXPECT_EQ(fs::path(listed[1]).filename(), "b.bmp");
  EXPECT_EQ(fs::path(listed[2]).filename(), "c.BMP");
  EXPECT_TRUE(listMaskPictures(folder.file("absent")).empty());

  const std::string user = folder.file("user/Masques");
  const std::string first = copyIntoFolder(folder.file("b.bmp"), user);
  EXPECT_EQ(fs::path(first).filename(), "b.bmp");
  // Another picture of the same name lands beside it; the first copy keeps its bytes.
  fs::create_directory(folder / "other");
  writeMask(folder.file("other/b.bmp"), 8, 8, 1);
  const std::string second = copyIntoFolder(folder.file("other/b.bmp"), user);
  EXPECT_EQ(fs::path(second).filename(), "b (2).bmp");
  EXPECT_EQ(test::readFileBytes(first), test::readFileBytes(folder.file("b.bmp")));
  EXPECT_EQ(test::readFileBytes(second), test::readFileBytes(folder.file("other/b.bmp")));
}

TEST(UserMasks, FoldersFollowTheXdgRule) {
  EXPECT_EQ(userMasksFolderFor("/data", "/home/u"), "/data/vorlino/Masques/");
  EXPECT_EQ(userMasksFolderFor("relative", "/home/u"), "/home/u/.local/share/vorlino/Masques/");
  EXPECT_EQ(thumbnailCacheFolderFor("/cache", "/home/u"), "/cache/vorlino/");
  EXPECT_EQ(thumbnailCacheFolderFor("", "/home/u"), "/home/u/.cache/vorlino/");
}

}  // namespace
}  // namespace vorlino
