#include "imagefile/save_image.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "scripted_prompts.h"
#include "test_images.h"
#include "writer_test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Restores an empty before-save slot after each test.
class SaveImageTest : public ::testing::Test {
 protected:
  void TearDown() override { setBeforeSaveHandler({}); }
  test::ScriptedPrompts prompts;
  test::ScratchFolder folder;
  Bitmap photo = test::randomBitmap(23, 17, 8);
};

std::string failureText(const std::string& name) {
  return "Impossible d'enregistrer l'image dans le fichier \"" + name + "\"";
}

TEST_F(SaveImageTest, FilterIsBuiltFromTheTable) {
  EXPECT_EQ(saveFilter(),
            "Bitmap Windows (*.bmp)|*.bmp|Bitmap Windows RLE (*.rle)|*.rle|Image GIF (*.gif)|*.gif|"
            "Image JPEG (*.jpg;*.jpeg;*.jpe)|*.jpg;*.jpeg;*.jpe|Image PNG (*.png)|*.png|"
            "Image TIFF (*.tif;*.tiff)|*.tif;*.tiff|Image Targa (*.tga)|*.tga|"
            "Image WebP (*.webp)|*.webp");
}

TEST_F(SaveImageTest, FindSaveFormatMatchesLowerCasedExtensionFromTheLastRow) {
  EXPECT_EQ(FindSaveFormat("x.jpe"), 3);
  EXPECT_EQ(FindSaveFormat("x.TIF"), 5);
  EXPECT_EQ(FindSaveFormat("x"), -1);
  EXPECT_EQ(FindSaveFormat("/a/b.c/cadre"), -1);  // a dot in a folder name is no extension
  EXPECT_EQ(FindSaveFormat("x.xyz"), -1);
  EXPECT_EQ(FindSaveFormat("archive.photo.Png"), 4);
  EXPECT_EQ(FindSaveFormat("x.jp"), 3);  // contained in ".jpg;.jpeg;.jpe"
}

// What each extension writes, told by the file's first bytes.
TEST_F(SaveImageTest, ExtensionChoosesTheWriterInAnyLetterCase) {
  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"a.BMP", {'B', 'M'}},        {"a.rle", {'B', 'M'}},      {"a.Gif", {'G', 'I', 'F'}},
      {"photo.JPEG", {0xFF, 0xD8}}, {"a.jpe", {0xFF, 0xD8}},    {"a.jpg", {0xFF, 0xD8}},
      {"a.png", {0x89, 'P', 'N'}},  {"a.tiff", {'I', 'I', 42}}, {"a.TIF", {'I', 'I', 42}},
      {"a.tga", {0, 0, 10}}};
  for (const auto& [name, magic] : cases) {
    std::string fileName = folder.file(name);
    Bitmap copy = photo;
    ASSERT_EQ(SaveImageFile(fileName, copy, ""), 1) << name;
    const Bytes f = test::readFileBytes(fileName);
    ASSERT_GE(f.size(), magic.size());
    EXPECT_EQ(Bytes(f.begin(), f.begin() + static_cast<long>(magic.size())), magic) << name;
  }
  EXPECT_EQ(test::readFileBytes(folder.file("a.rle"))[30], 1);  // RLE8 compression
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(SaveImageTest, UnknownExtensionGivesTheTwoLineMessageAndNoFile) {
  std::string fileName = folder.file("photo.bmp.txt");
  EXPECT_EQ(SaveImageFile(fileName, photo, ""), -2);
  ASSERT_EQ(prompts.messages.size(), 1u);
  const auto& m = prompts.messages[0];
  EXPECT_EQ(m.kind, MessageKind::mkError);
  EXPECT_EQ(m.caption, "Erreur");
  EXPECT_EQ(m.buttons, MessageButtons::mbOk);
  EXPECT_EQ(m.text, failureText(fileName) + "\rcar le format n'est pas reconnu !");
  EXPECT_TRUE(folder.entries().empty());
}

TEST_F(SaveImageTest, MessageKeepsPercentSignsOfTheName) {
  std::string fileName = folder.file("100%s.xyz");
  EXPECT_EQ(SaveImageFile(fileName, photo, ""), -2);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text.find(failureText(fileName)), 0u);
}

