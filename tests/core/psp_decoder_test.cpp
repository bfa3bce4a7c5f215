// The Paint Shop Pro decoder on small files built byte by byte: layered Paint Shop Pro images, and
// the corpus picture stored three ways.
#include <gtest/gtest.h>
#include <zlib.h>

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

struct PspLayer {
  int left = 0, top = 0, width = 1, height = 1;
  int opacity = 255;
  bool visible = true;
  std::vector<std::uint8_t> planes[3];  // red, green, blue (or one plane of indices)
  std::vector<std::uint8_t> mask;       // transparency mask, when not empty
};

Bytes block(int id, const Bytes& payload) {
  ByteWriter w;
  w.u32be(0x7E424B00), w.u16le(static_cast<std::uint16_t>(id)),
      w.u32le(static_cast<std::uint32_t>(payload.size()));
  w.write(payload.data(), payload.size());
  return w.bytes();
}

Bytes compressPsp(const Bytes& raw, int compression) {
  if (compression == 2) {
    uLongf size = compressBound(raw.size());
    Bytes out(size);
    compress(out.data(), &size, raw.data(), raw.size());
    out.resize(size);
    return out;
  }
  if (compression == 0) return raw;
  Bytes out;  // runs where values repeat, literals otherwise
  for (std::size_t i = 0; i < raw.size();) {
    std::size_t n = 1;
    while (i + n < raw.size() && raw[i + n] == raw[i] && n < 127) ++n;
    if (n > 1) {
      out.push_back(static_cast<std::uint8_t>(128 + n)), out.push_back(raw[i]);
    } else {
      out.push_back(1), out.push_back(raw[i]);
    }
    i += n;
  }
  return out;
}

Bytes channelBlock(const Bytes& raw, int compression, int bitmapType, int channelType) {
  const Bytes data = compressPsp(raw, compression);
  ByteWriter w;
  w.u32le(16), w.u32le(static_cast<std::uint32_t>(data.size())),
      w.u32le(static_cast<std::uint32_t>(raw.size()));
  w.u16le(static_cast<std::uint16_t>(bitmapType)), w.u16le(static_cast<std::uint16_t>(channelType));
  w.write(data.data(), data.size());
  return block(5, w.bytes());
}

Bytes pspFile(int width, int height, int bitDepth, int compression,
              const std::vector<PspLayer>& layers, const Bytes& extraBlocks = {}) {
  ByteWriter w;
  w.write("Paint Shop Pro Image File\n\x1a\0\0\0\0\0", 32);
  w.u16le(5), w.u16le(0);
  ByteWriter attr;
  attr.u32le(46), attr.u32le(static_cast<std::uint32_t>(width)),
      attr.u32le(static_cast<std::uint32_t>(height));
  for (int i = 0; i < 9; ++i) attr.u8(0);
  attr.u16le(static_cast<std::uint16_t>(compression)),
      attr.u16le(static_cast<std::uint16_t>(bitDepth));
  while (attr.size() < 46) attr.u8(0);
  const Bytes attrBlock = block(0, attr.bytes());
  w.write(attrBlock.data(), attrBlock.size());
  if (bitDepth == 8) {
    ByteWriter pal;
    pal.u32le(8), pal.u32le(256);
    for (int i = 0; i < 256; ++i)
      pal.u8(static_cast<std::uint8_t>(255 - i)), pal.u8(0), pal.u8(static_cast<std::uint8_t>(i)),
          pal.u8(0);
    const Bytes palBlock = block(2, pal.bytes());
    w.write(palBlock.data(), palBlock.size());
  }
  w.write(extraBlocks.data(), extraBlocks.size());
  Bytes bank;
  for (const PspLayer& l : layers) {
    ByteWriter info;
    info.u32le(52), info.u16le(0), info.u8(1);
    for (int v : {l.left, l.top, l.left + l.width, l.top + l.height, 0, 0, l.width, l.height})
      info.u32le(static_cast<std::uint32_t>(v));
    info.u8(static_cast<std::uint8_t>(l.opacity)), info.u8(0), info.u8(l.visible ? 1 : 0);
    while (info.size() < 52) info.u8(0);
    info.u32le(8), info.u16le(1), info.u16le(static_cast<std::uint16_t>(bitDepth == 8 ? 1 : 3));
    for (int c = 0; c < (bitDepth == 8 ? 1 : 3); ++c) {
      const Bytes ch = channelBlock(l.planes[c], compression, 0, bitDepth == 8 ? 0 : c + 1);
      info.write(ch.data(), ch.size());
    }
    if (!l.mask.empty()) {
      const Bytes ch = channelBlock(l.mask, compression, 1, 0);
      info.write(ch.data(), ch.size());
    }
    const Bytes layer = block(4, info.bytes());
    bank.insert(bank.end(), layer.begin(), layer.end());
  }
  const Bytes bankBlock = block(3, bank);
  w.write(bankBlock.data(), bankBlock.size());
  return w.bytes();
}

