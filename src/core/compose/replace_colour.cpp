#include "compose/bitmap_filters.h"
#include "compose/pixel_blocks.h"
#include "parallel/parallel.h"

namespace vorlino {
namespace {

struct Replacement {
  std::uint8_t find[3];
  std::uint8_t replacement[3];
  std::uint8_t tolerance;  // at most 255, which every byte matches
};

VORLINO_ALWAYS_INLINE std::uint8_t distance(std::uint8_t a, std::uint8_t b) {
  return static_cast<std::uint8_t>(a > b ? a - b : b - a);
}

// Rows are independent: any split of [y0, y1) between threads gives the same bytes.
VORLINO_ALWAYS_INLINE void replaceRows(Bitmap& bitmap, const Replacement& r, int y0, int y1) {
  const std::uint8_t f0 = r.find[0], f1 = r.find[1], f2 = r.find[2];
  const std::uint8_t n0 = r.replacement[0], n1 = r.replacement[1], n2 = r.replacement[2];
  const std::uint8_t tol = r.tolerance;
  for (int y = y0; y < y1; ++y)
    blocks::forEachBlock(bitmap.width(), bitmap.row(y), [&](std::uint8_t* p) VORLINO_LAMBDA_INLINE {
      for (int k = 0; k < blocks::kPixels; ++k) {
        std::uint8_t* q = p + 3 * k;
        const bool match =
            distance(q[0], f0) <= tol && distance(q[1], f1) <= tol && distance(q[2], f2) <= tol;
        q[0] = match ? n0 : q[0];
        q[1] = match ? n1 : q[1];
        q[2] = match ? n2 : q[2];
      }
    });
}

void replaceBaseline(Bitmap& bitmap, const Replacement& r, int y0, int y1) {
  replaceRows(bitmap, r, y0, y1);
}
VORLINO_AVX2 void replaceAvx2(Bitmap& bitmap, const Replacement& r, int y0, int y1) {
  replaceRows(bitmap, r, y0, y1);
}

}  // namespace

void ReplaceColour(Bitmap& bitmap, Color find, Color replacement, int tolerance) {
  if (tolerance < 0 || bitmap.empty()) return;
  blocks::require24(bitmap, "ReplaceColour");
  const Color f = ColorToRGB(find);
  const Color n = ColorToRGB(replacement);
  const Replacement r{{blueOf(f), greenOf(f), redOf(f)},
                      {blueOf(n), greenOf(n), redOf(n)},
                      static_cast<std::uint8_t>(tolerance > 255 ? 255 : tolerance)};
  const bool avx2 = blocks::useAvx2();
  parallelRows(bitmap.height(), bitmap.width(), [&](int y0, int y1) {
    if (avx2)
      replaceAvx2(bitmap, r, y0, y1);
    else
      replaceBaseline(bitmap, r, y0, y1);
  });
}

}  // namespace vorlino