TEST_F(SaveImageTest, DialogPreselectsTheTypeOfTheDefaultName) {
  std::string fileName;
  EXPECT_EQ(SaveImageFile(fileName, photo, "C:\\images\\cadre.tiff"), 0);  // dialog cancelled
  EXPECT_EQ(SaveImageFile(fileName, photo, "C:\\images\\cadre.xyz"), 0);
  EXPECT_EQ(SaveImageFile(fileName, photo, ""), 0);
  EXPECT_EQ(SaveImageFile(fileName, photo, "/home/u/photo.JPG"), 0);
  ASSERT_EQ(prompts.saveRequests.size(), 4u);
  for (const auto& r : prompts.saveRequests) {
    EXPECT_EQ(r.filter, saveFilter());
    EXPECT_EQ(r.defaultExtension, ".bmp");
  }
  EXPECT_EQ(prompts.saveRequests[0].filterIndex, 6);  // "Image TIFF"
  EXPECT_EQ(prompts.saveRequests[0].proposedName, "C:\\images\\cadre");
  EXPECT_EQ(prompts.saveRequests[1].filterIndex, 0);  // first type
  EXPECT_EQ(prompts.saveRequests[1].proposedName, "C:\\images\\cadre");
  EXPECT_EQ(prompts.saveRequests[2].filterIndex, 0);
  EXPECT_EQ(prompts.saveRequests[2].proposedName, "");
  EXPECT_EQ(prompts.saveRequests[3].filterIndex, 4);
  EXPECT_EQ(prompts.saveRequests[3].proposedName, "/home/u/photo");
  EXPECT_TRUE(fileName.empty());
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(SaveImageTest, ChosenNameIsWrittenBack) {
  const std::string chosen = folder.file("chosen.png");
  prompts.saveReplies.push_back({true, chosen});
  std::string fileName;
  EXPECT_EQ(SaveImageFile(fileName, photo, ""), 1);
  EXPECT_EQ(fileName, chosen);
  EXPECT_FALSE(test::readFileBytes(chosen).empty());
  EXPECT_TRUE(prompts.saveRequests.size() == 1);
}

TEST_F(SaveImageTest, BeforeSaveHandlerSeesTheWriterAndCanCancel) {
  std::vector<SaveFormat> seen;
  setBeforeSaveHandler([&](SaveEncoder& e, bool& accept) {
    seen.push_back(e.format);
    EXPECT_TRUE(accept);
    if (e.format == SaveFormat::sfJpeg) accept = false;
  });
  std::string jpg = folder.file("photo.jpg");
  EXPECT_EQ(SaveImageFile(jpg, photo, ""), 0);
  std::string png = folder.file("photo.png");
  EXPECT_EQ(SaveImageFile(png, photo, ""), 1);
  std::string tga = folder.file("photo.tga");
  EXPECT_EQ(SaveImageFile(tga, photo, ""), 1);
  EXPECT_EQ(seen,
            (std::vector<SaveFormat>{SaveFormat::sfJpeg, SaveFormat::sfPng, SaveFormat::sfTarga}));
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_EQ(folder.entries().size(), 2u);  // no photo.jpg
}

TEST_F(SaveImageTest, JpegSettingsFromTheHandlerReachTheEncoder) {
  JpegOptions chosen{5, true};
  setBeforeSaveHandler([&](SaveEncoder& e, bool&) { e.jpeg = chosen; });
  std::string low = folder.file("low.jpg");
  ASSERT_EQ(SaveImageFile(low, photo, ""), 1);
  ByteWriter expected;
  ASSERT_TRUE(WriteJpeg(photo, expected, {5, true}).ok());
  EXPECT_EQ(test::readFileBytes(low), expected.bytes());
  chosen = {100, false};
  std::string high = folder.file("high.jpg");
  ASSERT_EQ(SaveImageFile(high, photo, ""), 1);
  EXPECT_GT(test::readFileBytes(high).size(), test::readFileBytes(low).size());
}

TEST_F(SaveImageTest, FailedWriteKeepsTheExistingFile) {
  const std::string target = folder.file("keep.tga");
  const Bytes old = {'o', 'l', 'd'};
  test::writeFileBytes(target, old);
  std::string fileName = target;
  Bitmap tooWide(70000, 2, 24);  // does not fit the Targa header
  EXPECT_EQ(SaveImageFile(fileName, tooWide, ""), -1);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, failureText(target));
  EXPECT_EQ(test::readFileBytes(target), old);
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"keep.tga"}));  // no temporary left
}

