// The HEIF, AVIF, WebP and JPEG XL decoders against the encoders' own decoders, damaged and
// truncated files, the limits, the embedded profiles, and the WebP writer.
#include "imagefile/photo_formats.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imagefile/decoders.h"
#include "imagefile/heif_canvas.h"
#include "imagefile/load_image.h"
#include "imagefile/save_image.h"
#include "imagefile/webp_writer.h"
#include "scripted_prompts.h"
#include "test_images.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

bool haveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// A PNG with its samples as stored: 16-bit samples by their high byte, alpha dropped. (The
// reference reader of the other tests takes 16-bit PNGs as linear light and composites alpha.)
Bitmap readPngAsStored(const fs::path& png) {
  const Bytes bytes = test::readFileBytes(png);
  ByteReader in(bytes);
  Bitmap b;
  if (!readPng(in, b, {}).ok()) return {};
  b.convertTo24();
  return b;
}

// Runs a reference decoder writing PNG: "<tool> <file> <png>" (dwebp and djxl want their own
// option spelling, given in `command` with %i and %o).
Bitmap referenceDecode(std::string command, const fs::path& file, const fs::path& png) {
  command.replace(command.find("%i"), 2, "'" + file.string() + "'");
  command.replace(command.find("%o"), 2, "'" + png.string() + "'");
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) return {};
  return readPngAsStored(png);
}

CodecResult decodeBytes(DecoderFunction read, const Bytes& bytes, Bitmap& out,
                        const DecodeLimits& limits = {}) {
  ByteReader in(bytes);
  return read(in, out, limits);
}

struct Sample {
  const char* file;  // under tests/data
  DecoderFunction read;
  const char* tool;
  const char* command;
  int tolerance;  // largest channel difference allowed against the reference decoder
  bool alpha;
};

const Sample kSamples[] = {
    {"heif/q80.heic", readHeif, "heif-convert", "heif-convert %i %o", 0, false},
    // heif-convert widens deep samples to 16 bits, read back by their high byte here.
    {"heif/d10.heic", readHeif, "heif-convert", "heif-convert %i %o", 1, false},
    {"heif/alpha.heic", readHeif, "heif-convert", "heif-convert %i %o", 0, true},
    {"heif/adobergb.heif", readHeif, "heif-convert", "heif-convert %i %o", 0, false},
    {"heif/rot90.heic", readHeif, "heif-convert", "heif-convert %i %o", 0, false},
    {"avif/lossless.avif", readHeif, "heif-convert", "heif-convert %i %o", 0, false},
    {"avif/lossy.avif", readHeif, "avifdec", "avifdec %i %o", 2, false},
    {"avif/d10.avif", readHeif, "heif-convert", "heif-convert %i %o", 1, false},
    {"avif/alpha.avif", readHeif, "heif-convert", "heif-convert %i %o", 0, true},
    {"webp/lossless.webp", readWebp, "dwebp", "dwebp -quiet %i -o %o", 0, false},
    {"webp/lossy.webp", readWebp, "dwebp", "dwebp -quiet %i -o %o", 0, false},
    {"webp/alpha.webp", readWebp, "dwebp", "dwebp -quiet %i -o %o", 0, true},
    {"webp/adobergb.webp", readWebp, "dwebp", "dwebp -quiet %i -o %o", 0, false},
    {"jxl/lossless.jxl", readJxl, "djxl", "djxl %i %o", 0, false},
    {"jxl/lossy.jxl", readJxl, "djxl", "djxl %i %o", 1, false},
    {"jxl/d16.jxl", readJxl, "djxl", "djxl %i %o", 0, false},
    {"jxl/alpha.jxl", readJxl, "djxl", "djxl %i %o", 0, true},
    {"jxl/grey.jxl", readJxl, "djxl", "djxl %i %o", 0, false},
    {"jxl/adobergb.jxl", readJxl, "djxl", "djxl %i %o", 0, false},
};

