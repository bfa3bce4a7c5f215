// Helpers for the decoder tests: reading files, reading reference decodes, comparing pictures.
#pragma once

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"

namespace vorlino::test {

inline std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The shared test corpus (../shared/testimages), or an empty path when it is not there.
inline std::filesystem::path corpusDir() {
  std::filesystem::path dir = std::filesystem::path(VORLINO_SHARED_DIR) / "testimages";
  std::error_code ec;
  return std::filesystem::is_directory(dir, ec) ? dir : std::filesystem::path();
}

inline std::filesystem::path testDataDir() {
  return VORLINO_TEST_DATA;
}

// Reads a reference PNG as 24-bit RGB through libpng's simplified interface, independent of the
// decoder under test. Returns an empty bitmap when the file cannot be read.
inline Bitmap readReferencePng(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = readFileBytes(path);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (bytes.empty() || !png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
    return {};
  image.format = PNG_FORMAT_BGR;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  Bitmap b(static_cast<int>(image.width), static_cast<int>(image.height), 24);
  const std::size_t rowBytes = PNG_IMAGE_ROW_STRIDE(image);
  for (int y = 0; y < b.height(); ++y)
    std::copy_n(pixels.data() + rowBytes * static_cast<std::size_t>(y), rowBytes, b.row(y));
  return b;
}

struct PictureDifference {
  bool sameSize = false;
  int maxDiff = 0;        // largest difference of one channel
  double meanDiff = 0.0;  // mean difference over all channels
};

// Compares the colours of a decoded picture (any depth; palette resolved, alpha ignored) with a
// 24-bit reference.
inline PictureDifference comparePictures(const Bitmap& decoded, const Bitmap& reference) {
  PictureDifference d;
  if (decoded.width() != reference.width() || decoded.height() != reference.height()) return d;
  d.sameSize = true;
  Bitmap rgb = decoded;
  rgb.convertTo24();
  std::uint64_t sum = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    const std::uint8_t* a = rgb.row(y);
    const std::uint8_t* b = reference.row(y);
    for (int i = 0; i < 3 * rgb.width(); ++i) {
      const int diff = std::abs(int(a[i]) - int(b[i]));
      d.maxDiff = std::max(d.maxDiff, diff);
      sum += static_cast<std::uint64_t>(diff);
    }
  }
  const double samples = 3.0 * rgb.width() * rgb.height();
  d.meanDiff = samples > 0 ? double(sum) / samples : 0.0;
  return d;
}

}  // namespace vorlino::test
