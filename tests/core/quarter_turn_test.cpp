#include "compose/quarter_turn.h"

#include <gtest/gtest.h>

#include "compose_reference.h"
#include "test_images.h"

namespace vorlino {
namespace {

// Rows (a, b, c) and (d, e, f), pixels told apart by their grey values 1..6.
Bitmap threeByTwo() {
  return test::greyBitmap({{1, 2, 3}, {4, 5, 6}});
}

TEST(QuarterTurnTest, ThreeByTwoExamples) {
  Bitmap cw = threeByTwo();
  RotateQuarter(cw, true);
  EXPECT_EQ(cw, test::greyBitmap({{4, 1}, {5, 2}, {6, 3}}));

  Bitmap ccw = threeByTwo();
  RotateQuarter(ccw, false);
  EXPECT_EQ(ccw, test::greyBitmap({{3, 6}, {2, 5}, {1, 4}}));

  Bitmap half = threeByTwo();
  RotateHalf(half);
  EXPECT_EQ(half, test::greyBitmap({{6, 5, 4}, {3, 2, 1}}));
}

// Sizes on both sides of the cache tile, odd and even.
constexpr int kSizes[][2] = {{113, 157}, {40, 33}, {64, 64}, {8, 8}, {9, 15},
                             {1, 70},    {70, 1},  {2, 2},   {1, 1}};

TEST(QuarterTurnTest, EveryPixelLandsWhereTheMappingSays) {
  test::forEachBuild([] {
    for (const auto& size : kSizes) {
      const int w = size[0], h = size[1];
      Bitmap source = test::randomBitmap(w, h, static_cast<std::uint32_t>(w * 1000 + h));
      Bitmap cw, ccw;
      RotateQuarterInto(source, cw, true);
      RotateQuarterInto(source, ccw, false);
      ASSERT_EQ(cw.width(), h);
      ASSERT_EQ(cw.height(), w);
      ASSERT_EQ(ccw.width(), h);
      ASSERT_EQ(ccw.height(), w);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          ASSERT_EQ(cw.pixel(h - 1 - y, x), source.pixel(x, y));
          ASSERT_EQ(ccw.pixel(y, w - 1 - x), source.pixel(x, y));
        }
    }
  });
}

TEST(QuarterTurnTest, TurnsComposeToIdentityAndHalfTurn) {
  test::forEachBuild([] {
    for (const auto& size : kSizes) {
      const Bitmap original = test::randomBitmap(size[0], size[1], 7);
      Bitmap four = original;
      for (int i = 0; i < 4; ++i) RotateQuarter(four, true);
      EXPECT_EQ(four, original);

      Bitmap back = original;
      RotateQuarter(back, true);
      RotateQuarter(back, false);
      EXPECT_EQ(back, original);

      Bitmap twice = original, half = original;
      RotateQuarter(twice, true);
      RotateQuarter(twice, true);
      RotateHalf(half);
      EXPECT_EQ(twice, half);
      RotateHalf(half);
      EXPECT_EQ(half, original);
    }
  });
}

TEST(QuarterTurnTest, ConvertsTheSourceAndReplacesTheTarget) {
  Bitmap source = test::randomBitmap(5, 3, 8, 8);
  Bitmap expected = source;
  expected.convertTo24();
  Bitmap target = test::randomBitmap(50, 50, 9, 32);
  target.Transparent = true;
  RotateQuarterInto(source, target, true);
  EXPECT_EQ(source.bitsPerPixel(), 24);
  EXPECT_EQ(target.bitsPerPixel(), 24);
  EXPECT_EQ(target.width(), 3);
  EXPECT_EQ(target.height(), 5);
  EXPECT_TRUE(target.Transparent);
  EXPECT_EQ(target.pixel(2, 4), expected.pixel(4, 0));

  // In place: attributes stay with the bitmap.
  Bitmap b = test::randomBitmap(4, 2, 10, 4);
  b.Transparent = true;
  b.TransparentColor = kTransparentKey;
  const Color corner = b.pixel(0, 1);
  RotateQuarter(b, true);
  EXPECT_EQ(b.bitsPerPixel(), 24);
  EXPECT_EQ(b.width(), 2);
  EXPECT_TRUE(b.Transparent);
  EXPECT_EQ(b.TransparentColor, kTransparentKey);
  EXPECT_EQ(b.pixel(0, 0), corner);

  // The same bitmap as source and target turns it in place.
  Bitmap same = threeByTwo();
  RotateQuarterInto(same, same, false);
  EXPECT_EQ(same, test::greyBitmap({{3, 6}, {2, 5}, {1, 4}}));
}

TEST(QuarterTurnTest, EmptyStaysEmpty) {
  Bitmap empty(0, 7, 24);
  RotateQuarter(empty, true);
  EXPECT_EQ(empty.width(), 7);
  EXPECT_EQ(empty.height(), 0);
  Bitmap none;
  RotateHalf(none);
  EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace vorlino
