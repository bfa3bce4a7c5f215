// The DC-only JPEG reader against libjpeg's own entropy decoder: every block's DC coefficient the
// same, for each way a JPEG can be laid out and wherever the second thread starts; the picture the
// same as libjpeg's 1/8 decode where chroma is not subsampled; broken files refused, never read
// out of bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include <jpeglib.h>

#include "imagefile/decoders.h"
#include "imagefile/jpeg_dc.h"
#include "imagefile/jpeg_quick.h"
#include "test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct JpegFailure {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void failJump(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegFailure*>(cinfo->err)->jump, 1);
}

// A photo-like picture: smooth gradients, a sharp-edged square and a grain, so that blocks carry
// AC codes of every length.
Bitmap grainyPicture(int width, int height, unsigned seed, double sigma = 12.0) {
  std::mt19937 random(seed);
  std::normal_distribution<double> grain(0.0, sigma);
  Bitmap picture;
  picture.resetForOverwrite(width, height, 24);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.row(y);
    for (int x = 0; x < width; ++x) {
      const bool square = x > width / 3 && x < width / 2 && y > height / 4 && y < height / 2;
      const double base[3] = {x * 255.0 / width, y * 255.0 / height, square ? 250.0 : 60.0};
      for (int c = 0; c < 3; ++c)
        row[3 * x + c] = static_cast<std::uint8_t>(std::clamp(base[c] + grain(random), 0.0, 255.0));
    }
  }
  return picture;
}