TEST(PhotoFormatsTest, PixelsMatchTheEncodersOwnDecoders) {
  test::ScratchFolder folder;
  int compared = 0;
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(s.file);
    const Bytes bytes = test::readFileBytes(test::testDataDir() / s.file);
    ASSERT_FALSE(bytes.empty());
    Bitmap decoded;
    ASSERT_TRUE(decodeBytes(s.read, bytes, decoded).ok());
    EXPECT_EQ(decoded.width() * decoded.height(), 64 * 48);
    EXPECT_EQ(decoded.bitsPerPixel(), s.alpha ? 32 : 24);
    if (!haveTool(s.tool)) continue;
    const Bitmap reference =
        referenceDecode(s.command, test::testDataDir() / s.file, folder / "reference.png");
    ASSERT_FALSE(reference.empty()) << s.command;
    const test::PictureDifference d = test::comparePictures(decoded, reference);
    EXPECT_TRUE(d.sameSize);
    EXPECT_LE(d.maxDiff, s.tolerance);
    ++compared;
  }
  if (compared == 0) GTEST_SKIP() << "none of heif-convert, avifdec, dwebp, djxl is installed";
}

TEST(PhotoFormatsTest, DeepSamplesRoundToNearestAndLosslessFilesComeBackExactly) {
  // The lossless files hold the picture the 16-bit and alpha files were made from.
  Bitmap plain, deep, withAlpha, grey;
  const fs::path data = test::testDataDir();
  ASSERT_TRUE(decodeBytes(readJxl, test::readFileBytes(data / "jxl/lossless.jxl"), plain).ok());
  ASSERT_TRUE(decodeBytes(readJxl, test::readFileBytes(data / "jxl/d16.jxl"), deep).ok());
  ASSERT_TRUE(decodeBytes(readJxl, test::readFileBytes(data / "jxl/alpha.jxl"), withAlpha).ok());
  ASSERT_TRUE(decodeBytes(readJxl, test::readFileBytes(data / "jxl/grey.jxl"), grey).ok());
  // The 16-bit picture is the 8-bit one widened by 257: rounding gives the 8-bit values back,
  // where keeping the high byte alone would too, but a truncating 10-bit path would not.
  EXPECT_EQ(test::maxChannelDifference(plain, deep), 0);
  Bitmap colours = withAlpha;
  colours.convertTo24();
  EXPECT_EQ(test::maxChannelDifference(plain, colours), 0);
  EXPECT_EQ(withAlpha.row(0)[3], 255);                     // white end of the alpha ramp
  EXPECT_LE(withAlpha.row(withAlpha.height() - 1)[3], 8);  // black end
  for (int x = 0; x < grey.width(); ++x) {
    const std::uint8_t* p = grey.row(5) + 3 * x;
    EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
  }
  // AVIF and WebP lossless: the same picture.
  Bitmap avif, webp;
  ASSERT_TRUE(decodeBytes(readHeif, test::readFileBytes(data / "avif/lossless.avif"), avif).ok());
  ASSERT_TRUE(decodeBytes(readWebp, test::readFileBytes(data / "webp/lossless.webp"), webp).ok());
  EXPECT_EQ(test::maxChannelDifference(plain, avif), 0);
  EXPECT_EQ(test::maxChannelDifference(plain, webp), 0);
  // A lossy 10-bit AVIF of the same picture lands near it (a misread depth would be far off).
  Bitmap avif10;
  ASSERT_TRUE(decodeBytes(readHeif, test::readFileBytes(data / "avif/d10.avif"), avif10).ok());
  EXPECT_LE(test::comparePictures(plain, avif10).meanDiff, 8.0);
}

