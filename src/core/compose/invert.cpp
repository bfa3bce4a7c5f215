#include "compose/bitmap_filters.h"
#include "compose/pixel_blocks.h"
#include "parallel/parallel.h"

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
  const bool avx2 = blocks::useAvx2();
  parallelRows(bitmap.height(), bitmap.width(), [&](int y0, int y1) {
    if (avx2)
      invertAvx2(bitmap, y0, y1);
    else
      invertBaseline(bitmap, y0, y1);
  });
}

}  // namespace vorlino
