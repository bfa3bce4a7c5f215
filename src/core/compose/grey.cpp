#include "compose/bitmap_filters.h"
#include "compose/pixel_blocks.h"

namespace vorlino {
namespace {

// The luminance sum is at most 255 * 255, so it fits 16-bit lanes.
VORLINO_ALWAYS_INLINE void greyRows(Bitmap& bitmap, int y0, int y1) {
  for (int y = y0; y < y1; ++y)
    blocks::forEachBlock(bitmap.width(), bitmap.row(y), [](std::uint8_t* p) VORLINO_LAMBDA_INLINE {
      for (int k = 0; k < blocks::kPixels; ++k) {
        std::uint8_t* q = p + 3 * k;
        const auto sum = static_cast<std::uint16_t>(18 * q[0] + 183 * q[1] + 54 * q[2]);
        const auto l = static_cast<std::uint8_t>(sum >> 8);
        q[0] = q[1] = q[2] = l;
      }
    });
}

void greyBaseline(Bitmap& bitmap, int y0, int y1) {
  greyRows(bitmap, y0, y1);
}
VORLINO_AVX2 void greyAvx2(Bitmap& bitmap, int y0, int y1) {
  greyRows(bitmap, y0, y1);
}

}  // namespace

void GreyBitmap(Bitmap& bitmap) {
  if (bitmap.empty()) return;
  blocks::require24(bitmap, "GreyBitmap");
  if (blocks::useAvx2())
    greyAvx2(bitmap, 0, bitmap.height());
  else
    greyBaseline(bitmap, 0, bitmap.height());
}

}  // namespace vorlino
