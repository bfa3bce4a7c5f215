#include "bitmap/bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "bitmap/checked.h"
#include "test_images.h"

namespace vorlino {
namespace {

TEST(BitmapTest, RowsAreFourByteAlignedAndTopDown) {
  Bitmap b(5, 3, 24);
  EXPECT_EQ(b.stride(), 16u);  // 15 bytes padded to 16
  EXPECT_EQ(b.row(1) - b.row(0), 16);
  EXPECT_EQ(Bitmap(7, 1, 1).stride(), 4u);
  EXPECT_EQ(Bitmap(9, 1, 4).stride(), 8u);
  EXPECT_EQ(Bitmap(3, 1, 32).stride(), 12u);
  b.setPixel(4, 2, rgb(1, 2, 3));
  EXPECT_EQ(b.row(2)[12], 3);  // blue first
  EXPECT_EQ(b.row(2)[14], 1);
  EXPECT_EQ(b.pixel(4, 2), rgb(1, 2, 3));
}

TEST(BitmapTest, EmptyBitmapIsValid) {
  Bitmap b;
  EXPECT_TRUE(b.empty());
  EXPECT_EQ(b.byteCount(), 0u);
  b.convertTo24();
  Bitmap c(0, 10, 24);
  EXPECT_TRUE(c.empty());
  Bitmap d = c;
  EXPECT_EQ(d, c);
}

TEST(BitmapTest, CopyKeepsAttributesAndPalette) {
  Bitmap b = test::randomBitmap(13, 7, 1, 8);
  b.Transparent = true;
  b.TransparentColor = kTransparentKey;
  Bitmap c = b;
  EXPECT_EQ(c, b);
  EXPECT_TRUE(c.Transparent);
  EXPECT_EQ(c.palette().size(), 256u);
  c.setPixel(0, 0, (b.pixelIndex(0, 0) + 1) & 255);
  EXPECT_NE(c, b);
}

TEST(BitmapTest, AssignReusesTheBlockWhenSizesAgree) {
  Bitmap a = test::randomBitmap(300, 200, 2);
  Bitmap b = test::randomBitmap(300, 200, 3);
  const std::uint8_t* block = b.bits();
  b.assign(a);
  EXPECT_EQ(b.bits(), block);
  EXPECT_EQ(a, b);
}

TEST(BitmapTest, ConvertsPaletteFormsAndAlphaTo24Bits) {
  Bitmap one(10, 2, 1);
  one.palette()[0] = toPaletteColor(rgb(10, 20, 30));
  one.palette()[1] = toPaletteColor(rgb(200, 210, 220));
  one.setPixel(9, 1, 1);
  Bitmap four(3, 1, 4);
  four.palette()[5] = toPaletteColor(rgb(5, 6, 7));
  four.setPixel(2, 0, 5);
  Bitmap alpha(2, 1, 32);
  alpha.row(0)[4] = 1;
  alpha.row(0)[5] = 2;
  alpha.row(0)[6] = 3;
  alpha.row(0)[7] = 0;  // fully transparent: alpha is dropped, colour kept

  one.convertTo24();
  four.convertTo24();
  alpha.convertTo24();
  EXPECT_EQ(one.bitsPerPixel(), 24);
  EXPECT_EQ(one.pixel(9, 1), rgb(200, 210, 220));
  EXPECT_EQ(one.pixel(8, 1), rgb(10, 20, 30));
  EXPECT_EQ(four.pixel(2, 0), rgb(5, 6, 7));
  EXPECT_EQ(four.pixel(0, 0), rgb(0, 0, 0));
  EXPECT_EQ(alpha.pixel(1, 0), rgb(3, 2, 1));
  EXPECT_EQ(one.palette().size(), 2u);  // a converted bitmap keeps its palette

  // Every index of an 8-bit picture, through a palette shorter than 256: those past its end are
  // black.
  Bitmap eight(256, 3, 8);
  eight.palette().resize(200);
  for (int i = 0; i < 200; ++i) eight.palette()[i] = toPaletteColor(rgb(i, 255 - i, i / 2));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 256; ++x) eight.setPixel(x, y, (x + 7 * y) & 255);
  eight.convertTo24();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 256; ++x) {
      const int i = (x + 7 * y) & 255;
      ASSERT_EQ(eight.pixel(x, y), i < 200 ? rgb(i, 255 - i, i / 2) : rgb(0, 0, 0))
          << x << "," << y;
    }
}

