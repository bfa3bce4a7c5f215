// The icon decoder: choice of the image, AND mask, alpha, PNG images and damage.
#include <gtest/gtest.h>

#include <vector>

#include "imagefile/decoder_kind.h"
#include "imagefile/decoders.h"

namespace vorlino {
namespace {

// A DIB icon image of w x h at 8 or 32 bits: every pixel has colour index/value `colour`, except
// (0, 0) which has `corner`; the AND mask marks pixel (w-1, 0) (top right) transparent.
std::vector<std::uint8_t> dibImage(int w, int h, int bpp, std::uint8_t colour, std::uint8_t corner,
                                   bool withMask = true) {
  ByteWriter o;
  o.u32le(40);
  o.u32le(static_cast<std::uint32_t>(w));
  o.u32le(static_cast<std::uint32_t>(2 * h));
  o.u16le(1);
  o.u16le(static_cast<std::uint16_t>(bpp));
  for (int i = 0; i < 6; ++i) o.u32le(0);
  if (bpp == 8)
    for (int i = 0; i < 256; ++i) o.u32le(static_cast<std::uint32_t>(i * 0x010101));  // greys
  const int bytes = bpp / 8;
  const int stride = (w * bytes + 3) / 4 * 4;
  for (int y = h - 1; y >= 0; --y) {  // bottom-up
    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride), 0);
    for (int x = 0; x < w; ++x) {
      const std::uint8_t v = (x == 0 && y == 0) ? corner : colour;
      if (bpp == 8) {
        row[static_cast<std::size_t>(x)] = v;
      } else {
        row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = v;
        row[4 * x + 3] = (x == 1 && y == 0) ? 0 : 255;  // alpha: pixel (1, 0) transparent
      }
    }
    o.write(row.data(), row.size());
  }
  if (withMask) {
    const int maskStride = (w + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
      std::vector<std::uint8_t> row(static_cast<std::size_t>(maskStride), 0);
      if (y == 0) row[static_cast<std::size_t>((w - 1) / 8)] |= 0x80 >> ((w - 1) % 8);
      o.write(row.data(), row.size());
    }
  }
  return o.bytes();
}

std::vector<std::uint8_t> icoFile(const std::vector<std::vector<std::uint8_t>>& images) {
  ByteWriter o;
  o.u16le(0);
  o.u16le(1);
  o.u16le(static_cast<std::uint16_t>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const auto& img : images) {
    for (int i = 0; i < 8; ++i) o.u8(0);  // sizes and depth left zero: the decoder must not care
    o.u32le(static_cast<std::uint32_t>(img.size()));
    o.u32le(offset);
    offset += static_cast<std::uint32_t>(img.size());
  }
  for (const auto& img : images) o.write(img.data(), img.size());
  return o.bytes();
}

CodecResult decode(const std::vector<std::uint8_t>& bytes, Bitmap& out) {
  ByteReader in(bytes);
  return readIco(in, out, DecodeLimits{});
}

TEST(IcoDecoderTest, AndMaskMakesPixelsTransparent) {
  Bitmap b;
  ASSERT_TRUE(decode(icoFile({dibImage(3, 2, 8, 100, 7)}), b).ok());
  ASSERT_EQ(b.bitsPerPixel(), 32);
  ASSERT_EQ(b.width(), 3);
  ASSERT_EQ(b.height(), 2);
  EXPECT_EQ(b.pixel(0, 0), rgb(7, 7, 7));
  EXPECT_EQ(b.row(0)[3], 255);
  EXPECT_EQ(b.row(0)[4 * 2 + 3], 0);  // masked
  EXPECT_EQ(b.row(1)[4 * 2 + 3], 255);
  EXPECT_EQ(b.pixel(2, 1), rgb(100, 100, 100));
}

