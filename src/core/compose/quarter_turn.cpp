#include "compose/quarter_turn.h"

#include <cstring>

#include "compose/pixel_blocks.h"
#include "parallel/parallel.h"

#if VORLINO_HAVE_AVX2_BUILD
#include <immintrin.h>
#endif

namespace vorlino {
namespace {

// Pixel by pixel, square tiles of 32 by 32 pixels: while a tile is turned, its 32 source row
// segments and its 32 target row segments (96 bytes each) stay in the L1 cache.
constexpr int kTile = 32;
// By blocks of 8 by 8, tiles of 256 by 256 pixels (twice 192 KB) that stay in the L2 cache, taken
// in strips of source columns so that each target row is written in one sweep.
constexpr int kBlockTile = 256;

// Moves the source pixels of rows [y0, y1) and columns [x0, x1), tile by tile, one pixel at a time.
void turnRect(const Bitmap& source, Bitmap& target, bool clockwise, int y0, int y1, int x0,
              int x1) {
  const int w = source.width();
  const int h = source.height();
  const std::uint8_t* rows[kTile];
  for (int ty = y0; ty < y1; ty += kTile) {
    const int n = ty + kTile < y1 ? kTile : y1 - ty;
    for (int i = 0; i < n; ++i) rows[i] = source.row(ty + i);
    for (int tx = x0; tx < x1; tx += kTile) {
      const int txEnd = tx + kTile < x1 ? tx + kTile : x1;
      for (int x = tx; x < txEnd; ++x) {
        const std::size_t from = 3 * static_cast<std::size_t>(x);
        if (clockwise) {
          // Source column x becomes target row x, read from right to left.
          std::uint8_t* dst = target.row(x) + 3 * static_cast<std::size_t>(h - 1 - ty);
          for (int i = 0; i < n; ++i) std::memcpy(dst - 3 * i, rows[i] + from, 3);
        } else {
          // Source column x becomes target row w - 1 - x, read from left to right.
          std::uint8_t* dst = target.row(w - 1 - x) + 3 * static_cast<std::size_t>(ty);
          for (int i = 0; i < n; ++i) std::memcpy(dst + 3 * i, rows[i] + from, 3);
        }
      }
    }
  }
}

#if VORLINO_HAVE_AVX2_BUILD
// The AVX2 build turns blocks of 8 by 8 pixels in registers: each source row segment is widened
// to eight 32-bit lanes, the 8 x 8 lanes are transposed, and each column is narrowed back to 24
// bytes and stored as a run of the target row.

// Widening: lane 0 takes pixels 0..3 from bytes 0..11, lane 1 pixels 4..7 from bytes 12..23,
// which are bytes 4..15 of its 16-byte load.
constexpr std::int8_t kWiden[32] = {0, 1, 2, -1, 3, 4, 5, -1, 6,  7,  8,  -1, 9,  10, 11, -1,
                                    4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1};
// Narrowing: the four pixels of each lane to its first 12 bytes; then dwords 0-2 and 4-6 joined.
constexpr std::int8_t kNarrow[32] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                     0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1};

VORLINO_AVX2 inline __m256i loadEight(const std::uint8_t* p, __m256i widen) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
  return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), widen);
}

VORLINO_AVX2 inline void storeEight(std::uint8_t* p, __m256i v, __m256i narrow, __m256i join) {
  const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, narrow), join);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(packed, 1));
}

