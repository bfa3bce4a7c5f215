// The library-based decoders on files written here with the same libraries' encoders, so that
// every variant is checked pixel by pixel against the samples that went in.
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
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "imagefile/decoders.h"
#include "test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::uint8_t> randomSamples(std::size_t count, unsigned maxValue, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> v(count);
  for (auto& s : v) s = static_cast<std::uint8_t>(rng() % (maxValue + 1));
  return v;
}

// ---- PNG ----------------------------------------------------------------------------------------

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
      const int expectedBits = palette ? (shape.bitDepth == 2 ? 8 : shape.bitDepth) : alpha ? 32 : 24;
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

// ---- JPEG ---------------------------------------------------------------------------------------

struct JpegSpec {
  J_COLOR_SPACE space;
  int components;
  bool progressive = false;
};

// Compresses interleaved samples at quality 100 with libjpeg's defaults (an Adobe marker for CMYK,
// whose samples libjpeg stores as given: the inverted convention).
Bytes writeJpeg(const JpegSpec& shape, int width, int height,
                const std::vector<std::uint8_t>& samples) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = shape.components;
  c.in_color_space = shape.space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  for (int i = 0; i < c.num_components; ++i)
    c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  if (shape.progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + c.next_scanline * width * shape.components);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&c);
  std::free(buffer);
  return out;
}

// A smooth picture, so that quality 100 leaves only rounding: one sample per component.
std::vector<std::uint8_t> smoothSamples(int width, int height, int components) {
  std::vector<std::uint8_t> v;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < components; ++c)
        v.push_back(static_cast<std::uint8_t>(40 + (x * (c + 2) + y * (3 - c % 3)) % 160));
  return v;
}

TEST(JpegReader, GreyRgbCmykBaselineAndProgressive) {
  const int width = 37, height = 21;
  const std::vector<JpegSpec> shapes = {{JCS_GRAYSCALE, 1},
                                       {JCS_RGB, 3},
                                       {JCS_CMYK, 4},
                                       {JCS_GRAYSCALE, 1, true},
                                       {JCS_RGB, 3, true}};
  for (const JpegSpec& shape : shapes) {
    SCOPED_TRACE(testing::Message()
                 << "components " << shape.components << (shape.progressive ? ", progressive" : ""));
    const auto samples = smoothSamples(width, height, shape.components);
    const Bytes file = writeJpeg(shape, width, height, samples);
    ByteReader in(file);
    Bitmap out;
    const CodecResult r = readJpeg(in, out, DecodeLimits{});
    ASSERT_TRUE(r.ok()) << r.detail;
    ASSERT_EQ(out.bitsPerPixel(), 24);
    ASSERT_EQ(out.width(), width);
    ASSERT_EQ(out.height(), height);
    int worst = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* s =
            &samples[static_cast<std::size_t>((y * width + x) * shape.components)];
        int rgb[3];
        if (shape.components == 1) {
          rgb[0] = rgb[1] = rgb[2] = s[0];
        } else if (shape.components == 3) {
          rgb[0] = s[0], rgb[1] = s[1], rgb[2] = s[2];
        } else {  // stored inverted: each stored value is 255 - ink
          for (int c = 0; c < 3; ++c) rgb[c] = s[c] * s[3] / 255;
        }
        const std::uint8_t* p = out.row(y) + 3 * x;
        for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(p[2 - c] - rgb[c]));
      }
    }
    EXPECT_LE(worst, 3);
  }
}

// Cut anywhere after the header, a JPEG fails: libjpeg would only warn and pad with grey.
TEST(JpegReader, TruncatedDataFailsQuietly) {
  for (bool progressive : {false, true}) {
    const auto samples = smoothSamples(64, 48, 3);
    const Bytes file = writeJpeg({JCS_RGB, 3, progressive}, 64, 48, samples);
    for (std::size_t n = 0; n + 1 < file.size(); n += 1 + n / 16) {
      ByteReader in(file.data(), n);
      Bitmap out(1, 1, 24);
      const Bitmap before = out;
      testing::internal::CaptureStderr();
      const CodecResult r = readJpeg(in, out, DecodeLimits{});
      ASSERT_EQ(testing::internal::GetCapturedStderr(), "");
      ASSERT_FALSE(r.ok()) << "cut at " << n;
      ASSERT_TRUE(out == before);
    }
  }
  const Bytes notJpeg = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  ByteReader in(notJpeg);
  Bitmap out;
  EXPECT_EQ(readJpeg(in, out, DecodeLimits{}).error, CodecError::ceSignature);
}

TEST(JpegReader, SizeBeyondLimitsIsRefused) {
  const Bytes file = writeJpeg({JCS_GRAYSCALE, 1}, 16, 16, smoothSamples(16, 16, 1));
  ByteReader in(file);
  Bitmap out;
  DecodeLimits small;
  small.maxPixels = 255;
  EXPECT_EQ(readJpeg(in, out, small).error, CodecError::ceTooLarge);
}

// ---- GIF ----------------------------------------------------------------------------------------

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

