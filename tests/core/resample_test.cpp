#include "compose/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "test_images.h"

namespace vorlino {
namespace {

// ---- A plain reference, written straight from the definition --------------------------------
// Kernels and weights in long double (exact for these sizes), then rounded to float where the
// definition rounds; the passes unpack each row and each column into three channel arrays.

__extension__ typedef __float128 Quad;

// Polynomials in quad precision (113 bits: far more than any float rounding needs), sines in long
// double.
float refKernel(TResampleKernel kind, float x) {
  const Quad t = std::fabs(x);
  const float tf = std::fabs(x);
  auto sinc = [](float y) -> long double {
    if (y == 0) return 1;
    const float a = static_cast<float>(3.14159265358979323846264338327950288L * y);
    return sinl(a) / a;
  };
  switch (kind) {
    case rkBox:
      return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
    case rkTriangle:
      return t < 1 ? static_cast<float>(1 - t) : 0.0f;
    case rkHermite:
      return t < 1 ? static_cast<float>((2 * t - 3) * t * t + 1) : 0.0f;
    case rkBell: {
      if (t < Quad(0.5)) return static_cast<float>(Quad(0.75) - t * t);
      const Quad u = static_cast<float>(t - Quad(1.5));
      return t < Quad(1.5) ? static_cast<float>(u * u / 2) : 0.0f;
    }
    case rkSpline: {
      const Quad s = static_cast<float>(t * t);
      if (t < 1) return static_cast<float>(s * t / 2 - s + Quad(2) / 3);
      const Quad u = static_cast<float>(2 - t);
      return t < 2 ? static_cast<float>(u * u * u / 6) : 0.0f;
    }
    case rkLanczos3: {
      if (t >= 3) return 0.0f;
      const long double first = static_cast<float>(sinc(tf));
      return static_cast<float>(first * sinc(tf / 3.0f));
    }
    case rkMitchell: {
      // Over the denominator 3, so that quad arithmetic is exact and ties are seen as ties.
      const Quad s = static_cast<float>(t * t);
      if (t < 1) return static_cast<float>((3 * (7 * t * s - 12 * s) + 16) / 3) / 6.0f;
      if (t < 2) return static_cast<float>((-7 * t * s + 3 * (12 * s - 20 * t) + 32) / 3) / 6.0f;
      return 0.0f;
    }
  }
  return 0.0f;
}

// Contributor lists for source and target sizes of at least 2 (or a source of 1), where one
// reflection always lands inside the source; an empty entry takes the nearest pixel.
TContributorList refContributors(int src, int dst, TResampleKernel kind, float radius) {
  using LD = long double;
  if (radius == 0) radius = KernelTable[kind].radius;
  const float scale = src == 1 ? static_cast<float>(dst) / src
                               : static_cast<float>(dst - 1) / static_cast<float>(src - 1);
  TContributorList list(static_cast<std::size_t>(dst));
  for (int i = 0; i < dst; ++i) {
    const float c = static_cast<float>(i) / scale;
    const float w = scale < 1 ? radius / scale : radius;
    int sum = 0;
    for (auto j = static_cast<long>(floorl(LD{c} - w)); j <= static_cast<long>(ceill(LD{c} + w));
         ++j) {
      const float a =
          scale < 1 ? static_cast<float>((LD{c} - j) * scale) : static_cast<float>(LD{c} - j);
      const LD k = refKernel(kind, a);
      const int weight = static_cast<int>(nearbyintl(scale < 1 ? k * scale * 256 : k * 256));
      if (weight == 0) continue;
      const long pixel = j < 0 ? -j : j >= src ? 2L * src - 1 - j : j;
      if (pixel < 0 || pixel >= src) {
        ADD_FAILURE() << "reference used outside its sizes: " << src << " -> " << dst;
        return list;
      }
      list[i].contributors.push_back({weight, static_cast<std::int32_t>(pixel)});
      sum += weight;
    }
    if (sum == 0) list[i].contributors = {{256, static_cast<std::int32_t>(std::nearbyint(c))}};
    list[i].count = static_cast<std::int32_t>(list[i].contributors.size());
  }
  return list;
}

void refPixel(const TContributorEntry& e, const std::vector<int> (&ch)[3], std::uint8_t* out) {
  int sums[3] = {0, 0, 0}, weights = 0;
  for (int n = 0; n < e.count; ++n) {
    const TContributor& c = e.contributors[static_cast<std::size_t>(n)];
    for (int k = 0; k < 3; ++k) sums[k] += c.weight * ch[k][static_cast<std::size_t>(c.pixel)];
    weights += c.weight;
  }
  for (int k = 0; k < 3; ++k) {
    const int v = weights == 0 ? 0 : sums[k] / weights;
    out[2 - k] = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);  // red, green, blue
  }
}

Bitmap refResample(int dw, int dh, TResampleKernel kind, float radius, const Bitmap& src) {
  const int sw = src.width(), sh = src.height();
  Bitmap inter(dw, sh, 24), out(dw, dh, 24);
  std::vector<int> ch[3];
  const TContributorList h = refContributors(sw, dw, kind, radius);
  for (auto& a : ch) a.assign(static_cast<std::size_t>(sw), 0);
  for (int y = 0; y < sh; ++y) {
    for (int x = 0; x < sw; ++x)
      for (int k = 0; k < 3; ++k) ch[k][static_cast<std::size_t>(x)] = src.row(y)[3 * x + 2 - k];
    for (int i = 0; i < dw; ++i) refPixel(h[static_cast<std::size_t>(i)], ch, inter.row(y) + 3 * i);
  }
  const TContributorList v = refContributors(sh, dh, kind, radius);
  for (auto& a : ch) a.assign(static_cast<std::size_t>(sh), 0);
  std::uint8_t pixel[3];
  for (int x = 0; x < dw; ++x) {
    for (int y = 0; y < sh; ++y)
      for (int k = 0; k < 3; ++k) ch[k][static_cast<std::size_t>(y)] = inter.row(y)[3 * x + 2 - k];
    for (int r = 0; r < dh; ++r) {
      refPixel(v[static_cast<std::size_t>(r)], ch, pixel);
      std::copy(pixel, pixel + 3, out.row(r) + 3 * x);
    }
  }
  return out;
}

Bitmap resampled(ResampleCode code, int dw, int dh, TResampleKernel kind, const Bitmap& src,
                 float radius = 0) {
  Bitmap source(src), target;
  resampleBitmapWith(code, static_cast<std::uint32_t>(dw), static_cast<std::uint32_t>(dh), kind,
                     radius, source, target);
  return target;
}

Bitmap resampled(int dw, int dh, TResampleKernel kind, const Bitmap& src) {
  return resampled(ResampleCode::kFastest, dw, dh, kind, src);
}

std::vector<std::int32_t> weightsOf(const TContributorEntry& e) {
  std::vector<std::int32_t> w;
  for (const auto& c : e.contributors) w.push_back(c.weight);
  return w;
}

std::vector<std::int32_t> pixelsOf(const TContributorEntry& e) {
  std::vector<std::int32_t> p;
  for (const auto& c : e.contributors) p.push_back(c.pixel);
  return p;
}

bool sameLists(const TContributorList& a, const TContributorList& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].count != b[i].count || weightsOf(a[i]) != weightsOf(b[i]) ||
        pixelsOf(a[i]) != pixelsOf(b[i]))
      return false;
  return true;
}

