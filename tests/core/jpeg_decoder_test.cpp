// The JPEG decoder on JPEG files written by libjpeg in grey, RGB and CMYK, baseline and
// progressive, cut short and over the limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "imagefile/decoders.h"
#include "test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct JpegSpec {
  J_COLOR_SPACE space;
  int components;
  bool progressive = false;
};

// Compresses interleaved samples at quality 100 with libjpeg's defaults (an Adobe marker for CMYK,
// whose samples libjpeg stores as given: the inverted convention).
Bytes writeJpeg(const JpegSpec& shape, int width, int height,
                const std::vector<std::uint8_t>& samples) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = shape.components;
  c.in_color_space = shape.space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  for (int i = 0; i < c.num_components; ++i)
    c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  if (shape.progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(samples.data() + c.next_scanline * width * shape.components);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&c);
  std::free(buffer);
  return out;
}

// A smooth picture, so that quality 100 leaves only rounding: one sample per component.
std::vector<std::uint8_t> smoothSamples(int width, int height, int components) {
  std::vector<std::uint8_t> v;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < components; ++c)
        v.push_back(static_cast<std::uint8_t>(40 + (x * (c + 2) + y * (3 - c % 3)) % 160));
  return v;
}

TEST(JpegReader, GreyRgbCmykBaselineAndProgressive) {
  const int width = 37, height = 21;
  const std::vector<JpegSpec> shapes = {{JCS_GRAYSCALE, 1},
                                        {JCS_RGB, 3},
                                        {JCS_CMYK, 4},
                                        {JCS_GRAYSCALE, 1, true},
                                        {JCS_RGB, 3, true}};
  for (const JpegSpec& shape : shapes) {
    SCOPED_TRACE(testing::Message() << "components " << shape.components
                                    << (shape.progressive ? ", progressive" : ""));
    const auto samples = smoothSamples(width, height, shape.components);
    const Bytes file = writeJpeg(shape, width, height, samples);
    ByteReader in(file);
    Bitmap out;
    const CodecResult r = readJpeg(in, out, DecodeLimits{});
    ASSERT_TRUE(r.ok()) << r.detail;
    ASSERT_EQ(out.bitsPerPixel(), 24);
    ASSERT_EQ(out.width(), width);
    ASSERT_EQ(out.height(), height);
    int worst = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* s =
            &samples[static_cast<std::size_t>((y * width + x) * shape.components)];
        int rgb[3];
        if (shape.components == 1) {
          rgb[0] = rgb[1] = rgb[2] = s[0];
        } else if (shape.components == 3) {
          rgb[0] = s[0], rgb[1] = s[1], rgb[2] = s[2];
        } else {  // stored inverted: each stored value is 255 - ink
          for (int c = 0; c < 3; ++c) rgb[c] = s[c] * s[3] / 255;
        }
        const std::uint8_t* p = out.row(y) + 3 * x;
        for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(p[2 - c] - rgb[c]));
      }
    }
    EXPECT_LE(worst, 3);
  }
}

// Cut anywhere after the header, a JPEG fails: libjpeg would only warn and pad with grey.
TEST(JpegReader, TruncatedDataFailsQuietly) {
  for (bool progressive : {false, true}) {
    const auto samples = smoothSamples(64, 48, 3);
    const Bytes file = writeJpeg({JCS_RGB, 3, progressive}, 64, 48, samples);
    for (std::size_t n = 0; n + 1 < file.size(); n += 1 + n / 16) {
      ByteReader in(file.data(), n);
      Bitmap out(1, 1, 24);
      const Bitmap before = out;
      testing::internal::CaptureStderr();
      const CodecResult r = readJpeg(in, out, DecodeLimits{});
      ASSERT_EQ(testing::internal::GetCapturedStderr(), "");
      ASSERT_FALSE(r.ok()) << "cut at " << n;
      ASSERT_TRUE(out == before);
    }
  }
  const Bytes notJpeg = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  ByteReader in(notJpeg);
  Bitmap out;
  EXPECT_EQ(readJpeg(in, out, DecodeLimits{}).error, CodecError::ceSignature);
}

TEST(JpegReader, SizeBeyondLimitsIsRefused) {
  const Bytes file = writeJpeg({JCS_GRAYSCALE, 1}, 16, 16, smoothSamples(16, 16, 1));
  ByteReader in(file);
  Bitmap out;
  DecodeLimits small;
  small.maxPixels = 255;
  EXPECT_EQ(readJpeg(in, out, small).error, CodecError::ceTooLarge);
}

// A decode nobody waits for stops: at its next rows for a baseline file, while its scans are
// read for a progressive one.
TEST(JpegReader, CancelledDecodeGivesUp) {
  for (bool progressive : {false, true}) {
    const Bytes file = writeJpeg({JCS_RGB, 3, progressive}, 200, 300, smoothSamples(200, 300, 3));
    std::atomic<bool> cancelled{true};
    DecodeLimits limits;
    limits.cancelled = &cancelled;
    Bitmap out;
    ByteReader in(file);
    const CodecResult r = readJpeg(in, out, limits);
    EXPECT_EQ(r.error, CodecError::ceIo) << progressive;
    EXPECT_EQ(r.detail, "cancelled");
    EXPECT_TRUE(out.empty());
    cancelled = false;
    ByteReader again(file);
    EXPECT_TRUE(readJpeg(again, out, limits).ok()) << progressive;
  }
}

}  // namespace
}  // namespace vorlino
