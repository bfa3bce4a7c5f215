// The TIFF decoder on TIFF files written by libtiff (bilevel, palette, RGB tiles, 16 bits,
// orientations, limits), and EPS files, whose picture is their TIFF preview.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

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
    SCOPED_TRACE(testing::Message() << "bits " << c.shape.bitsPerSample << ", tiled "
                                    << c.shape.tiled << ", orientation " << c.shape.orientation);
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
