// The PCX, RLA, SGI, PSD, cel, Photo CD, CUT and Paint Shop Pro decoders on real files: the
// sample corpus against its reference decodes, damaged and truncated files, and the few files of
// tests/data made with ImageMagick for variants the corpus lacks.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imagefile/decoders.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;
using Reader = CodecResult (*)(ByteReader&, Bitmap&, const DecodeLimits&) noexcept;

Reader readerFor(const std::string& fmt) {
  if (fmt == "pcx") return readPcx;
  if (fmt == "rla") return readRla;
  if (fmt == "sgi") return readSgi;
  if (fmt == "psd") return readPsd;
  if (fmt == "cel") return readCel;
  if (fmt == "pcd") return readPcd;
  if (fmt == "cut") return readCut;
  return readPsp;
}

CodecResult decodeBytes(const std::string& fmt, const std::vector<std::uint8_t>& bytes, Bitmap& out,
                        const std::string& name = {}) {
  ByteReader in(bytes);
  in.setFileName(name);
  return readerFor(fmt)(in, out, DecodeLimits{});
}

struct CorpusCase {
  const char* file;  // <fmt>/<name>
  int bitsPerPixel;
  int tolerance;  // largest channel difference allowed against the reference
};

// Lossless decodes match exactly. Two are informative only: 16-bit samples keep their high byte
// where ImageMagick rounds (1 level), and the Photo CD reference uses another YCC conversion.
const CorpusCase corpusCases[] = {
    {"pcx/pil184.pcx", 1, 0},
    {"pcx/rgb1.pcx", 1, 0},
    {"pcx/p_4_planes.pcx", 4, 0},
    {"pcx/rgb4v2.pcx", 4, 0},
    {"pcx/odd_stride.pcx", 8, 0},
    {"pcx/rgb8.pcx", 8, 0},
    {"pcx/rgb8.scr", 8, 0},
    {"pcx/input.pcx", 24, 0},
    {"pcx/input.pcc", 24, 0},
    {"pcx/rgb24.pcx", 24, 0},
    {"rla/ginsu_rgb_nc8.rla", 24, 0},
    {"rla/ginsu_rgb_nc8.rpf", 24, 0},
    {"rla/ginsu_rgb_nc10.rla", 24, 0},
    {"rla/ginsu_rgb_nc16.rla", 24, 0},
    {"rla/ginsu_rgba_nc8.rla", 32, 0},
    {"rla/imgmake_rgba_nc8.rla", 32, 0},
    {"rla/ginsu_a_nc8.rla", 32, 0},
    {"sgi/hopper.bw", 8, 0},
    {"sgi/rgb8rle.sgi", 8, 0},
    {"sgi/hopper.rgb", 24, 0},
    {"sgi/hopper.sgi", 24, 0},
    {"sgi/hopper16.rgb", 24, 0},
    {"sgi/input.sgi", 24, 0},
    {"sgi/rgb24rle.sgi", 24, 0},
    {"sgi/transparent.sgi", 32, 0},
    {"sgi/transparent.rgba", 32, 0},
    {"psd/psd_bitmap.psd", 1, 0},
    {"psd/psd_indexed_trans.psd", 8, 0},
    {"psd/input.psd", 24, 0},
    {"psd/input.pdd", 24, 0},
    {"psd/hopper.psd", 24, 0},
    {"psd/hopper_merged.psd", 24, 0},
    {"psd/cmyk.psd", 24, 0},
    {"psd/psd_rgb_16.psd", 24, 1},
    {"psd/rgba.psd", 32, 0},
    {"cel/CRSHAIR.CEL", 8, 0},
    {"cel/CRSHAIR.PIC", 8, 0},
    {"cel/ZIN.CEL", 8, 0},
    {"cel/ZOUT.CEL", 8, 0},
    {"pcd/hopper.pcd", 24, 4},
    {"cut/TRU256.CUT", 8, 0},
    {"cut/VENUS.CUT", 8, 0},
    {"cut/MARBLES.CUT", 8, 0},
};

// The reference with alpha dropped when there is one: the program drops alpha too.
Bitmap referenceFor(const fs::path& folder, const std::string& file) {
  return test::readReferencePng(test::referencePath(folder, file));
}

TEST(MoreDecodersCorpus, MatchesReferenceDecodes) {
  VORLINO_REQUIRE_CORPUS();
  const fs::path corpus = test::corpusDir();
  for (const CorpusCase& c : corpusCases) {
    SCOPED_TRACE(c.file);
    const std::string file = c.file;
    Bitmap bmp;
    const CodecResult r = decodeBytes(file.substr(0, 3), test::readFileBytes(corpus / file), bmp,
                                      (corpus / file).string());
    ASSERT_TRUE(r.ok()) << r.detail;
    EXPECT_EQ(bmp.bitsPerPixel(), c.bitsPerPixel);
    const Bitmap ref = referenceFor(corpus, file);
    ASSERT_FALSE(ref.empty());
    const int diff = test::maxChannelDifference(bmp, ref);
    EXPECT_GE(diff, 0) << "size " << bmp.width() << "x" << bmp.height();
    EXPECT_LE(diff, c.tolerance);
  }
}