// ---- TIFF and EPS -------------------------------------------------------------------------------

struct TiffSpec {
  std::uint16_t photometric;
  std::uint16_t bitsPerSample;
  std::uint16_t samplesPerPixel;
  std::uint16_t compression = COMPRESSION_NONE;
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  bool tiled = false;
};

// Writes a TIFF through libtiff into a temporary file and returns its bytes. `rows` holds the
// packed sample rows as they go into the file.
Bytes writeTiff(const TiffSpec& shape, int width, int height, const std::vector<Bytes>& rows) {
  const test::ScratchFolder folder("vorlino_tiff");
  const auto path = folder / "t.tif";
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (!tif) return {};
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, shape.bitsPerSample);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, shape.samplesPerPixel);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, shape.photometric);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, shape.compression);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, shape.orientation);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  if (shape.photometric == PHOTOMETRIC_PALETTE) {
    std::vector<std::uint16_t> r(1u << shape.bitsPerSample), g(r.size()), b(r.size());
    for (std::size_t i = 0; i < r.size(); ++i) {
      r[i] = static_cast<std::uint16_t>(257 * (i * 13 % 256));
      g[i] = static_cast<std::uint16_t>(257 * (255 - i));
      b[i] = static_cast<std::uint16_t>(0x80FF);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
  }
  if (shape.tiled) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16u);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, 16u);
    const tmsize_t tileBytes = TIFFTileSize(tif);
    const std::size_t pixelBytes = shape.samplesPerPixel * shape.bitsPerSample / 8u;
    for (int ty = 0; ty < height; ty += 16)
      for (int tx = 0; tx < width; tx += 16) {
        Bytes tile(static_cast<std::size_t>(tileBytes), 0);
        for (int y = ty; y < std::min(height, ty + 16); ++y)
          for (int x = tx; x < std::min(width, tx + 16); ++x)
            std::memcpy(&tile[((y - ty) * 16 + (x - tx)) * pixelBytes],
                        &rows[static_cast<std::size_t>(y)][x * pixelBytes], pixelBytes);
        TIFFWriteTile(tif, tile.data(), static_cast<std::uint32_t>(tx),
                      static_cast<std::uint32_t>(ty), 0, 0);
      }
  } else {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3u);
    for (int y = 0; y < height; ++y)
      TIFFWriteScanline(tif, const_cast<std::uint8_t*>(rows[static_cast<std::size_t>(y)].data()),
                        static_cast<std::uint32_t>(y), 0);
  }
  TIFFClose(tif);
  return test::readFileBytes(path);
}

std::vector<Bytes> packedRows(int width, int height, int bits, int samples, unsigned seed) {
  std::vector<Bytes> rows;
  const std::size_t bytes = (static_cast<std::size_t>(width) * bits * samples + 7) / 8;
  for (int y = 0; y < height; ++y) rows.push_back(randomSamples(bytes, 255, seed + y));
  return rows;
}

// Bilevel and palette strips stay palette bitmaps with the file's bits.
TEST(TiffReader, BilevelAndPaletteKeepTheirForm) {
  const int width = 29, height = 11;
  struct Case {
    std::uint16_t photometric, bits, compression;
  };
  for (const Case c : {Case{PHOTOMETRIC_MINISWHITE, 1, COMPRESSION_CCITTFAX4},
                       Case{PHOTOMETRIC_MINISBLACK, 1, COMPRESSION_PACKBITS},
                       Case{PHOTOMETRIC_PALETTE, 4, COMPRESSION_LZW},
                       Case{PHOTOMETRIC_PALETTE, 8, COMPRESSION_NONE}}) {
    SCOPED_TRACE(testing::Message()
                 << "photometric " << c.photometric << ", " << c.bits << " bits");
    const auto rows = packedRows(width, height, c.bits, 1, c.bits * 10u + c.photometric);
    const Bytes file = writeTiff({c.photometric, c.bits, 1, c.compression}, width, height, rows);
    ASSERT_FALSE(file.empty());
    ByteReader in(file);
    Bitmap out;
    const CodecResult r = readTiff(in, out, DecodeLimits{});
    ASSERT_TRUE(r.ok()) << r.detail;
    ASSERT_EQ(out.bitsPerPixel(), c.bits);
    const Bitmap packed = [&] {
      Bitmap b(width, height, c.bits);
      for (int y = 0; y < height; ++y)
        std::memcpy(b.row(y), rows[static_cast<std::size_t>(y)].data(), rows[0].size());
      return b;
    }();
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) ASSERT_EQ(out.pixelIndex(x, y), packed.pixelIndex(x, y));
    if (c.photometric == PHOTOMETRIC_MINISWHITE) EXPECT_EQ(toColor(out.palette()[0]), kWhite);
    if (c.photometric == PHOTOMETRIC_MINISBLACK) EXPECT_EQ(toColor(out.palette()[1]), kWhite);
    if (c.photometric == PHOTOMETRIC_PALETTE)
      EXPECT_EQ(out.palette()[3], (PaletteColor{0x80, 252, 39, 0}));
  }
}

