#include "test_support.h"

#include <png.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vorlino::test {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string readFileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void writeFileText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
  std::string pattern = (fs::temp_directory_path() / (prefix + "_XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::vector<std::string> ScratchFolder::entries() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
  return names;
}

fs::path testDataDir() {
  return VORLINO_TEST_DATA;
}

fs::path corpusDir() {
  fs::path dir = fs::path(VORLINO_SHARED_DIR) / "testimages";
  std::error_code ec;
  return fs::is_directory(dir, ec) ? dir : fs::path();
}

std::vector<fs::path> sortedFiles(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

bool isBrokenSample(const fs::path& file) {
  return file.filename().string().rfind("broken_", 0) == 0;
}

fs::path referencePath(const fs::path& root, const std::string& file, bool alphaDropped) {
  const std::string base = (root / "reference" / file).string();
  std::error_code ec;
  if (alphaDropped && fs::exists(base + ".alpha-dropped.png", ec))
    return base + ".alpha-dropped.png";
  if (fs::exists(base + ".png", ec)) return base + ".png";
  return {};
}

Bitmap readReferencePng(const fs::path& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_BGR;  // the bitmap's own byte order
  std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
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

PictureDifference comparePictures(const Bitmap& a, const Bitmap& b) {
  PictureDifference d;
  if (a.width() != b.width() || a.height() != b.height()) return d;
  d.sameSize = true;
  Bitmap x(a), y(b);
  x.convertTo24();
  y.convertTo24();
  std::uint64_t sum = 0;
  for (int r = 0; r < x.height(); ++r) {
    const std::uint8_t* p = x.row(r);
    const std::uint8_t* q = y.row(r);
    for (int i = 0; i < 3 * x.width(); ++i) {
      const int diff = std::abs(int(p[i]) - int(q[i]));
      d.maxDiff = std::max(d.maxDiff, diff);
      sum += static_cast<std::uint64_t>(diff);
    }
  }
  const double samples = 3.0 * x.width() * x.height();
  d.meanDiff = samples > 0 ? double(sum) / samples : 0.0;
  return d;
}

int maxChannelDifference(const Bitmap& a, const Bitmap& b) {
  const PictureDifference d = comparePictures(a, b);
  return d.sameSize ? d.maxDiff : -1;
}

}  // namespace vorlino::test
