#include "compose/blend_mask.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "compose_reference.h"
#include "test_images.h"

namespace vorlino {
namespace {

using test::forEachBuild;

Color blendOne(Color pixel, int maskGrey, int opacity, Color colour) {
  Bitmap photo = test::solidBitmap(1, 1, pixel);
  const Bitmap mask = test::greyBitmap({{maskGrey}});
  BlendMask(photo, mask, opacity, colour);
  return photo.pixel(0, 0);
}

TEST(BlendMaskTest, WorkedValues) {
  forEachBuild([] {
    const Color pixel = rgb(200, 100, 50);
    EXPECT_EQ(blendOne(pixel, 128, 50, kWhite), rgb(213, 137, 99));
    EXPECT_EQ(blendOne(pixel, 0, 75, kBlack), rgb(50, 25, 13));  // -37.5 truncates to -37
    EXPECT_EQ(blendOne(pixel, 249, 100, kBlack), rgb(196, 98, 49));
    EXPECT_EQ(blendOne(pixel, 250, 100, kBlack), pixel);
    EXPECT_EQ(blendOne(pixel, 0, 100, kTransparentKey), rgb(206, 237, 220));
  });
}

TEST(BlendMaskTest, OpacityOutsideRange) {
  const Bitmap photo = test::randomBitmap(37, 11, 1);
  const Bitmap mask = test::randomBitmap(37, 11, 2);
  for (int opacity : {0, -5}) {
    Bitmap p = photo;
    BlendMask(p, mask, opacity, kBlack);
    EXPECT_EQ(p, photo);
  }
  Bitmap over = photo, full = photo;
  BlendMask(over, mask, 150, rgb(1, 2, 3));
  BlendMask(full, mask, 100, rgb(1, 2, 3));
  EXPECT_EQ(over, full);
  EXPECT_NE(full, photo);
}

TEST(BlendMaskTest, BlackMaskGivesFlatColourWhiteMaskNothing) {
  forEachBuild([] {
    const Bitmap photo = test::randomBitmap(70, 9, 3);
    const Color colour = rgb(12, 250, 99);
    Bitmap p = photo;
    BlendMask(p, test::solidBitmap(70, 9, kBlack), 100, colour);
    EXPECT_EQ(p, test::solidBitmap(70, 9, colour));
    for (Color white : {kWhite, rgb(250, 250, 250), rgb(255, 255, 240)}) {
      Bitmap q = photo;
      BlendMask(q, test::solidBitmap(70, 9, white), 100, colour);
      EXPECT_EQ(q, photo);
    }
  });
}

TEST(BlendMaskTest, NearWhiteThreshold) {
  // Mean 249 moves 2 percent of the way; mean 250 not at all.
  Bitmap photo = test::solidBitmap(2, 1, rgb(200, 100, 0));
  Bitmap mask(2, 1, 24);
  mask.setPixel(0, 0, rgb(250, 250, 249));
  mask.setPixel(1, 0, rgb(250, 250, 250));
  BlendMask(photo, mask, 100, kBlack);
  EXPECT_EQ(photo.pixel(0, 0), rgb(196, 98, 0));
  EXPECT_EQ(photo.pixel(1, 0), rgb(200, 100, 0));
}

TEST(BlendMaskTest, SystemColourIsResolved) {
  Bitmap a = test::randomBitmap(5, 5, 4), b = a;
  const Bitmap mask = test::randomBitmap(5, 5, 5);
  BlendMask(a, mask, 80, systemColor(5));
  BlendMask(b, mask, 80, ColorToRGB(systemColor(5)));
  EXPECT_EQ(a, b);
}

TEST(BlendMaskTest, EmptyLargerAndUnfitMasks) {
  Bitmap empty;
  BlendMask(empty, Bitmap(), 100, kBlack);
  EXPECT_TRUE(empty.empty());

  // A larger mask is read at the same x and y.
  const Bitmap photo = test::randomBitmap(9, 4, 6);
  const Bitmap bigMask = test::randomBitmap(20, 10, 7);
  Bitmap a = photo, b = photo;
  BlendMask(a, bigMask, 90, kWhite);
  test::referenceBlend(b, bigMask, 90, kWhite);
  EXPECT_EQ(a, b);

  Bitmap c = photo;
  EXPECT_THROW(BlendMask(c, test::randomBitmap(8, 4, 8), 100, kBlack), std::invalid_argument);
  EXPECT_THROW(BlendMask(c, test::randomBitmap(9, 4, 8, 8), 100, kBlack), std::invalid_argument);
  EXPECT_EQ(c, photo);
}

TEST(BlendMaskTest, MatchesPlainLoopOnRandomImages) {
  forEachBuild([] {
    std::mt19937 rng(9);
    for (const auto& shape : test::kShapes) {
      const int w = shape[0], h = shape[1];
      const Bitmap photo = test::randomBitmap(w, h, rng());
      // Random grey masks reach every mean; random colour masks every sum.
      Bitmap mask = test::randomBitmap(w, h, rng());
      for (int opacity : {1, 37, 100}) {
        const Color colour = rng() & 0xFFFFFF;
        Bitmap fast = photo, plain = photo;
        BlendMask(fast, mask, opacity, colour);
        test::referenceBlend(plain, mask, opacity, colour);
        ASSERT_EQ(fast, plain) << w << "x" << h << " opacity " << opacity;
      }
    }
  });
}

// Every mask sum (0..765) against every photo byte, for every opacity of the field's range and
// beyond: the vector arithmetic must agree with the plain formula on all of them.
TEST(BlendMaskTest, MatchesPlainLoopOnEveryMaskSumAndByte) {
  Bitmap photo(766, 256, 24), mask(766, 256, 24);
  for (int y = 0; y < 256; ++y)
    for (int s = 0; s < 766; ++s) {
      std::uint8_t* p = test::pixelAt(photo, s, y);
      p[0] = p[1] = p[2] = static_cast<std::uint8_t>(y);
      std::uint8_t* m = test::pixelAt(mask, s, y);
      m[0] = static_cast<std::uint8_t>(s / 3);
      m[1] = static_cast<std::uint8_t>((s + 1) / 3);
      m[2] = static_cast<std::uint8_t>((s + 2) / 3);
    }
  forEachBuild([&] {
    for (int opacity = 1; opacity <= 100; ++opacity) {
      const Color colour = rgb(static_cast<std::uint8_t>(opacity * 2), 255, 0);
      Bitmap fast = photo, plain = photo;
      BlendMask(fast, mask, opacity, colour);
      test::referenceBlend(plain, mask, opacity, colour);
      ASSERT_EQ(fast, plain) << "opacity " << opacity;
    }
  });
}

// Row by row with a grey mask: every grey value against every photo byte, and odd widths for the
// tails, in both builds, the bytes of BlendMask with the same mask as three equal bytes.
TEST(BlendMaskTest, GreyRowsGiveTheBytesOfTheWholeBlend) {
  std::mt19937 rng(11);
  forEachBuild([&] {
    for (const int width : {256, 1, 31, 33, 97}) {
      Bitmap photo = test::randomBitmap(width, 256, rng()), mask(width, 256, 24);
      std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * 256);
      for (int y = 0; y < 256; ++y)
        for (int x = 0; x < width; ++x) {
          const auto g = static_cast<std::uint8_t>(width == 256 ? x : rng());
          if (width == 256) photo.row(y)[3 * x] = static_cast<std::uint8_t>(y);
          grey[static_cast<std::size_t>(y * width + x)] = g;
          std::uint8_t* m = test::pixelAt(mask, x, y);
          m[0] = m[1] = m[2] = g;
        }
      for (const int opacity : {-5, 0, 1, 37, 99, 100, 150}) {
        const Color colour = rng() & 0xFFFFFF;
        Bitmap rows = photo, whole = photo;
        BlendMask(whole, mask, opacity, colour);
        const GreyMaskBlender blender(opacity, colour);
        for (int y = 0; y < 256; ++y)
          blender.blendRow(rows.row(y), grey.data() + static_cast<std::size_t>(y) * width, width);
        ASSERT_EQ(rows, whole) << width << " wide, opacity " << opacity;
      }
    }
  });
}

}  // namespace
}  // namespace vorlino
