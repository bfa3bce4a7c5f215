// The PCX decoder on small files built byte by byte: PCX plane layouts and runs across scanlines.
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

ByteWriter pcxHeader(int version, int encoding, int bits, int width, int height, int planes,
                     int bytesPerLine) {
  ByteWriter w;
  w.u8(0x0A), w.u8(static_cast<std::uint8_t>(version)), w.u8(static_cast<std::uint8_t>(encoding));
  w.u8(static_cast<std::uint8_t>(bits));
  w.u16le(0), w.u16le(0), w.u16le(static_cast<std::uint16_t>(width - 1));
  w.u16le(static_cast<std::uint16_t>(height - 1));
  w.u16le(72), w.u16le(72);
  for (int i = 0; i < 16; ++i)
    w.u8(static_cast<std::uint8_t>(16 * i)), w.u8(1), w.u8(2);  // palette
  w.u8(0), w.u8(static_cast<std::uint8_t>(planes)),
      w.u16le(static_cast<std::uint16_t>(bytesPerLine));
  while (w.size() < 128) w.u8(0);
  return w;
}

TEST(PcxDecoder, PcxPlanesOfTwoBitsMakeFourBitIndices) {
  // Stored (encoding 0), 5 pixels, 2 planes of 2 bits: plane 0 the low bits, plane 1 the high.
  ByteWriter w = pcxHeader(5, 0, 2, 5, 1, 2, 2);
  const std::uint8_t plane0[2] = {0b00011011, 0b01000000};  // 0 1 2 3 1
  const std::uint8_t plane1[2] = {0b11100100, 0b10000000};  // 3 2 1 0 2
  w.write(plane0, 2), w.write(plane1, 2);
  const Bitmap b = decodeOk(readPcx, w.bytes());
  ASSERT_EQ(b.bitsPerPixel(), 4);
  const int expected[5] = {12, 9, 6, 3, 9};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(b.pixelIndex(x, 0), expected[x]) << x;
  EXPECT_EQ(b.palette()[9], (PaletteColor{2, 1, 144, 0}));  // header palette, red first
}

TEST(PcxDecoder, PcxRunsCrossScanlinesAndUseTheTrailingPalette) {
  ByteWriter w = pcxHeader(5, 1, 8, 4, 2, 1, 4);
  w.u8(0xC8), w.u8(7);  // one run of 8 covers both rows
  w.u8(0x0C);
  for (int i = 0; i < 256; ++i)
    w.u8(static_cast<std::uint8_t>(i)), w.u8(0), w.u8(static_cast<std::uint8_t>(255 - i));
  const Bitmap b = decodeOk(readPcx, w.bytes());
  ASSERT_EQ(b.bitsPerPixel(), 8);
  EXPECT_EQ(b.pixelIndex(3, 1), 7);
  EXPECT_EQ(b.pixel(3, 1), rgb(7, 0, 248));
}

TEST(PcxDecoder, PcxVersionThreeUsesTheDefaultColours) {
  ByteWriter w = pcxHeader(3, 1, 4, 2, 1, 1, 2);
  w.u8(0xC1), w.u8(0xC0);  // literal 0xC0 must be coded as a run of one
  w.u8(0xC1), w.u8(0x00);
  const Bitmap b = decodeOk(readPcx, w.bytes());
  EXPECT_EQ(b.pixel(0, 0), rgb(0xFF, 0x55, 0x55));  // index 12, light red
  EXPECT_EQ(b.pixel(1, 0), rgb(0, 0, 0));
}

TEST(PcxDecoder, PcxRefusesScanlinesShorterThanTheWidth) {
  ByteWriter w = pcxHeader(5, 0, 8, 10, 1, 1, 8);
  w.write(std::string(8, 'x').data(), 8);
  EXPECT_FALSE(decodes(readPcx, w.bytes()));
}

}  // namespace
}  // namespace vorlino
