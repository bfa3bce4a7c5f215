// Internal to the resampler: the weight tables of the two passes and the pixel loops over them.
//
// The contributor lists are recast for the pixel loops without changing a single output: the
// weights of repeated source indexes (reflection at the edges) are added together and the
// contributors are sorted by index, which changes no sum since integer addition is exact. The
// horizontal table is dense (consecutive source pixels, zeros included) so that the vector loop
// reads contiguous bytes; the vertical table lists only the rows that carry weight.
//
// Every loop works on a range of rows, so that ranges can go to different threads: each call
// writes only its own rows and needs only the scratch memory it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"
#include "compose/resample.h"

namespace vorlino::resample_detail {

// The weights of one output pixel: taps consecutive weights from `offset`, over the source pixels
// (horizontal) or the rows listed at `offset` (vertical); pairOffset indexes the same weights
// packed as int16 pairs for the vector loops; sum is the sum of the weights.
struct Span {
  std::int32_t first = 0;  // first source pixel (horizontal table only)
  std::int32_t taps = 0;
  std::int32_t offset = 0;
  std::int32_t pairOffset = 0;
  std::int32_t sum = 0;
};

// Weights of the horizontal pass, one span per output column. pairs holds, per span, the weights
// in groups of four taps (zero-padded) as two int32 words of two int16 weights each, low half
// first.
struct HorizontalTable {
  std::vector<Span> spans;
  std::vector<std::int32_t> weights;
  std::vector<std::int32_t> pairs;
  std::size_t readBytes = 0;  // bytes from a row start that the vector loop may load
  std::int32_t maxTaps = 0;   // the most taps of any span
  bool vectorOk = false;      // weights fit int16 and every sum stays below 2^24 in magnitude
};

// Weights of the vertical pass, one span per output row: the rows to read and their weights; pairs
// holds them two by two (a missing second row repeats the first with weight 0).
struct VerticalTable {
  std::vector<Span> spans;
  std::vector<std::int32_t> rows;
  std::vector<std::int32_t> weights;
  std::vector<std::int32_t> pairRows;  // two entries per pair
  std::vector<std::int32_t> pairs;
  std::int32_t maxTaps = 0;  // the most taps of any span
  bool vectorOk = false;
};

HorizontalTable makeHorizontalTable(const TContributorList& list);
VerticalTable makeVerticalTable(const TContributorList& list);

// The intermediate image: rows of width * 3 bytes at `stride`, where the stride leaves at least
// one spare byte and rounds up to a multiple of 32, so the vector loops can load and store whole
// 32-byte blocks within each row.
struct RowImage {
  std::uint8_t* bits = nullptr;
  std::size_t stride = 0;
  int width = 0;
  int height = 0;
  std::uint8_t* row(int y) const { return bits + stride * static_cast<std::size_t>(y); }
};

std::size_t rowImageStride(int width);

// Plain loops: source rows [y0, y1) into the intermediate; intermediate into target rows [r0, r1).
// accumulator has room for the intermediate's row bytes.
void horizontalPassPortable(const HorizontalTable& table, const Bitmap& source,
                            const RowImage& inter, int y0, int y1);
void verticalPassPortable(const VerticalTable& table, const RowImage& inter, Bitmap& target, int r0,
                          int r1, std::int32_t* accumulator);

// AVX2 loops, same results; only when avx2Available() and the table's vectorOk. rowScratch holds
// table.readBytes bytes (for the last source rows, whose loads would pass the end of the bitmap).
bool avx2Available();
void horizontalPassAvx2(const HorizontalTable& table, const Bitmap& source, const RowImage& inter,
                        int y0, int y1, std::uint8_t* rowScratch);
void verticalPassAvx2(const VerticalTable& table, const RowImage& inter, Bitmap& target, int r0,
                      int r1);

}  // namespace vorlino::resample_detail