const TResampleKernel kAllKernels[] = {rkBox,    rkTriangle, rkHermite, rkBell,
                                       rkSpline, rkLanczos3, rkMitchell};

// ---- Kernels ---------------------------------------------------------------------------------

TEST(ResampleKernelTest, TableGivesDefaultRadiiInOrdinalOrder) {
  const float radii[] = {0.5f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};
  for (int k = 0; k < kResampleKernelCount; ++k) EXPECT_EQ(KernelTable[k].radius, radii[k]);
  EXPECT_EQ(rkLanczos3, 5);
  EXPECT_EQ(KernelTable[rkLanczos3].filter, &Lanczos3Filter);
}

TEST(ResampleKernelTest, KernelsRoundLikeTheReferenceAndVanishOutsideTheirSupport) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> any(-4.0f, 4.0f);
  for (TResampleKernel k : kAllKernels) {
    const auto f = KernelTable[k].filter;
    for (int n = 0; n < 200000; ++n) {
      const float x = any(rng);
      ASSERT_EQ(f(x), refKernel(k, x)) << "kernel " << k << " at " << x;
    }
    // Floats next to the joins and zeros, where the polynomials cancel.
    for (float p : {0.5f, 1.0f, 8.0f / 7.0f, 1.5f, 2.0f, 3.0f}) {
      float below = p, above = p;
      for (int n = 0; n < 3000; ++n) {
        below = std::nextafter(below, 0.0f);
        above = std::nextafter(above, 4.0f);
        ASSERT_EQ(f(below), refKernel(k, below)) << "kernel " << k << " at " << below;
        ASSERT_EQ(f(-above), refKernel(k, -above)) << "kernel " << k << " at " << -above;
      }
    }
    const float r = KernelTable[k].radius;
    EXPECT_EQ(f(std::nextafter(r, 10.0f)), 0.0f);
    EXPECT_EQ(f(-r), 0.0f);
    if (k != rkBox) {
      EXPECT_EQ(f(r), 0.0f);
    }
  }
  EXPECT_EQ(BoxFilter(0.5f), 1.0f);
  EXPECT_EQ(BoxFilter(-0.5f), 0.0f);
  EXPECT_EQ(Lanczos3Filter(0.0f), 1.0f);
  EXPECT_EQ(BellFilter(0.0f), 0.75f);
  EXPECT_EQ(MitchellFilter(0.0f), static_cast<float>(16.0 / 3.0) / 6.0f);
}

