// Every decoder on real files, behind one table of formats: the bundled files of tests/data and
// the shared sample corpus (when present) against reference decodes made by other tools, copies
// cut short, must-fail files with the error each gives, and the deliberately damaged samples
// ("broken_*"), which may decode or fail but never crash, never print and never leave a failed
// read's target changed.
//
// A reference is the first picture as a 24-bit PNG, alpha composited over white; where the
// picture has alpha, "<file>.alpha-dropped.png" holds the colours alone, which is what the program
// keeps for everything except icons.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "imagefile/decoder_kind.h"
#include "imagefile/decoders.h"
#include "imagefile/load_image.h"
#include "test_images.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;
using Decoder = CodecResult (*)(ByteReader&, Bitmap&, const DecodeLimits&) noexcept;

struct Tolerance {
  int maxDiff = 0;
  double meanDiff = 0.0;
  bool linearReference = false;  // the reference tool applied a 1/2.2 gamma to linear samples
};

// Lossless data must match exactly. JPEG references were made with the integer inverse DCT; the
// floating-point one and block smoothing move a few levels (3 at most on this corpus, mean below
// 0.08). Blending an icon's alpha over white may differ by one level.
constexpr Tolerance kExact{0, 0.0};
constexpr Tolerance kJpeg{4, 0.15};
constexpr Tolerance kIcon{1, 1.0};

// A file compared with its own depth and tolerance ("<format>/<name>").
struct Listed {
  const char* file;
  int bitsPerPixel;
  int maxDiff;
};

// A file that must be refused with this error: in tests/data/<format>/bad/ when bundled, else in
// the shared corpus.
struct MustFail {
  const char* file;
  CodecError error;
  bool bundled;
};

// How copies of a file are cut: at every tenth of its length (the picture must not come out and
// the target stays empty), or to half, nine tenths and 20 bytes.
enum class Cuts { cTenths, cHalfNineTenthsTwenty };

struct Format {
  const char* name;
  Decoder decode;
  // Read as the program opens a file (icons drawn over white, 24 bits) rather than by the
  // decoder alone.
  bool asOpened = false;
  Tolerance tolerance = kExact;
  // Empty: every file with a reference must match it and every other one must fail. Otherwise
  // only these are compared: the rest have no reference tool.
  std::vector<Listed> listed = {};
  // Fewest files compared among the bundled ones.
  int bundledAtLeast = 0;
  std::vector<const char*> truncated = {};
  Cuts cuts = Cuts::cTenths;
  std::vector<MustFail> mustFail = {};
  // Damaged samples that must still decode whole.
  std::vector<const char*> damagedButRead = {};
};

// Test names and failure messages show the format's name.
void PrintTo(const Format& f, std::ostream* os) {
  *os << f.name;
}

// Icons: the references show the FIRST image of the directory, while the program reads the
// largest, then deepest. They are compared only where the two are the same image; for the others
// the size of the image read is checked.
const std::map<std::string, std::pair<int, int>> kIconsReadOtherThanFirst = {
    {"ico/python.ico", {48, 48}}, {"ico/oiio.ico", {256, 256}},  // a PNG image
};
// Icons whose chosen image is a PNG: readable only with the PNG decoder.
const std::vector<std::string> kPngIcons = {"ico/pillow.ico", "ico/oiio.ico"};

// Files whose tolerance differs from their format's.
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

