// The Targa decoder on files built byte by byte: origins, run-length packets, colour maps.
#include <gtest/gtest.h>

#include <vector>

#include "imagefile/decoders.h"

namespace vorlino {
namespace {

struct TgaLayout {
  int type = 2;
  int width = 2, height = 2, depth = 24, descriptor = 0;
  int mapFirst = 0, mapLength = 0, mapBits = 0;
  std::vector<std::uint8_t> id, map, pixels;
};

std::vector<std::uint8_t> tgaFile(const TgaLayout& s) {
  ByteWriter o;
  o.u8(static_cast<std::uint8_t>(s.id.size()));
  o.u8(s.mapLength > 0 ? 1 : 0);
  o.u8(static_cast<std::uint8_t>(s.type));
  o.u16le(static_cast<std::uint16_t>(s.mapFirst));
  o.u16le(static_cast<std::uint16_t>(s.mapLength));
  o.u8(static_cast<std::uint8_t>(s.mapBits));
  o.u32le(0);
  o.u16le(static_cast<std::uint16_t>(s.width));
  o.u16le(static_cast<std::uint16_t>(s.height));
  o.u8(static_cast<std::uint8_t>(s.depth));
  o.u8(static_cast<std::uint8_t>(s.descriptor));
  o.write(s.id.data(), s.id.size());
  o.write(s.map.data(), s.map.size());
  o.write(s.pixels.data(), s.pixels.size());
  return o.bytes();
}

CodecResult decode(const std::vector<std::uint8_t>& bytes, Bitmap& out) {
  ByteReader in(bytes);
  return readTarga(in, out, DecodeLimits{});
}

// Four grey levels A B / C D (top row first) stored from each of the four origins.
TEST(TgaDecoderTest, AllFourOriginsGiveTheSamePicture) {
  const std::uint8_t A = 10, B = 20, C = 30, D = 40;
  struct Case {
    int descriptor;
    std::vector<std::uint8_t> order;
  } cases[] = {
      {0x00, {C, D, A, B}},  // bottom-up, left to right
      {0x20, {A, B, C, D}},  // top-down
      {0x10, {D, C, B, A}},  // bottom-up, right to left
      {0x30, {B, A, D, C}},  // top-down, right to left
  };
  for (const auto& c : cases) {
    TgaLayout s;
    s.type = 3;
    s.depth = 8;
    s.descriptor = c.descriptor;
    s.pixels = c.order;
    Bitmap b;
    ASSERT_TRUE(decode(tgaFile(s), b).ok()) << c.descriptor;
    EXPECT_EQ(b.bitsPerPixel(), 8);
    EXPECT_EQ(b.pixelIndex(0, 0), A) << c.descriptor;
    EXPECT_EQ(b.pixelIndex(1, 0), B) << c.descriptor;
    EXPECT_EQ(b.pixelIndex(0, 1), C) << c.descriptor;
    EXPECT_EQ(b.pixelIndex(1, 1), D) << c.descriptor;
    EXPECT_EQ(b.pixel(1, 1), rgb(D, D, D));
  }
}

TEST(TgaDecoderTest, RunLengthPacketsMayCrossRows) {
  // 3 x 2 true colour, top-down: one repeat packet of 4 pixels, one literal packet of 2.
  TgaLayout s;
  s.type = 10;
  s.width = 3;
  s.descriptor = 0x20;
  s.pixels = {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9};
  Bitmap b;
  ASSERT_TRUE(decode(tgaFile(s), b).ok());
  EXPECT_EQ(b.pixel(2, 0), rgb(3, 2, 1));
  EXPECT_EQ(b.pixel(0, 1), rgb(3, 2, 1));
  EXPECT_EQ(b.pixel(1, 1), rgb(6, 5, 4));
  EXPECT_EQ(b.pixel(2, 1), rgb(9, 8, 7));
  // The same with the last literal pixel missing fails.
  s.pixels.pop_back();
  Bitmap target;
  EXPECT_EQ(decode(tgaFile(s), target).error, CodecError::ceDamaged);
  EXPECT_TRUE(target.empty());
}

TEST(TgaDecoderTest, ColourMapWithFirstIndexAndSixteenBitEntries) {
  // Map entries 5 and 6 in 16-bit form: 0x7C00 red, 0x03E0 green. Pixels are map values.
  TgaLayout s;
  s.type = 1;
  s.depth = 8;
  s.width = 2;
  s.height = 1;
  s.mapFirst = 5;
  s.mapLength = 2;
  s.mapBits = 16;
  s.map = {0x00, 0x7C, 0xE0, 0x03};
  s.pixels = {5, 6};
  s.id = {'i', 'd'};
  Bitmap b;
  ASSERT_TRUE(decode(tgaFile(s), b).ok());
  EXPECT_EQ(b.bitsPerPixel(), 8);
  EXPECT_EQ(b.pixel(0, 0), rgb(255, 0, 0));
  EXPECT_EQ(b.pixel(1, 0), rgb(0, 255, 0));
  // 16-bit indices cannot stay a palette picture: resolved to 24 bits.
  s.depth = 16;
  s.pixels = {6, 0, 5, 0};
  ASSERT_TRUE(decode(tgaFile(s), b).ok());
  EXPECT_EQ(b.bitsPerPixel(), 24);
  EXPECT_EQ(b.pixel(0, 0), rgb(0, 255, 0));
  EXPECT_EQ(b.pixel(1, 0), rgb(255, 0, 0));
}

TEST(TgaDecoderTest, TrueColourDepths) {
  TgaLayout s;
  s.width = 1;
  s.height = 1;
  s.depth = 16;
  s.pixels = {0xFF, 0xFF};  // attribute bit set: ignored
  Bitmap b;
  ASSERT_TRUE(decode(tgaFile(s), b).ok());
  EXPECT_EQ(b.bitsPerPixel(), 24);
  EXPECT_EQ(b.pixel(0, 0), kWhite);
  s.depth = 32;
  s.pixels = {1, 2, 3, 128};
  ASSERT_TRUE(decode(tgaFile(s), b).ok());
  EXPECT_EQ(b.bitsPerPixel(), 32);
  EXPECT_EQ(b.row(0)[3], 128);  // alpha kept
  EXPECT_EQ(b.pixel(0, 0), rgb(3, 2, 1));
}

TEST(TgaDecoderTest, DamagedHeadersFail) {
  TgaLayout s;
  s.pixels.assign(12, 0);
  Bitmap b;
  ASSERT_TRUE(decode(tgaFile(s), b).ok());
  auto bad = s;
  bad.type = 32;  // Huffman-coded: not read
  EXPECT_FALSE(decode(tgaFile(bad), b).ok());
  bad = s;
  bad.depth = 12;
  EXPECT_FALSE(decode(tgaFile(bad), b).ok());
  bad = s;
  bad.width = 0;
  EXPECT_FALSE(decode(tgaFile(bad), b).ok());
  bad = s;
  bad.type = 1;  // colour-mapped without a map
  bad.depth = 8;
  EXPECT_FALSE(decode(tgaFile(bad), b).ok());
  bad = s;
  bad.pixels.resize(11);
  EXPECT_FALSE(decode(tgaFile(bad), b).ok());
  // 65535 x 65535 claimed by a tiny run-length file is refused before allocation.
  bad = s;
  bad.type = 10;
  bad.width = bad.height = 65535;
  EXPECT_FALSE(decode(tgaFile(bad), b).ok());
  EXPECT_FALSE(decode({0, 0, 2}, b).ok());
}

}  // namespace
}  // namespace vorlino
