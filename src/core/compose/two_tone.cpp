#include "compose/bitmap_filters.h"
#include "compose/pixel_blocks.h"
#include "parallel/parallel.h"

#if VORLINO_HAVE_AVX2_BUILD
#include "compose/avx2_pieces.h"
#endif

namespace vorlino {
namespace {

struct Tones {
  unsigned threshold;
  std::uint8_t dark[3];
  std::uint8_t light[3];
};

VORLINO_ALWAYS_INLINE void twoToneRow(std::uint8_t* row, int pixels, const Tones& tones) {
  const auto threshold = static_cast<std::uint16_t>(tones.threshold);
  const std::uint8_t d0 = tones.dark[0], d1 = tones.dark[1], d2 = tones.dark[2];
  const std::uint8_t l0 = tones.light[0], l1 = tones.light[1], l2 = tones.light[2];
  blocks::forEachBlock(pixels, row, [&](std::uint8_t* p) VORLINO_LAMBDA_INLINE {
    for (int k = 0; k < blocks::kPixels; ++k) {
      std::uint8_t* q = p + 3 * k;
      const auto sum = static_cast<std::uint16_t>(18 * q[0] + 183 * q[1] + 54 * q[2]);
      const bool light = (sum >> 8) > threshold;
      q[0] = light ? l0 : d0;
      q[1] = light ? l1 : d1;
      q[2] = light ? l2 : d2;
    }
  });
}

// Rows are independent: any split of [y0, y1) between threads gives the same bytes.
void twoToneBaseline(Bitmap& bitmap, const Tones& tones, int y0, int y1) {
  for (int y = y0; y < y1; ++y) twoToneRow(bitmap.row(y), bitmap.width(), tones);
}

#if VORLINO_HAVE_AVX2_BUILD
VORLINO_AVX2 void twoToneAvx2(Bitmap& bitmap, const Tones& tones, int y0, int y1) {
  using namespace avx2;
  const Pairs blueGreenPairs = loadPairs(kBlueGreen);
  const Pairs greenRedPairs = loadPairs(kGreenRed);
  std::uint8_t darkBytes[48], lightBytes[48];
  for (int i = 0; i < 48; ++i) {
    darkBytes[i] = tones.dark[i % 3];
    lightBytes[i] = tones.light[i % 3];
  }
  __m256i spread[3], dark[3], light[3];
  for (int p = 0; p < 3; ++p) {
    spread[p] = loadMask(kSpread[p]);
    dark[p] = broadcastPiece(darkBytes, p);
    light[p] = broadcastPiece(lightBytes, p);
  }
  const __m256i threshold = _mm256_set1_epi16(static_cast<short>(tones.threshold));
  const int groups = bitmap.width() / kGroupPixels;
  for (int y = y0; y < y1; ++y) {
    std::uint8_t* row = bitmap.row(y);
    for (int g = 0; g < groups; ++g) {
      std::uint8_t* c = row + kGroupBytes * static_cast<std::size_t>(g);
      const __m256i piece[3] = {loadPiece(c, 0), loadPiece(c, 1), loadPiece(c, 2)};
      const Luminance l = luminanceOf(piece, blueGreenPairs, greenRedPairs);
      // 0xFF per light pixel, 0 per dark one (luminance and threshold both below 255).
      const __m256i isLight = _mm256_packs_epi16(_mm256_cmpgt_epi16(l.lo, threshold),
                                                 _mm256_cmpgt_epi16(l.hi, threshold));
      for (int p = 0; p < 3; ++p)
        storePiece(c, p,
                   _mm256_blendv_epi8(dark[p], light[p], _mm256_shuffle_epi8(isLight, spread[p])));
    }
    const int done = groups * kGroupPixels;
    twoToneRow(row + 3 * done, bitmap.width() - done, tones);
  }
}
#endif

}  // namespace

void TwoToneBitmap(Bitmap& bitmap, int threshold, Color dark, Color light) {
  if (threshold < 1 || threshold > 254 || bitmap.empty()) return;
  blocks::require24(bitmap, "TwoToneBitmap");
  const Color d = ColorToRGB(dark);
  const Color l = ColorToRGB(light);
  const Tones tones{static_cast<unsigned>(threshold),
                    {blueOf(d), greenOf(d), redOf(d)},
                    {blueOf(l), greenOf(l), redOf(l)}};
  [[maybe_unused]] const bool avx2 = blocks::useAvx2();
  parallelRows(bitmap.height(), bitmap.width(), [&](int y0, int y1) {
#if VORLINO_HAVE_AVX2_BUILD
    if (avx2) {
      twoToneAvx2(bitmap, tones, y0, y1);
      return;
    }
#endif
    twoToneBaseline(bitmap, tones, y0, y1);
  });
}

}  // namespace vorlino
