// AVX2 helpers for the pixel loops that take 32 pixels of 24 bits at a time (internal header,
// included only where the AVX2 build exists; every function carries the avx2 target).
//
// Lane 0 of each register holds pixels 0..15 of the group, lane 1 pixels 16..31, each lane as one
// of the three 16-byte pieces of its 48 bytes. Every shuffle then stays inside a lane and is the
// same in both, and a pixel's bytes never straddle two lanes.
#pragma once

#include <immintrin.h>

#include <array>
#include <cstdint>

#include "compose/pixel_blocks.h"

namespace vorlino::avx2 {

inline constexpr int kGroupPixels = 32;
inline constexpr int kGroupBytes = 3 * kGroupPixels;

using ShuffleMask = std::array<std::int8_t, 32>;

// Mask that picks, for output byte j of a lane, byte source(j) of the lane's 48 bytes when it lies
// in the given piece, and zero otherwise (also for source(j) = -1).
template <class Source>
constexpr ShuffleMask pieceMask(Source source, int piece) {
  ShuffleMask m{};
  for (int j = 0; j < 16; ++j) {
    const int s = source(j);
    const bool here = s >= 16 * piece && s < 16 * piece + 16;
    m[j] = m[j + 16] = static_cast<std::int8_t>(here ? s - 16 * piece : -128);
  }
  return m;
}

// Byte pairs of pixels first..first+7, for the 16-bit multiply-adds: (blue, green), (green, red),
// and (red, zero).
constexpr auto blueGreen(int first) {
  return [first](int j) { return 3 * (first + j / 2) + (j & 1); };
}
constexpr auto greenRed(int first) {
  return [first](int j) { return 3 * (first + j / 2) + 1 + (j & 1); };
}
constexpr auto redZero(int first) {
  return [first](int j) { return j & 1 ? -1 : 3 * (first + j / 2) + 2; };
}

// Pixels 0..7 of a lane lie in pieces 0 and 1, pixels 8..15 in pieces 1 and 2.
struct PairMasks {
  ShuffleMask lo[2];
  ShuffleMask hi[2];
};
template <class Pairs>
constexpr PairMasks pairMasks(Pairs pairs) {
  return {{pieceMask(pairs(0), 0), pieceMask(pairs(0), 1)},
          {pieceMask(pairs(8), 1), pieceMask(pairs(8), 2)}};
}

// Spreads one byte per pixel (16 per lane) over the three bytes of each pixel of piece p.
inline constexpr ShuffleMask kSpread[3] = {pieceMask([](int j) { return j / 3; }, 0),
                                           pieceMask([](int j) { return (16 + j) / 3; }, 0),
                                           pieceMask([](int j) { return (32 + j) / 3; }, 0)};

VORLINO_AVX2 inline __m256i loadMask(const ShuffleMask& m) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m.data()));
}

// The three pieces of a group from three whole-register loads: piece 0 is bytes 0..15 and 48..63,
// piece 1 bytes 16..31 and 64..79, piece 2 bytes 32..47 and 80..95.
VORLINO_AVX2 inline void loadGroup(const std::uint8_t* group, __m256i piece[3]) {
  const __m256i n0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group));
  const __m256i n1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group + 32));
  const __m256i n2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group + 64));
  piece[0] = _mm256_blend_epi32(n0, n1, 0xF0);
  piece[1] = _mm256_permute2x128_si256(n0, n2, 0x21);
  piece[2] = _mm256_blend_epi32(n1, n2, 0xF0);
}

VORLINO_AVX2 inline void storeGroup(std::uint8_t* group, const __m256i piece[3]) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(group),
                      _mm256_permute2x128_si256(piece[0], piece[1], 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(group + 32),
                      _mm256_blend_epi32(piece[2], piece[0], 0xF0));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(group + 64),
                      _mm256_permute2x128_si256(piece[1], piece[2], 0x31));
}

// A 48-byte pattern (a colour repeated) as piece p of both lanes.
VORLINO_AVX2 inline __m256i broadcastPiece(const std::uint8_t* pattern, int piece) {
  return _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 16 * piece)));
}

// The byte pairs of pixels 0..7 (lo) or 8..15 (hi) of each lane, gathered from the pieces.
VORLINO_AVX2 inline __m256i pairsLo(const __m256i piece[3], const __m256i mask[2]) {
  return _mm256_or_si256(_mm256_shuffle_epi8(piece[0], mask[0]),
                         _mm256_shuffle_epi8(piece[1], mask[1]));
}
VORLINO_AVX2 inline __m256i pairsHi(const __m256i piece[3], const __m256i mask[2]) {
  return _mm256_or_si256(_mm256_shuffle_epi8(piece[1], mask[0]),
                         _mm256_shuffle_epi8(piece[2], mask[1]));
}

// Pair masks loaded into registers.
struct Pairs {
  __m256i lo[2];
  __m256i hi[2];
};
VORLINO_AVX2 inline Pairs loadPairs(const PairMasks& m) {
  return {{loadMask(m.lo[0]), loadMask(m.lo[1])}, {loadMask(m.hi[0]), loadMask(m.hi[1])}};
}

inline constexpr PairMasks kBlueGreen = pairMasks(blueGreen);
inline constexpr PairMasks kGreenRed = pairMasks(greenRed);
inline constexpr PairMasks kRedZero = pairMasks(redZero);

// Luminance of the 16 + 16 pixels of a group, (18 b + 183 g + 54 r) >> 8, as 16-bit values: lo
// for pixels 0..7 of each lane, hi for 8..15. The green weight is split between two byte-pair
// multiply-adds, 18 b + 110 g and 73 g + 54 r, so that neither exceeds 32767 and saturates; their
// sum, at most 65025, fits an unsigned 16-bit lane.
struct Luminance {
  __m256i lo;
  __m256i hi;
};
VORLINO_AVX2 inline __m256i luminanceOfPairs(__m256i blueGreenBytes, __m256i greenRedBytes) {
  const __m256i bgWeights = _mm256_set1_epi16(static_cast<short>(18 | (110 << 8)));
  const __m256i grWeights = _mm256_set1_epi16(static_cast<short>(73 | (54 << 8)));
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(blueGreenBytes, bgWeights),
                                            _mm256_maddubs_epi16(greenRedBytes, grWeights)),
                           8);
}
VORLINO_AVX2 inline Luminance luminanceOf(const __m256i piece[3], const Pairs& blueGreenPairs,
                                          const Pairs& greenRedPairs) {
  return {luminanceOfPairs(pairsLo(piece, blueGreenPairs.lo), pairsLo(piece, greenRedPairs.lo)),
          luminanceOfPairs(pairsHi(piece, blueGreenPairs.hi), pairsHi(piece, greenRedPairs.hi))};
}

}  // namespace vorlino::avx2
