#include "compose/bitmap_filters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <stdexcept>

#include "compose_reference.h"
#include "test_images.h"

namespace vorlino {
namespace {

using test::forEachBuild;
using test::greyAt;
using test::pixelAt;

// ---- plain versions, written straight from the definitions ----------------------------------

// In place with three row references; the sums of column x + 1 are read before pixel x is written.
void referenceSoften(Bitmap& b) {
  const int w = b.width(), h = b.height();
  std::uint8_t* above = b.row(0);
  std::uint8_t* current = b.row(0);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* below = y + 1 < h ? b.row(y + 1) : current;
    for (int j = 0; j < 3; ++j) {
      auto sum = [&](int x) { return above[3 * x + j] + current[3 * x + j] + below[3 * x + j]; };
      int left = sum(0), middle = sum(0);
      for (int x = 0; x < w; ++x) {
        const int right = x + 1 < w ? sum(x + 1) : middle;
        current[3 * x + j] = static_cast<std::uint8_t>((left + middle + right) / 9);
        left = middle;
        middle = right;
      }
    }
    above = current;
    current = below;
  }
}

template <class PixelChange>
void referencePerPixel(Bitmap& b, PixelChange&& change) {
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x) change(pixelAt(b, x, y));
}

void setBytes(std::uint8_t* p, Color c) {
  p[0] = blueOf(c);
  p[1] = greenOf(c);
  p[2] = redOf(c);
}

// Runs the optimised operation and the plain one on copies of random images of every test shape.
template <class Fast, class Plain>
void expectSameAsPlain(Fast&& fast, Plain&& plain) {
  forEachBuild([&] {
    std::mt19937 rng(42);
    for (const auto& shape : test::kShapes) {
      const Bitmap original = test::randomBitmap(shape[0], shape[1], rng());
      Bitmap a = original, b = original;
      fast(a);
      plain(b);
      ASSERT_EQ(a, b) << shape[0] << "x" << shape[1];
    }
  });
}

// ---- SoftenBitmap ----------------------------------------------------------------------------

TEST(SoftenBitmapTest, CentreDotCarriesDownTheImage) {
  Bitmap b = test::greyBitmap(
      {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 255, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}});
  SoftenBitmap(b);
  EXPECT_EQ(b, test::greyBitmap({{0, 0, 0, 0, 0},
                                 {0, 28, 28, 28, 0},
                                 {3, 34, 37, 34, 3},
                                 {4, 8, 11, 8, 4},
                                 {1, 2, 3, 2, 1}}));
}

TEST(SoftenBitmapTest, CornerCountsTwiceAtEachEdge) {
  Bitmap b = test::greyBitmap({{90, 0, 0}, {0, 0, 0}, {0, 0, 0}});
  SoftenBitmap(b);
  EXPECT_EQ(b, test::greyBitmap({{40, 20, 0}, {11, 6, 2}, {3, 2, 1}}));
}

TEST(SoftenBitmapTest, SmallAndUniformImages) {
  Bitmap one = test::solidBitmap(1, 1, rgb(7, 200, 33));
  SoftenBitmap(one);
  EXPECT_EQ(one, test::solidBitmap(1, 1, rgb(7, 200, 33)));

  // One row: the mean of each pixel and its neighbours, the end pixels counting twice.
  Bitmap row = test::greyBitmap({{90, 0, 9, 0}});
  SoftenBitmap(row);
  EXPECT_EQ(row, test::greyBitmap({{60, 33, 3, 3}}));

  Bitmap uniform = test::solidBitmap(131, 7, rgb(17, 130, 255));
  SoftenBitmap(uniform);
  EXPECT_EQ(uniform, test::solidBitmap(131, 7, rgb(17, 130, 255)));

  Bitmap empty(0, 5, 24);
  SoftenBitmap(empty);
  EXPECT_TRUE(empty.empty());
}

TEST(SoftenBitmapTest, MatchesPlainLoopOnRandomImages) {
  expectSameAsPlain([](Bitmap& b) { SoftenBitmap(b); }, referenceSoften);
}

// ---- GreyBitmap, InvertBitmap ----------------------------------------------------------------

