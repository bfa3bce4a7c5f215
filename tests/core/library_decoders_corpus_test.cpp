// The library-based decoders against the shared corpus of third-party files and their reference
// decodes (made by other tools, first frame or page, alpha dropped where a variant says so).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "imagefile/decoders.h"
#include "test_images.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;
using test::comparePictures;
using test::corpusDir;
using test::readFileBytes;
using test::readReferencePng;

using Decoder = CodecResult (*)(ByteReader&, Bitmap&, const DecodeLimits&) noexcept;

struct Tolerance {
  int maxDiff = 0;
  double meanDiff = 0.0;
  bool linearReference = false;  // the reference tool applied a 1/2.2 gamma to linear samples
};

// How far a decode may stray from its reference. Lossless data must match exactly. JPEG
// references were made with the integer inverse DCT; the floating-point one and block smoothing
// move a few levels (3 at most on this corpus, mean below 0.08).
constexpr Tolerance kExact{0, 0.0};
constexpr Tolerance kJpeg{4, 0.15};
const std::map<std::string, Tolerance>& specialTolerances() {
  static const std::map<std::string, Tolerance> t = {
      // libtiff turns CMYK into RGB with truncating division, the reference tool rounds.
      {"tiff/flower-separated-contig-08.tif", {1, 0.5}},
      // The file says gamma 1.0 and the reference tool encoded it for display; the decoders take
      // samples as stored, so the reference is linearised first (3 levels of rounding slack).
      {"png/basn0g16.png", {3, 1.0, true}},
  };
  return t;
}

// Undoes a display gamma of 1/2.2, for references made by a tool that applied one.
Bitmap linearised(const Bitmap& reference) {
  std::uint8_t table[256];
  for (int v = 0; v < 256; ++v)
    table[v] = static_cast<std::uint8_t>(std::lround(255.0 * std::pow(v / 255.0, 2.2)));
  Bitmap b = reference;
  for (int y = 0; y < b.height(); ++y)
    for (int i = 0; i < 3 * b.width(); ++i) b.row(y)[i] = table[b.row(y)[i]];
  return b;
}

// Every file with a reference decodes and matches it; every other file that is not one of the
// deliberately damaged ones is a variant the decoder rejects, cleanly.
void checkFiles(const fs::path& root, const std::string& format, Decoder decode,
                Tolerance tolerance) {
  const auto files = test::sortedFiles(root / format);
  ASSERT_FALSE(files.empty()) << "no files in corpus folder " << format;
  for (const fs::path& file : files) {
    const std::string key = format + "/" + file.filename().string();
    SCOPED_TRACE(key);
    const std::vector<std::uint8_t> bytes = readFileBytes(file);
    ByteReader in(bytes);
    Bitmap out;
    const CodecResult r = decode(in, out, DecodeLimits{});
    if (test::isBrokenSample(file)) continue;  // checked one by one in the tests below
    const fs::path ref = test::referencePath(root, key);
    if (ref.empty()) {
      EXPECT_FALSE(r.ok()) << "expected a rejection";
      EXPECT_TRUE(out.empty());
      continue;
    }
    ASSERT_TRUE(r.ok()) << r.detail;
    const auto special = specialTolerances().find(key);
    const Tolerance t = special != specialTolerances().end() ? special->second : tolerance;
    Bitmap expected = readReferencePng(ref);
    ASSERT_FALSE(expected.empty()) << "unreadable reference " << ref;
    if (t.linearReference) expected = linearised(expected);
    const auto d = comparePictures(out, expected);
    ASSERT_TRUE(d.sameSize) << out.width() << "x" << out.height() << " instead of "
                            << expected.width() << "x" << expected.height();
    EXPECT_LE(d.maxDiff, t.maxDiff) << "mean difference " << d.meanDiff;
    EXPECT_LE(d.meanDiff, t.meanDiff) << "largest difference " << d.maxDiff;
  }
}

void checkCorpus(const std::string& format, Decoder decode, Tolerance tolerance) {
  VORLINO_REQUIRE_CORPUS();
  checkFiles(corpusDir(), format, decode, tolerance);
}