// ---- Contributor lists -----------------------------------------------------------------------

TEST(ResampleContributorsTest, SameSizeLanczosCopiesEachPixel) {
  const TContributorList list = buildContributors(9, 9, rkLanczos3, 0);
  ASSERT_EQ(list.size(), 9u);
  for (std::int32_t i = 0; i < 9; ++i) {
    EXPECT_EQ(weightsOf(list[i]), std::vector<std::int32_t>{256});
    EXPECT_EQ(pixelsOf(list[i]), std::vector<std::int32_t>{i});
  }
}

TEST(ResampleContributorsTest, EnlargingFourToSevenMatchesTheWorkedExample) {
  const TContributorList list = buildContributors(4, 7, rkLanczos3, 0);
  ASSERT_EQ(list.size(), 7u);
  for (std::int32_t i = 0; i < 7; i += 2) {
    EXPECT_EQ(weightsOf(list[i]), std::vector<std::int32_t>{256});
    EXPECT_EQ(pixelsOf(list[i]), std::vector<std::int32_t>{i / 2});
  }
  EXPECT_EQ(list[1].count, 6);
  EXPECT_EQ(weightsOf(list[1]), (std::vector<std::int32_t>{6, -35, 156, 156, -35, 6}));
  EXPECT_EQ(pixelsOf(list[1]), (std::vector<std::int32_t>{2, 1, 0, 1, 2, 3}));
}

TEST(ResampleContributorsTest, ReducingSevenToFourMatchesTheWorkedExample) {
  const TContributorList list = buildContributors(7, 4, rkLanczos3, 0);
  ASSERT_EQ(list.size(), 4u);
  const std::vector<std::int32_t> weights{3, -17, 78, 128, 78, -17, 3};
  EXPECT_EQ(weightsOf(list[0]), weights);
  EXPECT_EQ(pixelsOf(list[0]), (std::vector<std::int32_t>{5, 3, 1, 0, 1, 3, 5}));
  EXPECT_EQ(weightsOf(list[3]), weights);
  EXPECT_EQ(pixelsOf(list[3]), (std::vector<std::int32_t>{1, 3, 5, 6, 6, 4, 2}));
}