TEST(IcoDecoderTest, AlphaOfThirtyTwoBitImagesWinsOverTheMask) {
  Bitmap b;
  ASSERT_TRUE(decode(icoFile({dibImage(3, 2, 32, 50, 60)}), b).ok());
  EXPECT_EQ(b.row(0)[4 * 1 + 3], 0);    // alpha 0
  EXPECT_EQ(b.row(0)[4 * 2 + 3], 255);  // masked, but alpha says opaque
  // Without any alpha (all zero), the mask decides; it may then not be left out.
  auto noAlpha = dibImage(3, 2, 32, 50, 60);
  for (std::size_t i = 40 + 3; i < 40 + 2 * 12; i += 4) noAlpha[i] = 0;
  ASSERT_TRUE(decode(icoFile({noAlpha}), b).ok());
  EXPECT_EQ(b.row(0)[4 * 1 + 3], 255);
  EXPECT_EQ(b.row(0)[4 * 2 + 3], 0);
  noAlpha.resize(40 + 2 * 12);
  EXPECT_FALSE(decode(icoFile({noAlpha}), b).ok());
  // With alpha the mask may be missing.
  ASSERT_TRUE(decode(icoFile({dibImage(3, 2, 32, 50, 60, false)}), b).ok());
}

TEST(IcoDecoderTest, LargestThenDeepestImageIsRead) {
  Bitmap b;
  ASSERT_TRUE(
      decode(icoFile({dibImage(2, 2, 8, 1, 1), dibImage(4, 4, 8, 2, 2), dibImage(3, 3, 32, 3, 3)}),
             b)
          .ok());
  EXPECT_EQ(b.width(), 4);
  EXPECT_EQ(b.pixel(1, 1), rgb(2, 2, 2));
  ASSERT_TRUE(decode(icoFile({dibImage(4, 4, 8, 1, 1), dibImage(4, 4, 32, 2, 2)}), b).ok());
  EXPECT_EQ(b.pixel(1, 1), rgb(2, 2, 2));
}

TEST(IcoDecoderTest, PngImagesGoToThePngDecoder) {
  // A PNG image entry: the signature and a header claiming 64 x 64 RGBA, then nothing.
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,  0, 0,
                                   13,   'I', 'H', 'D', 'R',  0,    0,    0,    64, 0, 0,
                                   0,    64,  8,   6,   0,    0,    0,    0,    0,  0, 0};
  Bitmap b;
  const auto r = decode(icoFile({dibImage(2, 2, 8, 1, 1), png}), b);
  EXPECT_FALSE(r.ok());  // it is chosen (largest), and it is damaged or not decodable here
  if (!decoderAvailable(DecoderKind::dkPng)) {
    EXPECT_EQ(r.error, CodecError::ceUnsupported);
  }
  EXPECT_TRUE(b.empty());
}

TEST(IcoDecoderTest, DamagedIconsFail) {
  Bitmap b;
  const auto good = icoFile({dibImage(3, 2, 8, 100, 7)});
  ASSERT_TRUE(decode(good, b).ok());
  Bitmap target;
  for (std::size_t cut : {good.size() - 1, std::size_t{6 + 16 + 40 + 100}, std::size_t{10}})
    EXPECT_FALSE(
        decode(std::vector<std::uint8_t>(good.begin(), good.begin() + long(cut)), target).ok())
        << cut;
  auto bad = good;
  bad[2] = 3;  // neither icon nor cursor
  EXPECT_EQ(decode(bad, target).error, CodecError::ceSignature);
  bad = good;
  bad[20] = 0xF0;  // image offset past the end of the file
  EXPECT_FALSE(decode(bad, target).ok());
  bad = good;
  bad[6 + 16 + 4] = bad[6 + 16 + 5] = 0xFF;  // width 65535: more than the bytes hold
  bad[6 + 16 + 8] = bad[6 + 16 + 9] = 0xFF;
  EXPECT_FALSE(decode(bad, target).ok());
  EXPECT_TRUE(target.empty());
}

}  // namespace
}  // namespace vorlino
