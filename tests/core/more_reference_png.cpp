#include "more_reference_png.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace vorlino::test::more {

Bitmap readPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_BGR;  // the bitmap's own byte order
  Bitmap bmp(static_cast<int>(image.width), static_cast<int>(image.height), 24);
  std::vector<png_byte> buffer(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  const std::size_t rowBytes = PNG_IMAGE_ROW_STRIDE(image);
  for (int y = 0; y < bmp.height(); ++y)
    std::copy_n(buffer.data() + rowBytes * static_cast<std::size_t>(y), rowBytes, bmp.row(y));
  return bmp;
}

bool writePng(const Bitmap& source, const std::string& path) {
  Bitmap bmp(source);
  bmp.convertTo24();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(bmp.width());
  image.height = static_cast<png_uint_32>(bmp.height());
  image.format = PNG_FORMAT_BGR;
  const bool ok = png_image_write_to_file(&image, path.c_str(), 0, bmp.bits(),
                                          static_cast<png_int_32>(bmp.stride()), nullptr) != 0;
  png_image_free(&image);
  return ok;
}

int maxChannelDifference(const Bitmap& a, const Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return -1;
  Bitmap x(a), y(b);
  x.convertTo24();
  y.convertTo24();
  int worst = 0;
  for (int r = 0; r < x.height(); ++r) {
    const std::uint8_t* p = x.row(r);
    const std::uint8_t* q = y.row(r);
    for (int i = 0; i < 3 * x.width(); ++i) worst = std::max(worst, std::abs(p[i] - q[i]));
  }
  return worst;
}

}  // namespace vorlino::test::more
