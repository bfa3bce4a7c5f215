#include "batch/frame_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "imagefile/load_image.h"
#include "imagefile/save_image.h"
#include "test_images.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;

class FrameFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_ / "in" / "sub"); }

  std::string write(const fs::path& relative, const Bitmap& b) {
    const std::string name = (dir_ / "in" / relative).string();
    EXPECT_EQ(SaveImageFileWith(name, b, {}), 1);
    return name;
  }

  const test::ScratchFolder scratch_{"vorlino-frame"};
  const fs::path dir_ = scratch_.path();
};

TEST_F(FrameFilesTest, ListsReadablePicturesInNameOrder) {
  write("b.png", test::randomBitmap(3, 2, 1));
  write("a.bmp", test::randomBitmap(3, 2, 2));
  write("sub/c.tga", test::randomBitmap(3, 2, 3));
  test::writeFileText(dir_ / "in" / "notes.txt", "not a picture");
  auto flat = listPictures(dir_ / "in", false);
  ASSERT_EQ(flat.size(), 2u);
  EXPECT_EQ(flat[0].second, fs::path("a.bmp"));
  EXPECT_EQ(flat[1].second, fs::path("b.png"));
  auto deep = listPictures(dir_ / "in", true);
  ASSERT_EQ(deep.size(), 3u);
  EXPECT_EQ(deep[2].second, fs::path("sub/c.tga"));
  // A file is taken as it is, readable or not: its failure is reported when it is read.
  EXPECT_EQ(listPictures(dir_ / "in" / "notes.txt", false).size(), 1u);
}

TEST_F(FrameFilesTest, OutputNamesFollowFormatSuffixAndTransparency) {
  const fs::path out = "/out";
  EXPECT_EQ(frameOutputName("x/photo.PNG", out, std::nullopt, "_c", false), "/out/x/photo_c.PNG");
  EXPECT_EQ(frameOutputName("photo.psd", out, std::nullopt, "", false), "/out/photo.jpg");
  EXPECT_EQ(frameOutputName("photo.jpg", out, std::nullopt, "", true), "/out/photo.gif");
  EXPECT_EQ(frameOutputName("photo.jpg", out, std::string("tif"), "", true), "/out/photo.tif");
  EXPECT_EQ(frameOutputName("photo.jpg", out, std::string(".png"), "", false), "/out/photo.png");
}

TEST_F(FrameFilesTest, FramesAsTheWindowDoesAndSkipsExistingFiles) {
  const Bitmap photo = test::randomBitmap(41, 29, 7);
  const std::string input = write("photo.png", photo);
  Bitmap maskPicture = test::randomBitmap(10, 8, 9);
  const FrameFileSettings settings{
      {.soften = true}, {.opacity = 70, .colour = rgb(10, 20, 30)}, {}};
  MaskBitmapCache masks(maskPicture, settings.mask);
  const std::string output = (dir_ / "out" / "photo.png").string();

  FrameFileResult r = frameFile({input, output}, settings, masks, false);
  ASSERT_EQ(r.outcome, FrameOutcome::foDone) << r.message;
  Bitmap written;
  ASSERT_TRUE(decodeImageFile(output, written).ok());
  Bitmap expected = photo;
  const auto mask = BuildMaskBitmap(maskPicture, 41, 29, settings.mask);
  ApplyMaskBitmap(expected, *mask, settings.mask.format, settings.blend);
  EXPECT_EQ(written, expected);

  r = frameFile({input, output}, settings, masks, false);
  EXPECT_EQ(r.outcome, FrameOutcome::foSkipped);
  EXPECT_NE(r.message.find("existe déjà"), std::string::npos);
  r = frameFile({input, output}, settings, masks, true);
  EXPECT_EQ(r.outcome, FrameOutcome::foDone);
}

TEST_F(FrameFilesTest, FailuresComeBackAsTheProgramsMessages) {
  const Bitmap maskPicture = test::randomBitmap(4, 4, 1);
  MaskBitmapCache masks(maskPicture, {});
  const std::string missing = (dir_ / "in" / "missing.png").string();
  FrameFileResult r = frameFile({missing, (dir_ / "o.png").string()}, {}, masks, false);
  EXPECT_EQ(r.outcome, FrameOutcome::foFailed);
  EXPECT_EQ(r.message, loadFailureMessage(missing));

  const std::string input = write("p.png", test::randomBitmap(5, 5, 2));
  const std::string bad = (dir_ / "o.xyz").string();
  r = frameFile({input, bad}, {}, masks, false);
  EXPECT_EQ(r.outcome, FrameOutcome::foFailed);
  EXPECT_EQ(r.message, saveFailureMessage(bad, true));
}

}  // namespace
}  // namespace vorlino