TEST(PhotoFormatsTest, HeifComesOutUprightByItsRotationProperty) {
  // rot90.heic is q80.heic with an irot of a quarter turn anticlockwise.
  const fs::path data = test::testDataDir();
  Bitmap stored, turned;
  ASSERT_TRUE(decodeBytes(readHeif, test::readFileBytes(data / "heif/q80.heic"), stored).ok());
  ASSERT_TRUE(decodeBytes(readHeif, test::readFileBytes(data / "heif/rot90.heic"), turned).ok());
  ASSERT_EQ(turned.width(), stored.height());
  ASSERT_EQ(turned.height(), stored.width());
  for (int y = 0; y < stored.height(); ++y)
    for (int x = 0; x < stored.width(); ++x)
      ASSERT_EQ(turned.pixel(y, stored.width() - 1 - x), stored.pixel(x, y)) << x << "," << y;
}

TEST(PhotoFormatsTest, AnimatedWebpGivesItsFirstFrame) {
  const fs::path data = test::testDataDir();
  Bitmap first;
  ASSERT_TRUE(decodeBytes(readWebp, test::readFileBytes(data / "webp/animated.webp"), first).ok());
  const Bitmap expected = readPngAsStored(data / "webp/animated.first.png");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(test::maxChannelDifference(first, expected), 0);
}

TEST(PhotoFormatsTest, DamagedAndTruncatedFilesFailCleanly) {
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(s.file);
    const Bytes bytes = test::readFileBytes(test::testDataDir() / s.file);
    const Bitmap before = test::randomBitmap(3, 2, 1);
    for (std::size_t keep : {std::size_t{0}, std::size_t{11}, std::size_t{40}, bytes.size() / 2,
                             bytes.size() * 7 / 8, bytes.size() - 1}) {
      SCOPED_TRACE(keep);
      Bitmap out = before;
      const CodecResult r =
          decodeBytes(s.read, Bytes(bytes.begin(), bytes.begin() + long(keep)), out);
      EXPECT_FALSE(r.ok());
      EXPECT_TRUE(out == before);
      if (keep > 40) {
        EXPECT_EQ(r.error, CodecError::ceDamaged) << r.detail;
      }
    }
    // Another format's bytes are no picture of this one.
    Bitmap out;
    const Bytes png = test::readFileBytes(test::testDataDir() / "png/basn3p04.png");
    const CodecResult r = decodeBytes(s.read, png, out);
    EXPECT_EQ(r.error, CodecError::ceSignature) << r.detail;
    EXPECT_TRUE(out.empty());
    // Scrambled data after the headers fails or decodes, but never crashes.
    Bytes scrambled = bytes;
    for (std::size_t i = bytes.size() / 3; i < bytes.size(); i += 7) scrambled[i] ^= 0x5A;
    decodeBytes(s.read, scrambled, out);
  }
}

// What the libraries print about damaged files never reaches the program's stderr.
TEST(PhotoFormatsTest, LibraryMessagesStayOffStderr) {
  test::ScratchFolder folder;
  const std::string captured = folder.file("stderr.txt");
  const int file = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  std::fflush(stderr);
  const int saved = ::dup(2);
  ::dup2(file, 2);
  ::close(file);
  Bitmap out;
  // libde265 complains about this stream's sequence parameters; libjxl about every cut file.
  decodeBytes(readHeif, test::readFileBytes(test::testDataDir() / "heif/bad/sps_error.heic"), out);
  const Bytes jxl = test::readFileBytes(test::testDataDir() / "jxl/lossy.jxl");
  EXPECT_FALSE(
      decodeBytes(readJxl, Bytes(jxl.begin(), jxl.begin() + long(jxl.size() / 2)), out).ok());
  std::fprintf(stderr, "after");  // stderr works again afterwards
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  EXPECT_EQ(test::readFileText(captured), "after");
}

