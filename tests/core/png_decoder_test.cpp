// The PNG decoder on PNG files of every colour type and depth written by libpng, cut short and over
// the limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <png.h>

#include "imagefile/decoders.h"
#include "test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct PngShape {
  int colorType;
  int bitDepth;
  bool interlaced = false;
  bool greyKey = false;  // a tRNS colour key on a grey image
};

// Writes a PNG whose samples are `samples` (one value per channel, 16-bit ones as two bytes,
// big-endian), with a palette of 2^depth distinct colours for palette images.
Bytes writePng(const PngShape& shape, int width, int height,
               const std::vector<std::uint16_t>& samples, int channels) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, std::size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
               shape.bitDepth, shape.colorType,
               shape.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (shape.colorType == PNG_COLOR_TYPE_PALETTE) {
    std::vector<png_color> palette(1u << shape.bitDepth);
    for (std::size_t i = 0; i < palette.size(); ++i)
      palette[i] = {static_cast<png_byte>(i * 7 + 1), static_cast<png_byte>(255 - i),
                    static_cast<png_byte>(i * 3)};
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_byte alpha[2] = {0, 128};  // ignored by the reader
    png_set_tRNS(png, info, alpha, 2, nullptr);
  }
  if (shape.greyKey) {
    png_color_16 key{};
    key.gray = 1;
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  if (shape.bitDepth < 8) png_set_packing(png);
  const int bytesPerSample = shape.bitDepth == 16 ? 2 : 1;
  std::vector<std::vector<png_byte>> rows(static_cast<std::size_t>(height));
  std::vector<png_bytep> rowPointers;
  for (int y = 0; y < height; ++y) {
    auto& r = rows[static_cast<std::size_t>(y)];
    for (int i = 0; i < width * channels; ++i) {
      const std::uint16_t v = samples[static_cast<std::size_t>(y * width * channels + i)];
      if (bytesPerSample == 2) r.push_back(static_cast<png_byte>(v >> 8));
      r.push_back(static_cast<png_byte>(v));
    }
    rowPointers.push_back(r.data());
  }
  png_write_image(png, rowPointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

int channelsOf(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGBA:
      return 4;
    default:
      return 1;
  }
}

// Every colour type, bit depth and interlace: depth of the result and every pixel.
TEST(PngReader, EveryColourTypeAndDepth) {
  const int width = 13, height = 7;
  const std::vector<PngShape> shapes = {
      {PNG_COLOR_TYPE_PALETTE, 1},     {PNG_COLOR_TYPE_PALETTE, 2},
      {PNG_COLOR_TYPE_PALETTE, 4},     {PNG_COLOR_TYPE_PALETTE, 8},
      {PNG_COLOR_TYPE_GRAY, 1},        {PNG_COLOR_TYPE_GRAY, 2},
      {PNG_COLOR_TYPE_GRAY, 4},        {PNG_COLOR_TYPE_GRAY, 8},
      {PNG_COLOR_TYPE_GRAY, 16},       {PNG_COLOR_TYPE_RGB, 8},
      {PNG_COLOR_TYPE_RGB, 16},        {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 16}, {PNG_COLOR_TYPE_RGBA, 8},
      {PNG_COLOR_TYPE_RGBA, 16},       {PNG_COLOR_TYPE_GRAY, 8, false, true}};
  for (PngShape shape : shapes) {
    for (bool interlaced : {false, true}) {
      shape.interlaced = interlaced;
      SCOPED_TRACE(testing::Message() << "colour type " << shape.colorType << ", depth "
                                      << shape.bitDepth << (interlaced ? ", interlaced" : ""));
      const int channels = channelsOf(shape.colorType);
      const unsigned maxValue = (1u << shape.bitDepth) - 1;
      std::mt19937 rng(static_cast<unsigned>(shape.colorType * 100 + shape.bitDepth));
      std::vector<std::uint16_t> samples(static_cast<std::size_t>(width * height * channels));
      for (auto& s : samples) s = static_cast<std::uint16_t>(rng() % (maxValue + 1));
      const Bytes file = writePng(shape, width, height, samples, channels);
      ASSERT_FALSE(file.empty());

      ByteReader in(file);
      Bitmap out;
      const CodecResult r = readPng(in, out, DecodeLimits{});
      ASSERT_TRUE(r.ok()) << r.detail;
      ASSERT_EQ(out.width(), width);
      ASSERT_EQ(out.height(), height);
      const bool palette = shape.colorType == PNG_COLOR_TYPE_PALETTE;
      const bool alpha = (shape.colorType & PNG_COLOR_MASK_ALPHA) || shape.greyKey;
      const int expectedBits = palette ? (shape.bitDepth == 2 ? 8 : shape.bitDepth)
                               : alpha ? 32
                                       : 24;
      ASSERT_EQ(out.bitsPerPixel(), expectedBits);
      // Sample to byte: low depths are scaled up, 16 bits keep their high byte.
      auto toByte = [&](std::uint16_t v) {
        if (shape.bitDepth == 16) return static_cast<int>(v >> 8);
        return static_cast<int>(v * (255 / maxValue));
      };
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const std::size_t i = static_cast<std::size_t>((y * width + x) * channels);
          if (palette) {
            ASSERT_EQ(out.pixelIndex(x, y), samples[i]) << x << "," << y;
            continue;
          }
          const std::uint8_t* p = out.row(y) + x * (expectedBits / 8);
          const bool grey = (shape.colorType & PNG_COLOR_MASK_COLOR) == 0;
          const int red = toByte(samples[i]);
          const int green = grey ? red : toByte(samples[i + 1]);
          const int blue = grey ? red : toByte(samples[i + 2]);
          ASSERT_EQ(p[0], blue) << x << "," << y;
          ASSERT_EQ(p[1], green) << x << "," << y;
          ASSERT_EQ(p[2], red) << x << "," << y;
          if (shape.greyKey) ASSERT_EQ(p[3], samples[i] == 1 ? 0 : 255);
          if (alpha && !shape.greyKey) ASSERT_EQ(p[3], toByte(samples[i + channels - 1]));
        }
      }
      if (palette)
        for (std::size_t i = 0; i < (1u << shape.bitDepth); ++i)
          ASSERT_EQ(out.palette()[i], (PaletteColor{static_cast<std::uint8_t>(i * 3),
                                                    static_cast<std::uint8_t>(255 - i),
                                                    static_cast<std::uint8_t>(i * 7 + 1), 0}));
    }
  }
}