const std::vector<Format>& formats() {
  using E = CodecError;
  static const std::vector<Format> all = {
      {.name = "bmp", .decode = readBmp, .asOpened = true, .bundledAtLeast = 2},
      {.name = "ico", .decode = readIco, .asOpened = true, .tolerance = kIcon, .bundledAtLeast = 2},
      {.name = "tga", .decode = readTarga, .asOpened = true, .bundledAtLeast = 2},
      {.name = "pnm", .decode = readPnm, .asOpened = true, .bundledAtLeast = 2},
      {.name = "jpeg",
       .decode = readJpeg,
       .tolerance = kJpeg,
       .bundledAtLeast = 1,
       .truncated = {"jpeg/testorig.jpg", "jpeg/app13-multiple.jpg", "jpeg/pil_sample_cmyk.jpg",
                     "jpeg/testimgari.jpg"},
       // Pixel data cut short: no half picture.
       .mustFail = {{"jpeg/broken_truncated_jpeg.jpg", E::ceDamaged, true}},
       // A stray byte between two markers loses no pixel.
       .damagedButRead = {"jpeg/broken_truncated_app14.jpg"}},
      {.name = "png",
       .decode = readPng,
       .bundledAtLeast = 1,
       .truncated = {"png/basn6a16.png", "png/ibasn2c08.png", "png/basn3p04.png"}},
      {.name = "gif",
       .decode = readGif,
       .bundledAtLeast = 1,
       .truncated = {"gif/hopper.gif", "gif/gif_diagonal_interlaced.gif"},
       .mustFail = {{"gif/broken_decompression_bomb.gif", E::ceDamaged, true},
                    {"gif/broken_zero_width.gif", E::ceDamaged, true}}},
      {.name = "tiff",
       .decode = readTiff,
       .bundledAtLeast = 1,
       .truncated = {"tiff/hopper.tif", "tiff/hopper_lzw.tif", "tiff/hopper_g4.tif",
                     "tiff/quad-tile.tif", "tiff/input_256.tiff", "tiff/jello.tif",
                     "tiff/ycbcr-cat.tif", "tiff/fax2d.tif"},
       .mustFail = {{"tiff/broken_seek_too_large.tif", E::ceDamaged, true}}},
      {.name = "eps",
       .decode = readEps,
       .bundledAtLeast = 1,
       .truncated = {"eps/illu10_preview.eps"}},
      {.name = "pcx",
       .decode = readPcx,
       .listed = {{"pcx/pil184.pcx", 1, 0},
                  {"pcx/rgb1.pcx", 1, 0},
                  {"pcx/p_4_planes.pcx", 4, 0},
                  {"pcx/rgb4v2.pcx", 4, 0},
                  {"pcx/odd_stride.pcx", 8, 0},
                  {"pcx/rgb8.pcx", 8, 0},
                  {"pcx/rgb8.scr", 8, 0},
                  {"pcx/input.pcx", 24, 0},
                  {"pcx/input.pcc", 24, 0},
                  {"pcx/rgb24.pcx", 24, 0}},
       // (rgb24.pcx is not cut: a spare palette follows its pixels, so its tail loses nothing.)
       .truncated = {"pcx/input.pcx", "pcx/rgb4v2.pcx"},
       .cuts = Cuts::cHalfNineTenthsTwenty,
       .mustFail = {{"pcx/broken_ossfuzz-4836216264589312.pcx", E::ceSignature, true},
                    {"pcx/broken_overrun_01r_00.pcx", E::ceDamaged, true}}},
      {.name = "rla",
       .decode = readRla,
       .listed = {{"rla/ginsu_rgb_nc8.rla", 24, 0},
                  {"rla/ginsu_rgb_nc8.rpf", 24, 0},
                  {"rla/ginsu_rgb_nc10.rla", 24, 0},
                  {"rla/ginsu_rgb_nc16.rla", 24, 0},
                  {"rla/ginsu_rgba_nc8.rla", 32, 0},
                  {"rla/imgmake_rgba_nc8.rla", 32, 0},
                  {"rla/ginsu_a_nc8.rla", 32, 0}},
       .truncated = {"rla/ginsu_rgb_nc16.rla"},
       .cuts = Cuts::cHalfNineTenthsTwenty,
       .mustFail = {{"rla/broken_crash2.rla", E::ceUnsupported, false}}},
      {.name = "sgi",
       .decode = readSgi,
       .listed = {{"sgi/hopper.bw", 8, 0},
                  {"sgi/rgb8rle.sgi", 8, 0},
                  {"sgi/hopper.rgb", 24, 0},
                  {"sgi/hopper.sgi", 24, 0},
                  {"sgi/hopper16.rgb", 24, 0},
                  {"sgi/input.sgi", 24, 0},
                  {"sgi/rgb24rle.sgi", 24, 0},
                  {"sgi/transparent.sgi", 32, 0},
                  {"sgi/transparent.rgba", 32, 0}},
       .truncated = {"sgi/hopper.sgi", "sgi/hopper16.rgb"},
       .cuts = Cuts::cHalfNineTenthsTwenty,
       .mustFail = {{"sgi/broken_ossfuzz-5730089102868480.sgi", E::ceDamaged, true}}},
      // 16-bit samples keep their high byte where the reference tool rounds (1 level).
      {.name = "psd",
       .decode = readPsd,
       .listed = {{"psd/psd_bitmap.psd", 1, 0},
                  {"psd/psd_indexed_trans.psd", 8, 0},
                  {"psd/input.psd", 24, 0},
                  {"psd/input.pdd", 24, 0},
                  {"psd/hopper.psd", 24, 0},
                  {"psd/hopper_merged.psd", 24, 0},
                  {"psd/cmyk.psd", 24, 0},
                  {"psd/psd_rgb_16.psd", 24, 1},
                  {"psd/rgba.psd", 32, 0},
                  // Bundled, written by ImageMagick 6 (convert -colorspace Gray [-depth 16]).
                  {"psd/gray8.psd", 8, 0},
                  {"psd/gray16.psd", 8, 1}},
       .bundledAtLeast = 2,
       .truncated = {"psd/hopper.psd", "psd/psd_bitmap.psd"},
       .cuts = Cuts::cHalfNineTenthsTwenty,
       .mustFail = {{"psd/million_rows.psd", E::ceDamaged, true}}},
      {.name = "cel",
       .decode = readCel,
       .listed = {{"cel/CRSHAIR.CEL", 8, 0},
                  {"cel/CRSHAIR.PIC", 8, 0},
                  {"cel/ZIN.CEL", 8, 0},
                  {"cel/ZOUT.CEL", 8, 0}},
       .truncated = {"cel/CRSHAIR.CEL"},
       .cuts = Cuts::cHalfNineTenthsTwenty,
       // Animator Pro cels: not read.
       .mustFail = {{"cel/LOGO.CEL", E::ceUnsupported, true},
                    {"cel/TEST.CEL", E::ceUnsupported, true}}},
      // The Photo CD reference uses another YCC conversion: informative only.
      {.name = "pcd",
       .decode = readPcd,
       .listed = {{"pcd/hopper.pcd", 24, 4}},
       .truncated = {"pcd/hopper.pcd"},
       .cuts = Cuts::cHalfNineTenthsTwenty,
       .mustFail = {{"pcd/broken_PhotoCD.pcd", E::ceDamaged, false}}},
      {.name = "cut",
       .decode = readCut,
       .listed = {{"cut/TRU256.CUT", 8, 0}, {"cut/VENUS.CUT", 8, 0}, {"cut/MARBLES.CUT", 8, 0}},
       .truncated = {"cut/VENUS.CUT"},
       .cuts = Cuts::cHalfNineTenthsTwenty},
      // No reference decoder exists for these (see psp_decoder_test.cpp).
      {.name = "psp",
       .decode = readPsp,
       .listed = {},
       .truncated = {"psp/PSP_RLE.psp", "psp/PSP_LZ77.psp", "psp/PSP_Uncompressed.psp"},
       .cuts = Cuts::cHalfNineTenthsTwenty},
  };
  return all;
}