TEST(PhotoFormatsTest, LimitsAreCheckedBeforeDecoding) {
  DecodeLimits small;
  small.maxPixels = 64 * 48 - 1;
  for (const char* file : {"heif/q80.heic", "avif/lossy.avif", "webp/lossy.webp",
                           "webp/animated.webp", "jxl/lossy.jxl"}) {
    SCOPED_TRACE(file);
    const std::string name = file;
    const DecoderFunction read = name.starts_with("webp")  ? readWebp
                                 : name.starts_with("jxl") ? readJxl
                                                           : readHeif;
    Bitmap out;
    const CodecResult r =
        decodeBytes(read, test::readFileBytes(test::testDataDir() / file), out, small);
    EXPECT_EQ(r.error, CodecError::ceTooLarge);
    EXPECT_TRUE(out.empty());
  }
}

// A 1.5 KB AVIF whose overlay claims a canvas of gigabytes behind a 64 x 48 picture: refused from
// its boxes, before libheif clears the canvas (which took 40 s and 4 GB).
TEST(PhotoFormatsTest, OverlayCanvasLargerThanThePictureIsRefused) {
  const Bytes file = test::readFileBytes(test::testDataDir() / "avif/bad/overlay_canvas.avif");
  const std::vector<HeifCanvas> canvases = heifDerivedImages(file.data(), file.size()).canvases;
  ASSERT_EQ(canvases.size(), 1u);
  EXPECT_GT(canvases[0].width * canvases[0].height, std::uint64_t{1} << 28);
  Bitmap out;
  EXPECT_EQ(decodeBytes(readHeif, file, out).error, CodecError::ceTooLarge);
  EXPECT_TRUE(out.empty());
  // Pictures without derived images have no canvas to check.
  const Bytes plain = test::readFileBytes(test::testDataDir() / "avif/lossy.avif");
  EXPECT_TRUE(heifDerivedImages(plain.data(), plain.size()).canvases.empty());
}

// Colours told by code points: Display P3 gets a profile with P3's primaries, sRGB gets none.
// A grid whose alpha is an identity item drawing from an item that is not there: libheif 1.15
// aborts the program on an assertion for it, so it is refused from its boxes first.
// The second file's first reference box claims a size past its parent: libheif reads the
// references after it all the same, so they are read here too.
TEST(PhotoFormatsTest, DerivedPictureWithoutItsSourceIsRefused) {
  for (const char* bad : {"heif/bad/missing_source.heic", "heif/bad/reference_size_lies.heic"}) {
    const Bytes file = test::readFileBytes(test::testDataDir() / bad);
    EXPECT_TRUE(heifDerivedImages(file.data(), file.size()).missingSource) << bad;
    Bitmap out;
    EXPECT_EQ(decodeBytes(readHeif, file, out).error, CodecError::ceDamaged) << bad;
    EXPECT_TRUE(out.empty());
  }
  for (const char* good : {"heif/q80.heic", "heif/alpha.heic", "avif/alpha.avif"}) {
    const Bytes bytes = test::readFileBytes(test::testDataDir() / good);
    EXPECT_FALSE(heifDerivedImages(bytes.data(), bytes.size()).missingSource) << good;
  }
}

TEST(PhotoFormatsTest, CodePointColoursBecomeAProfile) {
  const Bytes p3 = test::readFileBytes(test::testDataDir() / "avif/p3.avif");
  const std::vector<std::uint8_t> icc = heifIccProfile(p3.data(), p3.size());
  ASSERT_FALSE(icc.empty());
  cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
  ASSERT_NE(profile, nullptr);
  // Display P3's red, adapted to D50 as every ICC profile stores it (sRGB's is 0.436 0.222 0.014).
  const auto* red = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigRedColorantTag));
  ASSERT_NE(red, nullptr);
  EXPECT_NEAR(red->X, 0.5151, 0.003);
  EXPECT_NEAR(red->Y, 0.2412, 0.003);
  EXPECT_NEAR(red->Z, -0.0011, 0.003);
  cmsCloseProfile(profile);

  const Bytes srgb = test::readFileBytes(test::testDataDir() / "avif/lossy.avif");
  EXPECT_TRUE(heifIccProfile(srgb.data(), srgb.size()).empty());
}

