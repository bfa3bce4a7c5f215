// The RLA decoder on small files built byte by byte: premultiplied RLA files and their matte
// channel.
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

Bytes rlaFile(int colourChannels, int matteChannels,
              const std::vector<std::vector<Bytes>>& scanlines) {
  ByteWriter w;
  const int width = 2, height = static_cast<int>(scanlines.size());
  for (int i = 0; i < 2; ++i)
    w.u16be(0), w.u16be(width - 1), w.u16be(0), w.u16be(static_cast<std::uint16_t>(height - 1));
  w.u16be(1), w.u16be(0), w.u16be(static_cast<std::uint16_t>(colourChannels));
  w.u16be(static_cast<std::uint16_t>(matteChannels)), w.u16be(0), w.u16be(0xFFFE);
  while (w.size() < 658) w.u8(0);
  w.u16be(8), w.u16be(0), w.u16be(8);
  while (w.size() < 740) w.u8(0);
  std::uint32_t at = 740 + 4 * static_cast<std::uint32_t>(height);
  for (const auto& line : scanlines) {
    w.u32be(at);
    for (const Bytes& ch : line) at += 2 + static_cast<std::uint32_t>(ch.size());
  }
  for (const auto& line : scanlines)
    for (const Bytes& ch : line)
      w.u16be(static_cast<std::uint16_t>(ch.size())), w.write(ch.data(), ch.size());
  return w.bytes();
}

TEST(RlaDecoder, RlaBottomUpPremultipliedColour) {
  // Channel records: 0x01 = a run of two; 0xFE = two literals.
  const Bytes red = {1, 100}, green = {0xFE, 50, 0}, blue = {1, 0}, matte = {0xFE, 200, 255};
  const Bytes white = {1, 255}, opaque = {1, 255};
  const Bytes file = rlaFile(3, 1, {{red, green, blue, matte}, {white, white, white, opaque}});
  const Bitmap b = decodeOk(readRla, file);
  ASSERT_EQ(b.bitsPerPixel(), 32);
  EXPECT_EQ(b.pixel(0, 0), rgb(255, 255, 255));  // the second scanline is the top row
  EXPECT_EQ(b.pixel(0, 1), rgb(127, 63, 0));     // 100 and 50 divided by 200/255
  EXPECT_EQ(b.pixel(1, 1), rgb(100, 0, 0));
  EXPECT_EQ(b.row(1)[3], 200);
}

TEST(RlaDecoder, RlaMatteAloneIsShownAsGrey) {
  const Bytes file = rlaFile(0, 1, {{{0xFE, 10, 20}}});
  const Bitmap b = decodeOk(readRla, file);
  ASSERT_EQ(b.bitsPerPixel(), 8);
  EXPECT_EQ(b.pixel(1, 0), rgb(20, 20, 20));
}

}  // namespace
}  // namespace vorlino
