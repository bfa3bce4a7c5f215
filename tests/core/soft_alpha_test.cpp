#include "compose/soft_alpha.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "compose/mask_build.h"
#include "compose/resample_alpha.h"
#include "compose_reference.h"
#include "test_images.h"

namespace vorlino {
namespace {

// Alpha straight from the definition: the blend's weight f, then 255 - f * 255 / 100.
int referenceAlpha(const std::uint8_t* maskPixel, int opacity) {
  const int mean = (maskPixel[0] + maskPixel[1] + maskPixel[2]) / 3;
  if (opacity <= 0 || mean >= 250) return 255;
  if (opacity > 100) opacity = 100;
  const int f = (((255 - mean) * 100) / 255 * opacity) / 100;
  return 255 - (f * 255) / 100;
}

TEST(SoftAlphaTest, AlphaFollowsTheBlendWeightsAndColoursKeepThePhoto) {
  const Bitmap photo = test::randomBitmap(67, 13, 21);
  const Bitmap mask = test::randomBitmap(70, 15, 22);  // larger than the photo: only its corner
  for (int opacity : {-5, 0, 1, 37, 100, 150}) {
    SCOPED_TRACE(opacity);
    Bitmap soft = photo;
    soft.TransparentColor = 0x123456;
    SoftAlphaMask(soft, mask, opacity);
    ASSERT_EQ(soft.bitsPerPixel(), 32);
    ASSERT_EQ(soft.width(), photo.width());
    EXPECT_EQ(soft.TransparentColor, 0x123456u);
    for (int y = 0; y < photo.height(); ++y)
      for (int x = 0; x < photo.width(); ++x) {
        const std::uint8_t* p = soft.row(y) + 4 * x;
        ASSERT_EQ(0, std::memcmp(p, photo.row(y) + 3 * x, 3)) << x << "," << y;
        ASSERT_EQ(p[3], referenceAlpha(mask.row(y) + 3 * x, opacity)) << x << "," << y;
      }
  }
  // White (and near-white) mask: opaque; black at full opacity: fully transparent.
  for (int grey : {250, 255}) {
    Bitmap soft = photo;
    SoftAlphaMask(soft, test::solidBitmap(67, 13, rgb(grey, grey, grey)), 100);
    EXPECT_EQ(soft.pixel(5, 5), photo.pixel(5, 5));
    EXPECT_EQ(soft.row(5)[4 * 5 + 3], 255);
  }
  Bitmap black = photo;
  SoftAlphaMask(black, test::solidBitmap(67, 13, kBlack), 100);
  EXPECT_EQ(black.row(3)[4 * 9 + 3], 0);
  EXPECT_EQ(black.pixel(9, 3), photo.pixel(9, 3));
}

TEST(SoftAlphaTest, ComposedOverAColourGivesTheBlendToTheBit) {
  for (int f = 0; f <= 100; ++f) ASSERT_EQ(weightOfAlpha(alphaOfWeight(f)), unsigned(f)) << f;
  const Bitmap photo = test::randomBitmap(41, 17, 31);
  const Bitmap mask = test::randomBitmap(41, 17, 32);
  for (int opacity : {10, 63, 100})
    for (Color colour : {kWhite, kBlack, rgb(206, 237, 220), rgb(12, 200, 99)}) {
      SCOPED_TRACE(testing::Message() << opacity << " " << colour);
      Bitmap blended = photo;
      test::referenceBlend(blended, mask, opacity, colour);
      Bitmap soft = photo;
      SoftAlphaMask(soft, mask, opacity);
      ComposeOverColour(soft, colour);
      ASSERT_EQ(soft.bitsPerPixel(), 24);
      ASSERT_TRUE(soft == blended);
    }
}

TEST(SoftAlphaTest, SecondMaskMultipliesTheAlphaAndOtherFormatsFlattenFirst) {
  const Bitmap photo = test::randomBitmap(19, 7, 41);
  const Bitmap first = test::randomBitmap(19, 7, 42), second = test::randomBitmap(19, 7, 43);
  Bitmap once = photo, twice = photo;
  SoftAlphaMask(once, first, 80);
  SoftAlphaMask(twice, first, 80);
  SoftAlphaMask(twice, second, 60);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 19; ++x) {
      const int a = once.row(y)[4 * x + 3];
      ASSERT_EQ(twice.row(y)[4 * x + 3], a * referenceAlpha(second.row(y) + 3 * x, 60) / 255);
      ASSERT_EQ(twice.pixel(x, y), photo.pixel(x, y));
    }

  // "Couleurs RVB" on a soft result blends into the picture composed over its colour.
  BlendOptions blend{70, rgb(10, 20, 30)};
  Bitmap soft = photo;
  ApplyMaskBitmap(soft, first, rfTransparenceProgressive, blend);
  EXPECT_EQ(soft.TransparentColor, rgb(10, 20, 30));
  EXPECT_FALSE(soft.Transparent);
  Bitmap expected = soft;
  ComposeOverColour(expected, rgb(10, 20, 30));
  test::referenceBlend(expected, second, 50, kWhite);
  ApplyMaskBitmap(soft, second, rfCouleursRVB, BlendOptions{50, kWhite});
  EXPECT_TRUE(soft == expected);

  Bitmap palette(4, 4, 8);
  EXPECT_THROW(SoftAlphaMask(palette, first, 50), std::invalid_argument);
  Bitmap small = photo;
  EXPECT_THROW(SoftAlphaMask(small, test::randomBitmap(18, 7, 1), 50), std::invalid_argument);
  EXPECT_EQ(small.bitsPerPixel(), 24);
}

TEST(SoftAlphaTest, ResamplingKeepsTheAlphaAndLeaves24BitResultsAsTheyWere) {
  const Bitmap photo = test::randomBitmap(31, 19, 61);
  Bitmap soft = photo;
  SoftAlphaMask(soft, test::randomBitmap(31, 19, 62), 90);
  soft.TransparentColor = 0x445566;
  const Bitmap before = soft;
  // Expected: each channel group through the plain three-channel resampler.
  Bitmap alphaAsGrey(31, 19, 24);
  for (int y = 0; y < 19; ++y)
    for (int x = 0; x < 31; ++x) alphaAsGrey.row(y)[3 * x] = soft.row(y)[4 * x + 3];
  for (auto [w, h] : {std::pair{47, 11}, {12, 40}, {2, 2}}) {
    Bitmap colours = photo, grey = alphaAsGrey, expectedColours, expectedAlpha, resized;
    ResampleBitmap(w, h, rkLanczos3, 0, colours, expectedColours);
    ResampleBitmap(w, h, rkLanczos3, 0, grey, expectedAlpha);
    ResampleKeepingAlpha(w, h, rkLanczos3, 0, soft, resized);
    ASSERT_TRUE(soft == before);
    ASSERT_EQ(resized.bitsPerPixel(), 32);
    EXPECT_EQ(resized.TransparentColor, 0x445566u);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        ASSERT_EQ(0, std::memcmp(resized.row(y) + 4 * x, expectedColours.row(y) + 3 * x, 3));
        ASSERT_EQ(resized.row(y)[4 * x + 3], expectedAlpha.row(y)[3 * x]);
      }
    Bitmap plain = photo, viaAlpha = photo, a, b;
    ResampleBitmap(w, h, rkLanczos3, 0, plain, a);
    ResampleKeepingAlpha(w, h, rkLanczos3, 0, viaAlpha, b);
    EXPECT_TRUE(a == b);
  }
}

}  // namespace
}  // namespace vorlino
