#include "compose/blend_mask.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "compose/pixel_blocks.h"
#include "parallel/parallel.h"

#if VORLINO_HAVE_AVX2_BUILD
#include "compose/avx2_pieces.h"
#endif

namespace vorlino {
namespace {

using blocks::kBytes;
using blocks::kPixels;

// Percent of the distance to the colour by which a pixel moves, from the sum of its mask bytes.
constexpr std::uint8_t weightOfSum(unsigned sum, unsigned opacity) {
  const unsigned mean = sum / 3;
  // Near-white mask pixels keep the photo exactly; a weight of 0 changes nothing.
  if (mean >= 250) return 0;
  const unsigned percent = ((255 - mean) * 100) / 255;
  return static_cast<std::uint8_t>((percent * opacity) / 100);
}

// What one call needs in every block, built once: the colour repeated over a block, and the
// weight of every mask sum (0..765).
struct BlendTables {
  alignas(32) std::uint8_t colour[kBytes];
  std::uint8_t weights[766];
  unsigned opacity;
};

// Weight of each byte of one block from the mask bytes under it.
VORLINO_ALWAYS_INLINE void maskWeights(const std::uint8_t* __restrict mask,
                                       const BlendTables& tables,
                                       std::uint8_t* __restrict weights) {
  for (int k = 0; k < kPixels; ++k) {
    const std::uint8_t f = tables.weights[mask[3 * k] + mask[3 * k + 1] + mask[3 * k + 2]];
    weights[3 * k] = weights[3 * k + 1] = weights[3 * k + 2] = f;
  }
}

// One block of a row; blocks under a white mask are left without being written back.
VORLINO_ALWAYS_INLINE void blendBlock(std::uint8_t* c, const std::uint8_t* m,
                                      const BlendTables& tables) {
  alignas(32) std::uint8_t weights[kBytes];
  maskWeights(m, tables, weights);
  std::uint8_t any = 0;
  for (int i = 0; i < kBytes; ++i) any |= weights[i];
  if (any != 0) blocks::pullBlock(c, tables.colour, weights);
}

// Rows are independent: any split of [y0, y1) between threads gives the same bytes.
void blendBaseline(Bitmap& target, const Bitmap& mask, const BlendTables& tables, int y0, int y1) {
  for (int y = y0; y < y1; ++y)
    blocks::forEachBlock(target.width(), target.row(y), mask.row(y),
                         [&](std::uint8_t* c, const std::uint8_t* m)
                             VORLINO_LAMBDA_INLINE { blendBlock(c, m, tables); });
}

#if VORLINO_HAVE_AVX2_BUILD
// The AVX2 loop takes groups of 32 pixels laid out as in avx2_pieces.h. The arithmetic is that of
// the plain loop, with the divisions by constants done as exact multiply-highs: for the ranges met
// here (sums up to 765, products up to 25500) floor(s / 3) = s * 21846 >> 16,
// floor(x * 100 / 255) = x * 25701 >> 16 and floor(p / 100) = p * 5243 >> 19; the exhaustive test
// checks every case.

// Weights of 8 + 8 pixels (one per lane) from their mask sums, as weightOfSum.
VORLINO_AVX2 inline __m256i weightsOf(__m256i sum, __m256i opacity) {
  const __m256i mean = _mm256_mulhi_epu16(sum, _mm256_set1_epi16(21846));
  const __m256i percent =
      _mm256_mulhi_epu16(_mm256_sub_epi16(_mm256_set1_epi16(255), mean), _mm256_set1_epi16(25701));
  const __m256i f = _mm256_srli_epi16(
      _mm256_mulhi_epu16(_mm256_mullo_epi16(percent, opacity), _mm256_set1_epi16(5243)), 3);
  return _mm256_andnot_si256(_mm256_cmpgt_epi16(mean, _mm256_set1_epi16(249)), f);
}

// c + trunc((t - c) * w / 100) for one piece, as in pullBlock. The products |t - c| * w are taken
// by byte-pair multiply-adds with the other byte of each pair masked to zero, even bytes and odd
// bytes apart, which keeps the work off the shuffle unit; each product (at most 25500) then sits
// in a 16-bit lane, and the quotient goes back to its byte.
VORLINO_AVX2 inline __m256i pullPiece(__m256i c, __m256i t, __m256i w) {
  const __m256i evenBytes = _mm256_set1_epi16(0x00FF);
  const __m256i k = _mm256_set1_epi16(5243);
  const __m256i hi = _mm256_max_epu8(c, t);
  const __m256i distance = _mm256_sub_epi8(hi, _mm256_min_epu8(c, t));
  const __m256i up = _mm256_cmpeq_epi8(hi, t);
  const __m256i even = _mm256_maddubs_epi16(_mm256_and_si256(distance, evenBytes), w);
  const __m256i odd = _mm256_maddubs_epi16(_mm256_andnot_si256(evenBytes, distance), w);
  // Quotients of at most 255: floor(p * 5243 >> 16) >> 3, and for odd bytes the same moved up by 8.
  const __m256i qEven = _mm256_srli_epi16(_mm256_mulhi_epu16(even, k), 3);
  const __m256i qOdd =
      _mm256_andnot_si256(evenBytes, _mm256_slli_epi16(_mm256_mulhi_epu16(odd, k), 5));
  const __m256i q = _mm256_or_si256(qEven, qOdd);
  return _mm256_blendv_epi8(_mm256_sub_epi8(c, q), _mm256_add_epi8(c, q), up);
}

// Blends the leading multiple of 32 pixels of a row; returns how many pixels it did.
VORLINO_AVX2 int blendGroupsAvx2(std::uint8_t* target, const std::uint8_t* mask, int pixels,
                                 unsigned opacity, const std::uint8_t* colourBytes) {
  using namespace avx2;
  const Pairs blueGreenPairs = loadPairs(kBlueGreen);
  const Pairs redPairs = loadPairs(kRedZero);
  __m256i spread[3], colour[3];
  for (int p = 0; p < 3; ++p) {
    spread[p] = loadMask(kSpread[p]);
    colour[p] = broadcastPiece(colourBytes, p);
  }
  const __m256i ones = _mm256_set1_epi8(1);
  const __m256i opacityWords = _mm256_set1_epi16(static_cast<short>(opacity));

  const int groups = pixels / kGroupPixels;
  for (int g = 0; g < groups; ++g) {
    const std::uint8_t* m = mask + kGroupBytes * static_cast<std::size_t>(g);
    std::uint8_t* c = target + kGroupBytes * static_cast<std::size_t>(g);
    const __m256i mp[3] = {loadPiece(m, 0), loadPiece(m, 1), loadPiece(m, 2)};
    // Mask sums: blue + green by a byte-pair multiply-add, then red.
    const __m256i sumLo = _mm256_add_epi16(
        _mm256_maddubs_epi16(pairsLo(mp, blueGreenPairs.lo), ones), pairsLo(mp, redPairs.lo));
    const __m256i sumHi = _mm256_add_epi16(
        _mm256_maddubs_epi16(pairsHi(mp, blueGreenPairs.hi), ones), pairsHi(mp, redPairs.hi));
    const __m256i weights =
        _mm256_packus_epi16(weightsOf(sumLo, opacityWords), weightsOf(sumHi, opacityWords));
    if (_mm256_testz_si256(weights, weights)) continue;  // white mask: nothing to write
    for (int p = 0; p < 3; ++p)
      storePiece(c, p,
                 pullPiece(loadPiece(c, p), colour[p], _mm256_shuffle_epi8(weights, spread[p])));
  }
  return groups * kGroupPixels;
}

// The same over a grey mask row: the mean of a grey pixel is its byte, so its sum is three times
// that byte. Unpacking bytes to words low and high halves per lane, then packing back, keeps the
// pixels in order.
VORLINO_AVX2 int blendGreyGroupsAvx2(std::uint8_t* target, const std::uint8_t* grey, int pixels,
                                     unsigned opacity, const std::uint8_t* colourBytes) {
  using namespace avx2;
  __m256i spread[3], colour[3];
  for (int p = 0; p < 3; ++p) {
    spread[p] = loadMask(kSpread[p]);
    colour[p] = broadcastPiece(colourBytes, p);
  }
  const __m256i zero = _mm256_setzero_si256();
  const __m256i three = _mm256_set1_epi16(3);
  const __m256i opacityWords = _mm256_set1_epi16(static_cast<short>(opacity));
  const int groups = pixels / kGroupPixels;
  for (int g = 0; g < groups; ++g) {
    const __m256i m = _mm256_loadu_si256(
        reinterpret_cast<const __m256i*>(grey + kGroupPixels * static_cast<std::size_t>(g)));
    const __m256i sumLo = _mm256_mullo_epi16(_mm256_unpacklo_epi8(m, zero), three);
    const __m256i sumHi = _mm256_mullo_epi16(_mm256_unpackhi_epi8(m, zero), three);
    const __m256i weights =
        _mm256_packus_epi16(weightsOf(sumLo, opacityWords), weightsOf(sumHi, opacityWords));
    if (_mm256_testz_si256(weights, weights)) continue;  // white mask: nothing to write
    std::uint8_t* c = target + kGroupBytes * static_cast<std::size_t>(g);
    for (int p = 0; p < 3; ++p)
      storePiece(c, p,
                 pullPiece(loadPiece(c, p), colour[p], _mm256_shuffle_epi8(weights, spread[p])));
  }
  return groups * kGroupPixels;
}

VORLINO_AVX2 void blendAvx2(Bitmap& target, const Bitmap& mask, const BlendTables& tables, int y0,
                            int y1) {
  const int width = target.width();
  for (int y = y0; y < y1; ++y) {
    const int done =
        blendGroupsAvx2(target.row(y), mask.row(y), width, tables.opacity, tables.colour);
    // The last pixels of the row, fewer than 32, through the plain blocks.
    blocks::forEachBlock(width - done, target.row(y) + 3 * done, mask.row(y) + 3 * done,
                         [&](std::uint8_t* c, const std::uint8_t* m)
                             VORLINO_LAMBDA_INLINE { blendBlock(c, m, tables); });
  }
}
#endif

// Grey mask bytes from `from` on, as blocks of three equal bytes, through the plain blocks.
void blendGreyBlocks(std::uint8_t* row, const std::uint8_t* grey, int from, int width,
                     const BlendTables& tables) {
  for (int x = from; x < width; x += kPixels) {
    const int n = std::min(kPixels, width - x);
    alignas(32) std::uint8_t m[kBytes] = {};
    alignas(32) std::uint8_t c[kBytes] = {};
    for (int k = 0; k < n; ++k) m[3 * k] = m[3 * k + 1] = m[3 * k + 2] = grey[x + k];
    // Padding pixels blend with a black mask into scratch bytes that are not copied back.
    std::memcpy(c, row + 3 * static_cast<std::size_t>(x), 3 * static_cast<std::size_t>(n));
    blendBlock(c, m, tables);
    std::memcpy(row + 3 * static_cast<std::size_t>(x), c, 3 * static_cast<std::size_t>(n));
  }
}

void fillTables(BlendTables& tables, int opacity, Color colour) {
  if (opacity > 100) opacity = 100;
  const Color plain = ColorToRGB(colour);
  for (int k = 0; k < kPixels; ++k) {
    tables.colour[3 * k] = blueOf(plain);
    tables.colour[3 * k + 1] = greenOf(plain);
    tables.colour[3 * k + 2] = redOf(plain);
  }
  tables.opacity = static_cast<unsigned>(opacity < 0 ? 0 : opacity);
  for (unsigned sum = 0; sum < 766; ++sum) tables.weights[sum] = weightOfSum(sum, tables.opacity);
}

}  // namespace

struct GreyMaskBlender::Tables : BlendTables {};

GreyMaskBlender::GreyMaskBlender(int opacity, Color colour)
    : tables_(std::make_unique<Tables>()), active_(opacity > 0) {
  fillTables(*tables_, opacity, colour);
}

GreyMaskBlender::~GreyMaskBlender() = default;

void GreyMaskBlender::blendRow(std::uint8_t* row, const std::uint8_t* grey, int width) const {
  if (!active_ || width <= 0) return;
  int done = 0;
#if VORLINO_HAVE_AVX2_BUILD
  if (blocks::useAvx2())
    done = blendGreyGroupsAvx2(row, grey, width, tables_->opacity, tables_->colour);
#endif
  blendGreyBlocks(row, grey, done, width, *tables_);
}

void BlendMask(Bitmap& target, const Bitmap& mask, int opacity, Color colour) {
  if (opacity <= 0 || target.empty()) return;
  blocks::require24(target, "BlendMask");
  blocks::require24(mask, "BlendMask");
  if (mask.width() < target.width() || mask.height() < target.height())
    throw std::invalid_argument("BlendMask: mask smaller than the target");
  BlendTables tables;
  fillTables(tables, opacity, colour);
  [[maybe_unused]] const bool avx2 = blocks::useAvx2();
  parallelRows(target.height(), target.width(), [&](int y0, int y1) {
#if VORLINO_HAVE_AVX2_BUILD
    if (avx2) {
      blendAvx2(target, mask, tables, y0, y1);
      return;
    }
#endif
    blendBaseline(target, mask, tables, y0, y1);
  });
}

}  // namespace vorlino
