#include "imagefile/png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "compose/resample.h"
#include "imagefile/load_image.h"
#include "test_images.h"
#include "test_support.h"
#include "writer_test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Chunk {
  std::string type;
  Bytes data;
};

// Splits a PNG file into its chunks, checking the signature and every CRC.
std::vector<Chunk> chunks(const Bytes& f) {
  std::vector<Chunk> all;
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 8), (Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10}));
  for (std::size_t at = 8; at < f.size();) {
    const std::uint32_t size = test::be32(f, at);
    Chunk c{std::string(f.begin() + at + 4, f.begin() + at + 8),
            Bytes(f.begin() + at + 8, f.begin() + at + 8 + size)};
    const uLong crc = crc32(0, f.data() + at + 4, size + 4);
    EXPECT_EQ(test::be32(f, at + 8 + size), crc) << c.type;
    all.push_back(std::move(c));
    at += 12 + size;
  }
  return all;
}

std::vector<std::string> types(const std::vector<Chunk>& cs) {
  std::vector<std::string> t;
  for (const Chunk& c : cs) t.push_back(c.type);
  return t;
}

Bytes inflateAll(const Bytes& z) {
  Bytes out(1 << 16);
  z_stream s{};
  EXPECT_EQ(inflateInit(&s), Z_OK);
  s.next_in = const_cast<Bytef*>(z.data());
  s.avail_in = static_cast<uInt>(z.size());
  std::size_t have = 0;
  int status = Z_OK;
  while (status == Z_OK) {
    if (have == out.size()) out.resize(out.size() * 2);
    s.next_out = out.data() + have;
    s.avail_out = static_cast<uInt>(out.size() - have);
    status = inflate(&s, Z_NO_FLUSH);
    have = out.size() - s.avail_out;
  }
  EXPECT_EQ(status, Z_STREAM_END);
  inflateEnd(&s);
  out.resize(have);
  return out;
}

Bytes encode(const Bitmap& b) {
  ByteWriter out;
  EXPECT_TRUE(WritePng(b, out).ok());
  return out.bytes();
}

