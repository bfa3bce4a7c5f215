// The GIF decoder on GIF files written by giflib: frames on the logical screen, hostile and damaged
// files.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gif_lib.h>

#include "imagefile/decoders.h"
#include "test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct GifFrame {
  int left, top, width, height;
  bool interlaced;
  int colorCount;        // local colour table size, 0 for none
  int transparentIndex;  // -1 for none
};

int appendGifBytes(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

// Writes a GIF89a with a 4-colour global table and the given frames; frame f's pixel (x, y) is
// (x + 2 * y + f) % colours. Returns the file.
Bytes writeGif(int screenWidth, int screenHeight, const std::vector<GifFrame>& frames) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, appendGifBytes, &error);
  EGifSetGifVersion(gif, true);
  GifColorType global[4] = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}};
  ColorMapObject* globalMap = GifMakeMapObject(4, global);
  EGifPutScreenDesc(gif, screenWidth, screenHeight, 2, 3, globalMap);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const GifFrame& fr = frames[f];
    if (fr.transparentIndex >= 0) {
      GifByteType gce[4] = {1, 0, 0, static_cast<GifByteType>(fr.transparentIndex)};
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
    }
    std::vector<GifColorType> local;
    for (int i = 0; i < fr.colorCount; ++i)
      local.push_back({static_cast<GifByteType>(200 + i), static_cast<GifByteType>(i),
                       static_cast<GifByteType>(100 - i)});
    ColorMapObject* localMap =
        fr.colorCount ? GifMakeMapObject(fr.colorCount, local.data()) : nullptr;
    // giflib's encoder forgets the previous frame's copy of a local table when a frame without
    // one follows: release it here.
    GifFreeMapObject(gif->Image.ColorMap);
    gif->Image.ColorMap = nullptr;
    EGifPutImageDesc(gif, fr.left, fr.top, fr.width, fr.height, fr.interlaced, localMap);
    const int colours = fr.colorCount ? fr.colorCount : 4;
    std::vector<std::vector<GifPixelType>> rows(static_cast<std::size_t>(fr.height));
    for (int y = 0; y < fr.height; ++y)
      for (int x = 0; x < fr.width; ++x)
        rows[static_cast<std::size_t>(y)].push_back(
            static_cast<GifPixelType>((x + 2 * y + static_cast<int>(f)) % colours));
    // An interlaced frame is written in pass order.
    std::vector<int> order;
    if (fr.interlaced) {
      const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < fr.height; y += step[pass]) order.push_back(y);
    } else {
      for (int y = 0; y < fr.height; ++y) order.push_back(y);
    }
    for (int y : order) EGifPutLine(gif, rows[static_cast<std::size_t>(y)].data(), fr.width);
    GifFreeMapObject(localMap);
  }
  GifFreeMapObject(globalMap);
  EGifCloseFile(gif, &error);
  return out;
}

// The first frame on the logical screen: the screen filled with the transparent index (0 without
// one), the frame's own colour table, the second frame never drawn.
TEST(GifReader, FirstFrameOnTheLogicalScreen) {
  for (bool interlaced : {false, true}) {
    for (int transparent : {-1, 5}) {
      SCOPED_TRACE(testing::Message() << (interlaced ? "interlaced" : "progressive")
                                      << ", transparent " << transparent);
      const Bytes file = writeGif(
          20, 15, {{3, 2, 11, 10, interlaced, 8, transparent}, {0, 0, 20, 15, false, 0, -1}});
      ByteReader in(file);
      Bitmap out;
      const CodecResult r = readGif(in, out, DecodeLimits{});
      ASSERT_TRUE(r.ok()) << r.detail;
      ASSERT_EQ(out.bitsPerPixel(), 8);
      ASSERT_EQ(out.width(), 20);
      ASSERT_EQ(out.height(), 15);
      const int fill = transparent >= 0 ? transparent : 0;
      for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x) {
          const bool inside = x >= 3 && x < 14 && y >= 2 && y < 12;
          const int expected = inside ? ((x - 3) + 2 * (y - 2)) % 8 : fill;
          ASSERT_EQ(out.pixelIndex(x, y), expected) << x << "," << y;
        }
      EXPECT_EQ(out.palette()[7], (PaletteColor{93, 7, 207, 0}));
      EXPECT_EQ(out.palette()[8], (PaletteColor{}));
    }
  }
}

TEST(GifReader, FrameLargerThanScreenEnlargesIt) {
  const Bytes file = writeGif(4, 4, {{2, 1, 6, 5, false, 0, -1}});
  ByteReader in(file);
  Bitmap out;
  ASSERT_TRUE(readGif(in, out, DecodeLimits{}).ok());
  EXPECT_EQ(out.width(), 8);
  EXPECT_EQ(out.height(), 6);
  EXPECT_EQ(out.pixelIndex(7, 5), (5 + 8) % 4);
  EXPECT_EQ(out.palette()[3], (PaletteColor{120, 110, 100, 0}));  // global table
}

TEST(GifReader, HostileAndDamagedFiles) {
  const Bytes good = writeGif(30, 20, {{0, 0, 30, 20, false, 0, -1}});
  // A screen of 65535 x 65535: refused before anything is allocated.
  Bytes bomb = good;
  bomb[6] = bomb[7] = bomb[8] = bomb[9] = 0xFF;
  Bitmap out;
  ByteReader bombIn(bomb);
  EXPECT_EQ(readGif(bombIn, out, DecodeLimits{}).error, CodecError::ceTooLarge);
  // Cut inside the frame's data: no half picture.
  for (std::size_t n = 0; n + 2 < good.size(); ++n) {
    ByteReader in(good.data(), n);
    ASSERT_FALSE(readGif(in, out, DecodeLimits{}).ok()) << "cut at " << n;
    ASSERT_TRUE(out.empty());
  }
  // No image at all.
  const Bytes empty = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'};
  ByteReader emptyIn(empty);
  EXPECT_FALSE(readGif(emptyIn, out, DecodeLimits{}).ok());
}

}  // namespace
}  // namespace vorlino
