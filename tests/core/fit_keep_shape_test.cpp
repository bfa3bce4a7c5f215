#include "compose/fit_keep_shape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "batch/frame_files.h"
#include "compose/bitmap_filters.h"
#include "compose/mask_build.h"
#include "compose/quarter_turn.h"
#include "test_images.h"
#include "test_support.h"

namespace vorlino {
namespace {

// ---- a plain reference: every weight and every pixel computed on its own ----------------------

struct RefTap {
  int index;
  int weight;
};

// Where output i of an axis looks in the mask, and at which scale: the corners at the corner
// scale from either end, the middle stretched between them.
void refPiece(int i, int src, int dst, int cutStart, int cutEnd, float a, float& centre,
              float& scale) {
  const double in = cutStart - 0.5, out = cutEnd - 0.5;
  const double endIn = in * a, endOut = (dst - 1) - (src - 1 - out) * a;
  const float m = static_cast<float>((endOut - endIn) / (out - in));
  scale = a;
  if (i <= endIn)
    centre = static_cast<float>(i) / a;
  else if (i >= endOut || !(m > 0.0f))
    centre = static_cast<float>((src - 1) - (dst - 1 - i) / static_cast<double>(a));
  else {
    scale = m;
    centre = static_cast<float>(in + (i - endIn) / m);
  }
}

std::vector<RefTap> refTaps(float centre, float scale, int src) {
  const bool reducing = scale < 1.0f;
  const double half = reducing ? 3.0 / scale : 3.0;
  std::vector<RefTap> taps;
  int sum = 0;
  for (long j = static_cast<long>(std::floor(centre - half)) - 1;
       j <= static_cast<long>(std::ceil(centre + half)) + 1; ++j) {
    const long double offset = static_cast<long double>(centre) - j;
    const float arg = static_cast<float>(reducing ? offset * scale : offset);
    const double k = Lanczos3Filter(arg);
    const int w = static_cast<int>(std::nearbyint(reducing ? k * scale * 256.0 : k * 256.0));
    if (w == 0) continue;
    long p = j < 0 ? -j : j >= src ? 2L * src - 1 - j : j;
    p = std::clamp<long>(p, 0, src - 1);
    taps.push_back({static_cast<int>(p), w});
    sum += w;
  }
  if (sum == 0) taps = {{std::clamp(static_cast<int>(std::nearbyint(centre)), 0, src - 1), 256}};
  return taps;
}

std::uint8_t refPixel(const std::vector<RefTap>& taps, auto&& value) {
  int s = 0, sum = 0;
  for (const RefTap& t : taps) {
    s += t.weight * value(t.index);
    sum += t.weight;
  }
  return static_cast<std::uint8_t>(std::clamp(s / sum, 0, 255));
}

// The fit by its definition: rows across, then columns down, bytes clamped in between.
Bitmap refFit(const Bitmap& mask, const MaskCuts& c, int dw, int dh, float a) {
  const int sw = mask.width(), sh = mask.height();
  std::vector<std::vector<RefTap>> across(dw), down(dh);
  for (int i = 0; i < dw; ++i) {
    float centre, scale;
    refPiece(i, sw, dw, c.left, c.right, a, centre, scale);
    across[i] = refTaps(centre, scale, sw);
  }
  for (int r = 0; r < dh; ++r) {
    float centre, scale;
    refPiece(r, sh, dh, c.top, c.bottom, a, centre, scale);
    down[r] = refTaps(centre, scale, sh);
  }
  Bitmap inter(dw, sh, 24), out(dw, dh, 24);
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < dw; ++x)
      for (int b = 0; b < 3; ++b)
        inter.row(y)[3 * x + b] =
            refPixel(across[x], [&](int k) { return mask.row(y)[3 * k + b]; });
  for (int r = 0; r < dh; ++r)
    for (int x = 0; x < dw; ++x)
      for (int b = 0; b < 3; ++b)
        out.row(r)[3 * x + b] = refPixel(down[r], [&](int k) { return inter.row(k)[3 * x + b]; });
  return out;
}

Bitmap fitted(const Bitmap& mask, const std::optional<MaskCuts>& cuts, int w, int h,
              ResampleCode code = ResampleCode::kFastest) {
  Bitmap out(w, h, 24);
  FitKeepShape(mask, cuts, out, code);
  return out;
}

Bitmap plainFit(Bitmap mask, int w, int h) {
  Bitmap out;
  ResampleBitmap(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), rkLanczos3, 0, mask,
                 out);
  return out;
}

