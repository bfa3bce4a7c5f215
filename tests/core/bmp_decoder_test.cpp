// The BMP decoder on files built byte by byte: header forms, depths, row order, RLE and damage.
#include <gtest/gtest.h>

#include <vector>

#include "imagefile/decoders.h"

namespace vorlino {
namespace {

// A "BM" file: file header, 40-byte info header, `extra` (masks, palette) and the pixel bytes.
std::vector<std::uint8_t> bmpFile(int w, int h, int bpp, std::uint32_t compression,
                                  const std::vector<std::uint8_t>& extra,
                                  const std::vector<std::uint8_t>& pixels, int colorsUsed = 0) {
  ByteWriter o;
  const auto offset = static_cast<std::uint32_t>(14 + 40 + extra.size());
  o.u8('B');
  o.u8('M');
  o.u32le(static_cast<std::uint32_t>(offset + pixels.size()));
  o.u32le(0);
  o.u32le(offset);
  o.u32le(40);
  o.u32le(static_cast<std::uint32_t>(w));
  o.u32le(static_cast<std::uint32_t>(h));
  o.u16le(1);
  o.u16le(static_cast<std::uint16_t>(bpp));
  o.u32le(compression);
  o.u32le(static_cast<std::uint32_t>(pixels.size()));
  o.u32le(2835);
  o.u32le(2835);
  o.u32le(static_cast<std::uint32_t>(colorsUsed));
  o.u32le(0);
  o.write(extra.data(), extra.size());
  o.write(pixels.data(), pixels.size());
  return o.bytes();
}

CodecResult decode(const std::vector<std::uint8_t>& bytes, Bitmap& out,
                   const DecodeLimits& limits = {}) {
  ByteReader in(bytes);
  return readBmp(in, out, limits);
}

// Palette of n entries: entry i is (red i*10, green i*20, blue 200).
std::vector<std::uint8_t> palette(int n) {
  std::vector<std::uint8_t> p;
  for (int i = 0; i < n; ++i) {
    p.push_back(200);
    p.push_back(static_cast<std::uint8_t>(i * 20));
    p.push_back(static_cast<std::uint8_t>(i * 10));
    p.push_back(0);
  }
  return p;
}

TEST(BmpDecoderTest, BottomUpAndTopDownGiveTheSamePicture) {
  // 24 bits, 2 x 2: rows are 6 bytes padded to 8. Stored bottom row first.
  const std::vector<std::uint8_t> bottomUp = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  const std::vector<std::uint8_t> topDown = {7, 8, 9, 10, 11, 12, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0};
  Bitmap a, b;
  ASSERT_TRUE(decode(bmpFile(2, 2, 24, 0, {}, bottomUp), a).ok());
  ASSERT_TRUE(decode(bmpFile(2, -2, 24, 0, {}, topDown), b).ok());
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.bitsPerPixel(), 24);
  EXPECT_EQ(a.pixel(0, 0), rgb(9, 8, 7));  // top-left is the last stored row
  EXPECT_EQ(a.pixel(1, 1), rgb(6, 5, 4));
}

TEST(BmpDecoderTest, PaletteDepthsStayPalettes) {
  Bitmap b;
  // 4 bits, 3 x 1: indices 1, 2, 3 in one row (2 bytes used, padded to 4).
  ASSERT_TRUE(decode(bmpFile(3, 1, 4, 0, palette(4), {0x12, 0x30, 0, 0}, 4), b).ok());
  EXPECT_EQ(b.bitsPerPixel(), 4);
  ASSERT_EQ(b.palette().size(), 16u);  // the missing entries are black
  EXPECT_EQ(b.pixelIndex(2, 0), 3);
  EXPECT_EQ(b.pixel(1, 0), rgb(20, 40, 200));
  EXPECT_EQ(b.palette()[5], PaletteColor{});
  // 2 bits become 8-bit indices: 0b00011011 = 0, 1, 2, 3.
  ASSERT_TRUE(decode(bmpFile(4, 1, 2, 0, palette(4), {0x1B, 0, 0, 0}), b).ok());
  EXPECT_EQ(b.bitsPerPixel(), 8);
  EXPECT_EQ(b.pixelIndex(3, 0), 3);
  EXPECT_EQ(b.pixel(2, 0), rgb(20, 40, 200));
}

TEST(BmpDecoderTest, SixteenBitsPlainAndBitFields) {
  Bitmap b;
  // Plain 16 bits are 5-5-5: 0x7C00 is full red, 0x001F full blue, 0x0210 mid green/blue.
  ASSERT_TRUE(decode(bmpFile(3, 1, 16, 0, {}, {0x00, 0x7C, 0x1F, 0x00, 0x10, 0x02, 0, 0}), b).ok());
  EXPECT_EQ(b.bitsPerPixel(), 24);
  EXPECT_EQ(b.pixel(0, 0), rgb(255, 0, 0));
  EXPECT_EQ(b.pixel(1, 0), rgb(0, 0, 255));
  EXPECT_EQ(b.pixel(2, 0), rgb(0, 132, 132));  // 16 of 31, by bit replication
  // 5-6-5 bit fields: 0x07E0 is full green; 0x0020 is the smallest green step (1 of 63 -> 4).
  const std::vector<std::uint8_t> masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  ASSERT_TRUE(decode(bmpFile(2, 1, 16, 3, masks, {0xE0, 0x07, 0x20, 0x00}), b).ok());
  EXPECT_EQ(b.pixel(0, 0), rgb(0, 255, 0));
  EXPECT_EQ(b.pixel(1, 0), rgb(0, 4, 0));
}

TEST(BmpDecoderTest, ThirtyTwoBitsIgnoreTheFourthByte) {
  Bitmap b;
  ASSERT_TRUE(decode(bmpFile(1, 1, 32, 0, {}, {10, 20, 30, 0}), b).ok());
  EXPECT_EQ(b.bitsPerPixel(), 32);
  EXPECT_EQ(b.row(0)[3], 255);
  EXPECT_EQ(b.pixel(0, 0), rgb(30, 20, 10));
}

TEST(BmpDecoderTest, OldOs2HeaderAndPackedDib) {
  // OS/2 1.x: 12-byte header with 16-bit sizes, palette entries of 3 bytes.
  ByteWriter o;
  o.write("BM", 2);
  o.u32le(0);
  o.u32le(0);
  o.u32le(14 + 12 + 6);
  o.u32le(12);
  o.u16le(2);
  o.u16le(1);
  o.u16le(1);
  o.u16le(1);
  const std::uint8_t pal[6] = {0, 0, 0, 255, 255, 255};
  o.write(pal, 6);
  o.u32le(0x40);  // pixels 0, 1
  Bitmap b;
  ASSERT_TRUE(decode(o.bytes(), b).ok());
  EXPECT_EQ(b.bitsPerPixel(), 1);
  EXPECT_EQ(b.pixel(0, 0), kBlack);
  EXPECT_EQ(b.pixel(1, 0), kWhite);

  // The same picture without the 14-byte file header (where the palette size must be right).
  std::vector<std::uint8_t> packed = bmpFile(2, 1, 8, 0, palette(2), {1, 0, 0, 0}, 2);
  packed.erase(packed.begin(), packed.begin() + 14);
  Bitmap c, d;
  ASSERT_TRUE(decode(packed, c).ok());
  ASSERT_TRUE(decode(bmpFile(2, 1, 8, 0, palette(2), {1, 0, 0, 0}), d).ok());
  EXPECT_EQ(c, d);
}

TEST(BmpDecoderTest, Rle8RunsLiteralsDeltasAndLineEnds) {
  // 4 x 3, bottom-up. Line 0 (bottom): run of 4 x index 1. Line 1: literal 2,3,1 then end of line.
  // Then a delta of (1, 0) and a run of 2 x index 3 on line 2, then end of bitmap.
  const std::vector<std::uint8_t> rle = {4, 1, 0, 0, 0, 3, 2, 3, 1, 0,
                                         0, 0, 0, 2, 1, 0, 2, 3, 0, 1};
  Bitmap b;
  ASSERT_TRUE(decode(bmpFile(4, 3, 8, 1, palette(4), rle), b).ok());
  const int expected[3][4] = {{0, 3, 3, 0}, {2, 3, 1, 0}, {1, 1, 1, 1}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(b.pixelIndex(x, y), expected[y][x]) << x << "," << y;
}

TEST(BmpDecoderTest, Rle4AlternatesNibblesAndClipsAtTheEdge) {
  // 3 x 1: a run of 5 alternating 1, 2 (clipped to 3 pixels), end of bitmap.
  Bitmap b;
  ASSERT_TRUE(decode(bmpFile(3, 1, 4, 2, palette(4), {5, 0x12, 0, 1}), b).ok());
  EXPECT_EQ(b.pixelIndex(0, 0), 1);
  EXPECT_EQ(b.pixelIndex(1, 0), 2);
  EXPECT_EQ(b.pixelIndex(2, 0), 1);
  // A literal of 3 nibbles takes 2 bytes: 3, 1, 2; then a run of one index 1 on the next line.
  ASSERT_TRUE(
      decode(bmpFile(3, 2, 4, 2, palette(4), {0, 3, 0x31, 0x20, 0, 0, 1, 0x10, 0, 1}), b).ok());
  EXPECT_EQ(b.pixelIndex(0, 1), 3);
  EXPECT_EQ(b.pixelIndex(2, 1), 2);
  EXPECT_EQ(b.pixelIndex(0, 0), 1);
}

TEST(BmpDecoderTest, TruncatedOrImpossibleFilesFailAndLeaveTheTargetAlone) {
  Bitmap target(3, 3, 24);
  target.setPixel(1, 1, rgb(1, 2, 3));
  const Bitmap before = target;
  auto good = bmpFile(2, 2, 24, 0, {}, std::vector<std::uint8_t>(16, 7));
  for (std::size_t cut : {good.size() - 9, std::size_t{40}, std::size_t{10}, std::size_t{1}}) {
    std::vector<std::uint8_t> shortFile(good.begin(), good.begin() + static_cast<long>(cut));
    EXPECT_FALSE(decode(shortFile, target).ok()) << cut;
  }
  // The last row may lack only its padding.
  std::vector<std::uint8_t> noPad(good.begin(), good.end() - 2);
  Bitmap ok;
  EXPECT_TRUE(decode(noPad, ok).ok());

  // RLE data that stops before the picture is complete.
  EXPECT_FALSE(decode(bmpFile(4, 3, 8, 1, palette(4), {4, 1, 0, 0}), target).ok());
  // A claim of 100000 x 100000 pixels is refused before anything is allocated.
  auto huge = decode(bmpFile(100000, 100000, 24, 0, {}, {1, 2, 3, 4}), target);
  EXPECT_EQ(huge.error, CodecError::ceTooLarge);
  DecodeLimits small;
  small.maxPixels = 3;
  EXPECT_EQ(decode(good, target, small).error, CodecError::ceTooLarge);
  // Unknown depths, mismatched compressions, zero sizes.
  EXPECT_FALSE(decode(bmpFile(2, 2, 7, 0, {}, good), target).ok());
  EXPECT_FALSE(decode(bmpFile(2, 2, 24, 1, {}, good), target).ok());
  EXPECT_FALSE(decode(bmpFile(0, 2, 24, 0, {}, good), target).ok());
  EXPECT_EQ(decode({'G', 'I', 'F', '8', '9', 'a', 0, 0}, target).error, CodecError::ceSignature);
  EXPECT_EQ(target, before);
}

}  // namespace
}  // namespace vorlino