TEST(GreyBitmapTest, LuminanceWeights) {
  EXPECT_EQ(LuminanceOf(kWhite), 254u);
  EXPECT_EQ(LuminanceOf(rgb(255, 0, 0)), 53u);
  Bitmap b(3, 1, 24);
  b.setPixel(0, 0, kWhite);
  b.setPixel(1, 0, rgb(255, 0, 0));
  b.setPixel(2, 0, rgb(0, 0, 255));  // blue: 18 * 255 >> 8
  GreyBitmap(b);
  EXPECT_EQ(b, test::greyBitmap({{254, 53, 17}}));
}

TEST(GreyBitmapTest, MatchesPlainLoopOnRandomImages) {
  expectSameAsPlain([](Bitmap& b) { GreyBitmap(b); },
                    [](Bitmap& b) {
                      referencePerPixel(b, [](std::uint8_t* p) {
                        p[0] = p[1] = p[2] =
                            static_cast<std::uint8_t>(LuminanceOf(p[0], p[1], p[2]));
                      });
                    });
}

// Every green and red byte against the extreme and middle blue bytes: the vector luminance splits
// the green weight between two 16-bit multiply-adds that must never saturate.
TEST(GreyBitmapTest, MatchesLuminanceOfOnEveryGreenAndRed) {
  for (int blue : {0, 1, 127, 128, 254, 255}) {
    Bitmap b(256, 256, 24);
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x)
        setBytes(pixelAt(b, x, y), rgb(static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x),
                                       static_cast<std::uint8_t>(blue)));
    forEachBuild([&] {
      Bitmap grey = b;
      GreyBitmap(grey);
      for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
          ASSERT_EQ(greyAt(grey, x, y), static_cast<int>(LuminanceOf(b.pixel(x, y))))
              << "blue " << blue << " green " << x << " red " << y;
    });
  }
}

TEST(InvertBitmapTest, ComplementsEveryByteAndTwiceIsIdentity) {
  expectSameAsPlain([](Bitmap& b) { InvertBitmap(b); },
                    [](Bitmap& b) {
                      referencePerPixel(b, [](std::uint8_t* p) {
                        for (int j = 0; j < 3; ++j) p[j] = static_cast<std::uint8_t>(255 - p[j]);
                      });
                    });
  const Bitmap original = test::randomBitmap(113, 157, 3);
  Bitmap b = original;
  InvertBitmap(b);
  EXPECT_NE(b, original);
  InvertBitmap(b);
  EXPECT_EQ(b, original);
}

// ---- TwoToneBitmap ---------------------------------------------------------------------------

TEST(TwoToneBitmapTest, ThresholdIsInclusiveForDark) {
  const Color dark = rgb(10, 20, 30), light = rgb(200, 210, 220);
  Bitmap b = test::greyBitmap({{129, 130, 255, 0}});
  TwoToneBitmap(b, 128, dark, light);
  EXPECT_EQ(b.pixel(0, 0), dark);  // luminance 128
  EXPECT_EQ(b.pixel(1, 0), light);
  EXPECT_EQ(b.pixel(2, 0), light);
  EXPECT_EQ(b.pixel(3, 0), dark);

  const Bitmap original = test::randomBitmap(20, 3, 4);
  for (int threshold : {0, 255, -1, 1000}) {
    Bitmap c = original;
    TwoToneBitmap(c, threshold, dark, light);
    EXPECT_EQ(c, original) << threshold;
  }
}

TEST(TwoToneBitmapTest, MatchesPlainLoopOnRandomImages) {
  for (int threshold : {1, 128, 200, 254}) {
    const Color dark = rgb(1, 2, 3), light = systemColor(5);
    expectSameAsPlain([&](Bitmap& b) { TwoToneBitmap(b, threshold, dark, light); },
                      [&](Bitmap& b) {
                        referencePerPixel(b, [&](std::uint8_t* p) {
                          const bool isLight =
                              LuminanceOf(p[0], p[1], p[2]) > static_cast<unsigned>(threshold);
                          setBytes(p, isLight ? ColorToRGB(light) : dark);
                        });
                      });
  }
}

// ---- ReplaceColour, ColoursMatch -------------------------------------------------------------