// A frame-like mask: dark borders with light inside, and noise so every weight shows.
Bitmap frameMask(int w, int h, const MaskCuts& c, std::uint32_t seed) {
  Bitmap b = test::randomBitmap(w, h, seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
      const int v = inside ? 160 + b.row(y)[3 * x] % 96 : b.row(y)[3 * x] % 120;
      b.setPixel(x, y, rgb(v, v, v));
    }
  return b;
}

// ---- worked cases
// --------------------------------------------------------------------------------

TEST(FitKeepShapeTest, WorkedAxisPlacesCornersAndStretchesTheMiddle) {
  // 6 mask pixels cut at 2 and 4, onto 13 with corners doubled: the borders end half-way
  // between pixels, at 1.5 -> 3 and 3.5 -> 9, and the middle takes 2 mask pixels onto 6.
  const TContributorList list = keepShapeContributors(6, 13, 2, 4, 2.0f);
  ASSERT_EQ(list.size(), 13u);
  // Whole corner pixels are copied: outputs 0, 2, 10 and 12 sit on mask pixels 0, 1, 4 and 5.
  const std::pair<int, int> exact[] = {{0, 0}, {2, 1}, {10, 4}, {12, 5}};
  for (auto [out, in] : exact) {
    ASSERT_EQ(list[out].count, 1) << out;
    EXPECT_EQ(list[out].contributors[0].pixel, in);
    EXPECT_EQ(list[out].contributors[0].weight, 256);
  }
  // Output 6 sits at 1.5 + 3 / 3 = 2.5, between pixels 2 and 3, and reads across both cuts with
  // the usual half-way weights.
  const std::vector<std::pair<int, int>> six = {{0, 6},   {1, -35}, {2, 156},
                                                {3, 156}, {4, -35}, {5, 6}};
  ASSERT_EQ(list[6].count, 6);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(list[6].contributors[k].pixel, six[k].first);
    EXPECT_EQ(list[6].contributors[k].weight, six[k].second);
  }
  // Output 9 is the right border's first half pixel: centre 5 - 3 / 2 = 3.5.
  EXPECT_EQ(list[9].count, 6);
  EXPECT_EQ(list[9].contributors[2].pixel, 3);
  EXPECT_EQ(list[9].contributors[3].pixel, 4);
}

TEST(FitKeepShapeTest, MatchesThePlainReferenceBitForBit) {
  struct Case {
    int sw, sh;
    MaskCuts cuts;
    int dw, dh;
  };
  const Case cases[] = {
      {40, 30, {6, 5, 33, 24}, 97, 61},    // enlarged, a little wider than the mask
      {40, 30, {6, 5, 33, 24}, 45, 90},    // landscape mask on a portrait photo
      {60, 48, {10, 8, 50, 41}, 23, 17},   // reduced
      {50, 50, {20, 20, 30, 30}, 30, 90},  // corners squeezed so they do not overlap across
      {33, 21, {1, 2, 32, 19}, 77, 20},    // one-pixel borders, shrinking down, growing across
      {17, 40, {8, 3, 9, 37}, 64, 64},     // a one-pixel centre column
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh);
    const Bitmap mask = frameMask(c.sw, c.sh, c.cuts, static_cast<std::uint32_t>(c.dw));
    const float a = keepShapeCornerScale(c.sw, c.sh, c.dw, c.dh, c.cuts);
    const Bitmap expected = refFit(mask, c.cuts, c.dw, c.dh, a);
    EXPECT_EQ(fitted(mask, c.cuts, c.dw, c.dh), expected);
    EXPECT_EQ(fitted(mask, c.cuts, c.dw, c.dh, ResampleCode::kPortable), expected);
  }
}

TEST(FitKeepShapeTest, CornerScaleFollowsTheShorterSideAndNeverOverlaps) {
  const MaskCuts cuts{10, 10, 90, 70};
  // Mask 100 x 80, photo 1000 x 1581: shorter sides 80 and 1000, so (1000 - 1) / 79.
  EXPECT_FLOAT_EQ(keepShapeCornerScale(100, 80, 1000, 1581, cuts), 999.0f / 79.0f);
  // A photo 60 wide cannot hold two borders of 10 at 12.6: they meet at (60 - 1) / 19.
  const float squeezed = keepShapeCornerScale(100, 80, 60, 1000, cuts);
  EXPECT_LE(static_cast<double>(squeezed) * 19, 59.0);
  const TContributorList list = keepShapeContributors(100, 60, 10, 90, squeezed);
  // Centres never go backwards: the left corner ends where the right one begins.
  double previous = -1;
  for (const TContributorEntry& e : list) {
    double mean = 0, sum = 0;
    for (const TContributor& t : e.contributors) {
      mean += static_cast<double>(t.weight) * t.pixel;
      sum += t.weight;
    }
    EXPECT_GE(mean / sum, previous - 0.5);
    previous = mean / sum;
  }
}

