#include "imagefile/image_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "imagefile/load_image.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;

// The size and depth of every PNG, JPEG, GIF, Windows bitmap and Targa of the repository's and the
// shared test pictures, read from the header, are those a full decode gives; a file the decoder
// refuses only for its pixel data is left out.
TEST(ImageInfoTest, HeaderGivesWhatDecodingGives) {
  int compared = 0;
  for (const fs::path root :
       {fs::path(VORLINO_TEST_DATA), fs::path(VORLINO_SHARED_DIR) / "testimages"}) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root, ec)) {
      const std::string name = entry.path().string();
      const std::string ext = fileExtension(name);
      static const std::set<std::string> kHeaderFormats = {"png", "jpg", "jpeg", "jpe", "gif",
                                                           "bmp", "rle", "dib",  "tga", "vda",
                                                           "icb", "vst", "win"};
      if (kHeaderFormats.count(ext) == 0) continue;
      Bitmap decoded;
      if (!decodeImageFile(name, decoded).ok()) continue;
      ImageInfo info;
      ASSERT_TRUE(readImageInfo(name, info).ok()) << name;
      EXPECT_EQ(info.width, decoded.width()) << name;
      EXPECT_EQ(info.height, decoded.height()) << name;
      EXPECT_EQ(info.bitsPerPixel, decoded.bitsPerPixel()) << name;
      ++compared;
    }
  }
  EXPECT_GT(compared, 50);
}

// Only the header is read: a picture whose pixel data is cut off still gives its size, which a
// decode could not; a file of another format is decoded as before.
TEST(ImageInfoTest, ReadsTheHeaderOnly) {
  const test::ScratchFolder scratch{"vorlino-info"};
  for (const char* source :
       {"png/basn3p04.png", "jpeg/input_plane.jpg", "gif/text_mono.gif", "bmp/rgb16-565.bmp"}) {
    const fs::path whole = fs::path(VORLINO_TEST_DATA) / source;
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const fs::path cut = scratch.path() / whole.filename();
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
    Bitmap decoded;
    ASSERT_TRUE(decodeImageFile(whole.string(), decoded).ok()) << source;
    Bitmap none;
    EXPECT_FALSE(decodeImageFile(cut.string(), none).ok()) << source;
    ImageInfo info;
    ASSERT_TRUE(readImageInfo(cut.string(), info).ok()) << source;
    EXPECT_EQ(info.width, decoded.width()) << source;
    EXPECT_EQ(info.height, decoded.height()) << source;
    EXPECT_EQ(info.bitsPerPixel, decoded.bitsPerPixel()) << source;
  }
  ImageInfo info;
  EXPECT_TRUE(
      readImageInfo((fs::path(VORLINO_TEST_DATA) / "pnm/hopper_16bit.pgm").string(), info).ok());
  EXPECT_GT(info.width, 0);
  EXPECT_FALSE(readImageInfo((scratch.path() / "missing.png").string(), info).ok());
}

}  // namespace
}  // namespace vorlino
