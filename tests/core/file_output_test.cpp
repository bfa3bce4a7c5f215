#include "imagefile/file_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "writer_test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FileOutputTest, ReplacesContentAndKeepsPermissionBits) {
  test::ScratchFolder folder;
  const std::string path = folder.file("a.bin");
  test::writeFileBytes(path, Bytes(1000, 7));
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(writeFileReplacing(path, {1, 2, 3}).ok());
  EXPECT_EQ(test::readFileBytes(path), (Bytes{1, 2, 3}));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"a.bin"}));
}

TEST(FileOutputTest, FollowsASymbolicLink) {
  test::ScratchFolder folder;
  const std::string real = folder.file("real.bin");
  const std::string link = folder.file("link.bin");
  test::writeFileBytes(real, {9});
  std::filesystem::create_symlink(real, link);
  ASSERT_TRUE(writeFileReplacing(link, {4, 5}).ok());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test::readFileBytes(real), (Bytes{4, 5}));
}

TEST(FileOutputTest, NewFileInTheCurrentFolderAndFailuresLeaveNothing) {
  test::ScratchFolder folder;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  EXPECT_TRUE(writeFileReplacing("plain.bin", {1}).ok());
  std::filesystem::current_path(previous);
  EXPECT_EQ(test::readFileBytes(folder.file("plain.bin")), Bytes{1});
  const CodecResult r = writeFileReplacing(folder.file("none/x.bin"), {1});
  EXPECT_EQ(r.error, CodecError::ceIo);
  EXPECT_FALSE(r.detail.empty());
  EXPECT_EQ(writeFileReplacing(folder.path().string() + "/", {1}).error, CodecError::ceIo);
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"plain.bin"}));
}

}  // namespace
}  // namespace vorlino
