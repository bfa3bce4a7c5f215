// Filtered resampling: resizes a bitmap to an exact size by separable two-pass filtering.
//
// A horizontal pass turns every source row into a row of the new width, then a vertical pass turns
// every column of that intermediate image into a column of the new height. Each output pixel is a
// weighted sum of source pixels with integer weights in 1/256 units taken from a reconstruction
// kernel, divided (truncating) by the sum of the weights used and clamped to 0..255. The mapping is
// corner-aligned: the first and last output pixels sit on the first and last source pixels. The
// results are defined to the bit; the vectorised passes give the same bytes as the plain ones.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"

namespace vorlino {

// The kernel kind; the ordinal is what callers pass.
enum TResampleKernel { rkBox, rkTriangle, rkHermite, rkBell, rkSpline, rkLanczos3, rkMitchell };

inline constexpr int kResampleKernelCount = 7;

// A kernel function and its default radius: the half-width of its support in source pixels at
// scale 1. Every kernel is 0 outside that support (the box includes +0.5, not -0.5).
struct TKernelEntry {
  float (*filter)(float);
  float radius;
};

// The seven kernels, indexed by TResampleKernel. Each takes and returns a 32-bit float, rounding
// its named intermediates to float as well.
float BoxFilter(float x);
float TriangleFilter(float x);
float HermiteFilter(float x);
float BellFilter(float x);
float SplineFilter(float x);
float Lanczos3Filter(float x);
float MitchellFilter(float x);

extern const std::array<TKernelEntry, kResampleKernelCount> KernelTable;

// One source pixel's share of an output pixel: the kernel value times 256, rounded (halves to
// even), and the source index, already brought inside the source.
struct TContributor {
  std::int32_t weight;
  std::int32_t pixel;
};
using TContributors = std::vector<TContributor>;

// The contributors of one output pixel, in increasing order of candidate position. The array
// grows as needed; count always equals its size.
struct TContributorEntry {
  std::int32_t count = 0;
  TContributors contributors;
};
using TContributorList = std::vector<TContributorEntry>;

// Builds the contributor list of one axis: one entry per output pixel (dstSize entries; none when
// srcSize is 0). radius 0 or NaN means the kernel's default radius.
// - Scale: dstSize / srcSize when srcSize is 1, else (dstSize - 1) / (srcSize - 1) (float); output
//   i has its centre at i / scale.
// - A single output from a longer source (dstSize 1) is the kernel-weighted mean of the whole
//   source line: scale 1 / srcSize, centre in the middle of the source, candidates limited to the
//   source, weights Round(K(a) * 256 * f) with f = 1, 1/2 or 1/4 so that sums fit in 32 bits.
// - Indexes outside the source are reflected once at its edges, then clamped into it.
// - An entry whose weights sum to 0 (every weight rounded to 0 on reductions of 1/512 or less)
//   takes instead the source pixel nearest to its centre with weight 256.
TContributorList buildContributors(std::uint32_t srcSize, std::uint32_t dstSize,
                                   TResampleKernel kernel, float radius);

// Which pixel loops ResampleBitmap may use: the fastest the processor supports, or only the plain
// portable ones. Both give the same bytes; tests compare them.
enum class ResampleCode { kFastest, kPortable };

// The contributors of one output pixel centred at source position centre on an axis of the given
// scale (output pixels per source pixel), by the rule of buildContributors for every output but a
// single one from a longer line. Lets a caller map an axis piecewise with the same weights.
TContributorEntry contributorsAt(std::uint32_t srcSize, float centre, float scale,
                                 TResampleKernel kernel, float radius);

// The two passes with weight lists of the caller's own: horizontal has one entry per target
// column, vertical one per target row, their indexes inside the 24-bit source; target is already
// at its size. Same pixel loops, same bytes as ResampleBitmap for the same lists.
void resampleWithContributors(ResampleCode code, const TContributorList& horizontal,
                              const TContributorList& vertical, const Bitmap& source,
                              Bitmap& target);

// Resizes source into target: radius 0 means the kernel's default radius; target is reset to 24
// bits per pixel at newWidth x newHeight; source is converted in place to 24 bits (the caller sees
// that); then the two passes run. An empty source or a zero new size leaves the target at its new
// size with zero pixels. source and target may be the same bitmap. Throws std::length_error for a
// size above Bitmap::kMaxSide and std::bad_alloc when memory runs out; the target then keeps its
// new size with zero pixels.
void ResampleBitmap(std::uint32_t newWidth, std::uint32_t newHeight, TResampleKernel kernel,
                    float radius, Bitmap& source, Bitmap& target);

// ResampleBitmap with a choice of pixel loops.
void resampleBitmapWith(ResampleCode code, std::uint32_t newWidth, std::uint32_t newHeight,
                        TResampleKernel kernel, float radius, Bitmap& source, Bitmap& target);

// True when the vectorised (AVX2) pixel loops are available on this processor.
bool resampleHasFastCode();

}  // namespace vorlino
