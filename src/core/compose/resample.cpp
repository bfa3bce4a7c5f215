// ResampleBitmap: the steps around the two passes, the weight tables of the passes and the plain
// pixel loops (the definition the vector loops must match byte for byte).
#include "compose/resample.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "bitmap/checked.h"
#include "compose/resample_passes.h"
#include "parallel/parallel.h"

namespace vorlino {
namespace resample_detail {
namespace {

// Float division of the sums is exact (see the vector loops) while |sum of w * v| < 2^24.
constexpr std::int64_t kMaxAbsWeightSum = ((std::int64_t{1} << 24) - 1) / 255;

bool fitsInt16(std::int32_t w) {
  return w >= -32768 && w <= 32767;
}

std::int32_t packPair(std::int32_t low, std::int32_t high) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(low) & 0xFFFFu) |
                                   (static_cast<std::uint32_t>(high) << 16));
}

// Adds up the weights of one entry per source index into dense[0 .. last - first].
void foldEntry(const TContributorEntry& entry, std::vector<std::int32_t>& dense,
               std::int32_t& first, std::int32_t& sum) {
  std::int32_t lo = std::numeric_limits<std::int32_t>::max();
  std::int32_t hi = std::numeric_limits<std::int32_t>::min();
  sum = 0;
  for (const TContributor& c : entry.contributors) {
    lo = std::min(lo, c.pixel);
    hi = std::max(hi, c.pixel);
    sum += c.weight;
  }
  first = lo;
  dense.assign(static_cast<std::size_t>(hi - lo) + 1, 0);
  for (const TContributor& c : entry.contributors) dense[c.pixel - lo] += c.weight;
}

std::uint8_t divideAndClamp(std::int32_t value, std::int32_t sum) {
  const std::int32_t q = value / sum;
  return static_cast<std::uint8_t>(q < 0 ? 0 : q > 255 ? 255 : q);
}

}  // namespace

HorizontalTable makeHorizontalTable(const TContributorList& list) {
  HorizontalTable table;
  table.spans.resize(list.size());
  table.vectorOk = true;
  std::vector<std::int32_t> dense;
  for (std::size_t i = 0; i < list.size(); ++i) {
    Span& span = table.spans[i];
    foldEntry(list[i], dense, span.first, span.sum);
    span.taps = static_cast<std::int32_t>(dense.size());
    span.offset = static_cast<std::int32_t>(table.weights.size());
    span.pairOffset = static_cast<std::int32_t>(table.pairs.size());
    table.weights.insert(table.weights.end(), dense.begin(), dense.end());
    std::int64_t absSum = 0;
    for (std::int32_t w : dense) {
      absSum += std::abs(w);
      table.vectorOk = table.vectorOk && fitsInt16(w);
    }
    table.vectorOk = table.vectorOk && absSum <= kMaxAbsWeightSum;
    dense.resize((dense.size() + 3) / 4 * 4, 0);
    for (std::size_t k = 0; k < dense.size(); k += 2)
      table.pairs.push_back(packPair(dense[k], dense[k + 1]));
    table.maxTaps = std::max(table.maxTaps, span.taps);
    const std::size_t groups = dense.size() / 4;
    table.readBytes =
        std::max(table.readBytes, 3 * static_cast<std::size_t>(span.first) + 12 * groups + 4);
  }
  return table;
}