TEST(BitmapTest, RejectsImpossibleSizesWithoutChange) {
  Bitmap b(4, 4, 24);
  EXPECT_THROW(b.reset(-1, 4), std::length_error);
  EXPECT_THROW(b.reset(4, 4, 16), std::length_error);
  EXPECT_THROW(b.reset(Bitmap::kMaxSide + 1, 1), std::length_error);
  EXPECT_EQ(b.width(), 4);
  EXPECT_FALSE(checkedMul(SIZE_MAX / 2, 3).has_value());
  EXPECT_FALSE(rowStride(SIZE_MAX / 8, 24).has_value());
  EXPECT_EQ(*bitmapBytes(3, 2, 24), 24u);
}

TEST(BitmapTest, LargeBlocksAreZeroFilledAndReleased) {
  Bitmap b(3000, 2000, 24);  // above the mapping threshold
  EXPECT_EQ(b.row(1999)[8999], 0);
  b.row(1999)[8999] = 7;
  b.reset(3000, 2000, 24);
  EXPECT_EQ(b.row(1999)[8999], 0);
  b.clear();
  EXPECT_TRUE(b.empty());
}

// Released large blocks are handed out again: one asked to be zero must be zero however dirty it
// was left, and none may be smaller than asked.
TEST(BitmapTest, ReusedLargeBlocksAreZeroWhenAskedAndLargeEnough) {
  constexpr std::size_t kBytes = std::size_t{9} << 20;
  for (int round = 0; round < 3; ++round) {
    {
      PixelBuffer dirty(kBytes, PixelBuffer::Fill::kAny);
      std::memset(dirty.data(), 0xAB, dirty.capacity());
    }
    PixelBuffer clean(kBytes - 4096 * round);
    ASSERT_GE(clean.capacity(), kBytes - 4096 * round);
    EXPECT_EQ(std::count(clean.data(), clean.data() + clean.capacity(), 0),
              static_cast<std::ptrdiff_t>(clean.capacity()));
  }
  {
    Bitmap dirty(2000, 1500, 24);
    std::memset(dirty.row(0), 0x5C, dirty.byteCount());
  }
  const Bitmap fresh(2000, 1500, 24);
  EXPECT_EQ(std::count(fresh.row(0), fresh.row(0) + fresh.byteCount(), 0),
            static_cast<std::ptrdiff_t>(fresh.byteCount()));
  { PixelBuffer small(kBytes, PixelBuffer::Fill::kAny); }
  PixelBuffer larger(2 * kBytes, PixelBuffer::Fill::kAny);  // the kept 9 MiB block will not do
  ASSERT_GE(larger.capacity(), 2 * kBytes);
  larger.data()[2 * kBytes - 1] = 1;  // within the block
}

TEST(ColorTest, SystemColoursResolveThroughTheTable) {
  EXPECT_EQ(ColorToRGB(rgb(1, 2, 3)), rgb(1, 2, 3));
  EXPECT_EQ(ColorToRGB(kNoColor), kNoColor);
  setSystemColor(5, rgb(9, 8, 7));
  EXPECT_EQ(ColorToRGB(systemColor(5)), rgb(9, 8, 7));
  EXPECT_EQ(ColorToRGB(systemColor(200)), kBlack);
  EXPECT_EQ(redOf(kTransparentKey), 206);
  EXPECT_EQ(greenOf(kTransparentKey), 237);
  EXPECT_EQ(blueOf(kTransparentKey), 220);
}

}  // namespace
}  // namespace vorlino
