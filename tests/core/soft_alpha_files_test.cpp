// Soft-transparency pictures written through the save path and read back by independent readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "compose/soft_alpha.h"
#include "compose_reference.h"
#include "imagefile/save_image.h"
#include "test_images.h"
#include "writer_test_support.h"

namespace vorlino {
namespace {

// Pillow's reading of path as RGBA: the mode it opened, the TIFF ExtraSamples tag ("-" when
// absent) and the pixels, red first.
struct RgbaRead {
  std::string mode, extraSamples;
  std::vector<std::uint8_t> rgba;
};

std::optional<RgbaRead> readRgbaWithPillow(const std::string& path) {
  const std::string script = path + ".py", out = path + ".rgba";
  std::ofstream(script) << "import sys\n"
                           "from PIL import Image\n"
                           "im = Image.open(sys.argv[1]); im.load()\n"
                           "tags = getattr(im, 'tag_v2', None)\n"
                           "extra = tags.get(338) if tags is not None else None\n"
                           "extra = '-' if extra is None else str(extra)\n"
                           "head = '%s %s\\n' % (im.mode, extra.replace(' ', ''))\n"
                           "open(sys.argv[2], 'wb').write(head.encode() + "
                           "im.convert('RGBA').tobytes())\n";
  const int status = std::system((std::string(test::kPython) + " '" + script + "' '" + path +
                                  "' '" + out + "' >/dev/null 2>&1")
                                     .c_str());
  std::remove(script.c_str());
  if (status != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes = test::readFileBytes(out);
  std::remove(out.c_str());
  const auto newline = std::find(bytes.begin(), bytes.end(), '\n');
  if (newline == bytes.end()) return std::nullopt;
  RgbaRead read;
  std::istringstream(std::string(bytes.begin(), newline)) >> read.mode >> read.extraSamples;
  read.rgba.assign(newline + 1, bytes.end());
  return read;
}

std::optional<std::vector<std::uint8_t>> readRgbaWithImageMagick(const std::string& path) {
  const std::string out = path + ".raw";
  const std::string command = std::string(test::kImageMagick) + " '" + path +
                              "' -depth 8 'rgba:" + out + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes = test::readFileBytes(out);
  std::remove(out.c_str());
  return bytes;
}

std::vector<std::uint8_t> expectedRgba(const Bitmap& b) {
  std::vector<std::uint8_t> rgba;
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x) {
      const std::uint8_t* p = b.row(y) + 4 * x;
      rgba.insert(rgba.end(), {p[2], p[1], p[0], p[3]});
    }
  return rgba;
}

// A photo with every alpha from 0 to 255 somewhere: a random mask at full opacity and a
// hand-made ramp in the first row.
Bitmap softPicture(Color behind) {
  Bitmap soft = test::randomBitmap(67, 9, 51);
  Bitmap mask = test::randomBitmap(67, 9, 52);
  for (int x = 0; x < 67; ++x) std::memset(mask.row(0) + 3 * x, x * 255 / 66, 3);
  SoftAlphaMask(soft, mask, 100);
  soft.TransparentColor = behind;
  return soft;
}

TEST(SoftAlphaFilesTest, PngTiffTargaWebpKeepTheAlphaForPillowAndImageMagick) {
  VORLINO_REQUIRE_PILLOW();
  const test::ScratchFolder folder;
  const Bitmap soft = softPicture(rgb(1, 2, 3));
  const std::vector<std::uint8_t> expected = expectedRgba(soft);
  for (const char* name : {"soft.png", "soft.tif", "soft.tga", "soft.webp"}) {
    SCOPED_TRACE(name);
    const std::string path = folder.file(name);
    ASSERT_EQ(SaveImageFileWith(path, soft, JpegOptions{}, false), 1);
    const std::optional<RgbaRead> pillow = readRgbaWithPillow(path);
    ASSERT_TRUE(pillow.has_value());
    EXPECT_EQ(pillow->mode, "RGBA");
    if (std::string(name) != "soft.webp") EXPECT_TRUE(pillow->rgba == expected);
    if (std::string(name) == "soft.tif") EXPECT_EQ(pillow->extraSamples, "(2,)");
    if (std::string(name) == "soft.webp") {
      // Lossy colours; the alpha plane is kept exactly.
      ASSERT_EQ(pillow->rgba.size(), expected.size());
      for (std::size_t i = 3; i < expected.size(); i += 4)
        ASSERT_EQ(pillow->rgba[i], expected[i]) << i / 4;
      continue;
    }
    if (test::imageMagickAvailable()) {
      const auto magick = readRgbaWithImageMagick(path);
      ASSERT_TRUE(magick.has_value());
      EXPECT_TRUE(*magick == expected);
    }
  }
  EXPECT_EQ(test::readFileBytes(folder.file("soft.png")).at(25), 6);  // IHDR colour type
}

TEST(SoftAlphaFilesTest, FormatsWithoutAlphaGetThePictureComposedOverItsColour) {
  VORLINO_REQUIRE_PILLOW();
  const test::ScratchFolder folder;
  const Color behind = rgb(40, 200, 90);
  const Bitmap soft = softPicture(behind);
  Bitmap flat = soft;
  ComposeOverColour(flat, behind);
  const std::string bmp = folder.file("flat.bmp");
  ASSERT_EQ(SaveImageFileWith(bmp, soft, JpegOptions{}, false), 1);
  const std::optional<test::DecodedImage> bmpRead = test::readWithPillow(bmp);
  ASSERT_TRUE(bmpRead.has_value());
  EXPECT_TRUE(bmpRead->rgb == test::expectedRgb(flat));
  // A lossy format: a picture transparent everywhere is written as the flat colour behind.
  Bitmap clear = test::randomBitmap(16, 16, 53);
  SoftAlphaMask(clear, test::solidBitmap(16, 16, kBlack), 100);
  clear.TransparentColor = behind;
  const std::string jpeg = folder.file("flat.jpg");
  ASSERT_EQ(SaveImageFileWith(jpeg, clear, JpegOptions{}, false), 1);
  const std::optional<test::DecodedImage> read = test::readWithPillow(jpeg);
  ASSERT_TRUE(read.has_value());
  const Color corner = read->at(5, 5);
  EXPECT_NEAR(redOf(corner), 40, 12);
  EXPECT_NEAR(greenOf(corner), 200, 12);
  EXPECT_NEAR(blueOf(corner), 90, 12);
  EXPECT_FALSE(formatKeepsAlpha(SaveFormat::sfJpeg) || formatKeepsAlpha(SaveFormat::sfGif) ||
               formatKeepsAlpha(SaveFormat::sfBmp));
}

}  // namespace
}  // namespace vorlino