VerticalTable makeVerticalTable(const TContributorList& list) {
  VerticalTable table;
  table.spans.resize(list.size());
  table.vectorOk = true;
  std::vector<std::int32_t> dense;
  for (std::size_t i = 0; i < list.size(); ++i) {
    Span& span = table.spans[i];
    std::int32_t first = 0;
    foldEntry(list[i], dense, first, span.sum);
    span.offset = static_cast<std::int32_t>(table.rows.size());
    span.pairOffset = static_cast<std::int32_t>(table.pairs.size());
    std::int64_t absSum = 0;
    for (std::size_t k = 0; k < dense.size(); ++k) {
      if (dense[k] == 0) continue;
      table.rows.push_back(first + static_cast<std::int32_t>(k));
      table.weights.push_back(dense[k]);
      absSum += std::abs(dense[k]);
      table.vectorOk = table.vectorOk && fitsInt16(dense[k]);
    }
    table.vectorOk = table.vectorOk && absSum <= kMaxAbsWeightSum;
    span.taps = static_cast<std::int32_t>(table.rows.size()) - span.offset;
    table.maxTaps = std::max(table.maxTaps, span.taps);
    for (std::int32_t k = 0; k < span.taps; k += 2) {
      const std::size_t a = static_cast<std::size_t>(span.offset + k);
      const bool paired = k + 1 < span.taps;
      table.pairRows.push_back(table.rows[a]);
      table.pairRows.push_back(paired ? table.rows[a + 1] : table.rows[a]);
      table.pairs.push_back(packPair(table.weights[a], paired ? table.weights[a + 1] : 0));
    }
  }
  return table;
}

std::size_t rowImageStride(int width) {
  return (3 * static_cast<std::size_t>(width) + 1 + 31) / 32 * 32;
}

void horizontalPassPortable(const HorizontalTable& table, const Bitmap& source,
                            const RowImage& inter, int y0, int y1) {
  const Span* spans = table.spans.data();
  const std::int32_t* weights = table.weights.data();
  for (int y = y0; y < y1; ++y) {
    const std::uint8_t* src = source.row(y);
    std::uint8_t* out = inter.row(y);
    for (int i = 0; i < inter.width; ++i) {
      const Span& s = spans[i];
      const std::uint8_t* p = src + 3 * static_cast<std::size_t>(s.first);
      const std::int32_t* w = weights + s.offset;
      std::int32_t blue = 0, green = 0, red = 0;
      for (std::int32_t k = 0; k < s.taps; ++k) {
        blue += w[k] * p[3 * k];
        green += w[k] * p[3 * k + 1];
        red += w[k] * p[3 * k + 2];
      }
      out[3 * i] = divideAndClamp(blue, s.sum);
      out[3 * i + 1] = divideAndClamp(green, s.sum);
      out[3 * i + 2] = divideAndClamp(red, s.sum);
    }
  }
}

void verticalPassPortable(const VerticalTable& table, const RowImage& inter, Bitmap& target, int r0,
                          int r1, std::int32_t* accumulator) {
  const std::size_t bytes = 3 * static_cast<std::size_t>(inter.width);
  for (int r = r0; r < r1; ++r) {
    const Span& s = table.spans[static_cast<std::size_t>(r)];
    std::fill(accumulator, accumulator + bytes, 0);
    for (std::int32_t k = 0; k < s.taps; ++k) {
      const std::uint8_t* src = inter.row(table.rows[static_cast<std::size_t>(s.offset + k)]);
      const std::int32_t w = table.weights[static_cast<std::size_t>(s.offset + k)];
      for (std::size_t x = 0; x < bytes; ++x) accumulator[x] += w * src[x];
    }
    std::uint8_t* out = target.row(r);
    for (std::size_t x = 0; x < bytes; ++x) out[x] = divideAndClamp(accumulator[x], s.sum);
  }
}

}  // namespace resample_detail

