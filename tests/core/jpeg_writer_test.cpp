#include "imagefile/jpeg_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "test_images.h"
#include "writer_test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A smooth picture, so that a good JPEG stays close to it.
Bitmap gradient(int w, int h) {
  Bitmap b(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.setPixel(x, y,
                 rgb(static_cast<std::uint8_t>(x * 255 / w), static_cast<std::uint8_t>(y * 255 / h),
                     static_cast<std::uint8_t>(128 + (x - y) / 4)));
  return b;
}

Bytes encode(const Bitmap& b, JpegOptions o) {
  ByteWriter out;
  EXPECT_TRUE(WriteJpeg(b, out, o).ok());
  return out.bytes();
}

// Position of marker 0xFF m, or npos.
std::size_t findMarker(const Bytes& f, std::uint8_t m) {
  for (std::size_t i = 0; i + 1 < f.size(); ++i)
    if (f[i] == 0xFF && f[i + 1] == m) return i;
  return std::string::npos;
}

TEST(WriteJpegTest, BaselineJfifAndProgressiveMarkers) {
  const Bitmap b = gradient(64, 48);
  const Bytes base = encode(b, {90, false});
  EXPECT_EQ(Bytes(base.begin(), base.begin() + 2), (Bytes{0xFF, 0xD8}));
  EXPECT_EQ(std::string(base.begin() + 6, base.begin() + 11), std::string("JFIF\0", 5));
  EXPECT_NE(findMarker(base, 0xC0), std::string::npos);  // baseline frame
  EXPECT_EQ(findMarker(base, 0xC2), std::string::npos);
  const Bytes prog = encode(b, {90, true});
  EXPECT_NE(findMarker(prog, 0xC2), std::string::npos);  // progressive frame
  EXPECT_EQ(findMarker(prog, 0xC0), std::string::npos);
}

TEST(WriteJpegTest, QualityDrivesBaselineQuantisation) {
  const Bitmap b = test::randomBitmap(64, 64, 4);
  const Bytes low = encode(b, {5, false});
  const Bytes high = encode(b, {100, false});
  EXPECT_LT(low.size() * 3, high.size());
  // Baseline tables: 8-bit values (DQT precision nibble 0), none above 255 even at quality 5.
  const std::size_t dqt = findMarker(low, 0xDB);
  ASSERT_NE(dqt, std::string::npos);
  EXPECT_EQ(low[dqt + 4] >> 4, 0);
  // Out-of-range qualities are clamped rather than refused.
  EXPECT_EQ(encode(b, {0, false}), encode(b, {1, false}));
  EXPECT_EQ(encode(b, {500, false}), high);
}

TEST(WriteJpegTest, IndependentReaderSeesAClosePicture) {
  VORLINO_REQUIRE_PILLOW();
  test::ScratchFolder folder;
  for (bool progressive : {false, true})
    for (auto [w, h] : {std::pair{113, 157}, {1, 37}, {41, 1}}) {
      const Bitmap b = gradient(w, h);
      ByteWriter out;
      ASSERT_TRUE(WriteJpeg(b, out, {95, progressive}).ok());
      auto decoded = test::decodeBytes(folder, "j.jpg", out);
      ASSERT_TRUE(decoded);
      EXPECT_EQ(decoded->format, "JPEG");
      EXPECT_EQ(decoded->progressive, progressive);
      ASSERT_EQ(decoded->width, w);
      const Bytes expected = test::expectedRgb(b);
      int worst = 0;
      for (std::size_t i = 0; i < expected.size(); ++i)
        worst = std::max(worst, std::abs(int(expected[i]) - int(decoded->rgb[i])));
      EXPECT_LE(worst, 12) << w << "x" << h;
    }
}

TEST(WriteJpegTest, PaletteBitmapIsExpandedAndEmptyFails) {
  Bitmap indexed(16, 16, 8);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) indexed.setPixel(x, y, 1);
  indexed.palette()[1] = toPaletteColor(rgb(250, 10, 10));
  Bitmap truecolour = indexed;
  truecolour.convertTo24();
  EXPECT_EQ(encode(indexed, {80, false}), encode(truecolour, {80, false}));
  ByteWriter out;
  EXPECT_FALSE(WriteJpeg(Bitmap(), out, {}).ok());
}

}  // namespace
}  // namespace vorlino
