// LoadImageFile: results, the one failure message, the open dialog and its flags, dispatch by
// extension, rendering of icons and metafiles.
#include "imagefile/load_image.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "imagefile/decoder_kind.h"
#include "imagefile/format_registry.h"
#include "scripted_prompts.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;

class LoadImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setReportLoadFailures(true);
    setPreviewFlag(false);
  }
  void TearDown() override {
    setReportLoadFailures(true);
    setPreviewFlag(false);
    setMetafileDecoder(nullptr);
  }
  // Copies a file of tests/data under a new name in the test's folder.
  std::string copy(const std::string& from, const std::string& name) {
    const fs::path to = dir_ / name;
    fs::create_directories(to.parent_path());
    fs::copy_file(test::testDataDir() / from, to, fs::copy_options::overwrite_existing);
    return to.string();
  }
  static std::string failureText(const std::string& name) {
    return "Impossible d'ouvrir l'image dans le fichier \"" + name + "\"";
  }
  const test::ScratchFolder scratch_{"vorlino-load"};
  const fs::path dir_ = scratch_.path();
};

TEST_F(LoadImageTest, ReadsByExtensionWhateverItsCase) {
  test::ScriptedPrompts prompts;
  Bitmap upper, lower;
  upper.Transparent = true;
  std::string a = copy("bmp/pal1.bmp", "pic.BMP");
  std::string b = copy("bmp/pal1.bmp", "pic.bmp");
  EXPECT_EQ(LoadImageFile(a, upper, "/ignored"), 1);
  EXPECT_EQ(LoadImageFile(b, lower, ""), 1);
  EXPECT_EQ(upper, lower);  // includes the Transparent flag, now off
  EXPECT_FALSE(upper.Transparent);
  EXPECT_EQ(upper.bitsPerPixel(), 1);  // palette pictures are assigned as they are
  EXPECT_EQ(upper.width(), 127);
  EXPECT_TRUE(prompts.openRequests.empty());
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(LoadImageTest, UpperAndLowerCaseJpegNamesReachTheSameDecoder) {
  if (!decoderAvailable(DecoderKind::dkJpeg)) GTEST_SKIP() << "no JPEG decoder in this build";
  VORLINO_REQUIRE_CORPUS();
  const fs::path sample = test::corpusDir() / "jpeg/testorig.jpg";
  test::ScriptedPrompts prompts;
  fs::copy_file(sample, dir_ / "photo.JPG");
  fs::copy_file(sample, dir_ / "photo.jpg");
  std::string upper = (dir_ / "photo.JPG").string(), lower = (dir_ / "photo.jpg").string();
  Bitmap a, b;
  EXPECT_EQ(LoadImageFile(upper, a, ""), 1);
  EXPECT_EQ(LoadImageFile(lower, b, ""), 1);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.width(), 227);
}

TEST_F(LoadImageTest, EveryFailureGivesTheOneMessageAndKeepsTheTarget) {
  test::ScriptedPrompts prompts;
  Bitmap target(2, 2, 24);
  target.setPixel(1, 1, rgb(9, 8, 7));
  target.Transparent = true;
  const Bitmap before = target;
  fs::create_directories(dir_ / "folder.bmp");
  const std::vector<std::string> names = {
      copy("bmp/pal1.bmp", "notes.txt"),        // unknown extension
      copy("bmp/pal1.bmp", "noextension"),      // none at all
      copy("bmp/pal1.bmp", "dir.bmp/picture"),  // the dot is in a folder name
      copy("bmp/pal1.bmp", "photo.JPG"),        // a bitmap under another extension: not sniffed
      copy("ico/hopper_mask.ico", "icon.pbm"),  // content that the decoder rejects
      (dir_ / "missing.bmp").string(),          // no such file
      (dir_ / "folder.bmp").string(),           // not a file
  };
  for (std::string name : names) {
    const std::string given = name;
    EXPECT_EQ(LoadImageFile(name, target, ""), -1) << name;
    EXPECT_EQ(name, given);
    ASSERT_FALSE(prompts.messages.empty()) << name;
    const auto& m = prompts.messages.back();
    EXPECT_EQ(m.text, failureText(given));
    EXPECT_EQ(m.kind, MessageKind::mkError);
    EXPECT_EQ(m.caption, "Erreur");
    EXPECT_EQ(m.buttons, MessageButtons::mbOk);
  }
  EXPECT_EQ(prompts.messages.size(), names.size());
  EXPECT_EQ(target, before);
}