namespace {

using namespace resample_detail;

// The two passes from a 24-bit source into a 24-bit target already at its new size, with one
// weight entry per target column and per target row.
void passesWithLists(bool fast, const TContributorList& horizontalList,
                     const TContributorList& verticalList, const Bitmap& source, Bitmap& target) {
  const int sw = source.width(), sh = source.height();
  const int dw = target.width(), dh = target.height();
  if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return;

  // Everything is allocated before the first target byte is written.
  const HorizontalTable horizontal = makeHorizontalTable(horizontalList);
  const VerticalTable vertical = makeVerticalTable(verticalList);
  const bool fastRows = fast && horizontal.vectorOk;
  const bool fastColumns = fast && vertical.vectorOk;

  RowImage inter;
  inter.width = dw;
  inter.height = sh;
  inter.stride = rowImageStride(dw);
  const auto interBytes = checkedMul(inter.stride, static_cast<std::size_t>(sh));
  if (!interBytes) throw std::bad_alloc();
  PixelBuffer interBuffer(*interBytes);
  inter.bits = interBuffer.data();

  // Each pass shares its rows out between threads: a row depends only on the tables and on the
  // image before the pass, so any split gives the same bytes. A chunk's scratch memory is its
  // own, allocated once per chunk, outside the pixel loops.
  // Work per row in pixels, counting four taps (one vector group) as one pixel.
  const std::int64_t horizontalWork = std::int64_t{dw} * ((horizontal.maxTaps + 3) / 4);
  parallelRows(sh, horizontalWork, [&](int y0, int y1) {
    if (fastRows) {
      std::vector<std::uint8_t> rowScratch(horizontal.readBytes);
      horizontalPassAvx2(horizontal, source, inter, y0, y1, rowScratch.data());
    } else {
      horizontalPassPortable(horizontal, source, inter, y0, y1);
    }
  });
  const std::int64_t verticalWork = std::int64_t{dw} * ((vertical.maxTaps + 3) / 4);
  parallelRows(dh, verticalWork, [&](int r0, int r1) {
    if (fastColumns) {
      verticalPassAvx2(vertical, inter, target, r0, r1);
    } else {
      std::vector<std::int32_t> accumulator(3 * static_cast<std::size_t>(dw));
      verticalPassPortable(vertical, inter, target, r0, r1, accumulator.data());
    }
  });
}

void resampleCore(bool fast, TResampleKernel kernel, float radius, const Bitmap& source,
                  Bitmap& target) {
  const int sw = source.width(), sh = source.height();
  const int dw = target.width(), dh = target.height();
  if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return;
  passesWithLists(fast,
                  buildContributors(static_cast<std::uint32_t>(sw), static_cast<std::uint32_t>(dw),
                                    kernel, radius),
                  buildContributors(static_cast<std::uint32_t>(sh), static_cast<std::uint32_t>(dh),
                                    kernel, radius),
                  source, target);
}

}  // namespace

void resampleWithContributors(ResampleCode code, const TContributorList& horizontal,
                              const TContributorList& vertical, const Bitmap& source,
                              Bitmap& target) {
  if (horizontal.size() != static_cast<std::size_t>(target.width()) ||
      vertical.size() != static_cast<std::size_t>(target.height()) || source.bitsPerPixel() != 24)
    throw std::invalid_argument("weight lists do not match the bitmaps");
  passesWithLists(code == ResampleCode::kFastest, horizontal, vertical, source, target);
}

bool resampleHasFastCode() {
  return avx2Available();
}

void resampleBitmapWith(ResampleCode code, std::uint32_t newWidth, std::uint32_t newHeight,
                        TResampleKernel kernel, float radius, Bitmap& source, Bitmap& target) {
  if (radius == 0.0f) radius = KernelTable.at(static_cast<std::size_t>(kernel)).radius;
  if (&source == &target) {
    Bitmap copy(source);
    resampleBitmapWith(code, newWidth, newHeight, kernel, radius, copy, target);
    return;
  }
  if (newWidth > static_cast<std::uint32_t>(Bitmap::kMaxSide) ||
      newHeight > static_cast<std::uint32_t>(Bitmap::kMaxSide))
    throw std::length_error("bitmap size out of range");
  const int width = static_cast<int>(newWidth), height = static_cast<int>(newHeight);
  // The core writes every target pixel unless a side is empty; a fresh bitmap is black.
  if (source.empty())
    target.reset(width, height, 24);
  else
    target.resetForOverwrite(width, height, 24);
  source.convertTo24();
  try {
    resampleCore(code == ResampleCode::kFastest, kernel, radius, source, target);
  } catch (...) {
    if (target.byteCount() > 0) std::memset(target.bits(), 0, target.byteCount());
    throw;
  }
}

void ResampleBitmap(std::uint32_t newWidth, std::uint32_t newHeight, TResampleKernel kernel,
                    float radius, Bitmap& source, Bitmap& target) {
  resampleBitmapWith(ResampleCode::kFastest, newWidth, newHeight, kernel, radius, source, target);
}

}  // namespace vorlino
