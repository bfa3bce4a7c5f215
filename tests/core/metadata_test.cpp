// Upright pictures and metadata carried through a frame and a save. Tags are written and read back
// with exiftool (Debian's libimage-exiftool-perl), an independent reader; tests that need it skip
// when it is missing.
#include "imagefile/metadata.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "batch/frame_files.h"
#include "imagefile/load_image.h"
#include "imagefile/save_image.h"
#include "test_images.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;

bool haveExiftool() {
  static const bool found = std::system("exiftool -ver >/dev/null 2>&1") == 0;
  return found;
}

#define REQUIRE_EXIFTOOL() \
  if (!haveExiftool()) GTEST_SKIP() << "exiftool not installed (libimage-exiftool-perl)"

void run(const std::string& command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The tags exiftool reads from file, as "Name" -> numeric value text.
std::map<std::string, std::string> exifTags(const fs::path& file, const std::string& names) {
  const fs::path out = file.string() + ".tags";
  std::system(
      ("exiftool -S -n " + names + " '" + file.string() + "' > '" + out.string() + "'").c_str());
  std::map<std::string, std::string> tags;
  std::ifstream in(out);
  for (std::string line; std::getline(in, line);) {
    const auto colon = line.find(": ");
    if (colon != std::string::npos) tags[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return tags;
}

// The pixel that orientation value n shows at (x, y) of the upright picture, from the stored
// picture of size w x h: the EXIF definition, written out case by case.
Color uprightPixel(const Bitmap& stored, int n, int x, int y) {
  const int w = stored.width(), h = stored.height();
  switch (n) {
    case 2:
      return stored.pixel(w - 1 - x, y);
    case 3:
      return stored.pixel(w - 1 - x, h - 1 - y);
    case 4:
      return stored.pixel(x, h - 1 - y);
    case 5:
      return stored.pixel(y, x);
    case 6:
      return stored.pixel(y, h - 1 - x);
    case 7:
      return stored.pixel(w - 1 - y, h - 1 - x);
    case 8:
      return stored.pixel(w - 1 - y, x);
    default:
      return stored.pixel(x, y);
  }
}

TEST(Orientation, EveryValueOfTheSharedSetOpensUpright) {
  VORLINO_REQUIRE_CORPUS();
  const fs::path dir = test::corpusDir() / "orientation";
  Bitmap upright;
  PhotoMetadata metadata;
  ASSERT_TRUE(decodeImageFile((dir / "Landscape_1.jpg").string(), upright, metadata).ok());
  EXPECT_EQ(metadata.orientation(), 1);
  for (int n = 0; n <= 8; ++n) {
    SCOPED_TRACE(n);
    Bitmap picture;
    const std::string name = (dir / ("Landscape_" + std::to_string(n) + ".jpg")).string();
    ASSERT_TRUE(decodeImageFile(name, picture, metadata).ok());
    if (n >= 1) {
      EXPECT_EQ(metadata.orientation(), n);
    }
    const test::PictureDifference d = test::comparePictures(picture, upright);
    ASSERT_TRUE(d.sameSize) << picture.width() << " x " << picture.height();
    // The set was re-encoded for each orientation (about 4 of JPEG noise on average); a wrong
    // turn or mirror differs by about 70.
    EXPECT_LT(d.meanDiff, 8.0);
  }
}

// PNG (eXIf chunk) and TIFF (tag 274), tagged by exiftool: exact pixels, as both are lossless.
TEST(Orientation, PngAndTiffTagsTurnTheDecodedPicture) {
  REQUIRE_EXIFTOOL();
  const test::ScratchFolder dir("vorlino-orient");
  const Bitmap stored = test::randomBitmap(7, 4, 11);
  for (const char* ext : {"png", "tif"}) {
    for (int n = 1; n <= 8; ++n) {
      const std::string name = dir.file(std::to_string(n) + "." + ext);
      ASSERT_EQ(SaveImageFileWith(name, stored, {}), 1);
    }
  }
  for (int n = 1; n <= 8; ++n)
    run("exiftool -q -overwrite_original -Orientation#=" + std::to_string(n) + " '" +
        dir.file(std::to_string(n) + ".png") + "' '" + dir.file(std::to_string(n) + ".tif") + "'");
  for (const char* ext : {"png", "tif"}) {
    for (int n = 1; n <= 8; ++n) {
      SCOPED_TRACE(std::string(ext) + " " + std::to_string(n));
      Bitmap picture;
      ASSERT_TRUE(decodeImageFile(dir.file(std::to_string(n) + "." + ext), picture).ok());
      const bool turned = n >= 5;
      ASSERT_EQ(picture.width(), turned ? 4 : 7);
      ASSERT_EQ(picture.height(), turned ? 7 : 4);
      for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
          ASSERT_EQ(picture.pixel(x, y), uprightPixel(stored, n, x, y)) << x << "," << y;
    }
  }
}

class MetadataKeptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveExiftool()) GTEST_SKIP() << "exiftool not installed (libimage-exiftool-perl)";
    // A sideways 48 x 32 photo with camera tags, GPS, XMP, IPTC, a thumbnail and a profile.
    input_ = dir_.file("photo.jpg");
    ASSERT_EQ(SaveImageFileWith(input_, test::randomBitmap(48, 32, 5), {}), 1);
    ASSERT_EQ(SaveImageFileWith(dir_.file("thumb.jpg"), test::randomBitmap(8, 6, 6), {}), 1);
    run("exiftool -q -overwrite_original -Orientation#=6 -DateTimeOriginal='2024:05:17 14:03:21' "
        "-Make=Vendor -Model='Camera X' -LensModel='Lens 35mm' -ExposureTime=0.004 -FNumber=2.8 "
        "-ISO=200 -GPSLatitude=45.5 -GPSLatitudeRef=N -GPSLongitude=6.25 -GPSLongitudeRef=E "
        "-ExifImageWidth=48 -ExifImageHeight=32 -XMP-dc:Title='Le lac' -IPTC:Keywords=montagne "
        "'-ThumbnailImage<=" +
        dir_.file("thumb.jpg") + "' '-ICC_Profile<=" + profile() + "' '" + input_ + "'");
    source_ = exifTags(input_, kNames);
    ASSERT_EQ(source_["Make"], "Vendor");
    ASSERT_FALSE(source_["ThumbnailImage"].empty());
  }

  static std::string profile() {
    return (test::testDataDir() / "icc" / "compatibleWithAdobeRGB1998.icc").string();
  }

  // Frames input_ into name with a plain mask, as the batch and vorlino-cli frame do.
  void frame(const std::string& name, bool keepMetadata, bool stream = true) {
    const Bitmap maskPicture = test::solidBitmap(4, 4, rgb(128, 128, 128));
    FrameFileSettings settings{{}, {.opacity = 50, .colour = rgb(200, 10, 10)}, {}};
    settings.keepMetadata = keepMetadata;
    settings.stream = stream;
    MaskBitmapCache masks(maskPicture, settings.mask);
    const FrameFileResult r = frameFile({input_, name}, settings, masks, true);
    ASSERT_EQ(r.outcome, FrameOutcome::foDone) << r.message;
  }

  static constexpr const char* kNames =
      "-Orientation -DateTimeOriginal -Make -Model -LensModel -ExposureTime -FNumber -ISO "
      "-GPSLatitude -GPSLongitude -ExifImageWidth -ExifImageHeight -Title -Keywords "
      "-ThumbnailImage";
  const test::ScratchFolder dir_{"vorlino-meta"};
  std::string input_;
  std::map<std::string, std::string> source_;
};

