// Every writer read back by the program's own decoder: exact for the lossless formats, close for
// JPEG, at odd and prime sizes and at every depth a writer accepts.
#include <gtest/gtest.h>

#include <cstdlib>

#include "imagefile/bmp_rle_writer.h"
#include "imagefile/bmp_writer.h"
#include "imagefile/decoders.h"
#include "imagefile/gif_writer.h"
#include "imagefile/jpeg_writer.h"
#include "imagefile/png_writer.h"
#include "imagefile/tga_writer.h"
#include "imagefile/tiff_writer.h"
#include "test_images.h"
#include "writer_test_support.h"

namespace vorlino {
namespace {

using Writer = CodecResult (*)(const Bitmap&, ByteWriter&);

struct Format {
  const char* name;
  Writer write;
  DecoderFunction read;
};

const Format kLossless[] = {
    {"bmp", [](const Bitmap& b, ByteWriter& o) { return WriteBmp(b, o, {}); }, readBmp},
    {"rle", [](const Bitmap& b, ByteWriter& o) { return WriteRle(b, o); }, readBmp},
    {"gif", [](const Bitmap& b, ByteWriter& o) { return WriteGif(b, o); }, readGif},
    {"png", [](const Bitmap& b, ByteWriter& o) { return WritePng(b, o); }, readPng},
    {"tif", [](const Bitmap& b, ByteWriter& o) { return WriteTiff(b, o); }, readTiff},
    {"tga", [](const Bitmap& b, ByteWriter& o) { return WriteTarga(b, o); }, readTarga},
};

Bitmap readBack(const Format& f, const ByteWriter& bytes) {
  ByteReader in(bytes.bytes());
  Bitmap out;
  const CodecResult r = f.read(in, out, {});
  EXPECT_TRUE(r.ok()) << f.name << ": " << r.detail;
  return out;
}

void expectSamePixels(const Bitmap& expected, const Bitmap& actual, const std::string& what) {
  ASSERT_EQ(actual.width(), expected.width()) << what;
  ASSERT_EQ(actual.height(), expected.height()) << what;
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x)
      ASSERT_EQ(actual.pixel(x, y), expected.pixel(x, y)) << what << " at " << x << "," << y;
}

TEST(WriterRoundTripTest, PaletteBitmapsComeBackExactly) {
  for (const Format& f : kLossless)
    for (auto [w, h] : {std::pair{113, 157}, {1, 37}, {41, 1}})
      for (int bpp : {1, 4, 8}) {
        const Bitmap b = test::randomBitmap(w, h, static_cast<std::uint32_t>(w * 3 + bpp), bpp);
        ByteWriter out;
        ASSERT_TRUE(f.write(b, out).ok()) << f.name;
        expectSamePixels(b, readBack(f, out),
                         std::string(f.name) + " " + std::to_string(w) + "x" + std::to_string(h) +
                             " " + std::to_string(bpp) + " bits");
      }
}

TEST(WriterRoundTripTest, TrueColourComesBackExactlyWhereTheFormatKeepsIt) {
  for (const Format& f : kLossless) {
    const std::string name = f.name;
    if (name == "rle") continue;  // reduced to 256 colours: covered by its own tests
    for (auto [w, h] : {std::pair{113, 157}, {1, 37}, {41, 1}}) {
      Bitmap b = test::randomBitmap(w, h, static_cast<std::uint32_t>(w + h));
      if (name == "gif")  // exact only up to 256 colours
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x)
            b.setPixel(x, y, rgb(static_cast<std::uint8_t>((x * 7 + y) % 251), 9, 200));
      ByteWriter out;
      ASSERT_TRUE(f.write(b, out).ok()) << name;
      expectSamePixels(b, readBack(f, out),
                       name + " " + std::to_string(w) + "x" + std::to_string(h));
    }
  }
}

TEST(WriterRoundTripTest, JpegComesBackClose) {
  for (bool progressive : {false, true})
    for (auto [w, h] : {std::pair{113, 157}, {1, 37}, {41, 1}}) {
      Bitmap b(w, h, 24);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          b.setPixel(x, y,
                     rgb(static_cast<std::uint8_t>(x * 2), static_cast<std::uint8_t>(y),
                         static_cast<std::uint8_t>(100 + (x + y) / 8)));
      ByteWriter out;
      ASSERT_TRUE(WriteJpeg(b, out, {95, progressive}).ok());
      ByteReader in(out.bytes());
      Bitmap back;
      ASSERT_TRUE(readJpeg(in, back, {}).ok());
      ASSERT_EQ(back.width(), w);
      ASSERT_EQ(back.height(), h);
      int worst = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const Color a = b.pixel(x, y), c = back.pixel(x, y);
          for (int shift : {0, 8, 16})
            worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((c >> shift) & 0xFF)));
        }
      EXPECT_LE(worst, 12) << w << "x" << h << (progressive ? " progressive" : "");
    }
}

TEST(WriterRoundTripTest, TransparentResultKeepsItsTransparentEntry) {
  Bitmap b = test::randomBitmap(30, 20, 3, 8);
  b.palette()[77] = toPaletteColor(kTransparentKey);
  b.Transparent = true;
  b.TransparentColor = kTransparentKey;
  for (const Format& f : kLossless) {
    ByteWriter out;
    ASSERT_TRUE(f.write(b, out).ok()) << f.name;
    expectSamePixels(b, readBack(f, out), f.name);
  }
}

}  // namespace
}  // namespace vorlino
