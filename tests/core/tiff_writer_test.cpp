#include "imagefile/tiff_writer.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "test_images.h"
#include "writer_test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Entry = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>;

Bytes encode(const Bitmap& b) {
  ByteWriter out;
  EXPECT_TRUE(WriteTiff(b, out).ok());
  return out.bytes();
}

// The directory at `at`: tag, type, count, value of each entry; the next-directory offset must be
// 0 and end the file.
std::vector<Entry> directory(const Bytes& file, std::size_t at) {
  std::vector<Entry> entries;
  const std::uint32_t count = test::le16(file, at);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t e = at + 2 + 12 * i;
    entries.emplace_back(test::le16(file, e), test::le16(file, e + 2), test::le32(file, e + 4),
                         test::le32(file, e + 8));
  }
  EXPECT_EQ(test::le32(file, at + 2 + 12 * count), 0u);
  EXPECT_EQ(file.size(), at + 2 + 12 * count + 4);
  return entries;
}

void expectSharedValues(const Bytes& f, std::size_t xres, std::size_t yres, std::size_t software) {
  EXPECT_EQ(test::le32(f, xres), 877u);
  EXPECT_EQ(test::le32(f, xres + 4), 10u);
  EXPECT_EQ(test::le32(f, yres), 877u);
  EXPECT_EQ(test::le32(f, yres + 4), 10u);
  EXPECT_EQ(std::string(f.begin() + software, f.begin() + software + 10), "Quendaline");
}

TEST(WriteTiffTest, OneByOneRgbLayout) {
  Bitmap b(1, 1, 24);
  b.setPixel(0, 0, rgb(10, 20, 30));
  const Bytes f = encode(b);
  ASSERT_EQ(f.size(), 43u + 2 + 180 + 4);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 4), (Bytes{'I', 'I', 42, 0}));
  EXPECT_EQ(test::le32(f, 4), 43u);
  expectSharedValues(f, 8, 16, 30);
  EXPECT_EQ(Bytes(f.begin() + 24, f.begin() + 30), (Bytes{8, 0, 8, 0, 8, 0}));
  EXPECT_EQ(Bytes(f.begin() + 40, f.begin() + 43), (Bytes{10, 20, 30}));  // red first
  const std::vector<Entry> expected = {
      {254, 4, 1, 0}, {256, 3, 1, 1},  {257, 3, 1, 1}, {258, 3, 3, 24}, {259, 3, 1, 1},
      {262, 3, 1, 2}, {273, 4, 1, 40}, {277, 3, 1, 3}, {278, 4, 1, 1},  {279, 4, 1, 3},
      {282, 5, 1, 8}, {283, 5, 1, 16}, {284, 3, 1, 1}, {296, 3, 1, 2},  {305, 2, 10, 30}};
  EXPECT_EQ(directory(f, 43), expected);
}

TEST(WriteTiffTest, TwoByTwoPaletteLayout) {
  Bitmap b = test::randomBitmap(2, 2, 5, 8);
  b.palette()[7] = {0x12, 0x34, 0x56, 0};  // blue, green, red
  b.setPixel(1, 0, 7);
  const Bytes f = encode(b);
  EXPECT_EQ(test::le32(f, 4), 1574u);
  // Colour map: 256 reds, 256 greens, 256 blues, component in the high byte.
  EXPECT_EQ(test::le16(f, 8 + 2 * 7), 0x5600u);
  EXPECT_EQ(test::le16(f, 8 + 512 + 2 * 7), 0x3400u);
  EXPECT_EQ(test::le16(f, 8 + 1024 + 2 * 7), 0x1200u);
  expectSharedValues(f, 1544, 1552, 1560);
  EXPECT_EQ(f[1570 + 1], 7);
  EXPECT_EQ(f[1570 + 2], b.pixelIndex(0, 1));
  const std::vector<Entry> expected = {
      {254, 4, 1, 0},    {256, 3, 1, 2},    {257, 3, 1, 2}, {258, 3, 1, 8},     {259, 3, 1, 1},
      {262, 3, 1, 3},    {273, 4, 1, 1570}, {277, 3, 1, 1}, {278, 4, 1, 2},     {279, 4, 1, 4},
      {282, 5, 1, 1544}, {283, 5, 1, 1552}, {296, 3, 1, 2}, {305, 2, 10, 1560}, {320, 3, 768, 8}};
  EXPECT_EQ(directory(f, 1574), expected);
}

TEST(WriteTiffTest, DirectoryMayStartAtAnOddOffset) {
  const Bytes f = encode(test::randomBitmap(3, 1, 2));
  EXPECT_EQ(test::le32(f, 4), 49u);  // 40 + 9 pixel bytes, no padding byte
  EXPECT_EQ(std::get<1>(directory(f, 49)[0]), 4u);
}

TEST(WriteTiffTest, IndependentReaderSeesTheSamePixels) {
  VORLINO_REQUIRE_PILLOW();
  test::ScratchFolder folder;
  for (auto [w, h] : {std::pair{113, 157}, {1, 23}, {19, 1}}) {
    for (int bpp : {24, 8, 4, 1}) {
      const Bitmap b = test::randomBitmap(w, h, static_cast<std::uint32_t>(w + bpp), bpp);
      ByteWriter out;
      ASSERT_TRUE(WriteTiff(b, out).ok());
      auto decoded = test::decodeBytes(folder, "t.tif", out);
      ASSERT_TRUE(decoded) << w << "x" << h << " " << bpp;
      EXPECT_EQ(decoded->width, w);
      EXPECT_EQ(decoded->height, h);
      EXPECT_EQ(decoded->rgb, test::expectedRgb(b)) << w << "x" << h << " " << bpp;
    }
  }
}

TEST(WriteTiffTest, SidesAbove65535AreRefusedAndEmptyBitmapWritesNothing) {
  ByteWriter out;
  EXPECT_EQ(WriteTiff(Bitmap(65536, 1, 24), out).error, CodecError::ceTooLarge);
  EXPECT_EQ(WriteTiff(Bitmap(2, 70000, 8), out).error, CodecError::ceTooLarge);
  EXPECT_EQ(out.size(), 0u);
  EXPECT_TRUE(WriteTiff(Bitmap(0, 5, 24), out).ok());
  EXPECT_EQ(out.size(), 0u);
}

TEST(WriteTiffTest, FileVariantWritesTheSameBytes) {
  test::ScratchFolder folder;
  const Bitmap b = test::randomBitmap(17, 9, 4);
  ASSERT_TRUE(WriteTiffFile(b, folder.file("a.tif")).ok());
  EXPECT_EQ(test::readFileBytes(folder.file("a.tif")), encode(b));
  EXPECT_EQ(WriteTiffFile(b, folder.file("missing/a.tif")).error, CodecError::ceIo);
}

}  // namespace
}  // namespace vorlino