// ---- properties ---------------------------------------------------------------------------------

TEST(FitKeepShapeTest, FlatGreyStaysFlat) {
  const Bitmap grey = test::solidBitmap(64, 48, rgb(137, 137, 137));
  for (auto [w, h] : {std::pair{300, 120}, {40, 200}, {17, 13}, {64, 48}}) {
    const Bitmap out = fitted(grey, MaskCuts{5, 7, 50, 30}, w, h);
    EXPECT_EQ(out, test::solidBitmap(w, h, rgb(137, 137, 137))) << w << "x" << h;
  }
}

TEST(FitKeepShapeTest, SmoothRampAcrossACutStaysMonotonic) {
  // A raised-cosine ramp from 30 to 220 across the whole width, cut in its steepest part. The
  // image edges are left out: there the resampler's truncating division can dip a flat run by one.
  const int sw = 80, sh = 20;
  Bitmap ramp(sw, sh, 24);
  for (int x = 0; x < sw; ++x) {
    const int v = 30 + static_cast<int>(std::lround(95.0 * (1 - std::cos(M_PI * x / (sw - 1)))));
    for (int y = 0; y < sh; ++y) ramp.setPixel(x, y, rgb(v, v, v));
  }
  for (auto [w, h] : {std::pair{400, 60}, {50, 60}, {120, 300}, {33, 10}}) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    const Bitmap out = fitted(ramp, MaskCuts{38, 4, 50, 16}, w, h);
    for (int y = 0; y < h; ++y)
      for (int x = w / 8 + 1; x < w - w / 8; ++x)
        ASSERT_GE(test::greyAt(out, x, y), test::greyAt(out, x - 1, y)) << x;
  }
}

TEST(FitKeepShapeTest, APhotoOfTheMasksShapeGivesThePlainFit) {
  const MaskCuts cuts{15, 12, 80, 66};
  const Bitmap mask = frameMask(101, 81, cuts, 7);
  // Same size, and twice the size between pixel centres (201 - 1 = 2 x 100, 161 - 1 = 2 x 80).
  for (auto [w, h] : {std::pair{101, 81}, {201, 161}, {51, 41}}) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    EXPECT_EQ(fitted(mask, cuts, w, h), plainFit(mask, w, h));
    for (bool soften : {false, true})
      for (bool twoTone : {false, true}) {
        const auto plain = BuildMaskBitmap(mask, w, h, {.soften = soften, .twoTone = twoTone});
        const auto kept =
            BuildMaskBitmap(mask, w, h, {.soften = soften, .twoTone = twoTone, .keepShape = true});
        ASSERT_TRUE(plain && kept);
        EXPECT_EQ(*kept, *plain);
      }
  }
}

TEST(FitKeepShapeTest, BuildMaskSoftensAndTwoTonesTheKeptShape) {
  const MaskCuts cuts{6, 5, 33, 24};
  const Bitmap mask = frameMask(40, 30, cuts, 3);
  Bitmap expected = fitted(mask, cuts, 90, 45);
  ReplaceColour(expected, kWhite, kWhite, 12);
  SoftenBitmap(expected);
  SoftenBitmap(expected);
  TwoToneBitmap(expected, 128, kBlack, kWhite);
  const auto built = BuildMaskBitmap(
      mask, 90, 45, {.soften = true, .twoTone = true, .keepShape = true, .cuts = cuts});
  ASSERT_TRUE(built);
  EXPECT_EQ(*built, expected);
  EXPECT_EQ(mask, frameMask(40, 30, cuts, 3));  // the picture itself is untouched
}

// ---- the cuts -----------------------------------------------------------------------------------

