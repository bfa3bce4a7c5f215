// Framing as a stream of rows against framing whole: the same bytes for every option and every
// output format the stream writes, past the whole path's pixel cap, and no file left by a failure.
#include "batch/frame_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <thread>

#include "batch/frame_files.h"
#include "compose/pixel_blocks.h"
#include "imagefile/load_image.h"
#include "imagefile/save_image.h"
#include "test_images.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;

// A photo with smooth areas and noise, so that encoders see runs as well as detail.
Bitmap somePhoto(int width, int height, std::uint32_t seed) {
  Bitmap b = test::randomBitmap(width, height, seed);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width / 3; ++x)
      for (int c = 0; c < 3; ++c) b.row(y)[3 * x + c] = static_cast<std::uint8_t>(40 * c + y);
  return b;
}

// A grey mask picture whose values cross every threshold of the mask steps (128, 243, 250).
Bitmap someMaskFile(int width, int height) {
  Bitmap b(width, height, 24);
  std::mt19937 rng(5);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int ramp = 255 * (x + y) / (width + height - 2);
      const int v = std::clamp(ramp + static_cast<int>(rng() % 41) - 20, 0, 255);
      for (int c = 0; c < 3; ++c) b.row(y)[3 * x + c] = static_cast<std::uint8_t>(v);
    }
  return b;
}

class FrameStreamTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return (scratch_.path() / name).string(); }
  std::string writePhoto(const std::string& name, const Bitmap& b, const JpegOptions& jpeg = {}) {
    EXPECT_EQ(SaveImageFileWith(path(name), b, jpeg, false), 1);
    return path(name);
  }

  const test::ScratchFolder scratch_{"vorlino-stream"};
};

TEST_F(FrameStreamTest, GivesTheBytesOfTheWholePathForEveryOptionAndFormat) {
  const std::string maskFile = path("mask.png");
  ASSERT_EQ(SaveImageFileWith(maskFile, someMaskFile(37, 23), {}, false), 1);
  // Odd sizes, a photo smaller than the mask, one row, one column; a progressive JPEG and one
  // with 16-bit quantisation tables among the inputs.
  const std::vector<std::string> photos = {
      writePhoto("a.jpg", somePhoto(113, 157, 1)),
      writePhoto("b.jpg", somePhoto(29, 11, 2), {75, true}),
      writePhoto("c.jpg", somePhoto(157, 1, 3)),
      writePhoto("d.jpeg", somePhoto(1, 41, 4)),
      (test::testDataDir() / "jpeg" / "hopper_16bit_qtables.jpg").string(),
  };
  const char* formats[] = {".jpg", ".png", ".tif", ".bmp", ".tga"};
  const int angles[] = {0, 90, 180, 270};
  const Color colours[] = {kWhite, rgb(10, 200, 30), kBlack};
  int run = 0;
  for (const bool fit : {true, false})
    for (const bool soften : {false, true})
      for (const bool twoTone : {false, true})
        for (const char* format : formats) {
          ++run;
          const bool negative = run % 2 == 0;
          const int angle = angles[run % 4];
          const auto picture = prepareMaskPicture(maskFile, negative, angle);
          ASSERT_TRUE(picture);
          FrameFileSettings streamed{
              {.fit = fit, .soften = soften, .twoTone = twoTone},
              {.opacity = run % 3 == 0 ? 100 : 10 + run % 90, .colour = colours[run % 3]},
              {.quality = 60 + run % 40, .progressive = run % 5 == 0}};
          // The whole path refuses every photo past one pixel: a success is the stream's.
          streamed.limits.maxPixels = 1;
          FrameFileSettings whole = streamed;
          whole.stream = false;
          whole.limits = {};
          MaskBitmapCache masks(*picture, streamed.mask);
          for (std::size_t i = 0; i < photos.size(); ++i) {
            const std::string name = std::to_string(run) + "_" + std::to_string(i);
            const std::string a = path("s" + name + format), b = path("w" + name + format);
            const std::string what = name + format + (fit ? " fit" : " tile") +
                                     (soften ? " soften" : "") + (twoTone ? " two-tone" : "");
            const FrameFileResult rw = frameFile({photos[i], b}, whole, masks, true);
            ASSERT_EQ(rw.outcome, FrameOutcome::foDone) << what << ": " << rw.message;
            // Twice: the second time from the mask rows the first one kept.
            for (const char* pass : {" made", " kept"}) {
              // Every other run, the stream's pixel loops in their baseline build.
              blocks::allowAvx2(run % 2 == 0);
              const FrameFileResult rs = frameFile({photos[i], a}, streamed, masks, true);
              blocks::allowAvx2(true);
              ASSERT_EQ(rs.outcome, FrameOutcome::foDone) << what << pass << ": " << rs.message;
              ASSERT_EQ(test::readFileBytes(a), test::readFileBytes(b)) << what << pass;
              fs::remove(a);
            }
            fs::remove(b);
          }
        }
}

