#include "reference_png.h"

#include <png.h>

#include <cstdlib>
#include <vector>

namespace vorlino::test {

bool readReferencePng(const std::string& path, Bitmap& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGR;
  std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
  const auto rowBytes = static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), rowBytes, nullptr)) {
    png_image_free(&image);
    return false;
  }
  const int w = static_cast<int>(image.width);
  const int h = static_cast<int>(image.height);
  out.reset(w, h, 24);
  for (int y = 0; y < h; ++y) {
    const png_byte* src = pixels.data() + static_cast<std::size_t>(rowBytes) * y;
    std::copy(src, src + 3 * w, out.row(y));
  }
  return true;
}

int maxChannelDifference(Bitmap a, Bitmap b) {
  a.convertTo24();
  b.convertTo24();
  if (a.width() != b.width() || a.height() != b.height()) return -1;
  int worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < 3 * a.width(); ++x)
      worst = std::max(worst, std::abs(a.row(y)[x] - b.row(y)[x]));
  return worst;
}

}  // namespace vorlino::test
