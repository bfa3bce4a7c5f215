#include "compose/bitmap_filters.h"
#include "compose/pixel_blocks.h"
#include "parallel/parallel.h"

#if VORLINO_HAVE_AVX2_BUILD
#include "compose/avx2_pieces.h"
#endif

namespace vorlino {
namespace {

// The luminance sum is at most 255 * 255, so it fits 16-bit lanes.
VORLINO_ALWAYS_INLINE void greyRow(std::uint8_t* row, int pixels) {
  blocks::forEachBlock(pixels, row, [](std::uint8_t* p) VORLINO_LAMBDA_INLINE {
    for (int k = 0; k < blocks::kPixels; ++k) {
      std::uint8_t* q = p + 3 * k;
      const auto sum = static_cast<std::uint16_t>(18 * q[0] + 183 * q[1] + 54 * q[2]);
      const auto l = static_cast<std::uint8_t>(sum >> 8);
      q[0] = q[1] = q[2] = l;
    }
  });
}

// Rows are independent: any split of [y0, y1) between threads gives the same bytes.
void greyBaseline(Bitmap& bitmap, int y0, int y1) {
  for (int y = y0; y < y1; ++y) greyRow(bitmap.row(y), bitmap.width());
}

#if VORLINO_HAVE_AVX2_BUILD
VORLINO_AVX2 void greyAvx2(Bitmap& bitmap, int y0, int y1) {
  using namespace avx2;
  const Pairs blueGreenPairs = loadPairs(kBlueGreen);
  const Pairs greenRedPairs = loadPairs(kGreenRed);
  const __m256i spread[3] = {loadMask(kSpread[0]), loadMask(kSpread[1]), loadMask(kSpread[2])};
  const int groups = bitmap.width() / kGroupPixels;
  for (int y = y0; y < y1; ++y) {
    std::uint8_t* row = bitmap.row(y);
    for (int g = 0; g < groups; ++g) {
      std::uint8_t* c = row + kGroupBytes * static_cast<std::size_t>(g);
      const __m256i piece[3] = {loadPiece(c, 0), loadPiece(c, 1), loadPiece(c, 2)};
      const Luminance l = luminanceOf(piece, blueGreenPairs, greenRedPairs);
      const __m256i bytes = _mm256_packus_epi16(l.lo, l.hi);
      for (int p = 0; p < 3; ++p) storePiece(c, p, _mm256_shuffle_epi8(bytes, spread[p]));
    }
    const int done = groups * kGroupPixels;
    greyRow(row + 3 * done, bitmap.width() - done);
  }
}
#endif

}  // namespace

void GreyBitmap(Bitmap& bitmap) {
  if (bitmap.empty()) return;
  blocks::require24(bitmap, "GreyBitmap");
  [[maybe_unused]] const bool avx2 = blocks::useAvx2();
  parallelRows(bitmap.height(), bitmap.width(), [&](int y0, int y1) {
#if VORLINO_HAVE_AVX2_BUILD
    if (avx2) {
      greyAvx2(bitmap, y0, y1);
      return;
    }
#endif
    greyBaseline(bitmap, y0, y1);
  });
}

}  // namespace vorlino