TEST(ResampleContributorsTest, AgreeWithTheReferenceForEveryKernelAndSomeRadii) {
  const int sizes[][2] = {{4, 7},      {7, 4},       {2, 2},     {5, 9},     {9, 5},
                          {800, 6000}, {6000, 3000}, {37, 101},  {211, 53},  {3, 8},
                          {1023, 3},   {3, 1023},    {640, 641}, {641, 640}, {100, 34}};
  for (TResampleKernel k : kAllKernels)
    for (float radius : {0.0f, 0.8f, 1.2f, 2.5f, 4.5f})
      for (const auto& s : sizes) {
        const auto src = static_cast<std::uint32_t>(s[0]);
        const auto dst = static_cast<std::uint32_t>(s[1]);
        ASSERT_TRUE(sameLists(buildContributors(src, dst, k, radius),
                              refContributors(s[0], s[1], k, radius)))
            << "kernel " << k << " radius " << radius << " " << s[0] << " -> " << s[1];
      }
}

TEST(ResampleContributorsTest, ArraysGrowWhenTheRadiusIsBelowTheSupport) {
  // Radius 1 would give room for Trunc(2 * 1 + 1) = 3 contributors; four carry weight.
  const TContributorList list = buildContributors(4, 7, rkLanczos3, 1.0f);
  EXPECT_EQ(weightsOf(list[1]), (std::vector<std::int32_t>{-35, 156, 156, -35}));
  EXPECT_EQ(pixelsOf(list[1]), (std::vector<std::int32_t>{1, 0, 1, 2}));
}

TEST(ResampleContributorsTest, RadiusBeyondTheSupportChangesNothing) {
  for (TResampleKernel k : kAllKernels)
    for (auto sizes : {std::pair{50u, 173u}, std::pair{173u, 50u}}) {
      const TContributorList base = buildContributors(sizes.first, sizes.second, k, 0);
      EXPECT_TRUE(sameLists(base, buildContributors(sizes.first, sizes.second, k, 40.0f)));
      EXPECT_TRUE(sameLists(base, buildContributors(sizes.first, sizes.second, k, 1e30f)));
      EXPECT_TRUE(sameLists(base, buildContributors(sizes.first, sizes.second, k,
                                                    std::numeric_limits<float>::infinity())));
      EXPECT_TRUE(sameLists(base, buildContributors(sizes.first, sizes.second, k,
                                                    std::numeric_limits<float>::quiet_NaN())));
    }
}

TEST(ResampleContributorsTest, ReductionsOfOneIn512TakeTheNearestPixel) {
  // 1025 -> 3: scale 1/512, every weight rounds to 0.
  const TContributorList list = buildContributors(1025, 3, rkLanczos3, 0);
  for (std::int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(weightsOf(list[i]), std::vector<std::int32_t>{256});
    EXPECT_EQ(pixelsOf(list[i]), std::vector<std::int32_t>{512 * i});
  }
  // 1023 -> 3: scale 1/511 still leaves weights of 1 around each centre.
  const TContributorList kept = buildContributors(1023, 3, rkLanczos3, 0);
  EXPECT_GT(kept[1].count, 10);
  for (const auto& c : kept[1].contributors) EXPECT_EQ(c.weight, 1);
  // A negative radius leaves no candidate at all: nearest pixel as well.
  const TContributorList none = buildContributors(4, 7, rkTriangle, -1.0f);
  EXPECT_EQ(pixelsOf(none[1]), std::vector<std::int32_t>{0});  // centre 0.5, ties to even
  EXPECT_EQ(pixelsOf(none[3]), std::vector<std::int32_t>{2});  // centre 1.5
}