TEST(PspDecoder, PspCompressionsOfOneCorpusPictureAgree) {
  // No reference decoder exists for these; the three files hold the same picture stored three ways.
  VORLINO_REQUIRE_CORPUS();
  const fs::path corpus = test::corpusDir();
  Bitmap plain, rle, lz77, tiny;
  ASSERT_TRUE(
      decodeBytes(readPsp, test::readFileBytes(corpus / "psp/PSP_Uncompressed.psp"), plain).ok());
  ASSERT_TRUE(decodeBytes(readPsp, test::readFileBytes(corpus / "psp/PSP_RLE.psp"), rle).ok());
  ASSERT_TRUE(decodeBytes(readPsp, test::readFileBytes(corpus / "psp/PSP_LZ77.psp"), lz77).ok());
  EXPECT_EQ(plain.width(), 200);
  EXPECT_EQ(plain.height(), 286);
  EXPECT_EQ(test::maxChannelDifference(plain, rle), 0);
  EXPECT_EQ(test::maxChannelDifference(plain, lz77), 0);
  // Not a flat picture: the channels really were read (the title is red, the sky blue).
  EXPECT_NE(plain.pixel(0, 0), plain.pixel(100, 250));
  // The version 10 file: an 8 x 8 white layer behind extension blocks, a JPEG thumbnail only.
  ASSERT_TRUE(decodeBytes(readPsp, test::readFileBytes(corpus / "psp/PSP.psp"), tiny).ok());
  EXPECT_EQ(tiny.width(), 8);
  EXPECT_EQ(tiny.pixel(3, 3), rgb(255, 255, 255));
}

TEST(PspDecoder, PspLayersAreCompositedOverWhite) {
  // Canvas 3 x 2. Bottom: a red 2 x 1 layer at (0, 0). Top: a 2 x 2 blue layer at (1, 0) at half
  // opacity, its mask clear on the right column. A hidden green layer covers everything.
  PspLayer red{0, 0, 2, 1, 255, true, {{200, 200}, {0, 0}, {0, 0}}, {}};
  PspLayer blue{
      1, 0, 2, 2, 128, true, {{0, 0, 0, 0}, {0, 0, 0, 0}, {255, 255, 255, 255}}, {255, 0, 255, 0}};
  PspLayer hidden{0, 0, 3, 2, 255, false, {Bytes(6, 0), Bytes(6, 255), Bytes(6, 0)}, {}};
  for (int compression : {0, 1, 2}) {
    SCOPED_TRACE(compression);
    const Bitmap b = decodeOk(readPsp, pspFile(3, 2, 24, compression, {red, blue, hidden}));
    ASSERT_EQ(b.bitsPerPixel(), 24);
    EXPECT_EQ(b.pixel(0, 0), rgb(200, 0, 0));
    EXPECT_EQ(b.pixel(1, 0), rgb(200 - 200 * 128 / 255, 0, 128));  // blue at 128/255 over red
    EXPECT_EQ(b.pixel(2, 0), rgb(255, 255, 255));                  // masked out: white shows
    EXPECT_EQ(b.pixel(1, 1), rgb(255 - 255 * 128 / 255, 255 - 255 * 128 / 255, 255));
    EXPECT_EQ(b.pixel(0, 1), rgb(255, 255, 255));
  }
}

TEST(PspDecoder, PspPaletteImageWithOneLayerKeepsItsPalette) {
  PspLayer layer{0, 0, 3, 1, 255, true, {{0, 7, 255}, {}, {}}, {}};
  const Bitmap b = decodeOk(readPsp, pspFile(3, 1, 8, 1, {layer}));
  ASSERT_EQ(b.bitsPerPixel(), 8);
  EXPECT_EQ(b.pixelIndex(1, 0), 7);
  EXPECT_EQ(b.pixel(1, 0), rgb(7, 0, 248));
  // With a second layer the picture is composited in 24 bits through the palette.
  PspLayer top{2, 0, 1, 1, 255, true, {{1}, {}, {}}, {}};
  const Bitmap c = decodeOk(readPsp, pspFile(3, 1, 8, 1, {layer, top}));
  ASSERT_EQ(c.bitsPerPixel(), 24);
  EXPECT_EQ(c.pixel(2, 0), rgb(1, 0, 254));
}

TEST(PspDecoder, PspFullCompositeIsPreferredToTheLayers) {
  ByteWriter attributes;
  attributes.u32le(24), attributes.u32le(2), attributes.u32le(1), attributes.u16le(24),
      attributes.u16le(0);
  attributes.u16le(1), attributes.u32le(0), attributes.u16le(0);  // kind 0: the full composite
  ByteWriter image;
  image.u32le(8), image.u16le(1), image.u16le(3);
  for (int c = 1; c <= 3; ++c) {
    const Bytes ch = channelBlock({static_cast<std::uint8_t>(10 * c), 0}, 0, 0, c);
    image.write(ch.data(), ch.size());
  }
  ByteWriter bank;
  bank.u32le(8), bank.u32le(1);
  for (const Bytes& sub : {block(17, attributes.bytes()), block(9, image.bytes())})
    bank.write(sub.data(), sub.size());
  PspLayer layer{0, 0, 2, 1, 255, true, {{1, 1}, {1, 1}, {1, 1}}, {}};
  const Bitmap b = decodeOk(readPsp, pspFile(2, 1, 24, 2, {layer}, block(16, bank.bytes())));
  EXPECT_EQ(b.pixel(0, 0), rgb(10, 20, 30));
  EXPECT_EQ(b.pixel(1, 0), rgb(0, 0, 0));
}

TEST(PspDecoder, PspRefusesChannelsTooShortForTheirLayer) {
  PspLayer layer{0, 0, 2, 2, 255, true, {{1, 2, 3}, {1, 2, 3, 4}, {1, 2, 3, 4}}, {}};
  EXPECT_FALSE(decodes(readPsp, pspFile(2, 2, 24, 0, {layer})));
  EXPECT_FALSE(decodes(readPsp, pspFile(2, 2, 24, 2, {layer})));
}

}  // namespace
}  // namespace vorlino