TEST(MaskCutsTest, DefaultCutsAreTheLightAreaWithBordersOfAtLeastOnePercent) {
  Bitmap mask = test::solidBitmap(300, 200, kBlack);
  for (int y = 30; y < 150; ++y)
    for (int x = 40; x < 260; ++x) mask.setPixel(x, y, rgb(128, 128, 128));
  mask.setPixel(100, 20, rgb(127, 127, 127));  // just below mid-grey: not light
  EXPECT_EQ(findMaskCuts(mask), (MaskCuts{40, 30, 260, 150}));
  // Light up to the edges: each border keeps 3 of 300 columns and 2 of 200 rows.
  mask.setPixel(0, 0, kWhite);
  mask.setPixel(299, 199, kWhite);
  EXPECT_EQ(findMaskCuts(mask), (MaskCuts{3, 2, 297, 198}));
  // No light pixel, or too small a mask: no cuts, the plain fit.
  EXPECT_FALSE(findMaskCuts(test::solidBitmap(50, 50, rgb(90, 90, 90))));
  EXPECT_FALSE(findMaskCuts(test::solidBitmap(2, 50, kWhite)));
  // Without cuts the keep-shape fit of such a mask is the plain fit.
  const Bitmap dark = test::randomBitmap(30, 20, 9);
  Bitmap darker = dark;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      darker.row(y)[3 * x] = darker.row(y)[3 * x + 1] = darker.row(y)[3 * x + 2] =
          dark.row(y)[3 * x] / 2;
  EXPECT_EQ(fitted(darker, std::nullopt, 70, 41), plainFit(darker, 70, 41));
}

TEST(MaskCutsTest, CutsTurnWithTheMask) {
  Bitmap mask = test::solidBitmap(60, 40, kBlack);
  for (int y = 5; y < 31; ++y)
    for (int x = 9; x < 57; ++x) mask.setPixel(x, y, kWhite);
  const MaskCuts cuts = *findMaskCuts(mask);
  Bitmap turned = mask;
  for (int angle : {90, 180, 270}) {
    RotateQuarter(turned, true);
    EXPECT_EQ(findMaskCuts(turned), turnCuts(cuts, 60, 40, angle)) << angle;
  }
}

TEST(MaskCutsTest, SlicesFileIsReadAndBadValuesAreRefused) {
  test::ScratchFolder dir;
  const std::string mask = dir.file("cadre.png");
  EXPECT_EQ(slicesPathFor(mask), dir.file("cadre.slices"));
  // No file: neither cuts nor message.
  SlicesRead r = readMaskSlices(mask, 100, 80);
  EXPECT_FALSE(r.cuts);
  EXPECT_TRUE(r.error.empty());

  test::writeFileText(dir / "cadre.slices", "12 10\r\n88, 70\n");
  r = readMaskSlices(mask, 100, 80);
  EXPECT_EQ(r.cuts, (MaskCuts{12, 10, 88, 70}));
  EXPECT_TRUE(r.error.empty());

  const char* bad[] = {"12 10 88",
                       "12 10 88 70 5",
                       "12 10 88 7O",
                       "-1 10 88 70",
                       "12 10 8.5 70",
                       "0 10 88 70",
                       "12 10 100 70",
                       "50 10 50 70",
                       "12 70 88 10",
                       "",
                       "99999999999999999999 1 2 3"};
  for (const char* text : bad) {
    test::writeFileText(dir / "cadre.slices", text);
    r = readMaskSlices(mask, 100, 80);
    EXPECT_FALSE(r.cuts) << text;
    EXPECT_NE(r.error.find(dir.file("cadre.slices")), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("Les découpes par défaut sont utilisées."), std::string::npos);
  }
  test::writeFileText(dir / "cadre.slices", "0 10 88 70");
  EXPECT_EQ(readMaskSlices(mask, 100, 80).error,
            "Les découpes du fichier \"" + dir.file("cadre.slices") +
                "\" ne conviennent pas à ce masque de 100 x 80 pixels : il faut 0 < gauche < "
                "droite < 100 et 0 < haut < bas < 80. Les découpes par défaut sont utilisées.");

  // Cuts that do not fit the picture fall back to the default ones.
  const Bitmap picture = frameMask(40, 30, {6, 5, 33, 24}, 4);
  EXPECT_EQ(fitted(picture, MaskCuts{0, 5, 33, 24}, 90, 50), fitted(picture, std::nullopt, 90, 50));
  EXPECT_EQ(fitted(picture, std::nullopt, 90, 50), fitted(picture, findMaskCuts(picture), 90, 50));
}

TEST(MaskCutsTest, BundledSlicesSuitTheirMasks) {
  const auto masks = test::testDataDir().parent_path().parent_path() / "masks";
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(masks)) {
    if (entry.path().extension() != ".slices") continue;
    std::filesystem::path picture = entry.path();
    picture.replace_extension(".png");
    const auto mask = prepareMaskPicture(picture.string(), false, 0);
    ASSERT_TRUE(mask) << picture;
    const SlicesRead read = readMaskSlices(picture.string(), mask->width(), mask->height());
    EXPECT_TRUE(read.cuts && read.error.empty()) << read.error;
    ++checked;
  }
  EXPECT_GE(checked, 1);
}

}  // namespace
}  // namespace vorlino