// A PNG cut anywhere fails, and a failed read leaves the target as it was.
TEST(PngReader, EveryTruncationFails) {
  std::vector<std::uint16_t> samples(9 * 5 * 3);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::uint16_t>(i * 37 % 256);
  const Bytes file = writePng({PNG_COLOR_TYPE_RGB, 8, true}, 9, 5, samples, 3);
  for (std::size_t n = 0; n < file.size(); ++n) {
    ByteReader in(file.data(), n);
    Bitmap out(2, 2, 24);
    const Bitmap before = out;
    ASSERT_FALSE(readPng(in, out, DecodeLimits{}).ok()) << "cut at " << n;
    ASSERT_TRUE(out == before);
  }
  Bytes damaged = file;
  damaged[damaged.size() / 2] ^= 0x55;  // inside IDAT: the chunk's CRC no longer matches
  ByteReader in(damaged);
  Bitmap out;
  EXPECT_FALSE(readPng(in, out, DecodeLimits{}).ok());
}

TEST(PngReader, SizeBeyondLimitsIsRefusedBeforeDecoding) {
  std::vector<std::uint16_t> samples(40 * 30, 7);
  const Bytes file = writePng({PNG_COLOR_TYPE_GRAY, 8}, 40, 30, samples, 1);
  ByteReader in(file);
  Bitmap out;
  DecodeLimits small;
  small.maxPixels = 40 * 30 - 1;
  EXPECT_EQ(readPng(in, out, small).error, CodecError::ceTooLarge);
  ByteReader notPng(file.data() + 1, file.size() - 1);
  EXPECT_EQ(readPng(notPng, out, DecodeLimits{}).error, CodecError::ceSignature);
}

}  // namespace
}  // namespace vorlino
