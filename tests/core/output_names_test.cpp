#include "batch/output_names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;

TEST(OutputNamesTest, AlikeNamesFromSeveralInputsEachGetTheirOwnOutput) {
  const std::vector<BatchPicture> pictures = {
      {"/a/photo.png", "photo.png"}, {"/a/photo.psd", "photo.psd"},
      {"/b/photo.psd", "photo.psd"}, {"/b/photo.pcx", "photo.pcx"},
      {"/c/photo.psd", "photo.psd"}, {"/a/sub/photo.psd", "sub/photo.psd"}};
  const auto names = nameBatchOutputs(pictures, "/out", std::string("jpg"), "_c", false);
  ASSERT_FALSE(names.replacedInput);
  EXPECT_EQ(names.outputs,
            (std::vector<std::string>{"/out/photo_c.jpg", "/out/photo_c-psd.jpg",
                                      "/out/photo_c-psd-2.jpg", "/out/photo_c-pcx.jpg",
                                      "/out/photo_c-psd-3.jpg", "/out/sub/photo_c.jpg"}));
}

TEST(OutputNamesTest, AnOutputThatIsOneOfThePhotosRefusesTheList) {
  const test::ScratchFolder scratch{"vorlino-names"};
  const fs::path in = scratch.path() / "in";
  fs::create_directories(in);
  test::writeFileText(in / "a.png", "x");
  test::writeFileText(in / "b.psd", "x");
  const std::vector<BatchPicture> pictures = {{in / "a.png", "a.png"}, {in / "b.psd", "b.psd"}};
  // The folder itself, reached by another spelling.
  auto names = nameBatchOutputs(pictures, in / ".." / "in", std::nullopt, "", false);
  ASSERT_TRUE(names.replacedInput);
  EXPECT_EQ(*names.replacedInput, (in / "a.png").string());
  EXPECT_TRUE(names.outputs.empty());
  // Another name for a photo: b.psd's output in "out" is a hard link to a.png.
  fs::create_directories(scratch.path() / "out");
  fs::create_hard_link(in / "a.png", scratch.path() / "out" / "b.jpg");
  names = nameBatchOutputs(pictures, scratch.path() / "out", std::nullopt, "", false);
  ASSERT_TRUE(names.replacedInput);
  EXPECT_EQ(*names.replacedInput, (in / "b.psd").string());
  // A suffix keeps the outputs apart from the photos.
  names = nameBatchOutputs(pictures, in, std::nullopt, "_c", false);
  EXPECT_FALSE(names.replacedInput);
  EXPECT_EQ(names.outputs.size(), 2u);
}

}  // namespace
}  // namespace vorlino
