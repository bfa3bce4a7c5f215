// What the tests share beyond the bitmaps of test_images.h: whole-file access, a scratch folder,
// where the bundled and the shared sample files are, and reference decodes read straight through
// libpng (so that the decoder tests do not depend on the program's own PNG decoder) with the
// comparison of a decode against them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "parallel/parallel.h"

namespace vorlino::test {

// The whole file; empty when it cannot be read.
std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path);
std::string readFileText(const std::filesystem::path& path);
void writeFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void writeFileText(const std::filesystem::path& path, const std::string& text);

// A fresh folder under the system's temporary folder, removed with everything in it (even after a
// test took away its permissions).
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix = "vorlino_test");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // Names of the entries in the folder.
  std::vector<std::string> entries() const;

 private:
  std::filesystem::path path_;
};

// Sets the worker count for one test and restores the default afterwards.
class Workers {
 public:
  explicit Workers(int n) { setWorkerCount(n); }
  ~Workers() { setWorkerCount(0); }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;
};

// tests/data, always there.
std::filesystem::path testDataDir();
// The shared sample corpus (../shared/testimages), or an empty path when it is not there.
std::filesystem::path corpusDir();

#define VORLINO_REQUIRE_CORPUS()            \
  if (::vorlino::test::corpusDir().empty()) \
  GTEST_SKIP() << "shared test corpus not found at " VORLINO_SHARED_DIR

// The regular files of a folder, sorted by name; none when the folder cannot be read.
std::vector<std::filesystem::path> sortedFiles(const std::filesystem::path& dir);

// A sample deliberately damaged ("broken_*"): it may fail or decode, but must never crash.
bool isBrokenSample(const std::filesystem::path& file);

// The reference decode of `root`/`file` ("<format>/<name>"): "reference/<file>.alpha-dropped.png"
// when `alphaDropped` and there is one (the colours alone, for pictures with alpha), else
// "reference/<file>.png"; an empty path when neither exists.
std::filesystem::path referencePath(const std::filesystem::path& root, const std::string& file,
                                    bool alphaDropped = true);

// The PNG at `path` as a 24-bit bitmap (alpha, if any, dropped); empty when it cannot be read.
Bitmap readReferencePng(const std::filesystem::path& path);

struct PictureDifference {
  bool sameSize = false;
  int maxDiff = 0;        // largest difference of one channel
  double meanDiff = 0.0;  // mean difference over all channels
};

// Compares the colours of two pictures of any depth (palettes resolved, alpha ignored).
PictureDifference comparePictures(const Bitmap& a, const Bitmap& b);

// Largest difference of one channel between two pictures, or -1 when their sizes differ.
int maxChannelDifference(const Bitmap& a, const Bitmap& b);

}  // namespace vorlino::test
