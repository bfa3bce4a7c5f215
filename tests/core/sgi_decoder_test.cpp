// The SGI decoder on small files built byte by byte: 16-bit RLE SGI files with grey and alpha.
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

TEST(SgiDecoder, SgiSixteenBitRunsWithGreyAndAlpha) {
  // 3 x 2, grey and alpha, 2 bytes per sample, run-length coded: counts are words too.
  ByteWriter w;
  w.u16be(474), w.u8(1), w.u8(2), w.u16be(3), w.u16be(3), w.u16be(2), w.u16be(2);
  while (w.size() < 512) w.u8(0);
  const std::uint32_t table = 512 + 4 * 4 * 2;
  // Rows in table order: grey y0, grey y1, alpha y0, alpha y1 (y0 is the bottom row).
  std::vector<ByteWriter> rows(4);
  rows[0].u16be(3), rows[0].u16be(0x1234);  // run of 3
  rows[1].u16be(0x83), rows[1].u16be(0xAB00), rows[1].u16be(0x0100), rows[1].u16be(0xFFFF);
  rows[2].u16be(3), rows[2].u16be(0xFF00);
  rows[3].u16be(3), rows[3].u16be(0x8000);
  std::uint32_t at = table;
  for (auto& r : rows) r.u16be(0), w.u32be(at), at += static_cast<std::uint32_t>(r.size());
  for (auto& r : rows) w.u32be(static_cast<std::uint32_t>(r.size()));
  for (auto& r : rows) w.write(r.bytes().data(), r.size());
  const Bitmap b = decodeOk(readSgi, w.bytes());
  ASSERT_EQ(b.bitsPerPixel(), 32);
  EXPECT_EQ(b.pixel(1, 1), rgb(0x12, 0x12, 0x12));  // the bottom row
  EXPECT_EQ(b.pixel(0, 0), rgb(0xAB, 0xAB, 0xAB));
  EXPECT_EQ(b.pixel(1, 0), rgb(1, 1, 1));
  EXPECT_EQ(b.row(1)[3], 0xFF);
  EXPECT_EQ(b.row(0)[4 * 2 + 3], 0x80);
}

}  // namespace
}  // namespace vorlino