TEST(ReplaceColourTest, ToleranceBounds) {
  Bitmap b = test::greyBitmap({{243, 242, 255, 250}});
  b.setPixel(3, 0, rgb(250, 243, 242));
  Bitmap exact = b;
  ReplaceColour(b, kWhite, kWhite, 12);
  EXPECT_EQ(b.pixel(0, 0), kWhite);
  EXPECT_EQ(b.pixel(1, 0), rgb(242, 242, 242));
  EXPECT_EQ(b.pixel(3, 0), rgb(250, 243, 242));  // one byte out of reach is enough

  ReplaceColour(exact, rgb(242, 242, 242), kBlack, 0);
  EXPECT_EQ(exact.pixel(1, 0), kBlack);
  EXPECT_EQ(exact.pixel(0, 0), rgb(243, 243, 243));

  const Bitmap original = test::randomBitmap(9, 9, 5);
  Bitmap c = original;
  ReplaceColour(c, kBlack, kWhite, -1);
  EXPECT_EQ(c, original);
}

TEST(ReplaceColourTest, MatchesPlainLoopOnRandomImages) {
  for (int tolerance : {0, 30, 127, 254, 255, 999}) {
    const Color find = rgb(100, 150, 200), replacement = rgb(9, 8, 7);
    expectSameAsPlain([&](Bitmap& b) { ReplaceColour(b, find, replacement, tolerance); },
                      [&](Bitmap& b) {
                        referencePerPixel(b, [&](std::uint8_t* p) {
                          if (ColoursMatch(rgb(p[2], p[1], p[0]), find, tolerance))
                            setBytes(p, replacement);
                        });
                      });
  }
}

TEST(ColoursMatchTest, EveryChannelWithinTolerance) {
  EXPECT_TRUE(ColoursMatch(rgb(10, 20, 30), rgb(15, 15, 35), 5));
  EXPECT_FALSE(ColoursMatch(rgb(10, 20, 30), rgb(16, 20, 30), 5));
  EXPECT_FALSE(ColoursMatch(rgb(10, 20, 30), rgb(10, 26, 30), 5));
  EXPECT_FALSE(ColoursMatch(rgb(10, 20, 30), rgb(10, 20, 24), 5));
  EXPECT_TRUE(ColoursMatch(kBlack, kWhite, 255));
  EXPECT_FALSE(ColoursMatch(kBlack, kBlack, -1));
  EXPECT_TRUE(ColoursMatch(systemColor(5), ColorToRGB(systemColor(5)), 0));
}

// ---- ExchangePixels --------------------------------------------------------------------------

TEST(ExchangePixelsTest, SwapsThePixelsOfTheFirstBitmapsArea) {
  const Bitmap a0 = test::randomBitmap(67, 5, 6);
  const Bitmap b0 = test::randomBitmap(67, 5, 7);
  Bitmap a = a0, b = b0;
  ExchangePixels(a, b);
  EXPECT_EQ(a, b0);
  EXPECT_EQ(b, a0);

  // A larger second bitmap keeps its pixels outside the first one's area.
  Bitmap small = a0, large = test::randomBitmap(70, 6, 8);
  const Bitmap large0 = large;
  ExchangePixels(small, large);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 70; ++x) {
      const bool inside = x < 67 && y < 5;
      ASSERT_EQ(large.pixel(x, y), inside ? a0.pixel(x, y) : large0.pixel(x, y));
      if (inside) {
        ASSERT_EQ(small.pixel(x, y), large0.pixel(x, y));
      }
    }

  // A smaller second bitmap is refused before anything moves.
  Bitmap c = a0, d = test::randomBitmap(66, 5, 9);
  const Bitmap d0 = d;
  EXPECT_THROW(ExchangePixels(c, d), std::invalid_argument);
  EXPECT_EQ(c, a0);
  EXPECT_EQ(d, d0);
}

// ---- TileBitmap ------------------------------------------------------------------------------

void referenceTile(Bitmap& target, const Bitmap& source, int opacity, Color key, int tolerance) {
  if (opacity <= 0 || tolerance < 0 || source.empty()) return;
  opacity = std::min(opacity, 100);
  for (int y = 0; y < target.height(); ++y)
    for (int x = 0; x < target.width(); ++x) {
      const std::uint8_t* s = pixelAt(source, x % source.width(), y % source.height());
      if (key != kNoColor && ColoursMatch(rgb(s[2], s[1], s[0]), key, tolerance)) continue;
      std::uint8_t* p = pixelAt(target, x, y);
      for (int j = 0; j < 3; ++j) p[j] = test::pullTowards(p[j], s[j], opacity);
    }
}