TEST(PhotoFormatsTest, EmbeddedProfilesAreHandedOut) {
  const Bytes adobe = test::readFileBytes("/usr/share/color/icc/compatibleWithAdobeRGB1998.icc");
  const fs::path data = test::testDataDir();
  const Bytes heif = test::readFileBytes(data / "heif/adobergb.heif");
  const Bytes webp = test::readFileBytes(data / "webp/adobergb.webp");
  const Bytes jxl = test::readFileBytes(data / "jxl/adobergb.jxl");
  EXPECT_EQ(heifIccProfile(heif.data(), heif.size()).size(), 580u);
  EXPECT_EQ(webpIccProfile(webp.data(), webp.size()).size(), 580u);
  EXPECT_EQ(jxlIccProfile(jxl.data(), jxl.size()).size(), 580u);
  if (!adobe.empty()) {
    EXPECT_EQ(heifIccProfile(heif.data(), heif.size()), adobe);
    EXPECT_EQ(webpIccProfile(webp.data(), webp.size()), adobe);
    EXPECT_EQ(jxlIccProfile(jxl.data(), jxl.size()), adobe);
  }
  // Untagged files, and files cut short, have none.
  const Bytes plainHeif = test::readFileBytes(data / "heif/q80.heic");
  const Bytes plainWebp = test::readFileBytes(data / "webp/lossy.webp");
  EXPECT_TRUE(heifIccProfile(plainHeif.data(), plainHeif.size()).empty());
  EXPECT_TRUE(webpIccProfile(plainWebp.data(), plainWebp.size()).empty());
  EXPECT_TRUE(heifIccProfile(heif.data(), 30).empty());
  EXPECT_TRUE(webpIccProfile(webp.data(), 20).empty());
  EXPECT_TRUE(jxlIccProfile(jxl.data(), 5).empty());
}

TEST(PhotoFormatsTest, FilesAreReadByExtensionThroughTheRegistry) {
  test::ScriptedPrompts prompts;
  test::ScratchFolder folder;
  for (const char* file : {"heif/q80.heic", "heif/adobergb.heif", "avif/lossy.avif",
                           "webp/lossy.webp", "jxl/lossy.jxl"}) {
    std::string name = (test::testDataDir() / file).string();
    Bitmap target;
    EXPECT_EQ(LoadImageFile(name, target, ""), 1) << file;
    EXPECT_EQ(target.width(), 64);
  }
  // A truncated file: the one message, the target untouched.
  const Bytes bytes = test::readFileBytes(test::testDataDir() / "heif/q80.heic");
  std::string cut = folder.file("cut.HEIC");
  test::writeFileBytes(cut, Bytes(bytes.begin(), bytes.begin() + long(bytes.size() / 2)));
  Bitmap target = test::randomBitmap(5, 4, 3);
  const Bitmap before = target;
  EXPECT_EQ(LoadImageFile(cut, target, ""), -1);
  EXPECT_TRUE(target == before);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, loadFailureMessage(cut));
}

// ---- the writer ---------------------------------------------------------------------------------

// A photo-like picture: smooth ramps that a lossy coder keeps well.
Bitmap smoothBitmap(int w, int h) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = b.row(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(255 * x / w);
      p[1] = static_cast<std::uint8_t>(255 * y / h);
      p[2] = static_cast<std::uint8_t>(255 * (x + y) / (w + h));
    }
  return b;
}

Bitmap writeAndRead(const Bitmap& picture, int quality, std::size_t* size = nullptr) {
  ByteWriter out;
  const CodecResult w = WriteWebp(picture, out, WebpOptions{quality});
  EXPECT_TRUE(w.ok()) << w.detail;
  if (size) *size = out.size();
  Bitmap back;
  ByteReader in(out.bytes());
  EXPECT_TRUE(readWebp(in, back, {}).ok());
  return back;
}

