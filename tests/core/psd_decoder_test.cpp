// The PSD decoder on small files built byte by byte: Lab and CMYK Photoshop documents, and a header
// claiming more rows than its file holds.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "decoder_test_support.h"
#include "imagefile/decoders.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::decodeBytes;
using test::decodeOk;
using test::decodes;

ByteWriter psdHeader(int channels, int width, int height, int depth, int mode) {
  ByteWriter w;
  w.u32be(0x38425053), w.u16be(1);
  for (int i = 0; i < 6; ++i) w.u8(0);
  w.u16be(static_cast<std::uint16_t>(channels)), w.u32be(static_cast<std::uint32_t>(height));
  w.u32be(static_cast<std::uint32_t>(width)), w.u16be(static_cast<std::uint16_t>(depth));
  w.u16be(static_cast<std::uint16_t>(mode));
  w.u32be(0), w.u32be(0), w.u32be(0);  // colour data, resources, layers
  return w;
}

TEST(PsdDecoder, PsdLabWhiteAndBlack) {
  ByteWriter w = psdHeader(3, 2, 1, 8, 9);
  w.u16be(0);
  const std::uint8_t planes[6] = {255, 0, 128, 128, 128, 128};  // L, a, b planes of 2 pixels
  w.write(planes, 6);
  const Bitmap b = decodeOk(readPsd, w.bytes());
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(b.row(0)[k], 255, 1);
    EXPECT_EQ(b.row(0)[3 + k], 0);
  }
}

TEST(PsdDecoder, PsdPackBitsCmykWithAlpha) {
  // 2 x 1, five channels (C, M, Y, K inverted, then alpha), PackBits with a no-op code (-128).
  ByteWriter w = psdHeader(5, 2, 1, 8, 4);
  w.u16be(1);
  const std::uint8_t rows[5][4] = {
      {0xFF, 255, 0, 0}, {0x80, 0xFF, 255, 0}, {0xFF, 0, 0, 0}, {0xFF, 128, 0, 0}, {1, 40, 200, 0}};
  for (int c = 0; c < 5; ++c) w.u16be(c == 1 ? 4 : c == 4 ? 3 : 2);
  for (int c = 0; c < 5; ++c) w.write(rows[c], c == 1 ? 4 : c == 4 ? 3 : 2);
  const Bitmap b = decodeOk(readPsd, w.bytes());
  ASSERT_EQ(b.bitsPerPixel(), 32);
  EXPECT_EQ(b.pixel(0, 0), rgb(128, 128, 0));  // K half: every component halved; full yellow
  EXPECT_EQ(b.row(0)[3], 40);
  EXPECT_EQ(b.row(0)[7], 200);
}

TEST(PsdDecoder, PsdClaimingMillionsOfRowsFailsOnItsLength) {
  // The header claims four million coded rows; the file ends after it. Refused as damaged from
  // the lengths alone, before any row table is made.
  const Bytes bytes = test::readFileBytes(test::testDataDir() / "psd/bad/million_rows.psd");
  ASSERT_EQ(bytes.size(), 40u);
  ByteReader in(bytes);
  Bitmap b;
  EXPECT_EQ(readPsd(in, b, DecodeLimits{}).error, CodecError::ceDamaged);
}

}  // namespace
}  // namespace vorlino
