#include <gtest/gtest.h>

#include <set>

#include "compose/plain_resize.h"
#include "test_images.h"

namespace vorlino {
namespace {

TEST(PlainResize, CreatesNoColourAndKeepsAttributes) {
  Bitmap source = test::randomBitmap(37, 23, 7);
  source.Transparent = true;
  source.TransparentColor = kTransparentKey;
  for (int x = 0; x < 37; ++x) source.setPixel(x, 5, kTransparentKey);
  std::set<Color> before;
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) before.insert(source.pixel(x, y));

  for (const auto& [w, h] :
       {std::pair{100, 61}, std::pair{5, 3}, std::pair{1, 1}, std::pair{37, 200}}) {
    Bitmap target;
    PlainResize(w, h, source, target);
    ASSERT_EQ(target.width(), w);
    ASSERT_EQ(target.height(), h);
    EXPECT_EQ(target.bitsPerPixel(), 24);
    EXPECT_TRUE(target.Transparent);
    EXPECT_EQ(target.TransparentColor, kTransparentKey);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) ASSERT_TRUE(before.count(target.pixel(x, y)));
  }
}

TEST(PlainResize, SamplesTheSourcePixelUnderEachCentre) {
  // Doubling repeats every pixel twice; halving keeps the second of each pair.
  Bitmap source = test::randomBitmap(4, 3, 11);
  Bitmap doubled;
  PlainResize(8, 6, source, doubled);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(doubled.pixel(x, y), source.pixel(x / 2, y / 2));
  Bitmap halved;
  PlainResize(2, 3, source, halved);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(halved.pixel(x, y), source.pixel(2 * x + 1, y));
  // Same size is an exact copy, also in place.
  Bitmap same = source;
  PlainResize(4, 3, same, same);
  EXPECT_EQ(same, source);
}

TEST(PlainResize, PaletteFormsKeepTheirIndices) {
  for (int bpp : {1, 4, 8}) {
    Bitmap source = test::randomBitmap(13, 9, 3, bpp);
    Bitmap target;
    PlainResize(26, 9, source, target);
    ASSERT_EQ(target.bitsPerPixel(), bpp);
    EXPECT_EQ(target.palette(), source.palette());
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 26; ++x)
        ASSERT_EQ(target.pixelIndex(x, y), source.pixelIndex(x / 2, y)) << bpp;
  }
}

TEST(PlainResize, EmptySourceLeavesTargetAlone) {
  Bitmap target = test::randomBitmap(3, 3, 1);
  const Bitmap before = target;
  PlainResize(10, 10, Bitmap(), target);
  EXPECT_EQ(target, before);
}

}  // namespace
}  // namespace vorlino