TEST(MoreDecodersCorpus, PaintShopProCompressionsGiveTheSamePicture) {
  // No reference decoder exists for these; the three files hold the same picture stored three ways.
  VORLINO_REQUIRE_CORPUS();
  const fs::path corpus = test::corpusDir();
  Bitmap plain, rle, lz77, tiny;
  ASSERT_TRUE(
      decodeBytes("psp", test::readFileBytes(corpus / "psp/PSP_Uncompressed.psp"), plain).ok());
  ASSERT_TRUE(decodeBytes("psp", test::readFileBytes(corpus / "psp/PSP_RLE.psp"), rle).ok());
  ASSERT_TRUE(decodeBytes("psp", test::readFileBytes(corpus / "psp/PSP_LZ77.psp"), lz77).ok());
  EXPECT_EQ(plain.width(), 200);
  EXPECT_EQ(plain.height(), 286);
  EXPECT_EQ(test::maxChannelDifference(plain, rle), 0);
  EXPECT_EQ(test::maxChannelDifference(plain, lz77), 0);
  // Not a flat picture: the channels really were read (the title is red, the sky blue).
  EXPECT_NE(plain.pixel(0, 0), plain.pixel(100, 250));
  // The version 10 file: an 8 x 8 white layer behind extension blocks, a JPEG thumbnail only.
  ASSERT_TRUE(decodeBytes("psp", test::readFileBytes(corpus / "psp/PSP.psp"), tiny).ok());
  EXPECT_EQ(tiny.width(), 8);
  EXPECT_EQ(tiny.pixel(3, 3), rgb(255, 255, 255));
}

TEST(MoreDecodersCorpus, DamagedFilesFailCleanly) {
  VORLINO_REQUIRE_CORPUS();
  const fs::path corpus = test::corpusDir();
  // Files that must be refused: impossible headers, truncations, Animator Pro cels (not read).
  const char* mustFail[] = {"pcx/broken_ossfuzz-4836216264589312.pcx",
                            "pcx/broken_overrun_01r_00.pcx",
                            "rla/broken_crash2.rla",
                            "sgi/broken_ossfuzz-5730089102868480.sgi",
                            "pcd/broken_PhotoCD.pcd",
                            "cel/LOGO.CEL",
                            "cel/TEST.CEL"};
  for (const char* file : mustFail) {
    SCOPED_TRACE(file);
    Bitmap bmp(3, 3, 24);
    const Bitmap before(bmp);
    EXPECT_FALSE(
        decodeBytes(std::string(file).substr(0, 3), test::readFileBytes(corpus / file), bmp).ok());
    EXPECT_TRUE(bmp == before);  // a failed read leaves the target alone
  }
  // Every other damaged sample may decode or fail, but must stay inside its buffer (sanitizers).
  for (const char* fmt : {"pcx", "rla", "sgi", "psd", "cel", "pcd", "cut", "psp"}) {
    for (const auto& e : fs::directory_iterator(corpus / fmt)) {
      if (!test::isBrokenSample(e.path())) continue;
      Bitmap bmp;
      if (decodeBytes(fmt, test::readFileBytes(e.path()), bmp).ok()) {
        EXPECT_FALSE(bmp.empty()) << e.path();
      }
    }
  }
}

TEST(MoreDecodersCorpus, TruncatedFilesFail) {
  VORLINO_REQUIRE_CORPUS();
  const fs::path corpus = test::corpusDir();
  // (rgb24.pcx is not among them: a spare palette follows its pixels, so cutting its tail loses
  // nothing.)
  const char* files[] = {"pcx/input.pcx",           "pcx/rgb4v2.pcx",   "rla/ginsu_rgb_nc16.rla",
                         "sgi/hopper.sgi",          "sgi/hopper16.rgb", "psd/hopper.psd",
                         "psd/psd_bitmap.psd",      "cel/CRSHAIR.CEL",  "pcd/hopper.pcd",
                         "cut/VENUS.CUT",           "psp/PSP_RLE.psp",  "psp/PSP_LZ77.psp",
                         "psp/PSP_Uncompressed.psp"};
  for (const char* file : files) {
    const std::vector<std::uint8_t> whole = test::readFileBytes(corpus / file);
    for (std::size_t keep : {whole.size() / 2, whole.size() * 9 / 10, std::size_t{20}}) {
      SCOPED_TRACE(std::string(file) + " cut to " + std::to_string(keep));
      Bitmap bmp;
      EXPECT_FALSE(decodeBytes(std::string(file).substr(0, 3),
                               std::vector<std::uint8_t>(whole.begin(),
                                                         whole.begin() + static_cast<long>(keep)),
                               bmp)
                       .ok());
    }
  }
}

TEST(MoreDecodersData, GreyPhotoshopDocumentsFromImageMagick) {
  // Written by ImageMagick 6 (convert -colorspace Gray [-depth 16]) from a PngSuite picture.
  const fs::path data = test::testDataDir();
  for (const char* file : {"psd/gray8.psd", "psd/gray16.psd"}) {
    SCOPED_TRACE(file);
    Bitmap bmp;
    ASSERT_TRUE(decodeBytes("psd", test::readFileBytes(data / file), bmp).ok());
    EXPECT_EQ(bmp.bitsPerPixel(), 8);
    const Bitmap ref = referenceFor(data, file);
    ASSERT_FALSE(ref.empty());
    // 16-bit samples keep their high byte; ImageMagick rounds.
    EXPECT_LE(test::maxChannelDifference(bmp, ref), std::string(file) == "psd/gray16.psd" ? 1 : 0);
  }
}

}  // namespace
}  // namespace vorlino
