#include "imagefile/gif_writer.h"

#include <gtest/gtest.h>

#include <set>

#include "test_images.h"
#include "writer_test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct ParsedGif {
  std::string signature;
  int width = 0, height = 0;
  std::vector<Color> table;
  int transparentIndex = -1;  // from a graphic control extension
  Bytes indices;
};

// A plain GIF reader written from the format's description: screen, global table, extensions,
// one image, LZW decoding with the usual deferred-entry rule.
ParsedGif parse(const Bytes& f) {
  ParsedGif g;
  g.signature.assign(f.begin(), f.begin() + 6);
  g.width = static_cast<int>(test::le16(f, 6));
  g.height = static_cast<int>(test::le16(f, 8));
  const int flags = f.at(10);
  EXPECT_TRUE(flags & 0x80);
  EXPECT_EQ(f.at(11), 0);  // background
  EXPECT_EQ(f.at(12), 0);  // aspect
  const std::size_t entries = std::size_t{2} << (flags & 7);
  std::size_t at = 13;
  for (std::size_t i = 0; i < entries; ++i, at += 3)
    g.table.push_back(rgb(f.at(at), f.at(at + 1), f.at(at + 2)));
  while (f.at(at) == 0x21) {
    EXPECT_EQ(f.at(at + 1), 0xF9);
    EXPECT_EQ(f.at(at + 2), 4);
    EXPECT_EQ(f.at(at + 3), 1);            // transparency flag only: disposal 0
    EXPECT_EQ(test::le16(f, at + 4), 0u);  // delay
    g.transparentIndex = f.at(at + 6);
    at += 8;
  }
  EXPECT_EQ(f.at(at), 0x2C);
  EXPECT_EQ(test::le32(f, at + 1), 0u);  // position 0, 0
  EXPECT_EQ(test::le16(f, at + 5), static_cast<unsigned>(g.width));
  EXPECT_EQ(test::le16(f, at + 7), static_cast<unsigned>(g.height));
  EXPECT_EQ(f.at(at + 9), 0);  // no local table, not interlaced
  const int minSize = f.at(at + 10);
  at += 11;
  Bytes data;
  while (f.at(at) != 0) {
    data.insert(data.end(), f.begin() + at + 1, f.begin() + at + 1 + f[at]);
    at += 1 + f[at];
  }
  EXPECT_EQ(f.at(at + 1), 0x3B);
  EXPECT_EQ(at + 2, f.size());

  const int clear = 1 << minSize, end = clear + 1;
  std::vector<Bytes> dict;
  auto resetDict = [&] {
    dict.assign(static_cast<std::size_t>(clear + 2), {});
    for (int i = 0; i < clear; ++i)
      dict[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i)};
  };
  resetDict();
  int size = minSize + 1;
  std::size_t bitPos = 0;
  int previous = -1;
  bool ended = false;
  while (bitPos + static_cast<std::size_t>(size) <= data.size() * 8) {
    int code = 0;
    for (int k = 0; k < size; ++k, ++bitPos) code |= ((data[bitPos / 8] >> (bitPos % 8)) & 1) << k;
    if (code == clear) {
      resetDict();
      size = minSize + 1;
      previous = -1;
      continue;
    }
    if (code == end) {
      ended = true;
      break;
    }
    Bytes entry;
    if (code < static_cast<int>(dict.size())) {
      entry = dict[static_cast<std::size_t>(code)];
    } else {
      EXPECT_EQ(code, static_cast<int>(dict.size()));
      EXPECT_GE(previous, 0);
      if (previous < 0) return g;
      entry = dict[static_cast<std::size_t>(previous)];
      entry.push_back(entry[0]);
    }
    if (previous >= 0 && dict.size() < 4096) {
      Bytes added = dict[static_cast<std::size_t>(previous)];
      added.push_back(entry[0]);
      dict.push_back(added);
      if (dict.size() == (std::size_t{1} << size) && size < 12) ++size;
    }
    g.indices.insert(g.indices.end(), entry.begin(), entry.end());
    previous = code;
  }
  EXPECT_TRUE(ended) << "no end-of-information code";
  return g;
}

Bytes encode(const Bitmap& b) {
  ByteWriter out;
  EXPECT_TRUE(WriteGif(b, out).ok());
  return out.bytes();
}

Bytes indicesOf(const Bitmap& b) {
  Bytes all;
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x)
      all.push_back(static_cast<std::uint8_t>(b.pixelIndex(x, y)));
  return all;
}