TEST_F(LoadImageTest, FailuresAreSilentWhileReportsAreOff) {
  test::ScriptedPrompts prompts;
  Bitmap target;
  std::string name = (dir_ / "missing.tga").string();
  setReportLoadFailures(false);
  EXPECT_FALSE(reportLoadFailures());
  EXPECT_EQ(LoadImageFile(name, target, ""), -1);
  EXPECT_TRUE(prompts.messages.empty());
  setReportLoadFailures(true);
  EXPECT_EQ(LoadImageFile(name, target, ""), -1);
  EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(LoadImageTest, DialogCancelAcceptAndPreviewFlag) {
  test::ScriptedPrompts prompts;
  Bitmap target;
  std::string name;
  EXPECT_FALSE(previewFlag());
  // Cancelled, with the preview switched on in the dialog.
  prompts.openReplies.push_back({false, "", true});
  EXPECT_EQ(LoadImageFile(name, target, "/some/folder"), 0);
  EXPECT_TRUE(name.empty());
  EXPECT_TRUE(target.empty());
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_TRUE(previewFlag());
  ASSERT_EQ(prompts.openRequests.size(), 1u);
  EXPECT_EQ(prompts.openRequests[0].folder, "/some/folder");
  EXPECT_FALSE(prompts.openRequests[0].preview);
  EXPECT_EQ(prompts.openRequests[0].filter, fileFormats().openFilter());
  EXPECT_EQ(prompts.openRequests[0].filter.rfind("Toutes les images|*.bmp; *.bw;", 0), 0u);

  // Accepted: the next dialog opens with the preview as the user left it, and the same filter.
  const std::string chosen = copy("tga/p_16.tga", "chosen.tga");
  prompts.openReplies.push_back({true, chosen, false});
  EXPECT_EQ(LoadImageFile(name, target, ""), 1);
  EXPECT_EQ(name, chosen);
  EXPECT_EQ(target.width(), 128);
  EXPECT_FALSE(previewFlag());
  ASSERT_EQ(prompts.openRequests.size(), 2u);
  EXPECT_TRUE(prompts.openRequests[1].preview);
  EXPECT_EQ(prompts.openRequests[1].filter, prompts.openRequests[0].filter);
  EXPECT_EQ(prompts.openRequests[1].folder, "");

  // A chosen file that cannot be read: the message names it.
  name.clear();
  prompts.openReplies.push_back({true, (dir_ / "gone.pgm").string(), false});
  EXPECT_EQ(LoadImageFile(name, target, ""), -1);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, failureText((dir_ / "gone.pgm").string()));
}

TEST_F(LoadImageTest, IconsAreDrawnOnWhite) {
  test::ScriptedPrompts prompts;
  Bitmap target;
  std::string name = copy("ico/hopper_mask.ico", "icon.ICO");
  ASSERT_EQ(LoadImageFile(name, target, ""), 1);
  EXPECT_EQ(target.bitsPerPixel(), 24);
  EXPECT_EQ(target.width(), 16);
  EXPECT_EQ(target.height(), 16);
  int white = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) white += target.pixel(x, y) == kWhite;
  EXPECT_GT(white, 0);
  EXPECT_LT(white, 256);
}

CodecResult fakeMetafile(ByteReader& in, Bitmap& out, const DecodeLimits&) {
  if (in.size() < 4) return CodecResult::fail(CodecError::ceSignature);
  Bitmap pic(3, 1, 32);
  pic.row(0)[3] = 0;                          // transparent
  pic.row(0)[4] = 10, pic.row(0)[7] = 255;    // opaque, blue 10
  pic.row(0)[8] = 200, pic.row(0)[11] = 128;  // half transparent over white
  out.swap(pic);
  return CodecResult::success();
}

TEST_F(LoadImageTest, MetafilesNeedTheInstalledRenderer) {
  test::ScriptedPrompts prompts;
  Bitmap target;
  std::string name = copy("bmp/pal1.bmp", "drawing.wmf");
  EXPECT_FALSE(decoderAvailable(DecoderKind::dkMetafile));
  EXPECT_EQ(LoadImageFile(name, target, ""), -1);
  EXPECT_EQ(prompts.messages.size(), 1u);
  setMetafileDecoder(fakeMetafile);
  EXPECT_TRUE(decoderAvailable(DecoderKind::dkMetafile));
  std::string emf = copy("bmp/pal1.bmp", "drawing.emf");
  ASSERT_EQ(LoadImageFile(emf, target, ""), 1);
  ASSERT_EQ(target.bitsPerPixel(), 24);
  EXPECT_EQ(target.pixel(0, 0), kWhite);
  EXPECT_EQ(target.pixel(1, 0), rgb(0, 0, 10));
  EXPECT_EQ(target.pixel(2, 0), rgb(127, 127, (200 * 128 + 255 * 127) / 255));
}

TEST_F(LoadImageTest, PngNamedGifIsNotReadAsPng) {
  if (!decoderAvailable(DecoderKind::dkGif)) GTEST_SKIP() << "no GIF decoder in this build";
  test::ScriptedPrompts prompts;
  Bitmap target;
  std::string name = copy("reference/bmp/pal1.bmp.png", "photo.gif");
  EXPECT_EQ(LoadImageFile(name, target, ""), -1);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, failureText(name));
  if (decoderAvailable(DecoderKind::dkPng)) {
    std::string png = copy("reference/bmp/pal1.bmp.png", "photo.png");
    EXPECT_EQ(LoadImageFile(png, target, ""), 1);
  }
}

TEST(FileExtensionTest, TakesTheTextAfterTheLastDotOfTheName) {
  EXPECT_EQ(fileExtension("/a/photo.JPG"), "jpg");
  EXPECT_EQ(fileExtension("/a.b/photo"), "");
  EXPECT_EQ(fileExtension("photo.tar.Gz"), "gz");
  EXPECT_EQ(fileExtension("photo."), "");
  EXPECT_EQ(fileExtension(""), "");
}

}  // namespace
}  // namespace vorlino