TEST(TileBitmapTest, RepeatsFromTheTopLeftCorner) {
  const Bitmap source = test::randomBitmap(3, 2, 10);
  Bitmap target = test::randomBitmap(7, 5, 11);
  TileBitmap(target, source, 100, kNoColor, 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(target.pixel(x, y), source.pixel(x % 3, y % 2));
  EXPECT_EQ(target.pixel(6, 4), source.pixel(0, 0));
}

TEST(TileBitmapTest, NothingToDo) {
  const Bitmap original = test::randomBitmap(7, 5, 12);
  const Bitmap source = test::randomBitmap(3, 2, 13);
  Bitmap t = original;
  TileBitmap(t, source, 0, kNoColor, 0);
  TileBitmap(t, source, -3, kNoColor, 0);
  TileBitmap(t, source, 100, kNoColor, -1);
  TileBitmap(t, Bitmap(), 100, kNoColor, 0);
  TileBitmap(t, Bitmap(0, 4, 24), 100, kNoColor, 0);
  EXPECT_EQ(t, original);
}

TEST(TileBitmapTest, KeyColourAndOpacity) {
  // Without a key even a source of the no-colour's bytes (white) is copied, whatever the tolerance.
  Bitmap t = test::solidBitmap(4, 4, kBlack);
  TileBitmap(t, test::solidBitmap(1, 1, kWhite), 100, kNoColor, 255);
  EXPECT_EQ(t, test::solidBitmap(4, 4, kWhite));

  Bitmap source = test::greyBitmap({{10, 200}});
  Bitmap u = test::solidBitmap(4, 1, rgb(100, 100, 100));
  TileBitmap(u, source, 150, rgb(12, 12, 12), 2);  // 150 acts as 100; grey 10 is transparent
  EXPECT_EQ(u, test::greyBitmap({{100, 200, 100, 200}}));

  Bitmap v = test::solidBitmap(2, 1, rgb(100, 100, 100));
  TileBitmap(v, source, 25, kNoColor, 0);  // 100 - 22.5 truncates to 78; 100 + 25 = 125
  EXPECT_EQ(v, test::greyBitmap({{78, 125}}));
}

TEST(TileBitmapTest, MatchesPlainLoopOnRandomImages) {
  std::mt19937 rng(14);
  for (const auto& sourceShape : {std::array{1, 1}, {3, 2}, {64, 7}, {97, 40}, {300, 200}})
    for (int opacity : {100, 61}) {
      Bitmap source = test::randomBitmap(sourceShape[0], sourceShape[1], rng());
      const Color key = source.pixel(0, 0);  // at least one source pixel is transparent
      for (Color k : {kNoColor, key})
        expectSameAsPlain([&](Bitmap& b) { TileBitmap(b, source, opacity, k, 40); },
                          [&](Bitmap& b) { referenceTile(b, source, opacity, k, 40); });
    }
}

// ---- depth checks ----------------------------------------------------------------------------

TEST(BitmapFiltersTest, RefuseOtherDepthsUntouched) {
  const Bitmap paletted = test::randomBitmap(5, 4, 15, 8);
  Bitmap b = paletted;
  Bitmap ok = test::randomBitmap(5, 4, 16);
  EXPECT_THROW(SoftenBitmap(b), std::invalid_argument);
  EXPECT_THROW(GreyBitmap(b), std::invalid_argument);
  EXPECT_THROW(InvertBitmap(b), std::invalid_argument);
  EXPECT_THROW(TwoToneBitmap(b, 128, kBlack, kWhite), std::invalid_argument);
  EXPECT_THROW(ReplaceColour(b, kBlack, kWhite, 3), std::invalid_argument);
  EXPECT_THROW(ExchangePixels(b, ok), std::invalid_argument);
  EXPECT_THROW(ExchangePixels(ok, b), std::invalid_argument);
  EXPECT_THROW(TileBitmap(b, ok, 100, kNoColor, 0), std::invalid_argument);
  EXPECT_THROW(TileBitmap(ok, b, 100, kNoColor, 0), std::invalid_argument);
  EXPECT_EQ(b, paletted);
}

}  // namespace
}  // namespace vorlino
