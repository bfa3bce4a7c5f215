#include "compose/bitmap_filters.h"
#include "compose/pixel_blocks.h"

namespace vorlino {
namespace {

// Rows are independent: any split of [y0, y1) between threads gives the same bytes.
VORLINO_ALWAYS_INLINE void invertRows(Bitmap& bitmap, int y0, int y1) {
  for (int y = y0; y < y1; ++y)
    blocks::forEachBlock(bitmap.width(), bitmap.row(y), [](std::uint8_t* p) VORLINO_LAMBDA_INLINE {
      for (int i = 0; i < blocks::kBytes; ++i) p[i] = static_cast<std::uint8_t>(~p[i]);
    });
}

void invertBaseline(Bitmap& bitmap, int y0, int y1) {
  invertRows(bitmap, y0, y1);
}
VORLINO_AVX2 void invertAvx2(Bitmap& bitmap, int y0, int y1) {
  invertRows(bitmap, y0, y1);
}

}  // namespace

void InvertBitmap(Bitmap& bitmap) {
  if (bitmap.empty()) return;
  blocks::require24(bitmap, "InvertBitmap");
  if (blocks::useAvx2())
    invertAvx2(bitmap, 0, bitmap.height());
  else
    invertBaseline(bitmap, 0, bitmap.height());
}

}  // namespace vorlino