TEST_F(MetadataKeptTest, FramedPhotoKeepsItsTagsUprightInEveryCarryingFormat) {
  const std::vector<std::uint8_t> icc = test::readFileBytes(profile());
  Bitmap framed;  // the pixels, from a format that carries no metadata
  frame(dir_.file("framed.bmp"), true);
  ASSERT_TRUE(decodeImageFile(dir_.file("framed.bmp"), framed).ok());
  for (const char* ext : {"jpg", "png", "tif"}) {
    SCOPED_TRACE(ext);
    const std::string output = dir_.file(std::string("framed.") + ext);
    frame(output, true);
    std::map<std::string, std::string> tags = exifTags(output, kNames);
    for (const char* same : {"DateTimeOriginal", "Make", "Model", "LensModel", "ExposureTime",
                             "FNumber", "ISO", "GPSLatitude", "GPSLongitude", "Title", "Keywords"})
      EXPECT_EQ(tags[same], source_[same]) << same;
    EXPECT_EQ(tags["Orientation"], "1");
    EXPECT_EQ(tags["ExifImageWidth"], "32");  // the upright picture is 32 wide
    EXPECT_EQ(tags["ExifImageHeight"], "48");
    EXPECT_EQ(tags.count("ThumbnailImage"), 0u);

    Bitmap back;
    PhotoMetadata metadata;
    ASSERT_TRUE(decodeImageFile(output, back, metadata).ok());
    EXPECT_EQ(back.width(), 32);
    if (std::string(ext) != "jpg") {
      back.convertTo24();
      EXPECT_EQ(back, framed);  // rewriting the file for its tags left the pixels alone
    }
    EXPECT_EQ(metadata.iccProfile(), icc);
  }
}