TEST(WriteGifTest, LzwStreamDecodesToTheIndicesForEveryLengthAndDepth) {
  // Lengths cross every code-width boundary; random data fills the table and forces clear codes.
  std::mt19937 rng(5);
  for (int bpp : {1, 4, 8})
    for (int n = 1; n <= 700; n += (n < 300 ? 1 : 37)) {
      Bitmap b(n, 1, bpp);
      const int levels = (n % 3 == 0) ? 2 : (1 << bpp);  // some runs, some noise
      for (int x = 0; x < n; ++x)
        b.setPixel(x, 0, static_cast<Color>(rng() % static_cast<unsigned>(levels)));
      const ParsedGif g = parse(encode(b));
      ASSERT_EQ(g.indices, indicesOf(b)) << "bpp " << bpp << " n " << n;
      ASSERT_EQ(g.table.size(), std::size_t{1} << bpp);
    }
  const Bitmap big = test::randomBitmap(400, 300, 8, 8);
  EXPECT_EQ(parse(encode(big)).indices, indicesOf(big));
}

TEST(WriteGifTest, PaletteBitmapKeepsItsTableAndIndices) {
  const Bitmap b = test::randomBitmap(37, 11, 2, 4);
  const ParsedGif g = parse(encode(b));
  EXPECT_EQ(g.signature, "GIF87a");
  EXPECT_EQ(g.width, 37);
  EXPECT_EQ(g.height, 11);
  ASSERT_EQ(g.table.size(), 16u);
  for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(g.table[i], toColor(b.palette()[i]));
  EXPECT_EQ(g.indices, indicesOf(b));
}

TEST(WriteGifTest, TransparentBitmapGetsGraphicControlAndGif89a) {
  Bitmap b = test::randomBitmap(20, 10, 3, 8);
  b.palette()[9] = toPaletteColor(kTransparentKey);
  b.palette()[40] = toPaletteColor(kTransparentKey);
  b.Transparent = true;
  b.TransparentColor = kTransparentKey;
  ParsedGif g = parse(encode(b));
  EXPECT_EQ(g.signature, "GIF89a");
  EXPECT_EQ(g.transparentIndex, 9);
  b.TransparentColor = rgb(1, 2, 3);  // not in the table: no transparency
  for (auto& c : b.palette())
    if (toColor(c) == b.TransparentColor) c = {};
  g = parse(encode(b));
  EXPECT_EQ(g.signature, "GIF87a");
  EXPECT_EQ(g.transparentIndex, -1);
}

TEST(WriteGifTest, FrequencyPaletteOrdersByCountThenFirstAppearance) {
  const Color c1 = rgb(10, 20, 30), c2 = rgb(40, 50, 60), c3 = rgb(70, 80, 90);
  Bitmap b(3, 2, 24);
  b.setPixel(0, 0, c3);  // once, first seen
  b.setPixel(1, 0, c2);  // once
  b.setPixel(2, 0, c1);
  b.setPixel(0, 1, c1);
  b.setPixel(1, 1, c1);
  b.setPixel(2, 1, c2);
  const Bitmap p = frequencyPalette(b);
  ASSERT_EQ(p.bitsPerPixel(), 8);
  ASSERT_EQ(p.palette().size(), 256u);
  EXPECT_EQ(toColor(p.palette()[0]), c1);  // three pixels
  EXPECT_EQ(toColor(p.palette()[1]), c2);  // two
  EXPECT_EQ(toColor(p.palette()[2]), c3);  // one
  for (std::size_t i = 3; i < 256; ++i) EXPECT_EQ(toColor(p.palette()[i]), rgb(128, 128, 128));
  EXPECT_EQ(p.pixelIndex(0, 0), 2);
  EXPECT_EQ(p.pixelIndex(2, 1), 1);

  // Equal counts keep the order of first appearance, top row first.
  Bitmap tie(2, 2, 24);
  tie.setPixel(0, 0, c2);
  tie.setPixel(1, 0, c3);
  tie.setPixel(0, 1, c1);
  tie.setPixel(1, 1, c3);  // c3 twice; c2 and c1 once, c2 first
  const Bitmap t = frequencyPalette(tie);
  EXPECT_EQ(toColor(t.palette()[0]), c3);
  EXPECT_EQ(toColor(t.palette()[1]), c2);
  EXPECT_EQ(toColor(t.palette()[2]), c1);
}

