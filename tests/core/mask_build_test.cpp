#include "compose/mask_build.h"

#include <gtest/gtest.h>

#include "compose/bitmap_filters.h"
#include "compose/blend_mask.h"
#include "compose/resample.h"
#include "test_images.h"

namespace vorlino {
namespace {

TEST(FitSizeTest, TouchesTheBoxOnOneSide) {
  int w = 400, h = 100;
  FitSize(w, h, 121, 121);
  EXPECT_EQ(w, 121);
  EXPECT_EQ(h, 30);  // 100 / 3.306 = 30.25
  w = 100, h = 400;
  FitSize(w, h, 121, 121);
  EXPECT_EQ(w, 30);
  EXPECT_EQ(h, 121);
  w = 50, h = 50;
  FitSize(w, h, 121, 121);
  EXPECT_EQ(w, 121);
  EXPECT_EQ(h, 121);
  w = 0, h = 50;
  FitSize(w, h, 121, 121);
  EXPECT_EQ(h, 50);
  w = 10, h = 50;
  FitSize(w, h, 121, -1);
  EXPECT_EQ(w, 10);
}

TEST(BuildMaskBitmapTest, TilingRepeatsTheMaskFromTheTopLeft) {
  const Bitmap picture = test::randomBitmap(100, 100, 11);
  const auto mask = BuildMaskBitmap(picture, 250, 120, {.fit = false});
  ASSERT_TRUE(mask);
  ASSERT_EQ(mask->width(), 250);
  ASSERT_EQ(mask->height(), 120);
  for (int y : {0, 57, 99, 100, 119})
    for (int x : {0, 99, 100, 199, 200, 249})
      EXPECT_EQ(mask->pixel(x, y), picture.pixel(x % 100, y % 100)) << x << "," << y;
  EXPECT_EQ(picture, test::randomBitmap(100, 100, 11));  // the picture itself is untouched
}

TEST(BuildMaskBitmapTest, FittingResamplesThenSnapsNearWhite) {
  Bitmap picture = test::greyBitmap({{0, 244, 255}, {243, 128, 250}});
  const auto mask = BuildMaskBitmap(picture, 3, 2, {});
  ASSERT_TRUE(mask);
  // Same size: an exact copy, then every pixel with all bytes >= 243 becomes pure white.
  EXPECT_EQ(test::greyAt(*mask, 0, 0), 0);
  EXPECT_EQ(test::greyAt(*mask, 1, 0), 255);
  EXPECT_EQ(test::greyAt(*mask, 0, 1), 255);
  EXPECT_EQ(test::greyAt(*mask, 1, 1), 128);

  Bitmap expected;
  Bitmap source = test::randomBitmap(80, 60, 5);
  ResampleBitmap(321, 207, rkLanczos3, 0, source, expected);
  ReplaceColour(expected, kWhite, kWhite, 12);
  SoftenBitmap(expected);
  SoftenBitmap(expected);
  const auto built = BuildMaskBitmap(test::randomBitmap(80, 60, 5), 321, 207, {.soften = true});
  ASSERT_TRUE(built);
  EXPECT_EQ(*built, expected);
}

TEST(BuildMaskBitmapTest, TransparentFormatAlwaysGivesTwoTones) {
  const Bitmap picture = test::randomBitmap(40, 30, 3);
  for (bool soften : {false, true}) {
    const auto mask = BuildMaskBitmap(picture, 97, 61, {.soften = soften, .format = rfTransparent});
    ASSERT_TRUE(mask);
    for (int y = 0; y < mask->height(); ++y)
      for (int x = 0; x < mask->width(); ++x) {
        const Color c = mask->pixel(x, y);
        ASSERT_TRUE(c == kBlack || c == kWhite) << x << "," << y;
      }
  }
}

TEST(BuildMaskBitmapTest, FailureYieldsNothing) {
  const Bitmap picture = test::randomBitmap(4, 4, 1);
  EXPECT_FALSE(BuildMaskBitmap(picture, Bitmap::kMaxSide + 1, 2, {.fit = false}));
}

TEST(ApplyMaskBitmapTest, TransparentFormatKeysTheMaskedArea) {
  Bitmap photo = test::randomBitmap(64, 48, 21);
  Bitmap mask = test::solidBitmap(64, 48, kWhite);
  for (int x = 0; x < 64; ++x) mask.setPixel(x, 0, kBlack);
  ApplyMaskBitmap(photo, mask, rfTransparent, {.opacity = 10, .colour = kBlack});
  EXPECT_TRUE(photo.Transparent);
  EXPECT_EQ(photo.TransparentColor, kTransparentKey);
  EXPECT_EQ(photo.bitsPerPixel(), 24);
  for (int x = 0; x < 64; ++x) EXPECT_EQ(photo.pixel(x, 0), kTransparentKey);

  // Applying again in "Couleurs RVB" clears the flag and blends on top of the previous result.
  Bitmap before = photo;
  ApplyMaskBitmap(photo, mask, rfCouleursRVB, {.opacity = 50, .colour = kBlack});
  EXPECT_FALSE(photo.Transparent);
  BlendMask(before, mask, 50, kBlack);
  before.Transparent = false;
  EXPECT_EQ(photo, before);
}

}  // namespace
}  // namespace vorlino