TEST_F(MetadataKeptTest, StreamedFrameWritesWhatTheWholePathWrites) {
  // Stored upright, the photo goes as a stream of rows; its tags must still reach the output.
  run("exiftool -q -overwrite_original -Orientation#=1 '" + input_ + "'");
  for (const bool keep : {true, false})
    for (const char* ext : {"jpg", "png", "tif"}) {
      SCOPED_TRACE(std::string(ext) + (keep ? " kept" : " stripped"));
      const std::string streamed = dir_.file(std::string("s.") + ext);
      const std::string whole = dir_.file(std::string("w.") + ext);
      frame(streamed, keep, true);
      frame(whole, keep, false);
      EXPECT_EQ(test::readFileBytes(streamed), test::readFileBytes(whole));
      EXPECT_EQ(exifTags(streamed, "-Make")["Make"], keep ? "Vendor" : "");
    }
}

TEST_F(MetadataKeptTest, StreamedPhotoWithOneKindOfMetadataKeepsIt) {
  // Each kind alone in its own segment (EXIF and XMP in APP1, the profile in APP2, IPTC in
  // APP13), and none at all: the stream reads the head's tags only where there are some.
  const std::string kinds[] = {"-all= -Make=Vendor", "-all= -XMP-dc:Title='Le lac'",
                               "-all= '-ICC_Profile<=" + profile() + "'",
                               "-all= -IPTC:Keywords=montagne", "-all="};
  for (const std::string& kind : kinds) {
    SCOPED_TRACE(kind);
    ASSERT_EQ(SaveImageFileWith(input_, test::randomBitmap(48, 32, 5), {}), 1);
    run("exiftool -q -overwrite_original " + kind + " '" + input_ + "'");
    const std::string streamed = dir_.file("s.jpg"), whole = dir_.file("w.jpg");
    frame(streamed, true, true);
    frame(whole, true, false);
    EXPECT_EQ(test::readFileBytes(streamed), test::readFileBytes(whole));
  }
}

TEST_F(MetadataKeptTest, StrippedSaveKeepsOnlyTheProfileAndNoMetadataFormatsAreUnchanged) {
  const std::string output = dir_.file("stripped.jpg");
  frame(output, false);
  const std::map<std::string, std::string> tags = exifTags(output, kNames);
  EXPECT_TRUE(tags.empty()) << tags.begin()->first;
  Bitmap back;
  PhotoMetadata metadata;
  ASSERT_TRUE(decodeImageFile(output, back, metadata).ok());
  EXPECT_FALSE(metadata.hasTags());
  EXPECT_EQ(metadata.iccProfile(), test::readFileBytes(profile()));

  // A format without metadata is written byte for byte as it would be without any.
  const std::string bmp = dir_.file("framed.bmp");
  frame(bmp, true);
  ASSERT_TRUE(decodeImageFile(bmp, back).ok());
  ASSERT_EQ(SaveImageFileWith(dir_.file("plain.bmp"), back, {}), 1);
  EXPECT_EQ(test::readFileBytes(bmp), test::readFileBytes(dir_.file("plain.bmp")));
}

// A damaged EXIF block is ignored: the picture opens as it would without it.
TEST(Metadata, BrokenExifDoesNotFailTheOpen) {
  const test::ScratchFolder dir("vorlino-badexif");
  const Bitmap photo = test::randomBitmap(16, 8, 3);
  ASSERT_EQ(SaveImageFileWith(dir.file("plain.jpg"), photo, {}), 1);
  const std::vector<std::uint8_t> plain = test::readFileBytes(dir.file("plain.jpg"));
  Bitmap expected;
  ASSERT_TRUE(decodeImageFile(dir.file("plain.jpg"), expected).ok());

  // An APP1 "Exif" segment whose IFD offset points far outside it, then one with an entry count
  // larger than the segment and an Orientation entry pointing nowhere.
  const std::vector<std::vector<std::uint8_t>> blocks = {
      {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0x7F, 1, 2, 3, 4},
      {'E',  'x',  'i',  'f',  0, 0, 'M',  'M',  0,    42,   0,    0,    0,    8,
       0xFF, 0xFF, 0x01, 0x12, 0, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::size_t length = blocks[i].size() + 2;
    std::vector<std::uint8_t> file = {0xFF,
                                      0xD8,
                                      0xFF,
                                      0xE1,
                                      static_cast<std::uint8_t>(length >> 8),
                                      static_cast<std::uint8_t>(length)};
    file.insert(file.end(), blocks[i].begin(), blocks[i].end());
    file.insert(file.end(), plain.begin() + 2, plain.end());
    const std::string name = dir.file("bad" + std::to_string(i) + ".jpg");
    test::writeFileBytes(name, file);
    Bitmap picture;
    PhotoMetadata metadata;
    ASSERT_TRUE(decodeImageFile(name, picture, metadata).ok()) << i;
    EXPECT_EQ(picture, expected) << i;
    EXPECT_EQ(metadata.orientation(), 0) << i;
  }
}

}  // namespace
}  // namespace vorlino