TEST(WriteWebpTest, PaletteResultsAreLosslessAndKeepTheirTransparentEntry) {
  for (auto [w, h] : {std::pair{113, 157}, std::pair{1, 9}, std::pair{9, 1}}) {
    Bitmap palette = test::randomBitmap(w, h, 3, 8);
    palette.Transparent = true;
    palette.TransparentColor = toColor(palette.palette()[palette.row(0)[0]]);
    const Bitmap back = writeAndRead(palette, 5);
    EXPECT_EQ(test::maxChannelDifference(palette, back), 0);
    ASSERT_EQ(back.bitsPerPixel(), 32);
    // Alpha 0 exactly where the pixel holds the first palette entry of the transparent colour.
    const auto& pal = palette.palette();
    std::size_t key = 0;
    while (toColor(pal[key]) != palette.TransparentColor) ++key;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(back.row(y)[4 * x + 3], palette.row(y)[x] == key ? 0 : 255) << x << "," << y;
  }
  // 1- and 4-bit palettes too.
  const Bitmap four = test::randomBitmap(31, 7, 4, 4);
  EXPECT_EQ(test::maxChannelDifference(four, writeAndRead(four, 90)), 0);
}

TEST(WriteWebpTest, PhotosAreLossyAtTheChosenQuality) {
  const Bitmap photo = smoothBitmap(113, 157);
  std::size_t low = 0, high = 0;
  const Bitmap rough = writeAndRead(photo, 5, &low);
  const Bitmap fine = writeAndRead(photo, 100, &high);
  EXPECT_LT(low, high);
  EXPECT_EQ(fine.bitsPerPixel(), 24);
  EXPECT_LT(test::comparePictures(photo, fine).meanDiff, 2.0);
  EXPECT_LT(test::comparePictures(photo, fine).meanDiff,
            test::comparePictures(photo, rough).meanDiff);
  // dwebp reads the file as well.
  if (haveTool("dwebp")) {
    test::ScratchFolder folder;
    ByteWriter out;
    ASSERT_TRUE(WriteWebp(photo, out, WebpOptions{90}).ok());
    test::writeFileBytes(folder / "p.webp", out.bytes());
    const Bitmap reference =
        referenceDecode("dwebp -quiet %i -o %o", folder / "p.webp", folder / "p.png");
    EXPECT_LT(test::comparePictures(photo, reference).meanDiff, 3.0);
  }
}

TEST(WriteWebpTest, SidesTheFormatCannotHoldFail) {
  ByteWriter out;
  EXPECT_EQ(WriteWebp(Bitmap(16384, 1), out, {}).error, CodecError::ceTooLarge);
  EXPECT_FALSE(WriteWebp(Bitmap(), out, {}).ok());
  EXPECT_EQ(out.size(), 0u);
}

TEST(WriteWebpTest, SaveAsksTheQualityQuestionAndUsesItsAnswer) {
  test::ScriptedPrompts prompts;
  test::ScratchFolder folder;
  const Bitmap photo = smoothBitmap(64, 48);
  std::vector<SaveFormat> asked;
  int quality = 5;
  setBeforeSaveHandler([&](SaveEncoder& e, bool&) {
    asked.push_back(e.format);
    e.jpeg.quality = quality;
  });
  std::string small = folder.file("small.WEBP");
  Bitmap copy = photo;
  EXPECT_EQ(SaveImageFile(small, copy, ""), 1);
  quality = 100;
  std::string large = folder.file("large.webp");
  copy = photo;
  EXPECT_EQ(SaveImageFile(large, copy, ""), 1);
  setBeforeSaveHandler({});
  EXPECT_EQ(asked, (std::vector<SaveFormat>{SaveFormat::sfWebp, SaveFormat::sfWebp}));
  EXPECT_LT(fs::file_size(small), fs::file_size(large));
  Bitmap back;
  EXPECT_TRUE(decodeImageFile(large, back).ok());
  EXPECT_EQ(back.width(), 64);
  EXPECT_EQ(FindSaveFormat("x.webp"), 7);
  EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
}  // namespace vorlino