TEST_F(SaveImageTest, DiskFullMidwayKeepsTheExistingFile) {
  // A file size limit makes the write stop part-way, as a full disk would (root included).
  const std::string target = folder.file("photo.bmp");
  const Bytes old(50, 'o');
  test::writeFileBytes(target, old);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 200;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string fileName = target;
  const int result = SaveImageFile(fileName, photo, "");  // about 1.2 kB
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(test::readFileBytes(target), old);
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"photo.bmp"}));
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, failureText(target));
}

TEST_F(SaveImageTest, SidesAbove65535FailForTiffAndGifButNotForPng) {
  Bitmap tall(1, 65536, 24);
  for (const char* name : {"t.tif", "t.gif", "t.tga"}) {
    std::string fileName = folder.file(name);
    EXPECT_EQ(SaveImageFile(fileName, tall, ""), -1) << name;
  }
  EXPECT_EQ(prompts.messages.size(), 3u);
  std::string png = folder.file("t.png");
  EXPECT_EQ(SaveImageFile(png, tall, ""), 1);
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"t.png"}));
}

TEST_F(SaveImageTest, MissingFolderOrUnwritableTargetFails) {
  std::string missing = folder.file("nowhere/photo.bmp");
  EXPECT_EQ(SaveImageFile(missing, photo, ""), -1);
  std::filesystem::create_directory(folder.file("dir.png"));
  std::string isFolder = folder.file("dir.png");
  EXPECT_EQ(SaveImageFile(isFolder, photo, ""), -1);
  ASSERT_EQ(prompts.messages.size(), 2u);
  EXPECT_EQ(prompts.messages[1].text, failureText(isFolder));
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"dir.png"}));
}

TEST_F(SaveImageTest, ReadOnlyFolderKeepsTheExistingFile) {
  const std::string sub = folder.file("ro");
  std::filesystem::create_directory(sub);
  const std::string target = sub + "/photo.bmp";
  test::writeFileBytes(target, {'x'});
  std::filesystem::permissions(
      sub, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (::access(sub.c_str(), W_OK) == 0) {
    std::filesystem::permissions(sub, std::filesystem::perms::owner_all);
    GTEST_SKIP() << "running with rights that ignore folder permissions";
  }
  std::string fileName = target;
  EXPECT_EQ(SaveImageFile(fileName, photo, ""), -1);
  std::filesystem::permissions(sub, std::filesystem::perms::owner_all);
  EXPECT_EQ(test::readFileBytes(target), Bytes{'x'});
}

TEST_F(SaveImageTest, TransparentResultAsPngHasOneTransparentEntryAndAsJpegIsColour) {
  VORLINO_REQUIRE_PILLOW();
  Bitmap result = test::randomBitmap(41, 29, 6, 8);
  for (std::size_t i = 0; i < 256; ++i) result.palette()[i].reserved = 0;
  result.palette()[255] = toPaletteColor(kTransparentKey);
  for (int x = 0; x < 41; ++x) result.setPixel(x, 0, 255);
  result.Transparent = true;
  result.TransparentColor = kTransparentKey;
  std::string png = folder.file("t.png");
  ASSERT_EQ(SaveImageFile(png, result, ""), 1);
  auto decoded = test::readWithPillow(png);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->mode, "P");
  EXPECT_EQ(decoded->transparency, "255");
  EXPECT_EQ(decoded->rgb, test::expectedRgb(result));
  std::string jpg = folder.file("t.jpg");
  ASSERT_EQ(SaveImageFile(jpg, result, ""), 1);
  decoded = test::readWithPillow(jpg);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->mode, "RGB");
  EXPECT_EQ(decoded->transparency, "-");
}

}  // namespace
}  // namespace vorlino