TEST(ResampleContributorsTest, EdgeIndexesStayInsideTinySources) {
  for (TResampleKernel k : kAllKernels)
    for (std::uint32_t src = 1; src <= 6; ++src)
      for (std::uint32_t dst : {1u, 2u, 3u, 4u, 9u, 65535u}) {
        const TContributorList list = buildContributors(src, dst, k, 0);
        ASSERT_EQ(list.size(), dst);
        for (const auto& e : list) {
          std::int32_t sum = 0;
          ASSERT_EQ(static_cast<std::size_t>(e.count), e.contributors.size());
          for (const auto& c : e.contributors) {
            ASSERT_GE(c.pixel, 0);
            ASSERT_LT(c.pixel, static_cast<std::int32_t>(src));
            sum += c.weight;
          }
          ASSERT_GT(sum, 0) << "kernel " << k << " " << src << " -> " << dst;
        }
      }
}

// ---- Whole resampling ------------------------------------------------------------------------

TEST(ResampleBitmapTest, SameSizeLanczosIsAnExactCopy) {
  const Bitmap src = test::randomBitmap(31, 17, 11);
  EXPECT_EQ(resampled(31, 17, rkLanczos3, src), src);
}

TEST(ResampleBitmapTest, EnlargingCopiesSourcePixelsAtEvenOutputs) {
  const Bitmap src = test::randomBitmap(4, 4, 12);
  const Bitmap out = resampled(7, 7, rkLanczos3, src);
  for (int y = 0; y < 7; y += 2)
    for (int x = 0; x < 7; x += 2) EXPECT_EQ(out.pixel(x, y), src.pixel(x / 2, y / 2));
}

TEST(ResampleBitmapTest, OvershootIsClampedNotWrapped) {
  // 7 -> 13 columns (scale 2). At centre 1.5 the sum is 255 * (6 - 35) / 254 = -29, at centre
  // 3.5 it is 255 * 283 / 254 = 284; at centre 2.5, 255 * 127 / 254 = 127.
  const Bitmap src =
      test::greyBitmap({{0, 0, 0, 255, 255, 255, 255}, {0, 0, 0, 255, 255, 255, 255}});
  const Bitmap out = resampled(13, 2, rkLanczos3, src);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(test::greyAt(out, 3, y), 0);
    EXPECT_EQ(test::greyAt(out, 5, y), 127);
    EXPECT_EQ(test::greyAt(out, 7, y), 255);
  }
}

TEST(ResampleBitmapTest, MatchesTheReferenceOnRandomImages) {
  struct Case {
    int sw, sh, dw, dh;
  };
  const Case cases[] = {{37, 23, 101, 67}, {211, 157, 53, 41}, {61, 199, 140, 45},
                        {9, 7, 5, 13},     {83, 5, 83, 19},    {128, 96, 127, 97}};
  std::uint32_t seed = 100;
  for (const Case& c : cases)
    for (TResampleKernel k : kAllKernels) {
      const Bitmap src = test::randomBitmap(c.sw, c.sh, ++seed);
      const Bitmap expected = refResample(c.dw, c.dh, k, 0, src);
      ASSERT_EQ(resampled(ResampleCode::kPortable, c.dw, c.dh, k, src), expected)
          << "portable, kernel " << k << " " << c.sw << "x" << c.sh << " -> " << c.dw << "x"
          << c.dh;
      ASSERT_EQ(resampled(ResampleCode::kFastest, c.dw, c.dh, k, src), expected)
          << "fastest, kernel " << k << " " << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
    }
}