// r[i] = row i of the block as 32-bit lanes; on return r[j] = column j.
VORLINO_AVX2 inline void transpose8(__m256i r[8]) {
  __m256i t[8], u[8];
  for (int i = 0; i < 8; i += 2) {
    t[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
    t[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
  }
  for (int i = 0; i < 8; i += 4) {
    u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
    u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
    u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
    u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
  }
  for (int j = 0; j < 4; ++j) {
    r[j] = _mm256_permute2x128_si256(u[j], u[j + 4], 0x20);
    r[j + 4] = _mm256_permute2x128_si256(u[j], u[j + 4], 0x31);
  }
}

// Turns the source rows [y0, y1) and columns [x0, x1), both ranges whole multiples of 8 pixels
// long starting at multiples of 8.
VORLINO_AVX2 void turnBlocksAvx2(const Bitmap& source, Bitmap& target, bool clockwise, int y0,
                                 int y1, int x0, int x1) {
  const int w = source.width();
  const int h = source.height();
  const __m256i widen = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kWiden));
  const __m256i narrow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kNarrow));
  const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  for (int tx = x0; tx < x1; tx += kBlockTile) {
    const int txEnd = tx + kBlockTile < x1 ? tx + kBlockTile : x1;
    for (int ty = y0; ty < y1; ty += kBlockTile) {
      const int tyEnd = ty + kBlockTile < y1 ? ty + kBlockTile : y1;
      for (int by = ty; by < tyEnd; by += 8)
        for (int bx = tx; bx < txEnd; bx += 8) {
          __m256i r[8];
          const std::size_t from = 3 * static_cast<std::size_t>(bx);
          // Clockwise the rows go in bottom-up, so each column comes out in target order.
          for (int i = 0; i < 8; ++i)
            r[i] = loadEight(source.row(clockwise ? by + 7 - i : by + i) + from, widen);
          transpose8(r);
          for (int j = 0; j < 8; ++j) {
            std::uint8_t* dst = clockwise
                                    ? target.row(bx + j) + 3 * static_cast<std::size_t>(h - 8 - by)
                                    : target.row(w - 1 - bx - j) + 3 * static_cast<std::size_t>(by);
            storeEight(dst, r[j], narrow, join);
          }
        }
    }
  }
}
#endif

// Source column x lands in target row x (clockwise) or w - 1 - x, so the source is shared out
// between threads by strips of columns: each thread writes whole target rows of its own, and any
// split gives the same bytes.
void turnAll(const Bitmap& source, Bitmap& target, bool clockwise) {
  const int w = source.width();
  const int h = source.height();
#if VORLINO_HAVE_AVX2_BUILD
  if (blocks::useAvx2()) {
    // 8 x 8 blocks in registers; the last rows and columns short of a block go pixel by pixel.
    const int h8 = h - h % 8;
    const int w8 = w - w % 8;
    parallelRows(w8 / 8, 8 * static_cast<std::int64_t>(h), [&](int c0, int c1) {
      turnBlocksAvx2(source, target, clockwise, 0, h8, 8 * c0, 8 * c1);
      if (h8 < h) turnRect(source, target, clockwise, h8, h, 8 * c0, 8 * c1);
    });
    if (w8 < w) turnRect(source, target, clockwise, 0, h, w8, w);
    return;
  }
#endif
  parallelRows((w + kTile - 1) / kTile, kTile * static_cast<std::int64_t>(h), [&](int t0, int t1) {
    turnRect(source, target, clockwise, 0, h, t0 * kTile, t1 * kTile < w ? t1 * kTile : w);
  });
}

}  // namespace

void RotateQuarterInto(Bitmap& source, Bitmap& target, bool clockwise) {
  if (&source == &target) {
    RotateQuarter(source, clockwise);
    return;
  }
  source.convertTo24();
  const int w = source.width();
  const int h = source.height();
  target.resetForOverwrite(h, w, 24);
  if (source.empty()) return;
  turnAll(source, target, clockwise);
}

void RotateQuarter(Bitmap& bitmap, bool clockwise) {
  Bitmap turned;
  RotateQuarterInto(bitmap, turned, clockwise);
  turned.Transparent = bitmap.Transparent;
  turned.TransparentColor = bitmap.TransparentColor;
  turned.palette() = bitmap.palette();
  bitmap.swap(turned);
}

void RotateHalf(Bitmap& bitmap) {
  bitmap.convertTo24();
  if (bitmap.empty()) return;
  const int w = bitmap.width();
  const int h = bitmap.height();
  // Pixel pairs are exchanged directly: rows i and h-1-i mirrored into each other, then the
  // middle row of an odd height mirrored into itself. Each pair of rows is a task of its own.
  parallelRows((h + 1) / 2, 2 * static_cast<std::int64_t>(w), [&](int i0, int i1) {
    for (int i = i0; i < i1; ++i) {
      std::uint8_t* top = bitmap.row(i);
      std::uint8_t* bottom = bitmap.row(h - 1 - i);
      const int count = top == bottom ? w / 2 : w;
      for (int x = 0; x < count; ++x) {
        std::uint8_t pixel[3];
        std::uint8_t* a = top + 3 * static_cast<std::size_t>(x);
        std::uint8_t* b = bottom + 3 * static_cast<std::size_t>(w - 1 - x);
        std::memcpy(pixel, a, 3);
        std::memcpy(a, b, 3);
        std::memcpy(b, pixel, 3);
      }
    }
  });
}

}  // namespace vorlino
