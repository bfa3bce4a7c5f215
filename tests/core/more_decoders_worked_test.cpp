// Small files built byte by byte for the header variants and layouts that the sample corpus does
// not hold: PCX plane layouts and runs across scanlines, 16-bit RLE SGI, Lab and CMYK Photoshop
// documents, premultiplied RLA, headerless Animator pictures, turned Photo CD images, Dr. Halo
// palettes beside the picture and layered Paint Shop Pro images.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imagefile/decoders.h"
#include "test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Reader = CodecResult (*)(ByteReader&, Bitmap&, const DecodeLimits&) noexcept;

Bitmap decodeOk(Reader read, const Bytes& bytes, const std::string& name = {}) {
  ByteReader in(bytes);
  in.setFileName(name);
  Bitmap out;
  const CodecResult r = read(in, out, DecodeLimits{});
  EXPECT_TRUE(r.ok()) << r.detail;
  return out;
}

bool decodes(Reader read, const Bytes& bytes) {
  ByteReader in(bytes);
  Bitmap out;
  return read(in, out, DecodeLimits{}).ok();
}

// ---- PCX ----------------------------------------------------------------------------------------

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

TEST(MoreDecodersWorked, PcxPlanesOfTwoBitsMakeFourBitIndices) {
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

TEST(MoreDecodersWorked, PcxRunsCrossScanlinesAndUseTheTrailingPalette) {
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

TEST(MoreDecodersWorked, PcxVersionThreeUsesTheDefaultColours) {
  ByteWriter w = pcxHeader(3, 1, 4, 2, 1, 1, 2);
  w.u8(0xC1), w.u8(0xC0);  // literal 0xC0 must be coded as a run of one
  w.u8(0xC1), w.u8(0x00);
  const Bitmap b = decodeOk(readPcx, w.bytes());
  EXPECT_EQ(b.pixel(0, 0), rgb(0xFF, 0x55, 0x55));  // index 12, light red
  EXPECT_EQ(b.pixel(1, 0), rgb(0, 0, 0));
}

TEST(MoreDecodersWorked, PcxRefusesScanlinesShorterThanTheWidth) {
  ByteWriter w = pcxHeader(5, 0, 8, 10, 1, 1, 8);
  w.write(std::string(8, 'x').data(), 8);
  EXPECT_FALSE(decodes(readPcx, w.bytes()));
}

// ---- SGI ----------------------------------------------------------------------------------------

TEST(MoreDecodersWorked, SgiSixteenBitRunsWithGreyAndAlpha) {
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

// ---- PSD ----------------------------------------------------------------------------------------

ByteWriter psdHeader(int channels, int width, int height, int depth, int mode) {
  ByteWriter w;
  w.u32be(0x38425053), w.u16be(1);
  for (int i = 0; i < 6; ++i) w.u8(0);
  w.u16be(static_cast<std::uint16_t>(channels)), w.u32be(static_cast<std::uint32_t>(height));
  w.u32be(static_cast<std::uint32_t>(width)), w.u16be(static_cast<std::uint16_t>(depth));
  w.u16be(static_cast<std::uint16_t>(mode));
  w.u32be(0), w.u32be(0), w.u32be(0);  // colour data, resources, layers
  return w;
}

TEST(MoreDecodersWorked, PsdLabWhiteAndBlack) {
  ByteWriter w = psdHeader(3, 2, 1, 8, 9);
  w.u16be(0);
  const std::uint8_t planes[6] = {255, 0, 128, 128, 128, 128};  // L, a, b planes of 2 pixels
  w.write(planes, 6);
  const Bitmap b = decodeOk(readPsd, w.bytes());
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(b.row(0)[k], 255, 1);
    EXPECT_EQ(b.row(0)[3 + k], 0);
  }
}

TEST(MoreDecodersWorked, PsdPackBitsCmykWithAlpha) {
  // 2 x 1, five channels (C, M, Y, K inverted, then alpha), PackBits with a no-op code (-128).
  ByteWriter w = psdHeader(5, 2, 1, 8, 4);
  w.u16be(1);
  const std::uint8_t rows[5][4] = {
      {0xFF, 255, 0, 0}, {0x80, 0xFF, 255, 0}, {0xFF, 0, 0, 0}, {0xFF, 128, 0, 0}, {1, 40, 200, 0}};
  for (int c = 0; c < 5; ++c) w.u16be(c == 1 ? 4 : c == 4 ? 3 : 2);
  for (int c = 0; c < 5; ++c) w.write(rows[c], c == 1 ? 4 : c == 4 ? 3 : 2);
  const Bitmap b = decodeOk(readPsd, w.bytes());
  ASSERT_EQ(b.bitsPerPixel(), 32);
  EXPECT_EQ(b.pixel(0, 0), rgb(128, 128, 0));  // K half: every component halved; full yellow
  EXPECT_EQ(b.row(0)[3], 40);
  EXPECT_EQ(b.row(0)[7], 200);
}

TEST(MoreDecodersWorked, PsdClaimingMillionsOfRowsFailsOnItsLength) {
  // The header claims four million coded rows; the file ends after it. Refused as damaged from
  // the lengths alone, before any row table is made.
  const Bytes bytes = test::readFileBytes(test::testDataDir() / "psd/bad/million_rows.psd");
  ASSERT_EQ(bytes.size(), 40u);
  ByteReader in(bytes);
  Bitmap b;
  EXPECT_EQ(readPsd(in, b, DecodeLimits{}).error, CodecError::ceDamaged);
}

// ---- RLA ----------------------------------------------------------------------------------------

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

TEST(MoreDecodersWorked, RlaBottomUpPremultipliedColour) {
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

TEST(MoreDecodersWorked, RlaMatteAloneIsShownAsGrey) {
  const Bytes file = rlaFile(0, 1, {{{0xFE, 10, 20}}});
  const Bitmap b = decodeOk(readRla, file);
  ASSERT_EQ(b.bitsPerPixel(), 8);
  EXPECT_EQ(b.pixel(1, 0), rgb(20, 20, 20));
}

// ---- Animator -----------------------------------------------------------------------------------

TEST(MoreDecodersWorked, CelOldPicturesFindTheirPaletteAtEitherEnd) {
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

TEST(MoreDecodersWorked, CelWithoutPaletteShowsGreys) {
  ByteWriter w;
  w.u16le(0x9119), w.u16le(2), w.u16le(1), w.u16le(0), w.u16le(0), w.u8(8), w.u8(0), w.u32le(2);
  while (w.size() < 32) w.u8(0);
  w.u8(9), w.u8(77);
  const Bitmap b = decodeOk(readCel, w.bytes());
  EXPECT_EQ(b.pixel(1, 0), rgb(77, 77, 77));
}

// ---- Photo CD -----------------------------------------------------------------------------------

TEST(MoreDecodersWorked, PcdOrientationTurnsTheBaseImage) {
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

// ---- Dr. Halo -----------------------------------------------------------------------------------

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

// ---- Paint Shop Pro -----------------------------------------------------------------------------

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

TEST(MoreDecodersWorked, PspLayersAreCompositedOverWhite) {
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

TEST(MoreDecodersWorked, PspPaletteImageWithOneLayerKeepsItsPalette) {
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

TEST(MoreDecodersWorked, PspFullCompositeIsPreferredToTheLayers) {
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

TEST(MoreDecodersWorked, PspRefusesChannelsTooShortForTheirLayer) {
  PspLayer layer{0, 0, 2, 2, 255, true, {{1, 2, 3}, {1, 2, 3, 4}, {1, 2, 3, 4}}, {}};
  EXPECT_FALSE(decodes(readPsp, pspFile(2, 2, 24, 0, {layer})));
  EXPECT_FALSE(decodes(readPsp, pspFile(2, 2, 24, 2, {layer})));
}

}  // namespace
}  // namespace vorlino
