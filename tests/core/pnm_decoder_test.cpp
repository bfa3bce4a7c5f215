// The Netpbm decoder: the six forms, comments, maxval scaling and damaged files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imagefile/decoders.h"

namespace vorlino {
namespace {

CodecResult decode(const std::string& text, Bitmap& out) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  ByteReader in(bytes);
  return readPnm(in, out, DecodeLimits{});
}

TEST(PnmDecoderTest, PlainAndRawFormsAgree) {
  Bitmap plain, raw;
  // Bit maps: 1 is black. 10 pixels wide so that a raw row takes two bytes.
  ASSERT_TRUE(decode("P1\n# comment\n10 2\n1010101010\n0 0 0 0 0 0 0 0 0 1\n", plain).ok());
  ASSERT_TRUE(decode(std::string("P4 10 2\n\xAA\x80\x00\x40", 12), raw).ok());
  EXPECT_EQ(plain, raw);
  EXPECT_EQ(raw.bitsPerPixel(), 1);
  EXPECT_EQ(raw.pixel(0, 0), kBlack);
  EXPECT_EQ(raw.pixel(1, 0), kWhite);
  EXPECT_EQ(raw.pixel(9, 1), kBlack);

  ASSERT_TRUE(decode("P2 3 1 255 0 128 255", plain).ok());
  ASSERT_TRUE(decode(std::string("P5 3 1 255\n\x00\x80\xFF", 14), raw).ok());
  EXPECT_EQ(plain, raw);
  EXPECT_EQ(raw.bitsPerPixel(), 8);
  EXPECT_EQ(raw.pixel(1, 0), rgb(128, 128, 128));

  ASSERT_TRUE(decode("P3\n2 1\n#c\n255\n255 0 0  1 2 3\n", plain).ok());
  ASSERT_TRUE(decode(std::string("P6 2 1 255\r\xFF\x00\x00\x01\x02\x03", 17), raw).ok());
  EXPECT_EQ(plain, raw);
  EXPECT_EQ(raw.bitsPerPixel(), 24);
  EXPECT_EQ(raw.pixel(0, 0), rgb(255, 0, 0));
  EXPECT_EQ(raw.pixel(1, 0), rgb(1, 2, 3));
}

TEST(PnmDecoderTest, MaxvalIsScaledWithRounding) {
  Bitmap b;
  ASSERT_TRUE(decode("P2 3 1 15 0 8 15", b).ok());
  EXPECT_EQ(b.pixel(1, 0), rgb(136, 136, 136));  // 8 * 255 / 15 = 136
  EXPECT_EQ(b.pixel(2, 0), kWhite);
  // Two bytes per sample, most significant first: 0x8000 of 65535 -> 128, 0x0080 -> 0.
  ASSERT_TRUE(decode(std::string("P5 3 1 65535\n\x80\x00\x00\x80\xFF\xFF", 19), b).ok());
  EXPECT_EQ(b.pixel(0, 0), rgb(128, 128, 128));
  EXPECT_EQ(b.pixel(1, 0), kBlack);
  EXPECT_EQ(b.pixel(2, 0), kWhite);
}

TEST(PnmDecoderTest, DamagedFilesFail) {
  Bitmap target(1, 1, 24);
  const Bitmap before = target;
  for (const std::string bad : {
           "P2 3 1 15 0 8 16",        // sample above maxval
           "P2 3 1 15 0 8",           // a sample missing
           "P1 2 1 0 2",              // not a bit
           "P5 3 1 255\n\x01\x02",    // raster short by one byte
           "P6 -2 3 255\n",           // negative size
           "P6 2 1 0\n\x01\x02\x03",  // maxval 0
           "P6 2 1 70000\n",          // maxval too large
           "P5 2 1 255\x01\x02",      // no blank after the header
           "P7\nWIDTH 1\n",           // PAM is not read
           "P3 99999999999 1 255\n",  // number overflow
           "P6 1000 1000 255\n\x01",  // far more pixels than bytes
           "",
           "Q6",
       })
    EXPECT_FALSE(decode(bad, target).ok()) << bad;
  EXPECT_EQ(target, before);
}

}  // namespace
}  // namespace vorlino
