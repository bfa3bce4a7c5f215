// AVX2 pixel loops of the resampler, chosen at run time; they give the same bytes as the plain
// loops of resample.cpp.
//
// Products: bytes are widened to int16 and multiplied by int16 weights two taps at a time
// (vpmaddwd), summing into int32, the same integers as the plain loops.
// Division: the truncated quotient of two integers below 2^24 in magnitude is exact through float:
// for n / d not an integer, its distance to the next integer is at least 1 / |d|, more than half
// an ulp of |n / d| (at most |n / d| * 2^-24), so the rounded quotient cannot reach that integer;
// integers below 2^24 are exact floats. The tables guarantee the bound (vectorOk). cvttps2dq then
// truncates towards zero, and the saturating packs clamp to 0..255.
#include <cstring>

#include "compose/resample_passes.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace vorlino::resample_detail {

bool avx2Available() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

__attribute__((target("avx2"))) void horizontalPassAvx2(const HorizontalTable& table,
                                                        const Bitmap& source, const RowImage& inter,
                                                        int y0, int y1, std::uint8_t* rowScratch) {
  // One 16-byte load holds taps 0..3 of a pixel (12 bytes). Lane 0 gets taps 0, 1 and lane 1 taps
  // 2, 3, as int16 pairs (blue0, blue1), (green0, green1), (red0, red1), (0, 0).
  const __m256i shuffle =
      _mm256_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1,  //
                       6, -1, 9, -1, 7, -1, 10, -1, 8, -1, 11, -1, -1, -1, -1, -1);
  // The two weight pairs of a group: pair 0 across lane 0, pair 1 across lane 1.
  const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
  const std::uint8_t* end = source.bits() + source.byteCount();
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(source.width());
  const std::size_t copyBytes = rowBytes < table.readBytes ? rowBytes : table.readBytes;
  const Span* spans = table.spans.data();
  const std::int32_t* pairs = table.pairs.data();

  for (int y = y0; y < y1; ++y) {
    const std::uint8_t* src = source.row(y);
    if (static_cast<std::size_t>(end - src) < table.readBytes) {
      // The loads would pass the end of the bitmap: work from a zero-padded copy of the row.
      std::memcpy(rowScratch, src, copyBytes);
      std::memset(rowScratch + copyBytes, 0, table.readBytes - copyBytes);
      src = rowScratch;
    }
    std::uint8_t* out = inter.row(y);
    for (int i = 0; i < inter.width; ++i) {
      const Span& s = spans[i];
      const std::uint8_t* p = src + 3 * static_cast<std::size_t>(s.first);
      const std::int32_t* w = pairs + s.pairOffset;
      const int groups = (s.taps + 3) / 4;
      __m256i acc = _mm256_setzero_si256();
      for (int g = 0; g < groups; ++g) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12 * g));
        const __m256i pixels = _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(block), shuffle);
        const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w + 2 * g));
        const __m256i weights = _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(two), spread);
        acc = _mm256_add_epi32(acc, _mm256_madd_epi16(pixels, weights));
      }
      const __m128i sums =
          _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
      const __m128 q = _mm_div_ps(_mm_cvtepi32_ps(sums), _mm_set1_ps(static_cast<float>(s.sum)));
      const __m128i words = _mm_packs_epi32(_mm_cvttps_epi32(q), _mm_setzero_si128());
      const __m128i v = _mm_packus_epi16(words, words);
      // Four bytes stored, the fourth overwritten by the next pixel or left in the row's spare
      // byte.
      const std::int32_t word = _mm_cvtsi128_si32(v);
      std::memcpy(out + 3 * static_cast<std::size_t>(i), &word, 4);
    }
  }
}

__attribute__((target("avx2"))) void verticalPassAvx2(const VerticalTable& table,
                                                      const RowImage& inter, Bitmap& target, int r0,
                                                      int r1) {
  const std::size_t bytes = 3 * static_cast<std::size_t>(inter.width);
  const __m256i zero = _mm256_setzero_si256();
  for (int r = r0; r < r1; ++r) {
    const Span& s = table.spans[static_cast<std::size_t>(r)];
    const std::int32_t* rows = table.pairRows.data() + 2 * static_cast<std::size_t>(s.pairOffset);
    const std::int32_t* pairs = table.pairs.data() + s.pairOffset;
    const int pairCount = (s.taps + 1) / 2;
    const __m256 divisor = _mm256_set1_ps(static_cast<float>(s.sum));
    std::uint8_t* out = target.row(r);
    // Whole 32-byte blocks of the intermediate rows (their stride allows it); bytes 0..31 of a
    // block come out as four int32 vectors in lane order (0..3, 16..19), (4..7, 20..23),
    // (8..11, 24..27), (12..15, 28..31), which the packs below put back in order.
    for (std::size_t x = 0; x < bytes; x += 32) {
      __m256i acc0 = zero, acc1 = zero, acc2 = zero, acc3 = zero;
      for (int k = 0; k < pairCount; ++k) {
        const __m256i a =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(inter.row(rows[2 * k]) + x));
        const __m256i b =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(inter.row(rows[2 * k + 1]) + x));
        const __m256i w = _mm256_set1_epi32(pairs[k]);
        const __m256i lo = _mm256_unpacklo_epi8(a, b);
        const __m256i hi = _mm256_unpackhi_epi8(a, b);
        acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), w));
        acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), w));
        acc2 = _mm256_add_epi32(acc2, _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), w));
        acc3 = _mm256_add_epi32(acc3, _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), w));
      }
      const __m256i q0 = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(acc0), divisor));
      const __m256i q1 = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(acc1), divisor));
      const __m256i q2 = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(acc2), divisor));
      const __m256i q3 = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(acc3), divisor));
      const __m256i packed =
          _mm256_packus_epi16(_mm256_packs_epi32(q0, q1), _mm256_packs_epi32(q2, q3));
      if (x + 32 <= bytes) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), packed);
      } else {
        alignas(32) std::uint8_t tail[32];
        _mm256_store_si256(reinterpret_cast<__m256i*>(tail), packed);
        std::memcpy(out + x, tail, bytes - x);
      }
    }
  }
}

}  // namespace vorlino::resample_detail

#else

namespace vorlino::resample_detail {

bool avx2Available() {
  return false;
}
void horizontalPassAvx2(const HorizontalTable&, const Bitmap&, const RowImage&, int, int,
                        std::uint8_t*) {}
void verticalPassAvx2(const VerticalTable&, const RowImage&, Bitmap&, int, int) {}

}  // namespace vorlino::resample_detail

#endif