// Everything else goes through the RGBA interface: tiles, 16-bit samples, orientation.
TEST(TiffReader, RgbTilesSixteenBitsAndOrientation) {
  const int width = 37, height = 19;
  const auto pixels = packedRows(width, height, 8, 3, 1);
  struct Case {
    TiffSpec shape;
    std::vector<Bytes> rows;
  };
  std::vector<Bytes> rgb16;
  for (const Bytes& row : pixels) {
    Bytes r;
    for (std::uint8_t v : row) {
      r.push_back(static_cast<std::uint8_t>(v ^ 0x5A));  // low byte, dropped (little-endian file)
      r.push_back(v);
    }
    rgb16.push_back(r);
  }
  std::vector<Bytes> flipped(pixels.rbegin(), pixels.rend());
  for (const Case& c :
       {Case{{PHOTOMETRIC_RGB, 8, 3, COMPRESSION_LZW}, pixels},
        Case{{PHOTOMETRIC_RGB, 8, 3, COMPRESSION_DEFLATE, ORIENTATION_TOPLEFT, true}, pixels},
        Case{{PHOTOMETRIC_RGB, 16, 3}, rgb16},
        Case{{PHOTOMETRIC_RGB, 8, 3, COMPRESSION_NONE, ORIENTATION_BOTLEFT}, flipped}}) {
    SCOPED_TRACE(testing::Message() << "bits " << c.shape.bitsPerSample << ", tiled " << c.shape.tiled
                                    << ", orientation " << c.shape.orientation);
    const Bytes file = writeTiff(c.shape, width, height, c.rows);
    ByteReader in(file);
    Bitmap out;
    const CodecResult r = readTiff(in, out, DecodeLimits{});
    ASSERT_TRUE(r.ok()) << r.detail;
    ASSERT_EQ(out.bitsPerPixel(), 32);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* s = &pixels[static_cast<std::size_t>(y)][3 * x];
        ASSERT_EQ(out.pixel(x, y), rgb(s[0], s[1], s[2])) << x << "," << y;
        ASSERT_EQ(out.row(y)[4 * x + 3], 255);
      }
  }
}

TEST(TiffReader, LimitsTruncationAndSilence) {
  const auto rows = packedRows(40, 30, 8, 3, 9);
  const Bytes file = writeTiff({PHOTOMETRIC_RGB, 8, 3, COMPRESSION_LZW}, 40, 30, rows);
  Bitmap out;
  DecodeLimits small;
  small.maxPixels = 40 * 30 - 1;
  ByteReader big(file);
  EXPECT_EQ(readTiff(big, out, small).error, CodecError::ceTooLarge);
  testing::internal::CaptureStderr();
  for (std::size_t n = 0; n + 1 < file.size(); n += 7) {
    ByteReader in(file.data(), n);
    ASSERT_FALSE(readTiff(in, out, DecodeLimits{}).ok()) << "cut at " << n;
    ASSERT_TRUE(out.empty());
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

Bytes wrapInEps(const Bytes& tiff, std::uint32_t postscriptBytes) {
  ByteWriter w;
  w.u32be(0xC5D0D3C6);
  w.u32le(30);  // PostScript first, then the preview
  w.u32le(postscriptBytes);
  w.u32le(0);
  w.u32le(0);
  w.u32le(30 + postscriptBytes);
  w.u32le(static_cast<std::uint32_t>(tiff.size()));
  w.u16le(0xFFFF);
  for (std::uint32_t i = 0; i < postscriptBytes; ++i) w.u8('%');
  w.write(tiff.data(), tiff.size());
  return w.bytes();
}

TEST(EpsReader, ReadsTheTiffPreviewOnly) {
  const auto rows = packedRows(21, 9, 1, 1, 4);
  const Bytes tiff = writeTiff({PHOTOMETRIC_MINISWHITE, 1, 1}, 21, 9, rows);
  Bitmap fromTiff, fromEps;
  ByteReader tiffIn(tiff);
  ASSERT_TRUE(readTiff(tiffIn, fromTiff, DecodeLimits{}).ok());
  const Bytes eps = wrapInEps(tiff, 100);
  ByteReader epsIn(eps);
  ASSERT_TRUE(readEps(epsIn, fromEps, DecodeLimits{}).ok());
  EXPECT_TRUE(fromEps == fromTiff);

  Bitmap out;
  Bytes noPreview = eps;
  std::fill(noPreview.begin() + 20, noPreview.begin() + 28, 0);
  ByteReader noPreviewIn(noPreview);
  EXPECT_EQ(readEps(noPreviewIn, out, DecodeLimits{}).error, CodecError::ceUnsupported);
  ByteReader cut(eps.data(), eps.size() - 1);  // the preview runs past the end
  EXPECT_FALSE(readEps(cut, out, DecodeLimits{}).ok());
  const Bytes text = {'%', '!', 'P', 'S', '-', 'A', 'd', 'o', 'b', 'e'};
  ByteReader textIn(text);
  EXPECT_EQ(readEps(textIn, out, DecodeLimits{}).error, CodecError::ceSignature);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace vorlino
