// Splitting a batch between machines: parts, path lists and the JSON report.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "batch/frame_report.h"
#include "batch/shard.h"

namespace vorlino {
namespace {

std::vector<std::string> somePaths(int count, const std::string& prefix) {
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i)
    paths.push_back(prefix + "/IMG_" + std::to_string(1000 + i) + (i % 3 ? ".jpg" : ".png"));
  return paths;
}

TEST(ShardTest, PartsAreDisjointCoverTheListAndStayPutWhenFilesAreAdded) {
  const auto paths = somePaths(600, "2024/mariage");
  for (const int count : {1, 2, 3, 7}) {
    std::vector<int> owners(paths.size(), 0);
    std::vector<int> sizes(static_cast<std::size_t>(count) + 1, 0);
    for (int k = 1; k <= count; ++k)
      for (std::size_t i = 0; i < paths.size(); ++i)
        if (inShard(paths[i], {k, count})) {
          ++owners[i];
          ++sizes[static_cast<std::size_t>(k)];
        }
    for (const int owner : owners) EXPECT_EQ(owner, 1) << count << " parts";
    // Every part gets work: no part is left with under half its share.
    for (int k = 1; k <= count; ++k)
      EXPECT_GT(sizes[static_cast<std::size_t>(k)], 600 / count / 2) << k << "/" << count;
  }
  // A photo's part depends on its own path alone, whatever else is listed.
  std::vector<int> before;
  for (const auto& p : paths) before.push_back(shardOfPath(p, 5));
  auto more = somePaths(50, "2025/nouveau");
  more.insert(more.end(), paths.begin(), paths.end());
  for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(shardOfPath(more[50 + i], 5), before[i]);
  // Fixed across runs and machines: the hash has no seed.
  EXPECT_EQ(shardOfPath("a.jpg", 1000000), shardOfPath(std::string("a.jpg"), 1000000));
  EXPECT_NE(shardOfPath("a.jpg", 1000), shardOfPath("b.jpg", 1000));
}

TEST(ShardTest, ParsesOnlyValidParts) {
  ASSERT_TRUE(parseShard("1/1"));
  EXPECT_EQ(parseShard("3/8")->index, 3);
  EXPECT_EQ(parseShard("3/8")->count, 8);
  for (const char* bad :
       {"", "0/4", "5/4", "1/0", "-1/4", "2", "2/", "/4", "a/4", "1/4x", " 1/4", "1/2000000"})
    EXPECT_FALSE(parseShard(bad)) << bad;
}

TEST(FrameReportTest, LinesAreValidJsonWhateverTheNames) {
  EXPECT_EQ(jsonString("plain"), "\"plain\"");
  EXPECT_EQ(jsonString("a\"b\\c\n\t\x01\x7f"), "\"a\\\"b\\\\c\\n\\t\\u0001\\u007f\"");
  // UTF-8 stays as it is; bytes that are not UTF-8 become the replacement character.
  EXPECT_EQ(jsonString("\xc3\xa9t\xc3\xa9"), "\"\xc3\xa9t\xc3\xa9\"");
  EXPECT_EQ(jsonString("a\xff"
                       "b\xc3"),
            "\"a\\ufffdb\\ufffd\"");
  EXPECT_EQ(jsonString("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");  // a surrogate
  EXPECT_EQ(jsonString("\xc0\xaf"), "\"\\ufffd\\ufffd\"");             // overlong
  EXPECT_EQ(frameReportLine({"in/a \"b\".jpg", "out/a.jpg", "failed", 12, "Impossible"}),
            "{\"input\":\"in/a \\\"b\\\".jpg\",\"output\":\"out/a.jpg\",\"status\":\"failed\","
            "\"milliseconds\":12,\"message\":\"Impossible\"}");
}

TEST(FrameReportTest, PathListsSkipBlankLinesAndWindowsLineEnds) {
  std::istringstream in("a.jpg\r\n\n  \nsous dossier/b c.png\nlast.tga");
  EXPECT_EQ(readPathList(in),
            (std::vector<std::string>{"a.jpg", "sous dossier/b c.png", "last.tga"}));
}

}  // namespace
}  // namespace vorlino
