#include "imagefile/bmp_writer.h"

#include <gtest/gtest.h>

#include "test_images.h"
#include "writer_test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes encode(const Bitmap& b) {
  ByteWriter out;
  EXPECT_TRUE(WriteBmp(b, out, {}).ok());
  return out.bytes();
}

TEST(WriteBmpTest, TrueColourHeadersAndBottomUpPaddedRows) {
  Bitmap b(3, 2, 24);
  b.setPixel(0, 0, rgb(1, 2, 3));  // top row
  b.setPixel(2, 1, rgb(9, 8, 7));  // bottom row
  const Bytes f = encode(b);
  ASSERT_EQ(f.size(), 54u + 2 * 12);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(test::le32(f, 2), f.size());
  EXPECT_EQ(test::le32(f, 10), 54u);
  EXPECT_EQ(test::le32(f, 14), 40u);
  EXPECT_EQ(test::le32(f, 18), 3u);
  EXPECT_EQ(test::le32(f, 22), 2u);
  EXPECT_EQ(test::le16(f, 26), 1u);
  EXPECT_EQ(test::le16(f, 28), 24u);
  EXPECT_EQ(test::le32(f, 30), 0u);
  EXPECT_EQ(test::le32(f, 34), 24u);
  EXPECT_EQ(test::le32(f, 46), 0u);  // no colour table
  // Stored first: the bottom row; then the top one. Blue, green, red; padding zero.
  EXPECT_EQ(Bytes(f.begin() + 54 + 6, f.begin() + 54 + 12), (Bytes{7, 8, 9, 0, 0, 0}));
  EXPECT_EQ(Bytes(f.begin() + 66, f.begin() + 69), (Bytes{3, 2, 1}));
}

TEST(WriteBmpTest, PaletteKeptByATrueColourBitmapIsWrittenAsColourTable) {
  Bitmap b = test::randomBitmap(4, 4, 3, 4);
  b.convertTo24();  // keeps its 16-entry palette
  ASSERT_EQ(b.palette().size(), 16u);
  const Bytes f = encode(b);
  EXPECT_EQ(test::le32(f, 46), 16u);
  EXPECT_EQ(test::le32(f, 10), 54u + 64);
  EXPECT_EQ(test::le16(f, 28), 24u);
  EXPECT_EQ(f[54 + 4 * 5], b.palette()[5].blue);
  EXPECT_EQ(f[54 + 4 * 5 + 2], b.palette()[5].red);
  EXPECT_EQ(f.size(), 54u + 64 + 4 * 12);
}

TEST(WriteBmpTest, IndependentReaderSeesTheSamePixels) {
  VORLINO_REQUIRE_PILLOW();
  test::ScratchFolder folder;
  for (auto [w, h] : {std::pair{113, 157}, {1, 13}, {17, 1}})
    for (int bpp : {24, 8, 4, 1, 32}) {
      const Bitmap b = test::randomBitmap(w, h, 9, bpp);
      ByteWriter out;
      ASSERT_TRUE(WriteBmp(b, out, {}).ok());
      auto decoded = test::decodeBytes(folder, "b.bmp", out);
      ASSERT_TRUE(decoded) << bpp;
      EXPECT_EQ(decoded->rgb, test::expectedRgb(b)) << w << "x" << h << " " << bpp;
      EXPECT_EQ(test::le16(out.bytes(), 28), bpp == 32 ? 24u : static_cast<unsigned>(bpp));
    }
}

}  // namespace
}  // namespace vorlino
