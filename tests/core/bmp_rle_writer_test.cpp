#include "imagefile/bmp_rle_writer.h"

#include <gtest/gtest.h>

#include <random>

#include "imagefile/palette/reduce_palette.h"
#include "test_images.h"
#include "writer_test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes encode(const Bitmap& b) {
  ByteWriter out;
  EXPECT_TRUE(WriteRle(b, out).ok());
  return out.bytes();
}

// RLE8 decoding as the bitmap format describes it; rows come back bottom row first. Checks that
// every row ends with an end-of-line marker and the data with an end-of-bitmap marker.
std::vector<Bytes> decodeRle8(const Bytes& data, std::size_t width, std::size_t height) {
  std::vector<Bytes> rows(1);
  std::size_t at = 0;
  for (;;) {
    const std::uint8_t count = data.at(at), value = data.at(at + 1);
    at += 2;
    if (count > 0) {
      rows.back().insert(rows.back().end(), count, value);
    } else if (value == 0) {
      EXPECT_EQ(rows.back().size(), width);
      rows.emplace_back();
    } else if (value == 1) {
      break;
    } else {
      EXPECT_GE(value, 3) << "absolute runs hold 3 to 255 indices";
      rows.back().insert(rows.back().end(), data.begin() + at, data.begin() + at + value);
      at += value + (value & 1);
    }
  }
  EXPECT_EQ(at, data.size());
  EXPECT_TRUE(rows.back().empty()) << "the last row ends with an end-of-line marker";
  rows.pop_back();
  EXPECT_EQ(rows.size(), height);
  return rows;
}

TEST(WriteRleTest, HeadersColourTableAndSize) {
  Bitmap b = test::randomBitmap(13, 5, 2, 8);
  const Bytes f = encode(b);
  const std::uint32_t s = static_cast<std::uint32_t>(f.size()) - 1078;
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(test::le32(f, 2), 1078 + s);
  EXPECT_EQ(test::le32(f, 6), 0u);
  EXPECT_EQ(test::le32(f, 10), 1078u);
  EXPECT_EQ(test::le32(f, 14), 40u);
  EXPECT_EQ(test::le32(f, 18), 13u);
  EXPECT_EQ(test::le32(f, 22), 5u);
  EXPECT_EQ(test::le16(f, 26), 1u);
  EXPECT_EQ(test::le16(f, 28), 8u);
  EXPECT_EQ(test::le32(f, 30), 1u);
  EXPECT_EQ(test::le32(f, 34), s);
  EXPECT_EQ(test::le32(f, 38), 0u);  // as the uncompressed BMP writes them
  EXPECT_EQ(test::le32(f, 42), 0u);
  EXPECT_EQ(test::le32(f, 46), 256u);
  EXPECT_EQ(test::le32(f, 50), 0u);
  for (std::size_t i : {0u, 100u, 255u}) {
    const PaletteColor c = b.palette()[i];
    EXPECT_EQ(Bytes(f.begin() + 54 + 4 * i, f.begin() + 58 + 4 * i),
              (Bytes{c.blue, c.green, c.red, 0}));
  }
  const auto rows = decodeRle8(Bytes(f.begin() + 1078, f.end()), 13, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 13; ++x) EXPECT_EQ(rows[4 - y][x], b.pixelIndex(x, y));
}

TEST(WriteRleTest, RowsOfRunsAndNoiseDecodeLosslessly) {
  std::mt19937 rng(3);
  for (std::size_t n : {1u, 2u, 3u, 4u, 5u, 254u, 255u, 256u, 257u, 600u, 1001u})
    for (int pattern = 0; pattern < 4; ++pattern) {
      Bytes row(n);
      for (std::size_t i = 0; i < n; ++i) {
        switch (pattern) {
          case 0:
            row[i] = static_cast<std::uint8_t>(rng());
            break;  // noise
          case 1:
            row[i] = 9;
            break;  // one run
          case 2:
            row[i] = static_cast<std::uint8_t>((i / 3) % 2);
            break;  // short runs
          default:
            row[i] = static_cast<std::uint8_t>(rng() % 3);
            break;  // mixed
        }
      }
      ByteWriter out;
      encodeRle8Row(row.data(), n, out);
      out.u8(0);
      out.u8(0);
      out.u8(0);
      out.u8(1);
      const auto rows = decodeRle8(out.bytes(), n, 1);
      ASSERT_EQ(rows[0], row) << n << " " << pattern;
    }
}

TEST(WriteRleTest, OneAndFourBitBitmapsAreWrittenAsEightBits) {
  for (int bpp : {1, 4}) {
    const Bitmap b = test::randomBitmap(29, 3, 4, bpp);
    const Bytes f = encode(b);
    EXPECT_EQ(test::le16(f, 28), 8u);
    for (std::size_t i = 0; i < 256; ++i) {
      const PaletteColor c = i < b.palette().size() ? b.palette()[i] : PaletteColor{};
      EXPECT_EQ(f[54 + 4 * i + 2], c.red) << i;
    }
    const auto rows = decodeRle8(Bytes(f.begin() + 1078, f.end()), 29, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 29; ++x) EXPECT_EQ(rows[2 - y][x], b.pixelIndex(x, y));
  }
}

TEST(WriteRleTest, TrueColourIsReducedTo256ColoursOnACopy) {
  const Bitmap photo = test::randomBitmap(37, 21, 6);
  const Bitmap before = photo;
  const Bytes f = encode(photo);
  EXPECT_EQ(photo, before);
  Bitmap reduced = photo;
  ReduceToPalette(reduced, 256, kReduceDither | kReduceConvert);
  ASSERT_EQ(reduced.bitsPerPixel(), 8);
  for (std::size_t i = 0; i < 256; ++i) EXPECT_EQ(f[54 + 4 * i], reduced.palette()[i].blue);
  const auto rows = decodeRle8(Bytes(f.begin() + 1078, f.end()), 37, 21);
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 37; ++x) ASSERT_EQ(rows[20 - y][x], reduced.pixelIndex(x, y));
}

TEST(WriteRleTest, IndependentReadersSeeTheSamePixels) {
  VORLINO_REQUIRE_PILLOW();
  test::ScratchFolder folder;
  for (auto [w, h] : {std::pair{113, 157}, {1, 19}, {31, 1}}) {
    Bitmap b = test::randomBitmap(w, h, 8, 8);
    for (int x = 0; x < w; ++x) b.setPixel(x, h / 2, static_cast<Color>(x / 5));  // runs too
    ByteWriter out;
    ASSERT_TRUE(WriteRle(b, out).ok());
    auto decoded = test::decodeBytes(folder, "r.bmp", out);
    ASSERT_TRUE(decoded) << w << "x" << h;
    EXPECT_EQ(decoded->rgb, test::expectedRgb(b)) << w << "x" << h;
    if (test::imageMagickAvailable()) {
      auto magick = test::readWithImageMagick(folder.file("r.bmp"));
      ASSERT_TRUE(magick);
      EXPECT_EQ(*magick, test::expectedRgb(b)) << w << "x" << h;
    }
  }
}

TEST(WriteRleTest, FileVariantWritesTheSameBytes) {
  test::ScratchFolder folder;
  const Bitmap b = test::randomBitmap(7, 7, 1, 8);
  ASSERT_TRUE(WriteRleFile(b, folder.file("a.rle")).ok());
  EXPECT_EQ(test::readFileBytes(folder.file("a.rle")), encode(b));
}

}  // namespace
}  // namespace vorlino