TEST_F(FrameStreamTest, PhotosOfOneSizeOnSeveralThreadsShareTheMaskRowsOfTheFirst) {
  // Two sizes in turn, as a folder of landscape and portrait photos, framed by three workers.
  std::vector<std::string> photos;
  for (int i = 0; i < 12; ++i)
    photos.push_back(writePhoto("p" + std::to_string(i) + ".jpg",
                                i % 2 ? somePhoto(97, 61, i) : somePhoto(61, 97, i)));
  const auto picture = someMaskFile(37, 23);
  FrameFileSettings streamed{{.soften = true}, {.opacity = 70}, {}};
  FrameFileSettings whole = streamed;
  whole.stream = false;
  MaskBitmapCache masks(picture, streamed.mask);
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < photos.size(); i = next++)
      frameFile({photos[i], path("s" + std::to_string(i) + ".jpg")}, streamed, masks, true);
  };
  std::vector<std::thread> workers;
  for (int t = 0; t < 3; ++t) workers.emplace_back(worker);
  for (auto& t : workers) t.join();
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const std::string w = path("w" + std::to_string(i) + ".jpg");
    ASSERT_EQ(frameFile({photos[i], w}, whole, masks, true).outcome, FrameOutcome::foDone);
    EXPECT_EQ(test::readFileBytes(path("s" + std::to_string(i) + ".jpg")), test::readFileBytes(w))
        << i;
  }
  // Both sizes were kept, so that the next photos make no mask; with keeping off, none is.
  bool claim = true;
  EXPECT_TRUE(masks.keptRows(97, 61, claim));
  EXPECT_TRUE(masks.keptRows(61, 97, claim));
  MaskBitmapCache single(picture, streamed.mask);
  single.setKeepRows(false);
  ASSERT_EQ(frameFile({photos[0], path("one.jpg")}, streamed, single, true).outcome,
            FrameOutcome::foDone);
  EXPECT_FALSE(single.keptRows(61, 97, claim));
  EXPECT_FALSE(claim);
}

TEST_F(FrameStreamTest, APngOfSeveralDeflatePiecesIsTheSame) {
  // 1203 x 1163 pixels filter to 4.2 MB: two pieces, and IDAT chunks straddling them.
  const std::string input = writePhoto("large.jpg", somePhoto(1203, 1163, 10));
  const auto picture = someMaskFile(37, 23);
  FrameFileSettings streamed{{.soften = true}, {.opacity = 90}, {}};
  FrameFileSettings whole = streamed;
  whole.stream = false;
  MaskBitmapCache masks(picture, streamed.mask);
  ASSERT_EQ(frameFile({input, path("s.png")}, streamed, masks, true).outcome, FrameOutcome::foDone);
  ASSERT_EQ(frameFile({input, path("w.png")}, whole, masks, true).outcome, FrameOutcome::foDone);
  EXPECT_EQ(test::readFileBytes(path("s.png")), test::readFileBytes(path("w.png")));
}

TEST_F(FrameStreamTest, AFitKeepingTheMaskShapeIsFramedWhole) {
  // A portrait photo under a landscape mask: the keep-shape fit differs from the plain one.
  const std::string input = writePhoto("portrait.jpg", somePhoto(41, 97, 11));
  const auto picture = someMaskFile(37, 23);
  FrameFileSettings streamed{{.fit = true, .keepShape = true}, {.opacity = 80}, {}};
  FrameFileSettings whole = streamed;
  whole.stream = false;
  MaskBitmapCache masks(picture, streamed.mask);
  ASSERT_EQ(frameFile({input, path("s.png")}, streamed, masks, true).outcome, FrameOutcome::foDone);
  ASSERT_EQ(frameFile({input, path("w.png")}, whole, masks, true).outcome, FrameOutcome::foDone);
  EXPECT_EQ(test::readFileBytes(path("s.png")), test::readFileBytes(path("w.png")));
}

TEST_F(FrameStreamTest, LiftsThePixelCapOnlyForTheStream) {
  const std::string input = writePhoto("big.jpg", somePhoto(61, 47, 8));
  auto picture = someMaskFile(9, 7);
  FrameFileSettings settings{{.soften = true}, {.opacity = 80}, {}};
  settings.limits.maxPixels = 61 * 47 - 1;  // just below the photo
  MaskBitmapCache masks(picture, settings.mask);
  EXPECT_EQ(frameFile({input, path("big.png")}, settings, masks, true).outcome,
            FrameOutcome::foDone);
  Bitmap written;
  ASSERT_TRUE(decodeImageFile(path("big.png"), written).ok());
  EXPECT_EQ(written.width(), 61);
  // The whole path keeps the cap: framed whole, or to a palette format, the photo is refused.
  FrameFileSettings whole = settings;
  whole.stream = false;
  const FrameFileResult r = frameFile({input, path("whole.png")}, whole, masks, true);
  EXPECT_EQ(r.outcome, FrameOutcome::foFailed);
  EXPECT_EQ(r.message, loadFailureMessage(input));
  EXPECT_EQ(frameFile({input, path("big.gif")}, settings, masks, true).outcome,
            FrameOutcome::foFailed);
  settings.mask.format = rfTransparent;
  EXPECT_EQ(frameFile({input, path("t.png")}, settings, masks, true).outcome,
            FrameOutcome::foFailed);
}

TEST_F(FrameStreamTest, ADamagedPhotoFailsWithoutLeavingAFile) {
  const std::string good = writePhoto("good.jpg", somePhoto(120, 90, 9));
  auto bytes = test::readFileBytes(good);
  bytes.resize(bytes.size() * 2 / 3);
  const std::string cut = path("cut.jpg");
  test::writeFileBytes(cut, bytes);
  const auto picture = someMaskFile(9, 7);
  FrameFileSettings settings;
  MaskBitmapCache masks(picture, settings.mask);
  fs::create_directories(path("out"));
  for (const char* format : {".jpg", ".png", ".bmp"}) {
    const std::string output = path(std::string("out/cut") + format);
    const FrameFileResult r = frameFile({cut, output}, settings, masks, true);
    EXPECT_EQ(r.outcome, FrameOutcome::foFailed) << format;
    EXPECT_EQ(r.message, loadFailureMessage(cut)) << format;
  }
  // Neither outputs nor temporary files are left behind.
  EXPECT_TRUE(fs::is_empty(path("out")));
}

}  // namespace
}  // namespace vorlino