// Formats whose references come from no tool: only their listed files (none for psp) are
// compared.
bool comparesListedOnly(const Format& f) {
  return !f.listed.empty() || std::string(f.name) == "psp";
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

struct Decoded {
  CodecResult result;
  std::string printed;  // on stderr, by the decoder or a library under it
};

// Decodes bytes (as opened, or by the format's decoder) into out, watching stderr.
Decoded decode(const Format& f, const fs::path& file, const std::vector<std::uint8_t>& bytes,
               Bitmap& out) {
  Decoded d;
  testing::internal::CaptureStderr();
  if (f.asOpened) {
    d.result = decodeImageFile(file.string(), out);
  } else {
    ByteReader in(bytes);
    in.setFileName(file.string());
    d.result = f.decode(in, out, DecodeLimits{});
  }
  d.printed = testing::internal::GetCapturedStderr();
  return d;
}

// Compares one decode with its reference.
void expectLikeReference(const Bitmap& pic, const fs::path& ref, const Tolerance& t) {
  Bitmap expected = test::readReferencePng(ref);
  ASSERT_FALSE(expected.empty()) << "unreadable reference " << ref.string();
  if (t.linearReference) expected = linearised(expected);
  const auto d = test::comparePictures(pic, expected);
  ASSERT_TRUE(d.sameSize) << pic.width() << "x" << pic.height() << " instead of "
                          << expected.width() << "x" << expected.height();
  EXPECT_LE(d.maxDiff, t.maxDiff) << "mean difference " << d.meanDiff;
  EXPECT_LE(d.meanDiff, t.meanDiff) << "largest difference " << d.maxDiff;
}

// The files of root/<format> against their references; returns how many were compared.
int checkReferences(const Format& f, const fs::path& root) {
  int compared = 0;
  const std::string format = f.name;
  if (comparesListedOnly(f)) {
    for (const Listed& c : f.listed) {
      const fs::path file = root / c.file;
      if (!fs::exists(file))
        continue;  // the bundled ones live in tests/data, the others in the corpus
      SCOPED_TRACE(c.file);
      Bitmap pic;
      const Decoded d = decode(f, file, test::readFileBytes(file), pic);
      EXPECT_EQ(d.printed, "");
      EXPECT_TRUE(d.result.ok()) << d.result.detail;
      if (!d.result.ok()) continue;
      EXPECT_EQ(pic.bitsPerPixel(), c.bitsPerPixel);
      const fs::path ref = test::referencePath(root, c.file);
      EXPECT_FALSE(ref.empty()) << "no reference";
      if (ref.empty()) continue;
      expectLikeReference(pic, ref, Tolerance{c.maxDiff, 255.0});
      ++compared;
    }
    return compared;
  }
  for (const fs::path& file : test::sortedFiles(root / format)) {
    const std::string key = format + "/" + file.filename().string();
    SCOPED_TRACE(key);
    if (test::isBrokenSample(file)) continue;  // see DamagedSamplesFailCleanly
    Bitmap pic;
    const Decoded d = decode(f, file, test::readFileBytes(file), pic);
    EXPECT_EQ(d.printed, "");
    if (std::find(kPngIcons.begin(), kPngIcons.end(), key) != kPngIcons.end() &&
        !decoderAvailable(DecoderKind::dkPng)) {
      EXPECT_EQ(d.result.error, CodecError::ceUnsupported);
      continue;
    }
    const bool icon = format == "ico";
    const fs::path ref = test::referencePath(root, key, !icon);
    if (ref.empty()) {
      EXPECT_FALSE(d.result.ok()) << "decoded a file that no tool reads";
      if (!f.asOpened) {
        EXPECT_TRUE(pic.empty());
      }
      continue;
    }
    EXPECT_TRUE(d.result.ok()) << d.result.detail;
    if (!d.result.ok()) continue;
    if (f.asOpened) {
      EXPECT_FALSE(pic.Transparent);
    }
    if (icon) {
      EXPECT_EQ(pic.bitsPerPixel(), 24);  // drawn onto white
    }
    if (auto other = kIconsReadOtherThanFirst.find(key); other != kIconsReadOtherThanFirst.end()) {
      EXPECT_EQ(pic.width(), other->second.first);
      EXPECT_EQ(pic.height(), other->second.second);
      continue;
    }
    const auto special = specialTolerances().find(key);
    expectLikeReference(pic, ref,
                        special != specialTolerances().end() ? special->second : f.tolerance);
    ++compared;
  }
  return compared;
}

class CorpusTest : public ::testing::TestWithParam<Format> {};

TEST_P(CorpusTest, BundledFilesMatchTheirReferences) {
  const Format& f = GetParam();
  EXPECT_GE(checkReferences(f, test::testDataDir()), f.bundledAtLeast);
}

TEST_P(CorpusTest, SharedCorpusMatchesItsReferences) {
  VORLINO_REQUIRE_CORPUS();
  const Format& f = GetParam();
  ASSERT_TRUE(fs::is_directory(test::corpusDir() / f.name)) << "no corpus folder " << f.name;
  const int compared = checkReferences(f, test::corpusDir());
  if (comparesListedOnly(f)) {
    // Every listed file that is not bundled is in the corpus.
    int inCorpus = 0;
    for (const Listed& c : f.listed) inCorpus += fs::exists(test::testDataDir() / c.file) ? 0 : 1;
    EXPECT_EQ(compared, inCorpus);
  } else {
    EXPECT_GE(compared, 3);
  }
}

TEST_P(CorpusTest, TruncatedCopiesFail) {
  const Format& f = GetParam();
  if (f.truncated.empty()) return;
  VORLINO_REQUIRE_CORPUS();
  for (const char* key : f.truncated) {
    const fs::path file = test::corpusDir() / key;
    const std::vector<std::uint8_t> whole = test::readFileBytes(file);
    ASSERT_GT(whole.size(), 100u) << key;
    std::vector<std::size_t> keeps;
    if (f.cuts == Cuts::cTenths) {
      for (int percent = 10; percent <= 90; percent += 10)
        keeps.push_back(whole.size() * static_cast<std::size_t>(percent) / 100);
    } else {
      keeps = {whole.size() / 2, whole.size() * 9 / 10, std::size_t{20}};
    }
    for (const std::size_t keep : keeps) {
      SCOPED_TRACE(std::string(key) + " cut to " + std::to_string(keep));
      const std::vector<std::uint8_t> cut(whole.begin(),
                                          whole.begin() + static_cast<std::ptrdiff_t>(keep));
      Bitmap out;
      ByteReader in(cut);
      EXPECT_FALSE(f.decode(in, out, DecodeLimits{}).ok());
      if (f.cuts == Cuts::cTenths) {
        EXPECT_TRUE(out.empty());
      }
    }
  }
}

TEST_P(CorpusTest, MustFailFilesGiveTheirError) {
  const Format& f = GetParam();
  std::vector<std::string> listedBad;
  for (const MustFail& m : f.mustFail) {
    const std::string key = m.file;
    const std::string name = key.substr(key.find('/') + 1);
    if (m.bundled) listedBad.push_back(name);
    const fs::path file =
        m.bundled ? test::testDataDir() / f.name / "bad" / name : test::corpusDir() / key;
    if (!m.bundled && test::corpusDir().empty()) continue;
    SCOPED_TRACE(file.string());
    const std::vector<std::uint8_t> bytes = test::readFileBytes(file);
    ASSERT_FALSE(bytes.empty());
    Bitmap out = test::solidBitmap(3, 2, kWhite);
    const Bitmap before = out;
    ByteReader in(bytes);
    testing::internal::CaptureStderr();
    const CodecResult r = f.decode(in, out, DecodeLimits{});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(r.error, m.error) << r.detail;
    EXPECT_TRUE(out == before) << "target changed by a failed read";
  }
  // Every file of the bad folder is in the table, with its error.
  for (const fs::path& file : test::sortedFiles(test::testDataDir() / f.name / "bad")) {
    const std::string name = file.filename().string();
    EXPECT_NE(std::find(listedBad.begin(), listedBad.end(), name), listedBad.end())
        << name << " is not listed with its error";
  }
}

TEST_P(CorpusTest, DamagedSamplesFailCleanly) {
  VORLINO_REQUIRE_CORPUS();
  const Format& f = GetParam();
  for (const fs::path& file : test::sortedFiles(test::corpusDir() / f.name)) {
    if (!test::isBrokenSample(file)) continue;
    const std::string key = std::string(f.name) + "/" + file.filename().string();
    SCOPED_TRACE(key);
    Bitmap out = test::solidBitmap(3, 2, kWhite);
    const Bitmap before = out;
    const Decoded d = decode(f, file, test::readFileBytes(file), out);
    if (!f.asOpened) {
      EXPECT_EQ(d.printed, "");
    }
    if (d.result.ok()) {
      EXPECT_FALSE(out.empty());
    } else if (!f.asOpened) {
      EXPECT_TRUE(out == before) << "target changed by a failed read";
    }
    if (std::find(f.damagedButRead.begin(), f.damagedButRead.end(), key) !=
        f.damagedButRead.end()) {
      EXPECT_TRUE(d.result.ok()) << d.result.detail;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, CorpusTest, ::testing::ValuesIn(formats()),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vorlino