TEST(ResampleBitmapTest, FastAndPortableLoopsAgreeOnLargerImages) {
  if (!resampleHasFastCode()) GTEST_SKIP() << "no AVX2 on this processor";
  struct Case {
    int sw, sh, dw, dh;
    TResampleKernel k;
    float radius;
  };
  // Smooth images overshoot less than noise; both kinds are covered.
  const Case cases[] = {{203, 151, 1523, 1133, rkLanczos3, 0},
                        {1531, 1021, 767, 511, rkLanczos3, 0},
                        {997, 13, 89, 401, rkMitchell, 0},
                        {401, 299, 403, 97, rkSpline, 0},
                        {640, 480, 211, 158, rkLanczos3, 1.7f}};
  std::uint32_t seed = 200;
  for (const Case& c : cases) {
    Bitmap src = test::randomBitmap(c.sw, c.sh, ++seed);
    for (int y = 0; y < c.sh; y += 2)  // every other row a smooth ramp
      for (int x = 0; x < 3 * c.sw; ++x)
        src.row(y)[x] = static_cast<std::uint8_t>(x * 255 / (3 * c.sw));
    EXPECT_EQ(resampled(ResampleCode::kFastest, c.dw, c.dh, c.k, src, c.radius),
              resampled(ResampleCode::kPortable, c.dw, c.dh, c.k, src, c.radius))
        << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
  }
}

TEST(ResampleBitmapTest, SourceBecomes24BitsAndTargetIsResetToTheNewSize) {
  Bitmap paletted = test::randomBitmap(23, 19, 5, 8);
  Bitmap converted(paletted);
  converted.convertTo24();
  Bitmap target(3, 3, 32);
  target.palette().resize(4);
  ResampleBitmap(40, 11, rkLanczos3, 0, paletted, target);
  EXPECT_EQ(paletted.bitsPerPixel(), 24);
  EXPECT_EQ(paletted, converted);
  EXPECT_EQ(target.bitsPerPixel(), 24);
  EXPECT_EQ(target.width(), 40);
  EXPECT_EQ(target.height(), 11);
  EXPECT_EQ(target, resampled(40, 11, rkLanczos3, converted));

  Bitmap withAlpha = test::randomBitmap(6, 5, 6, 32);
  Bitmap out;
  ResampleBitmap(6, 5, rkLanczos3, 0, withAlpha, out);
  EXPECT_EQ(withAlpha.bitsPerPixel(), 24);
  EXPECT_EQ(out, withAlpha);
}

TEST(ResampleBitmapTest, EmptySourceOrZeroSizeLeavesABlackTargetOfTheNewSize) {
  Bitmap empty;
  Bitmap target = test::randomBitmap(5, 5, 8);
  ResampleBitmap(7, 3, rkLanczos3, 0, empty, target);
  EXPECT_EQ(target, Bitmap(7, 3, 24));

  Bitmap src = test::randomBitmap(5, 5, 9);
  ResampleBitmap(0, 4, rkLanczos3, 0, src, target);
  EXPECT_EQ(target.width(), 0);
  EXPECT_EQ(target.height(), 4);
  ResampleBitmap(4, 0, rkLanczos3, 0, src, target);
  EXPECT_TRUE(target.empty());
}

TEST(ResampleBitmapTest, SourceAndTargetMayBeTheSameBitmap) {
  Bitmap b = test::randomBitmap(29, 13, 10);
  const Bitmap expected = resampled(17, 40, rkMitchell, b);
  ResampleBitmap(17, 40, rkMitchell, 0, b, b);
  EXPECT_EQ(b, expected);
}

TEST(ResampleBitmapTest, TinyReductionsAreNotBlack) {
  // 1025 -> 3 columns: each output column is the nearest source column (rows kept: 2 -> 2).
  const Bitmap src = test::randomBitmap(1025, 2, 13);
  const Bitmap out = resampled(3, 2, rkLanczos3, src);
  for (int y = 0; y < 2; ++y)
    for (int i = 0; i < 3; ++i) EXPECT_EQ(out.pixel(i, y), src.pixel(512 * i, y));
  const Bitmap tallSrc = test::randomBitmap(2, 1025, 14);
  const Bitmap tall = resampled(2, 3, rkLanczos3, tallSrc);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(tall.pixel(1, r), tallSrc.pixel(1, 512 * r));
}

