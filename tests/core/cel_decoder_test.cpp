// The Animator decoder on small files built byte by byte: headerless Animator pictures and their
// palettes.
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

TEST(CelDecoder, CelOldPicturesFindTheirPaletteAtEitherEnd) {
  Bytes pixels(64000, 5), palette(768, 0);
  palette[15] = 63, palette[16] = 21, palette[17] = 0;  // entry 5
  // Values above 63 at both ends: the pixels cannot be taken for a palette.
  pixels[0] = 200, pixels[63999] = 200;
  Bytes after(pixels);
  after.insert(after.end(), palette.begin(), palette.end());
  Bytes before(palette);
  before.insert(before.end(), pixels.begin(), pixels.end());
  for (const Bytes* file : {&after, &before}) {
    const Bitmap b = decodeOk(readCel, *file);
    ASSERT_EQ(b.width(), 320);
    ASSERT_EQ(b.height(), 200);
    EXPECT_EQ(b.pixel(1, 0), rgb(255, 85, 0));
    EXPECT_EQ(b.pixelIndex(0, 0), 200);
    EXPECT_EQ(b.pixelIndex(319, 199), 200);
  }
}

TEST(CelDecoder, CelWithoutPaletteShowsGreys) {
  ByteWriter w;
  w.u16le(0x9119), w.u16le(2), w.u16le(1), w.u16le(0), w.u16le(0), w.u8(8), w.u8(0), w.u32le(2);
  while (w.size() < 32) w.u8(0);
  w.u8(9), w.u8(77);
  const Bitmap b = decodeOk(readCel, w.bytes());
  EXPECT_EQ(b.pixel(1, 0), rgb(77, 77, 77));
}

}  // namespace
}  // namespace vorlino