// Compresses picture through libjpeg, with setup choosing the layout after the defaults.
Bytes compress(const Bitmap& picture, const std::function<void(jpeg_compress_struct&)>& setup,
               J_COLOR_SPACE input = JCS_EXT_BGR) {
  jpeg_compress_struct cinfo{};
  JpegFailure failure{};
  cinfo.err = jpeg_std_error(&failure.mgr);
  failure.mgr.error_exit = failJump;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  Bytes grey;
  if (setjmp(failure.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    ADD_FAILURE() << "libjpeg could not compress";
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(picture.width());
  cinfo.image_height = static_cast<JDIMENSION>(picture.height());
  cinfo.input_components = input == JCS_GRAYSCALE ? 1 : 3;
  cinfo.in_color_space = input;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 88, TRUE);
  setup(cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  grey.resize(static_cast<std::size_t>(picture.width()));
  while (cinfo.next_scanline < cinfo.image_height) {
    const std::uint8_t* row = picture.row(static_cast<int>(cinfo.next_scanline));
    if (input == JCS_GRAYSCALE) {
      for (int x = 0; x < picture.width(); ++x) grey[x] = row[3 * x + 1];
      row = grey.data();
    }
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes file(buffer, buffer + size);
  std::free(buffer);
  return file;
}

// Every component's DC coefficients as libjpeg's own decoder reads the whole file.
std::vector<std::vector<std::int16_t>> libjpegDc(const Bytes& file) {
  jpeg_decompress_struct cinfo{};
  JpegFailure failure{};
  cinfo.err = jpeg_std_error(&failure.mgr);
  failure.mgr.error_exit = failJump;
  std::vector<std::vector<std::int16_t>> planes;
  if (setjmp(failure.jump)) {
    jpeg_destroy_decompress(&cinfo);
    ADD_FAILURE() << "libjpeg could not read its coefficients";
    return {};
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&cinfo);
  for (int c = 0; c < cinfo.num_components; ++c) {
    const jpeg_component_info& info = cinfo.comp_info[c];
    std::vector<std::int16_t>& plane = planes.emplace_back();
    for (JDIMENSION by = 0; by < info.height_in_blocks; ++by) {
      JBLOCKARRAY row = cinfo.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&cinfo),
                                                      arrays[c], by, 1, FALSE);
      for (JDIMENSION bx = 0; bx < info.width_in_blocks; ++bx) plane.push_back(row[0][bx][0]);
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return planes;
}

// Checks the DC reader against libjpeg on one file, on one thread and split at several places.
// keepMask clears the bits a progressive file's refinement scans add. kept counts the splits
// that kept the second thread's half.
void expectSameDc(const Bytes& file, const std::string& what, std::int16_t keepMask = -1,
                  int* kept = nullptr) {
  const auto expected = libjpegDc(file);
  std::vector<JpegDcOptions> runs(1);
  runs[0].threads = 1;
  for (double at : {0.03, 0.21, 0.5, 0.77, 0.98}) {
    JpegDcOptions split;
    split.minSplitBytes = 0;
    split.splitAt = at;
    runs.push_back(split);
  }
  for (const JpegDcOptions& options : runs) {
    JpegDcCoefficients dc;
    const CodecResult r = readJpegDcCoefficients(file.data(), file.size(), dc, options);
    ASSERT_TRUE(r.ok()) << what << ": " << r.detail;
    ASSERT_EQ(dc.components.size(), expected.size()) << what;
    for (std::size_t c = 0; c < expected.size(); ++c) {
      ASSERT_EQ(dc.components[c].dc.size(), expected[c].size()) << what;
      std::vector<std::int16_t> masked = expected[c];
      for (std::int16_t& v : masked) v = static_cast<std::int16_t>(v & keepMask);
      ASSERT_EQ(dc.components[c].dc, masked)
          << what << ", component " << c << ", split at " << options.splitAt << " on "
          << options.threads << " threads";
    }
    if (kept != nullptr && options.threads == 2 && dc.secondHalfKept) ++*kept;
  }
}

TEST(JpegDc, EveryLayoutReadsTheDcLibjpegReads) {
  const Bitmap picture = grainyPicture(741, 533, 5);
  const auto sampling = [](int h, int v) {
    return [h, v](jpeg_compress_struct& c) {
      c.comp_info[0].h_samp_factor = h;
      c.comp_info[0].v_samp_factor = v;
    };
  };
  struct Case {
    const char* name;
    std::function<void(jpeg_compress_struct&)> setup;
    J_COLOR_SPACE input = JCS_EXT_BGR;
    bool sequential = true;
  };
  const std::vector<Case> cases = {
      {"4:2:0", sampling(2, 2)},
      {"4:2:2", sampling(2, 1)},
      {"4:4:4", sampling(1, 1)},
      {"4:1:1 tall", sampling(1, 4)},
      {"grey", [](jpeg_compress_struct&) {}, JCS_GRAYSCALE},
      {"RGB, Adobe", [](jpeg_compress_struct& c) { jpeg_set_colorspace(&c, JCS_RGB); }},
      {"optimised codes",
       [](jpeg_compress_struct& c) {
         c.optimize_coding = TRUE;
         jpeg_set_quality(&c, 100, TRUE);  // long codes too
       }},
      {"restart every 7 MCUs", [](jpeg_compress_struct& c) { c.restart_interval = 7; }},
      {"restart every row", [](jpeg_compress_struct& c) { c.restart_in_rows = 1; }},
      {"progressive", [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); }, JCS_EXT_BGR,
       false},
      {"progressive grey", [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); },
       JCS_GRAYSCALE, false},
  };
  for (const Case& test : cases) {
    const Bytes file = compress(picture, test.setup, test.input);
    ASSERT_FALSE(file.empty()) << test.name;
    // libjpeg's simple progression sends the DC in a first scan that drops one bit.
    int kept = 0;
    expectSameDc(file, test.name, test.sequential ? -1 : ~1, &kept);
    if (HasFatalFailure()) return;
    // Most guessed starts fall back into step within the second half: the split pays.
    if (test.sequential) {
      EXPECT_GE(kept, 3) << test.name;
    }
  }
}

TEST(JpegDc, OneScanPerComponentIsReadScanByScan) {
  const Bitmap picture = grainyPicture(300, 200, 9);
  static const jpeg_scan_info kScans[3] = {
      {1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
  const Bytes file = compress(picture, [](jpeg_compress_struct& c) {
    c.scan_info = kScans;
    c.num_scans = 3;
  });
  expectSameDc(file, "one scan per component");
}

TEST(JpegDc, SamplesOfTheCorpusReadAsLibjpegReadsThem) {
  std::vector<std::filesystem::path> files = test::sortedFiles(test::testDataDir() / "jpeg");
  if (!test::corpusDir().empty()) {
    for (const auto& file : test::sortedFiles(test::corpusDir() / "jpeg")) files.push_back(file);
  }
  int read = 0;
  for (const auto& path : files) {
    const Bytes file = test::readFileBytes(path);
    JpegDcCoefficients dc;
    JpegDcOptions options;
    options.minSplitBytes = 0;
    const CodecResult r = readJpegDcCoefficients(file.data(), file.size(), dc, options);
    if (test::isBrokenSample(path) || !r.ok()) {
      // What it refuses, libjpeg's reduced decode has to show; a broken file only must not crash.
      if (!test::isBrokenSample(path)) {
        EXPECT_EQ(r.error, CodecError::ceUnsupported) << path << ": " << r.detail;
      }
      continue;
    }
    JpegHeader header;
    ASSERT_TRUE(readJpegHeader(file.data(), file.size(), header).ok()) << path;
    if (!header.progressive) expectSameDc(file, path.string());
    ++read;
  }
  EXPECT_GE(read, 3);
}

TEST(JpegDc, PictureIsLibjpegsEighthWhereColourIsNotSubsampled) {
  const Bitmap picture = grainyPicture(809, 601, 3, 2.0);
  struct Case {
    const char* name;
    std::function<void(jpeg_compress_struct&)> setup;
    J_COLOR_SPACE input;
    double tolerance;  // mean difference allowed per channel value
  };
  const std::vector<Case> cases = {
      {"4:4:4",
       [](jpeg_compress_struct& c) {
         c.comp_info[0].h_samp_factor = 1;
         c.comp_info[0].v_samp_factor = 1;
       },
       JCS_EXT_BGR, 0.0},
      {"grey", [](jpeg_compress_struct&) {}, JCS_GRAYSCALE, 0.0},
      {"RGB", [](jpeg_compress_struct& c) { jpeg_set_colorspace(&c, JCS_RGB); }, JCS_EXT_BGR, 0.0},
      // libjpeg sharpens subsampled colour from its first AC coefficients; the DC reader does not.
      {"4:2:0", [](jpeg_compress_struct&) {}, JCS_EXT_BGR, 2.0},
  };
  for (const Case& test : cases) {
    const Bytes file = compress(picture, test.setup, test.input);
    Bitmap eighth, expected;
    ASSERT_TRUE(readJpegDc(file.data(), file.size(), eighth).ok()) << test.name;
    ASSERT_TRUE(readJpegReduced(file.data(), file.size(), 8, expected).ok()) << test.name;
    ASSERT_EQ(eighth.width(), 102) << test.name;
    ASSERT_EQ(eighth.height(), 76) << test.name;
    const test::PictureDifference d = test::comparePictures(eighth, expected);
    EXPECT_LE(d.meanDiff, test.tolerance) << test.name << ", largest " << d.maxDiff;
  }
}

TEST(JpegDc, BrokenAndForeignFilesAreRefused) {
  const Bitmap picture = grainyPicture(320, 240, 1);
  const Bytes file = compress(picture, [](jpeg_compress_struct&) {});
  Bitmap out;
  // Cut anywhere: refused (a cut in the last few bytes may still hold every block).
  for (std::size_t cut :
       {std::size_t{2}, std::size_t{100}, file.size() / 3, file.size() / 2, file.size() - 40}) {
    const Bytes head(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
    JpegDcOptions options;
    options.minSplitBytes = 0;
    EXPECT_FALSE(readJpegDc(head.data(), head.size(), out, options).ok()) << cut;
  }
  // Flipped bits in the data: refused or read, never out of bounds (the sanitizer build watches).
  std::mt19937 random(11);
  for (int i = 0; i < 200; ++i) {
    Bytes damaged = file;
    for (int k = 0; k < 4; ++k)
      damaged[1000 + random() % (damaged.size() - 1000)] ^= static_cast<std::uint8_t>(random());
    JpegDcOptions options;
    options.minSplitBytes = 0;
    (void)readJpegDc(damaged.data(), damaged.size(), out, options);
  }
  // An AC table with three codes of one bit: more than the length holds. Refused, not written
  // past its lookup.
  Bytes overfull = file;
  for (std::size_t i = 2; i + 21 < overfull.size(); ++i) {
    if (overfull[i] != 0xFF || overfull[i + 1] != 0xC4 || (overfull[i + 4] >> 4) != 1) continue;
    std::uint8_t* counts = &overfull[i + 5];
    std::uint8_t* most = std::max_element(counts, counts + 16);
    ASSERT_GE(*most, 3);
    *most -= 3;
    counts[0] += 3;
    break;
  }
  EXPECT_EQ(readJpegDc(overfull.data(), overfull.size(), out).error, CodecError::ceDamaged);
  // Arithmetic coding and CMYK go to libjpeg.
  const Bytes arithmetic = compress(picture, [](jpeg_compress_struct& c) { c.arith_code = TRUE; });
  EXPECT_EQ(readJpegDc(arithmetic.data(), arithmetic.size(), out).error, CodecError::ceUnsupported);
  const Bytes png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  EXPECT_EQ(readJpegDc(png.data(), png.size(), out).error, CodecError::ceSignature);
}

}  // namespace
}  // namespace vorlino