// Alternating black and white columns: the weights of a single output are symmetric about the
// middle, where each pixel faces its opposite colour, so the mean is exactly 127.5 -> 127.
Bitmap stripes(int width, int height, bool alongRows) {
  Bitmap b(width, height, 24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if ((alongRows ? x : y) % 2) b.setPixel(x, y, kWhite);
  return b;
}

TEST(ResampleBitmapTest, OnePixelTargetIsTheFilteredMeanOfTheLine) {
  for (TResampleKernel k : kAllKernels) {
    for (int n : {2, 10, 600, 20000}) {
      EXPECT_EQ(resampled(1, 1, k, stripes(n, 1, true)).pixel(0, 0), rgb(127, 127, 127))
          << "kernel " << k << " width " << n;
      EXPECT_EQ(resampled(1, 1, k, stripes(1, n, false)).pixel(0, 0), rgb(127, 127, 127))
          << "kernel " << k << " height " << n;
    }
  }
  // The box weighs every pixel alike: a plain mean, truncated.
  EXPECT_EQ(test::greyAt(resampled(1, 1, rkBox, test::greyBitmap({{10, 20, 30, 41}})), 0, 0), 25);
  // Rows stay independent: each row of a 1-pixel-wide result is the mean of its own row.
  const Bitmap two = resampled(1, 2, rkBox, test::greyBitmap({{0, 100}, {200, 210}}));
  EXPECT_EQ(test::greyAt(two, 0, 0), 50);
  EXPECT_EQ(test::greyAt(two, 0, 1), 205);
}

TEST(ResampleBitmapTest, LongestLinesToOnePixel) {
  EXPECT_EQ(resampled(1, 1, rkLanczos3, stripes(65534, 1, true)).pixel(0, 0), rgb(127, 127, 127));
  EXPECT_EQ(resampled(1, 1, rkLanczos3, stripes(1, 65534, false)).pixel(0, 0), rgb(127, 127, 127));
  const Color c = rgb(3, 140, 250);
  EXPECT_EQ(resampled(1, 2, rkMitchell, test::solidBitmap(65535, 2, c)),
            test::solidBitmap(1, 2, c));
}

TEST(ResampleBitmapTest, TinyAndDegenerateSizesKeepAConstantImageConstant) {
  const Color c = rgb(200, 17, 99);
  const int sizes[] = {1, 2, 3, 4, 5, 8};
  for (TResampleKernel k : kAllKernels)
    for (int sw : sizes)
      for (int sh : sizes)
        for (int d : sizes) {
          const Bitmap src = test::solidBitmap(sw, sh, c);
          ASSERT_EQ(resampled(d, sh, k, src), test::solidBitmap(d, sh, c))
              << "kernel " << k << " " << sw << "x" << sh << " -> " << d << "x" << sh;
          ASSERT_EQ(resampled(sw, d, k, src), test::solidBitmap(sw, d, c))
              << "kernel " << k << " " << sw << "x" << sh << " -> " << sw << "x" << d;
          // Random pixels through both loops: no stray reads (sanitizer build), same bytes.
          const Bitmap noise = test::randomBitmap(sw, sh, static_cast<std::uint32_t>(sw * 97 + sh));
          ASSERT_EQ(resampled(ResampleCode::kFastest, d, d + 1, k, noise),
                    resampled(ResampleCode::kPortable, d, d + 1, k, noise));
        }
}

TEST(ResampleBitmapTest, ExtremeShapesWork) {
  const Color c = rgb(1, 2, 3);
  EXPECT_EQ(resampled(65535, 1, rkLanczos3, test::solidBitmap(1, 1, c)),
            test::solidBitmap(65535, 1, c));
  EXPECT_EQ(resampled(2, 3, rkLanczos3, test::solidBitmap(65535, 1, c)),
            test::solidBitmap(2, 3, c));
  EXPECT_EQ(resampled(1, 65535, rkSpline, test::solidBitmap(3, 1, c)),
            test::solidBitmap(1, 65535, c));
  Bitmap src(2, 2, 24), target;
  EXPECT_THROW(ResampleBitmap(Bitmap::kMaxSide + 1u, 2, rkLanczos3, 0, src, target),
               std::length_error);
}

}  // namespace
}  // namespace vorlino
