#include "imagefile/tga_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_images.h"
#include "writer_test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr Color kA = rgb(1, 2, 3), kB = rgb(40, 50, 60), kC = rgb(200, 100, 0);

Bytes encode(const Bitmap& b) {
  ByteWriter out;
  EXPECT_TRUE(WriteTarga(b, out).ok());
  return out.bytes();
}

Bitmap rowOf(std::initializer_list<Color> colors) {
  Bitmap b(static_cast<int>(colors.size()), 1, 24);
  int x = 0;
  for (Color c : colors) b.setPixel(x++, 0, c);
  return b;
}

Bytes pixel(Color c) {
  return {blueOf(c), greenOf(c), redOf(c)};
}

// The bytes after the 18-byte header of a 24-bit file.
Bytes packets(const Bytes& file) {
  return Bytes(file.begin() + 18, file.end());
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(WriteTargaTest, HeaderOfTrueColourAndColourMappedFiles) {
  const Bytes rgbFile = encode(test::solidBitmap(300, 2, kA));
  const Bytes expected24 = {0, 0, 10, 0, 0, 0, 1, 24, 0, 0, 0, 0, 0x2C, 0x01, 2, 0, 24, 0x20};
  EXPECT_EQ(Bytes(rgbFile.begin(), rgbFile.begin() + 18), expected24);

  Bitmap mapped = test::randomBitmap(5, 3, 7, 8);
  const Bytes mappedFile = encode(mapped);
  const Bytes expected8 = {0, 1, 9, 0, 0, 0, 1, 24, 0, 0, 0, 0, 5, 0, 3, 0, 8, 0x20};
  EXPECT_EQ(Bytes(mappedFile.begin(), mappedFile.begin() + 18), expected8);
  // The colour map: 256 entries of blue, green, red.
  for (int i : {0, 17, 255}) {
    const PaletteColor c = mapped.palette()[static_cast<std::size_t>(i)];
    EXPECT_EQ(mappedFile[18 + 3 * i], c.blue);
    EXPECT_EQ(mappedFile[18 + 3 * i + 1], c.green);
    EXPECT_EQ(mappedFile[18 + 3 * i + 2], c.red);
  }
}

TEST(WriteTargaTest, WorkedPacketExamples) {
  // A B C: a raw packet of two, then the last pixel alone.
  EXPECT_EQ(packets(encode(rowOf({kA, kB, kC}))),
            concat({{0x01}, pixel(kA), pixel(kB), {0x00}, pixel(kC)}));
  // A A B: a run of two, then a raw packet of one.
  EXPECT_EQ(packets(encode(rowOf({kA, kA, kB}))), concat({{0x81}, pixel(kA), {0x00}, pixel(kB)}));
  // 200 equal pixels: runs of 128 and 72.
  EXPECT_EQ(packets(encode(test::solidBitmap(200, 1, kC))),
            concat({{0xFF}, pixel(kC), {0xC7}, pixel(kC)}));
  // A B B: the raw packet stops before the pair.
  EXPECT_EQ(packets(encode(rowOf({kA, kB, kB}))), concat({{0x00}, pixel(kA), {0x81}, pixel(kB)}));
  // A single pixel.
  EXPECT_EQ(packets(encode(rowOf({kB}))), concat({{0x00}, pixel(kB)}));
}

TEST(WriteTargaTest, RawPacketsHoldAtMost128PixelsAndNeverSpanRows) {
  Bitmap b(300, 2, 24);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 300; ++x) b.setPixel(x, y, rgb(static_cast<std::uint8_t>(x), 7, 9));
  const Bytes p = packets(encode(b));
  // Per row: raw 128, raw 128, raw 43 (last pixel left out), raw 1.
  std::vector<int> headers;
  for (std::size_t at = 0; at < p.size(); at += 1 + 3 * (p[at] + 1)) headers.push_back(p[at]);
  EXPECT_EQ(headers, (std::vector<int>{127, 127, 42, 0, 127, 127, 42, 0}));
}

TEST(WriteTargaTest, IndependentReaderSeesTheSamePixels) {
  VORLINO_REQUIRE_PILLOW();
  test::ScratchFolder folder;
  for (auto [w, h] : {std::pair{113, 157}, {1, 31}, {29, 1}}) {
    Bitmap photo = test::randomBitmap(w, h, 11);
    // Runs as well as noise.
    for (int x = 0; x < w / 2; ++x) photo.setPixel(x, 0, kB);
    auto decoded = test::decodeBytes(folder, "p.tga", [&] {
      ByteWriter out;
      EXPECT_TRUE(WriteTarga(photo, out).ok());
      return out;
    }());
    ASSERT_TRUE(decoded) << w << "x" << h;
    EXPECT_EQ(decoded->width, w);
    EXPECT_EQ(decoded->height, h);
    EXPECT_EQ(decoded->rgb, test::expectedRgb(photo)) << w << "x" << h;

    Bitmap indexed = test::randomBitmap(w, h, 12, 8);
    for (int x = 0; x < w; x += 2) indexed.setPixel(x, h - 1, 3);
    ByteWriter out;
    ASSERT_TRUE(WriteTarga(indexed, out).ok());
    decoded = test::decodeBytes(folder, "i.tga", out);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->rgb, test::expectedRgb(indexed)) << w << "x" << h;
  }
}

TEST(WriteTargaTest, FourBitBitmapIsWrittenAsColourMappedEightBits) {
  VORLINO_REQUIRE_PILLOW();
  test::ScratchFolder folder;
  const Bitmap b = test::randomBitmap(37, 5, 3, 4);
  ByteWriter out;
  ASSERT_TRUE(WriteTarga(b, out).ok());
  EXPECT_EQ(out.bytes()[2], 9);
  EXPECT_EQ(out.bytes()[16], 8);
  auto decoded = test::decodeBytes(folder, "f.tga", out);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->rgb, test::expectedRgb(b));
}

TEST(WriteTargaTest, SidesAbove65535AreRefusedAndEmptyBitmapWritesNothing) {
  ByteWriter out;
  EXPECT_EQ(WriteTarga(Bitmap(65536, 1, 24), out).error, CodecError::ceTooLarge);
  EXPECT_EQ(WriteTarga(Bitmap(1, 65536, 8), out).error, CodecError::ceTooLarge);
  EXPECT_EQ(out.size(), 0u);
  EXPECT_TRUE(WriteTarga(Bitmap(65535, 1, 24), out).ok());
  EXPECT_EQ(test::le16(out.bytes(), 12), 65535u);
  ByteWriter empty;
  EXPECT_TRUE(WriteTarga(Bitmap(), empty).ok());
  EXPECT_EQ(empty.size(), 0u);
}

}  // namespace
}  // namespace vorlino