TEST(LibraryDecodersCorpus, Jpeg) {
  checkCorpus("jpeg", readJpeg, kJpeg);
}
TEST(LibraryDecodersCorpus, Png) {
  checkCorpus("png", readPng, kExact);
}
TEST(LibraryDecodersCorpus, Gif) {
  checkCorpus("gif", readGif, kExact);
}
TEST(LibraryDecodersCorpus, Tiff) {
  checkCorpus("tiff", readTiff, kExact);
}
TEST(LibraryDecodersCorpus, Eps) {
  checkCorpus("eps", readEps, kExact);
}

// The few files kept in the repository, so that the golden comparison always runs.
TEST(LibraryDecodersGolden, RepositoryFiles) {
  const fs::path root = test::testDataDir();
  checkFiles(root, "jpeg", readJpeg, kJpeg);
  checkFiles(root, "png", readPng, kExact);
  checkFiles(root, "gif", readGif, kExact);
  checkFiles(root, "tiff", readTiff, kExact);
  checkFiles(root, "eps", readEps, kExact);
}

Decoder decoderFor(const std::string& format) {
  if (format == "jpeg") return readJpeg;
  if (format == "png") return readPng;
  if (format == "gif") return readGif;
  if (format == "tiff") return readTiff;
  return readEps;
}

// Damaged and hostile files: a clean result, the target untouched on failure, and not a word on
// stderr from any of the libraries.
TEST(LibraryDecodersCorpus, BrokenFilesFailCleanly) {
  VORLINO_REQUIRE_CORPUS();
  std::map<std::string, CodecResult> results;
  for (const std::string format : {"jpeg", "png", "gif", "tiff", "eps"}) {
    for (const fs::path& file : test::sortedFiles(corpusDir() / format)) {
      if (!test::isBrokenSample(file)) continue;
      const std::vector<std::uint8_t> bytes = readFileBytes(file);
      ByteReader in(bytes);
      Bitmap out = test::solidBitmap(3, 2, kWhite);
      const Bitmap before = out;
      testing::internal::CaptureStderr();
      const CodecResult r = decoderFor(format)(in, out, DecodeLimits{});
      const std::string printed = testing::internal::GetCapturedStderr();
      const std::string key = format + "/" + file.filename().string();
      EXPECT_EQ(printed, "") << key;
      if (!r.ok()) EXPECT_TRUE(out == before) << key << ": target changed by a failed read";
      results[key] = r;
    }
  }
  // Pixel data cut short: no half picture.
  EXPECT_FALSE(results.at("jpeg/broken_truncated_jpeg.jpg").ok());
  // A stray byte between two markers loses no pixel: it decodes.
  EXPECT_TRUE(results.at("jpeg/broken_truncated_app14.jpg").ok());
  EXPECT_FALSE(results.at("gif/broken_decompression_bomb.gif").ok());
  EXPECT_FALSE(results.at("gif/broken_zero_width.gif").ok());
  EXPECT_FALSE(results.at("tiff/broken_seek_too_large.tif").ok());
}

// Files of one format cut anywhere inside the first picture's data never give a picture.
TEST(LibraryDecodersCorpus, TruncatedFilesFail) {
  VORLINO_REQUIRE_CORPUS();
  const std::vector<std::string> singleImageFiles = {
      "jpeg/testorig.jpg",   "jpeg/app13-multiple.jpg", "jpeg/pil_sample_cmyk.jpg",
      "jpeg/testimgari.jpg", "png/basn6a16.png",        "png/ibasn2c08.png",
      "png/basn3p04.png",    "gif/hopper.gif",          "gif/gif_diagonal_interlaced.gif",
      "tiff/hopper.tif",     "tiff/hopper_lzw.tif",     "tiff/hopper_g4.tif",
      "tiff/quad-tile.tif",  "tiff/input_256.tiff",     "tiff/jello.tif",
      "tiff/ycbcr-cat.tif",  "tiff/fax2d.tif",          "eps/illu10_preview.eps"};
  for (const std::string& key : singleImageFiles) {
    const std::vector<std::uint8_t> bytes = readFileBytes(corpusDir() / key);
    ASSERT_GT(bytes.size(), 100u) << key;
    const Decoder decode = decoderFor(key.substr(0, key.find('/')));
    for (int percent = 10; percent <= 90; percent += 10) {
      ByteReader in(bytes.data(), bytes.size() * percent / 100);
      Bitmap out;
      EXPECT_FALSE(decode(in, out, DecodeLimits{}).ok()) << key << " cut at " << percent << "%";
      EXPECT_TRUE(out.empty());
    }
  }
}

}  // namespace
}  // namespace vorlino
