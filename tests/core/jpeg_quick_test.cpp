// The first look at a large JPEG: reduced decodes of baseline and progressive files, and the
// outline read from the head of a file (sizes, coding, EXIF orientation) whatever its data holds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "exif_orientation.h"
#include "imagefile/decoders.h"
#include "imagefile/jpeg_quick.h"
#include "imagefile/jpeg_writer.h"
#include "imagefile/orientation.h"
#include "test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Smooth diagonal bands: a picture whose reductions all look alike.
Bitmap bands(int width, int height) {
  Bitmap picture;
  picture.resetForOverwrite(width, height, 24);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.row(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>((x + y) / 4);
      row[3 * x + 1] = static_cast<std::uint8_t>(y * 255 / height);
      row[3 * x + 2] = static_cast<std::uint8_t>(x * 255 / width);
    }
  }
  return picture;
}

Bytes encode(const Bitmap& picture, bool progressive) {
  ByteWriter out;
  JpegOptions options;
  options.quality = 92;
  options.progressive = progressive;
  EXPECT_TRUE(WriteJpeg(picture, out, options).ok());
  return out.bytes();
}

// The mean absolute difference of two pictures of one size, per channel value.
double meanDifference(const Bitmap& a, const Bitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int i = 0; i < a.width() * 3; ++i) sum += std::abs(a.row(y)[i] - b.row(y)[i]);
  return sum / (static_cast<double>(a.width()) * a.height() * 3);
}

TEST(JpegQuick, ReducedDecodesRoundSidesUpAndShowTheSamePicture) {
  const Bitmap picture = bands(157, 113);
  for (bool progressive : {false, true}) {
    const Bytes file = encode(picture, progressive);
    Bitmap full;
    ByteReader in(file.data(), file.size());
    ASSERT_TRUE(readJpeg(in, full, {}).ok());
    for (int denom : {2, 4, 8}) {
      Bitmap reduced;
      ASSERT_TRUE(readJpegReduced(file.data(), file.size(), denom, reduced).ok());
      EXPECT_EQ(reduced.width(), (157 + denom - 1) / denom);
      EXPECT_EQ(reduced.height(), (113 + denom - 1) / denom);
      // Each reduced pixel is about the mean of its block in the full decode, even when only the
      // first scan of a progressive file was read.
      Bitmap sampled;
      sampled.resetForOverwrite(reduced.width(), reduced.height(), 24);
      for (int y = 0; y < reduced.height(); ++y)
        for (int x = 0; x < reduced.width(); ++x)
          for (int c = 0; c < 3; ++c) {
            int sum = 0, count = 0;
            for (int v = y * denom; v < std::min(113, (y + 1) * denom); ++v)
              for (int u = x * denom; u < std::min(157, (x + 1) * denom); ++u, ++count)
                sum += full.row(v)[3 * u + c];
            sampled.row(y)[3 * x + c] = static_cast<std::uint8_t>(sum / count);
          }
      EXPECT_LT(meanDifference(reduced, sampled), progressive ? 6.0 : 3.0)
          << "progressive " << progressive << " denom " << denom;
    }
  }
}

TEST(JpegQuick, OutlineReadsSizeCodingAndOrientationFromTheHeadAlone) {
  test::ScratchFolder folder;
  const Bytes baseline = test::withExifOrientation(encode(bands(64, 40), false), 6);
  // Cut inside the entropy-coded data: the head is whole, so the outline is read; the full
  // decode is what fails.
  const Bytes cut(baseline.begin(),
                  baseline.begin() + static_cast<std::ptrdiff_t>(baseline.size() * 2 / 3));
  test::writeFileBytes(folder / "cut.jpg", cut);
  JpegOutline outline;
  ASSERT_TRUE(readJpegOutline(folder.file("cut.jpg"), outline).ok());
  EXPECT_EQ(outline.header.width, 64);
  EXPECT_EQ(outline.header.height, 40);
  EXPECT_FALSE(outline.header.progressive);
  EXPECT_EQ(outline.orientation, 6);
  EXPECT_EQ(outline.uprightWidth(), 40);
  EXPECT_EQ(outline.uprightHeight(), 64);
  Bitmap full;
  ByteReader in(cut.data(), cut.size());
  EXPECT_FALSE(readJpeg(in, full, {}).ok());

  test::writeFileBytes(folder / "progressive.jpg", encode(bands(30, 50), true));
  ASSERT_TRUE(readJpegOutline(folder.file("progressive.jpg"), outline).ok());
  EXPECT_TRUE(outline.header.progressive);
  EXPECT_EQ(outline.orientation, 0);
  EXPECT_EQ(outline.uprightWidth(), 30);

  // A head that ends before its frame header is no outline.
  test::writeFileBytes(folder / "head.jpg", Bytes(baseline.begin(), baseline.begin() + 60));
  EXPECT_FALSE(readJpegOutline(folder.file("head.jpg"), outline).ok());
  EXPECT_FALSE(readJpegOutline(folder.file("missing.jpg"), outline).ok());
}

}  // namespace
}  // namespace vorlino