TEST(WritePngTest, TrueColourChunksHeaderAndSubFilteredRows) {
  const Bitmap b = test::randomBitmap(113, 157, 1);
  const auto cs = chunks(encode(b));
  EXPECT_EQ(types(cs), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  const Bytes& ihdr = cs[0].data;
  EXPECT_EQ(test::be32(ihdr, 0), 113u);
  EXPECT_EQ(test::be32(ihdr, 4), 157u);
  EXPECT_EQ(Bytes(ihdr.begin() + 8, ihdr.end()), (Bytes{8, 2, 0, 0, 0}));
  // Undo the Sub filter by hand: every row has filter byte 1 and gives back the pixels.
  const Bytes raw = inflateAll(cs[1].data);
  ASSERT_EQ(raw.size(), 157u * (1 + 3 * 113));
  for (int y = 0; y < 157; ++y) {
    const std::uint8_t* r = raw.data() + y * (1 + 3 * 113);
    ASSERT_EQ(r[0], 1);
    std::uint8_t prev[3] = {0, 0, 0};
    for (int x = 0; x < 113; ++x) {
      std::uint8_t px[3];
      for (int k = 0; k < 3; ++k)
        px[k] = prev[k] = static_cast<std::uint8_t>(r[1 + 3 * x + k] + prev[k]);
      ASSERT_EQ(rgb(px[0], px[1], px[2]), b.pixel(x, y)) << x << "," << y;
    }
  }
}

TEST(WritePngTest, IdatChunksHoldExactly65535BytesButTheLast) {
  const auto cs = chunks(encode(test::randomBitmap(300, 300, 2)));
  Bytes stream;
  std::size_t idats = 0;
  for (std::size_t i = 0; i < cs.size(); ++i)
    if (cs[i].type == "IDAT") {
      ++idats;
      stream.insert(stream.end(), cs[i].data.begin(), cs[i].data.end());
      if (cs[i + 1].type == "IDAT") {
        EXPECT_EQ(cs[i].data.size(), 65535u);
      }
    }
  EXPECT_GE(idats, 4u);  // noise does not compress: 270 kB of data
  EXPECT_EQ(cs.back().type, "IEND");
  EXPECT_EQ(inflateAll(stream).size(), 300u * 901);
  // One zlib stream: deflate with a 32 KiB window and a valid header check (the level field of the
  // header is only a hint, whose value the compressor chooses).
  EXPECT_EQ(stream[0], 0x78);
  EXPECT_EQ((stream[0] * 256 + stream[1]) % 31, 0);
}

// The stream is compressed in pieces on every core; on a photograph that must cost nothing
// against zlib at the same level over the same filtered rows.
TEST(WritePngTest, PhotoStreamIsNoLargerThanZlibsAtTheSameLevel) {
  Bitmap photo;
  const auto sample = test::testDataDir() / ".." / ".." / "samples" / "coffee.png";
  ASSERT_TRUE(decodeImageFile(sample.string(), photo).ok()) << sample;
  Bitmap big;  // 8 MB of rows: more than one piece
  ResampleBitmap(2000, 1333, rkLanczos3, 0, photo, big);
  Bytes stream;
  for (const Chunk& c : chunks(encode(big)))
    if (c.type == "IDAT") stream.insert(stream.end(), c.data.begin(), c.data.end());
  const Bytes rows = inflateAll(stream);
  ASSERT_EQ(rows.size(), 1333u * (1 + 3 * 2000));
  uLongf zlibSize = compressBound(static_cast<uLong>(rows.size()));
  Bytes z(zlibSize);
  ASSERT_EQ(compress2(z.data(), &zlibSize, rows.data(), static_cast<uLong>(rows.size()), 7), Z_OK);
  EXPECT_LE(stream.size(), zlibSize);
}

TEST(WritePngTest, TransparentPaletteResultMakesExactlyOneEntryTransparent) {
  Bitmap b = test::randomBitmap(31, 7, 3, 8);
  b.palette()[200] = toPaletteColor(kTransparentKey);
  b.palette()[255] = toPaletteColor(kTransparentKey);  // a later copy stays opaque
  b.Transparent = true;
  b.TransparentColor = kTransparentKey;
  const auto cs = chunks(encode(b));
  EXPECT_EQ(types(cs), (std::vector<std::string>{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}));
  EXPECT_EQ(cs[1].data.size(), 768u);
  Bytes alpha(201, 255);
  alpha[200] = 0;
  EXPECT_EQ(cs[2].data, alpha);
  EXPECT_EQ(Bytes(cs[0].data.begin() + 8, cs[0].data.end()), (Bytes{8, 3, 0, 0, 0}));

  b.Transparent = false;
  EXPECT_EQ(types(chunks(encode(b))), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
  b.Transparent = true;
  b.TransparentColor = rgb(1, 1, 1);  // not in the palette
  b.palette()[0] = b.palette()[1];
  EXPECT_EQ(types(chunks(encode(b))), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
}

TEST(WritePngTest, IndependentReaderSeesTheSamePixelsAndTransparency) {
  VORLINO_REQUIRE_PILLOW();
  test::ScratchFolder folder;
  for (auto [w, h] : {std::pair{113, 157}, {1, 29}, {23, 1}})
    for (int bpp : {24, 8, 4, 1, 32}) {
      const Bitmap b = test::randomBitmap(w, h, 21, bpp);
      ByteWriter out;
      ASSERT_TRUE(WritePng(b, out).ok());
      auto decoded = test::decodeBytes(folder, "p.png", out);
      ASSERT_TRUE(decoded);
      EXPECT_EQ(decoded->mode, bpp <= 8 ? "P" : bpp == 32 ? "RGBA" : "RGB");
      EXPECT_EQ(decoded->rgb, test::expectedRgb(b)) << w << "x" << h << " " << bpp;
    }
  Bitmap t = test::randomBitmap(40, 30, 5, 8);
  t.palette()[3] = toPaletteColor(kTransparentKey);
  t.Transparent = true;
  t.TransparentColor = kTransparentKey;
  ByteWriter out;
  ASSERT_TRUE(WritePng(t, out).ok());
  auto decoded = test::decodeBytes(folder, "t.png", out);
  ASSERT_TRUE(decoded);
  // Pillow reports a tRNS with a single transparent entry as that entry's index.
  EXPECT_EQ(decoded->transparency, "3");
}

TEST(WritePngTest, EmptyBitmapAndBadLevelFail) {
  ByteWriter out;
  EXPECT_FALSE(WritePng(Bitmap(), out).ok());
  EXPECT_FALSE(WritePng(Bitmap(2, 2, 24), out, PngOptions{10}).ok());
}

}  // namespace
}  // namespace vorlino
