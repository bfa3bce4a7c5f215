// The Photo CD decoder on small files built byte by byte: turned Photo CD images.
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

TEST(PcdDecoder, PcdOrientationTurnsTheBaseImage) {
  Bytes file(96 * 2048 + 256 * 2304, 0);
  std::memcpy(file.data() + 2048, "PCD_IPI", 7);
  for (std::size_t pair = 0; pair < 256; ++pair) {
    std::uint8_t* p = file.data() + 96 * 2048 + pair * 2304;
    std::memset(p + 1536, 156, 384);  // neutral chroma
    std::memset(p + 1920, 137, 384);
  }
  file[96 * 2048] = 100;  // source pixel (0, 0): grey 135 (1.3584 x 100)
  struct Case {
    int orientation, width, x, y;
  };
  for (const Case c :
       {Case{0, 768, 0, 0}, Case{1, 512, 0, 767}, Case{3, 512, 511, 0}, Case{2, 768, 767, 511}}) {
    SCOPED_TRACE(c.orientation);
    file[2048 + 1538] = static_cast<std::uint8_t>(c.orientation);
    const Bitmap b = decodeOk(readPcd, file);
    ASSERT_EQ(b.width(), c.width);
    EXPECT_EQ(b.pixel(c.x, c.y), rgb(135, 135, 135));
    EXPECT_EQ(b.pixel(c.width / 2, 100), rgb(0, 0, 0));
  }
  file.resize(file.size() - 1);
  EXPECT_FALSE(decodes(readPcd, file));
}

}  // namespace
}  // namespace vorlino