TEST(WriteGifTest, ColourOutsideTheTableTakesTheNearestEntry) {
  // 256 greys twice each fill the table; one extra colour maps to its nearest grey.
  Bitmap b(257, 2, 24);
  for (int v = 0; v < 256; ++v) {
    const auto g = static_cast<std::uint8_t>(v);
    b.setPixel(v, 0, rgb(g, g, g));
    b.setPixel(v, 1, rgb(g, g, g));
  }
  b.setPixel(256, 0, rgb(10, 10, 13));
  b.setPixel(256, 1, rgb(0, 0, 0));
  const Bitmap p = frequencyPalette(b);
  EXPECT_EQ(toColor(p.palette()[p.pixelIndex(256, 0)]), rgb(11, 11, 11));
}

// 2050 distinct colours (red 0..255, green 0..8 when `wide`, one fewer when not), blue 1.
Bitmap manyColours(int count) {
  Bitmap b(count, 1, 24);
  for (int i = 0; i < count; ++i)
    b.setPixel(i, 0,
               rgb(static_cast<std::uint8_t>(i % 256), static_cast<std::uint8_t>(i / 256), 1));
  return b;
}

TEST(WriteGifTest, MoreThan2049ColoursCoarsenBlueThenRedThenGreen) {
  // 2049 colours are counted as they are: blue keeps its low bit, odd reds stay.
  Bitmap p = frequencyPalette(manyColours(2049));
  std::set<int> blues, reds;
  for (const auto& c : p.palette()) blues.insert(c.blue), reds.insert(c.red % 2);
  EXPECT_TRUE(blues.count(1));
  EXPECT_TRUE(reds.count(1));

  // One more colour: blue is coarsened (still 2050 colours), then red (1025 colours).
  p = frequencyPalette(manyColours(2050));
  for (std::size_t i = 0; i < 256; ++i) {
    EXPECT_EQ(p.palette()[i].blue, 0) << i;
    EXPECT_EQ(p.palette()[i].red % 2, 0) << i;
  }

  // Reds already even and blues 0: blue and red do not help, green goes third.
  Bitmap g(2050, 1, 24);
  for (int i = 0; i < 2050; ++i)
    g.setPixel(
        i, 0,
        rgb(static_cast<std::uint8_t>((i / 256) * 16), static_cast<std::uint8_t>(i % 256), 0));
  p = frequencyPalette(g);
  for (std::size_t i = 0; i < 256; ++i) EXPECT_EQ(p.palette()[i].green % 2, 0) << i;
}

TEST(WriteGifTest, TrueColourPictureWithFewColoursKeepsThemExactly) {
  VORLINO_REQUIRE_PILLOW();
  test::ScratchFolder folder;
  for (auto [w, h] : {std::pair{113, 157}, {1, 41}, {43, 1}}) {
    Bitmap b(w, h, 24);
    std::mt19937 rng(static_cast<std::uint32_t>(w));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned k = rng() % 256;  // at most 256 distinct colours
        b.setPixel(x, y,
                   rgb(static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k * 7),
                       static_cast<std::uint8_t>(k * 13 + 1)));
      }
    ByteWriter out;
    ASSERT_TRUE(WriteGif(b, out).ok());
    auto decoded = test::decodeBytes(folder, "g.gif", out);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->rgb, test::expectedRgb(b)) << w << "x" << h;
  }
}

TEST(WriteGifTest, IndependentReadersDecodeLongLzwStreams) {
  VORLINO_REQUIRE_PILLOW();
  test::ScratchFolder folder;
  const Bitmap b = test::randomBitmap(613, 509, 17, 8);
  ByteWriter out;
  ASSERT_TRUE(WriteGif(b, out).ok());
  auto decoded = test::decodeBytes(folder, "n.gif", out);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->rgb, test::expectedRgb(b));
  if (!test::imageMagickAvailable()) GTEST_SKIP() << "second reader missing: /usr/bin/convert";
  auto magick = test::readWithImageMagick(folder.file("n.gif"));
  ASSERT_TRUE(magick);
  EXPECT_EQ(*magick, test::expectedRgb(b));
}

TEST(WriteGifTest, SidesAbove65535AndEmptyBitmapsAreRefused) {
  ByteWriter out;
  EXPECT_EQ(WriteGif(Bitmap(65536, 1, 8), out).error, CodecError::ceTooLarge);
  EXPECT_FALSE(WriteGif(Bitmap(), out).ok());
  EXPECT_EQ(out.size(), 0u);
}

}  // namespace
}  // namespace vorlino
