// Real files against reference decodes: tests/data (always there) and the shared sample corpus
// (when present). A reference is the first picture as a 24-bit PNG, alpha composited over white;
// where the picture has alpha, "<file>.alpha-dropped.png" holds the colours alone, which is what
// the program keeps for everything except icons. Files named "broken_*" must fail or decode, never
// crash; files without a reference must fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "imagefile/decoder_kind.h"
#include "imagefile/load_image.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;

// Icons: the references show the FIRST image of the directory, while the program reads the
// largest, then deepest. They are compared only where the two are the same image; for the others
// the size of the image read is checked.
const std::map<std::string, std::pair<int, int>> kIconsReadOtherThanFirst = {
    {"python.ico", {48, 48}}, {"oiio.ico", {256, 256}},  // a PNG image
};
// Icons whose chosen image is a PNG: readable only with the PNG decoder.
const std::vector<std::string> kPngIcons = {"pillow.ico", "oiio.ico"};

struct Outcome {
  int compared = 0, broken = 0, rejected = 0, skipped = 0;
};

Outcome checkFolder(const fs::path& root, const std::string& fmt) {
  Outcome o;
  for (const auto& path : test::sortedFiles(root / fmt)) {
    const std::string name = path.filename().string();
    SCOPED_TRACE(path.string());
    Bitmap pic;
    const CodecResult r = decodeImageFile(path.string(), pic);
    if (test::isBrokenSample(path)) {
      ++o.broken;  // reaching here without a crash is the test; a decode must be whole
      if (r.ok()) {
        EXPECT_FALSE(pic.empty());
      }
      continue;
    }
    const bool pngIcon = std::find(kPngIcons.begin(), kPngIcons.end(), name) != kPngIcons.end();
    if (pngIcon && !decoderAvailable(DecoderKind::dkPng)) {
      EXPECT_EQ(r.error, CodecError::ceUnsupported);
      ++o.skipped;
      continue;
    }
    const fs::path ref = test::referencePath(root, fmt + "/" + name, fmt != "ico");
    if (ref.empty()) {
      EXPECT_FALSE(r.ok()) << "decoded a file that no tool reads";
      ++o.rejected;
      continue;
    }
    if (!r.ok()) {
      ADD_FAILURE() << "not decoded: " << r.detail;
      continue;
    }
    EXPECT_FALSE(pic.Transparent);
    if (fmt == "ico") {
      EXPECT_EQ(pic.bitsPerPixel(), 24);  // drawn onto white
    }
    if (auto other = kIconsReadOtherThanFirst.find(name); other != kIconsReadOtherThanFirst.end()) {
      EXPECT_EQ(pic.width(), other->second.first);
      EXPECT_EQ(pic.height(), other->second.second);
      continue;
    }
    const Bitmap expected = test::readReferencePng(ref);
    if (expected.empty()) {
      ADD_FAILURE() << "unreadable reference " << ref.string();
      continue;
    }
    // Exact everywhere, 15/16-bit colours included: both tools and the decoders scale them by bit
    // replication. Blending alpha over white may differ by one level.
    const int tolerance = fmt == "ico" ? 1 : 0;
    const int diff = test::maxChannelDifference(pic, expected);
    EXPECT_GE(diff, 0) << "size " << pic.width() << "x" << pic.height() << " vs "
                       << expected.width() << "x" << expected.height();
    EXPECT_LE(diff, tolerance);
    ++o.compared;
  }
  return o;
}

class DecoderCorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(DecoderCorpusTest, BundledFilesMatchTheirReferences) {
  const Outcome o = checkFolder(test::testDataDir(), GetParam());
  EXPECT_GE(o.compared, 2);
}

TEST_P(DecoderCorpusTest, SharedCorpusMatchesItsReferences) {
  VORLINO_REQUIRE_CORPUS();
  const fs::path root = test::corpusDir();
  ASSERT_TRUE(fs::is_directory(root / GetParam())) << "no corpus folder " << GetParam();
  const Outcome o = checkFolder(root, GetParam());
  EXPECT_GE(o.compared, 3);
  std::printf("%s: %d compared, %d broken survived, %d rejected, %d skipped (no PNG decoder)\n",
              GetParam().c_str(), o.compared, o.broken, o.rejected, o.skipped);
}

INSTANTIATE_TEST_SUITE_P(Formats, DecoderCorpusTest, ::testing::Values("bmp", "ico", "tga", "pnm"),
                         [](const auto& p) { return p.param; });

}  // namespace
}  // namespace vorlino
