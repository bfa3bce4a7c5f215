#include "compose/frame_preview.h"

#include <gtest/gtest.h>

namespace vorlino {
namespace {

Bitmap Filled(int w, int h, Color (*pixel)(int x, int y)) {
  Bitmap b(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.setPixel(x, y, pixel(x, y));
  return b;
}

// A reduced copy mixes its area rather than keeping one pixel of it; enlarging repeats pixels;
// the transparency attributes travel with it.
TEST(SampleDownTest, MixesEachAreaAndKeepsTheAttributes) {
  // Squares of 2 x 2 pixels, black and white in turn: each quarter of a 4 x 4 area differs.
  Bitmap fine =
      Filled(8, 8, [](int x, int y) -> Color { return (x / 2 + y / 2) % 2 ? kWhite : kBlack; });
  fine.Transparent = true;
  fine.TransparentColor = 0x123456;
  const Bitmap small = SampleDown(fine, 2, 2);
  ASSERT_EQ(small.width(), 2);
  ASSERT_EQ(small.height(), 2);
  EXPECT_TRUE(small.Transparent);
  EXPECT_EQ(small.TransparentColor, Color(0x123456));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(small.pixel(x, y), Color(0x808080)) << x << "," << y;
  const Bitmap large =
      SampleDown(Filled(2, 1, [](int x, int) { return x ? kWhite : kBlack; }), 4, 2);
  EXPECT_EQ(large.pixel(0, 1), kBlack);
  EXPECT_EQ(large.pixel(3, 0), kWhite);
  EXPECT_TRUE(SampleDown(Bitmap(), 3, 3).empty());
}

// Repeated tiles keep their place on the reduced photo: a quarter-size copy of a photo tiled with
// a 40 x 40 mask shows 10 x 10 tiles, not 40 x 40 ones.
TEST(BuildReducedMaskTest, TilesShrinkWithThePhoto) {
  const Bitmap picture = Filled(40, 40, [](int x, int) { return x < 20 ? kBlack : kWhite; });
  MaskOptions tiled;
  tiled.fit = false;
  const std::optional<Bitmap> mask = BuildReducedMask(picture, 400, 200, 100, 50, tiled);
  ASSERT_TRUE(mask.has_value());
  ASSERT_EQ(mask->width(), 100);
  ASSERT_EQ(mask->height(), 50);
  for (int x = 0; x < 100; ++x) EXPECT_EQ(mask->pixel(x, 7), (x % 10) < 5 ? kBlack : kWhite) << x;
  // Fitted: the mask is simply made at the reduced size.
  MaskOptions fitted;
  const std::optional<Bitmap> fit = BuildReducedMask(picture, 400, 200, 100, 50, fitted);
  ASSERT_TRUE(fit.has_value());
  EXPECT_TRUE(*fit == *BuildMaskBitmap(picture, 100, 50, fitted));
  EXPECT_FALSE(BuildReducedMask(Bitmap(), 400, 200, 100, 50, fitted).has_value());
}

}  // namespace
}  // namespace vorlino
