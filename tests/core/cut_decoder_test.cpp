// The Dr. Halo decoder on small files built byte by byte: Dr. Halo palettes beside the picture.
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

class CutFiles : public ::testing::Test {
 protected:
  void write(const std::string& name, const Bytes& bytes) {
    test::writeFileBytes(folder_ / name, bytes);
  }
  static Bytes picture() {
    // 4 x 1: a run of two index 100, a literal of index 1 and 255, the end code.
    ByteWriter w;
    w.u16le(4), w.u16le(1), w.u16le(0);
    const std::uint8_t row[] = {0x82, 100, 0x02, 1, 255, 0x00};
    w.u16le(sizeof row), w.write(row, sizeof row);
    return w.bytes();
  }
  static Bytes palette() {
    // 256 entries of 16-bit components up to 255; entry i = (i, 255 - i, 7). The 79th entry does
    // not fit in the first 512-byte block and starts the next one.
    ByteWriter w;
    w.u8('A'), w.u8('H'), w.u16le(0xE3), w.u16le(0), w.u8('A'), w.u8(0), w.u16le(0), w.u16le(0);
    w.u16le(255), w.u16le(255), w.u16le(255), w.u16le(255);
    while (w.size() < 40) w.u8(0);
    for (int i = 0; i < 256; ++i) {
      if (w.size() % 512 + 6 > 512)
        while (w.size() % 512) w.u8(0xEE);
      w.u16le(static_cast<std::uint16_t>(i)), w.u16le(static_cast<std::uint16_t>(255 - i)),
          w.u16le(7);
    }
    return w.bytes();
  }
  const test::ScratchFolder folder_{"vorlino_cut"};
};

TEST_F(CutFiles, PaletteFileIsFoundWithoutRegardToCase) {
  write("venus.cut", picture());
  write("VENUS.PAL", palette());
  write("venus.pal.bak", Bytes(10, 0));
  const Bitmap b = decodeOk(readCut, picture(), (folder_ / "venus.cut").string());
  ASSERT_EQ(b.bitsPerPixel(), 8);
  EXPECT_EQ(b.pixelIndex(1, 0), 100);
  EXPECT_EQ(b.pixel(0, 0), rgb(100, 155, 7));  // beyond the first block
  EXPECT_EQ(b.pixel(2, 0), rgb(1, 254, 7));
  EXPECT_EQ(b.pixel(3, 0), rgb(255, 0, 7));
}

TEST_F(CutFiles, WithoutAUsablePaletteIndicesAreGreys) {
  Bitmap b = decodeOk(readCut, picture(), (folder_ / "alone.cut").string());
  EXPECT_EQ(b.pixel(0, 0), rgb(100, 100, 100));
  write("bad.pal", Bytes(100, 'x'));  // not a palette of this kind
  b = decodeOk(readCut, picture(), (folder_ / "bad.cut").string());
  EXPECT_EQ(b.pixel(3, 0), rgb(255, 255, 255));
}

}  // namespace
}  // namespace vorlino
