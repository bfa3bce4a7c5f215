// Row machinery shared by the pixel operations of this folder (internal header).
//
// Rows are walked in blocks of a fixed number of pixels, so that the loops over one block have a
// constant trip count that the compiler vectorises even at -O2; the short tail of a row goes
// through zero-padded local copies of the same size, so every pixel runs the very same code. The
// pixel loops are compiled twice, for baseline x86-64 and for AVX2, and one is picked at run time;
// both give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bitmap/bitmap.h"

#if defined(__x86_64__) || defined(__i386__)
#define VORLINO_HAVE_AVX2_BUILD 1
#define VORLINO_AVX2 __attribute__((target("avx2")))
#else
#define VORLINO_HAVE_AVX2_BUILD 0
#define VORLINO_AVX2
#endif
// For the loop bodies shared by both builds: they must be compiled inside each caller.
#define VORLINO_ALWAYS_INLINE [[gnu::always_inline]] inline
// The same for the block lambdas handed to forEachBlock.
#define VORLINO_LAMBDA_INLINE __attribute__((always_inline))

namespace vorlino::blocks {

inline constexpr int kPixels = 64;
inline constexpr int kBytes = 3 * kPixels;

// True when the processor has AVX2 and the AVX2 builds are allowed.
bool useAvx2();
// Allows or forbids the AVX2 builds, so that tests can check the baseline build on any machine.
void allowAvx2(bool allowed);

// Throws std::invalid_argument unless the bitmap holds 24 bits per pixel.
void require24(const Bitmap& bitmap, const char* operation);

// Calls kernel(dst) for each block of kPixels pixels of a row of `pixels` pixels, the tail through
// a zero-padded local copy that is copied back.
template <class Kernel>
VORLINO_ALWAYS_INLINE void forEachBlock(int pixels, std::uint8_t* dst, Kernel&& kernel) {
  const int whole = pixels - pixels % kPixels;
  for (int x = 0; x < whole; x += kPixels) kernel(dst + 3 * x);
  if (whole == pixels) return;
  const std::size_t used = 3 * static_cast<std::size_t>(pixels - whole);
  alignas(32) std::uint8_t d[kBytes] = {};
  std::memcpy(d, dst + 3 * whole, used);
  kernel(d);
  std::memcpy(dst + 3 * whole, d, used);
}

// As above with a second, read-only row: kernel(dst, src).
template <class Kernel>
VORLINO_ALWAYS_INLINE void forEachBlock(int pixels, std::uint8_t* dst, const std::uint8_t* src,
                                        Kernel&& kernel) {
  const int whole = pixels - pixels % kPixels;
  for (int x = 0; x < whole; x += kPixels) kernel(dst + 3 * x, src + 3 * x);
  if (whole == pixels) return;
  const std::size_t used = 3 * static_cast<std::size_t>(pixels - whole);
  alignas(32) std::uint8_t d[kBytes] = {};
  alignas(32) std::uint8_t s[kBytes] = {};
  std::memcpy(d, dst + 3 * whole, used);
  std::memcpy(s, src + 3 * whole, used);
  kernel(d, static_cast<const std::uint8_t*>(s));
  std::memcpy(dst + 3 * whole, d, used);
}

// Calls kernel(block, x) for each block of a row, x being the block's first pixel; the tail block
// is a zero-padded local copy that is copied back.
template <class Kernel>
VORLINO_ALWAYS_INLINE void forEachBlockAt(int pixels, std::uint8_t* dst, Kernel&& kernel) {
  const int whole = pixels - pixels % kPixels;
  for (int x = 0; x < whole; x += kPixels) kernel(dst + 3 * x, x);
  if (whole == pixels) return;
  const std::size_t used = 3 * static_cast<std::size_t>(pixels - whole);
  alignas(32) std::uint8_t d[kBytes] = {};
  std::memcpy(d, dst + 3 * whole, used);
  kernel(d, whole);
  std::memcpy(dst + 3 * whole, d, used);
}

// One block of bytes pulled towards target bytes: c += ((t - c) * f) / 100 with the quotient
// truncated toward zero, for weights f of 0..100. The quotient is taken on |t - c| * f, at most
// 25500, so everything fits 16-bit lanes; the result always lies between c and t.
VORLINO_ALWAYS_INLINE void pullBlock(std::uint8_t* __restrict c, const std::uint8_t* __restrict t,
                                     const std::uint8_t* __restrict f) {
  for (int i = 0; i < kBytes; ++i) {
    const std::uint8_t ci = c[i];
    const std::uint8_t ti = t[i];
    const std::uint8_t hi = ci > ti ? ci : ti;
    const std::uint8_t lo = ci > ti ? ti : ci;
    const auto q = static_cast<std::uint16_t>(static_cast<std::uint16_t>((hi - lo) * f[i]) / 100);
    c[i] = static_cast<std::uint8_t>(ti >= ci ? ci + q : ci - q);
  }
}

}  // namespace vorlino::blocks
