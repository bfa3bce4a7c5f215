#include "batch/mask_rows.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <new>
#include <system_error>

#include "bitmap/checked.h"
#include "compose/pixel_blocks.h"
#include "compose/resample.h"
#include "compose/resample_passes.h"

namespace vorlino {

// One step of the mask: produces rows in order, pulling rows from the step before it.
class MaskRows::Stage {
 public:
  virtual ~Stage() = default;
  virtual const std::uint8_t* next() = 0;
};

namespace {

using resample_detail::HorizontalTable;
using resample_detail::Span;
using resample_detail::VerticalTable;

// Pixels per block of the vertical pass: rows are padded to a multiple, so that every loop over a
// block has a constant trip count and vectorises at -O2.
constexpr int kLanes = 32;

int paddedWidth(int width) {
  return (width + kLanes - 1) / kLanes * kLanes;
}

// One output row of the vertical pass over taps intermediate rows, then near-white to white. The
// quotient is taken in floating point, which vectorises, and its truncation is exactly the integer
// division's: the rounding error of the quotient stays below 1 / |sum|, the least distance from a
// non-integer quotient to an integer, in double for |value| < 2^31 and |sum| < 2^16, and in float
// while |value| < 2^24, which the table's vectorOk promises.
template <class Real>
VORLINO_ALWAYS_INLINE void verticalRow(const std::uint8_t* const* rows, const std::int32_t* weights,
                                       int taps, std::int32_t sum, int width, std::uint8_t* out) {
  const auto divisor = static_cast<Real>(sum);
  for (int x = 0; x < width; x += kLanes) {
    std::int32_t acc[kLanes] = {};
    for (int k = 0; k < taps; ++k) {
      const std::uint8_t* src = rows[k] + x;
      const std::int32_t w = weights[k];
      for (int i = 0; i < kLanes; ++i) acc[i] += w * src[i];
    }
    for (int i = 0; i < kLanes; ++i) {
      const auto q = static_cast<std::int32_t>(static_cast<Real>(acc[i]) / divisor);
      const std::int32_t c = q < 0 ? 0 : q > 255 ? 255 : q;
      out[x + i] = static_cast<std::uint8_t>(c >= 243 ? 255 : c);
    }
  }
}

void verticalRowBaseline(bool inFloat, const std::uint8_t* const* rows, const std::int32_t* weights,
                         int taps, std::int32_t sum, int width, std::uint8_t* out) {
  if (inFloat)
    verticalRow<float>(rows, weights, taps, sum, width, out);
  else
    verticalRow<double>(rows, weights, taps, sum, width, out);
}

VORLINO_AVX2 void verticalRowAvx2(bool inFloat, const std::uint8_t* const* rows,
                                  const std::int32_t* weights, int taps, std::int32_t sum,
                                  int width, std::uint8_t* out) {
  if (inFloat)
    verticalRow<float>(rows, weights, taps, sum, width, out);
  else
    verticalRow<double>(rows, weights, taps, sum, width, out);
}

// Rows of the horizontal pass made together, through the resampler's own loops: a multiple of
// three, since three rows go through the pass as the three channels of one.
constexpr int kSliceRows = 18;

// The fitted mask: ResampleBitmap's two passes over one channel, then ReplaceColour (white,
// white, 12), which on grey turns 243 and above into 255.
class FitStage final : public MaskRows::Stage {
 public:
  FitStage(const Bitmap& picture, int width, int height)
      : picture_(picture), width_(width), row_(static_cast<std::size_t>(paddedWidth(width))) {
    const float radius = KernelTable[rkLanczos3].radius;
    auto verticalTable = [&] {
      return resample_detail::makeVerticalTable(
          buildContributors(static_cast<std::uint32_t>(picture.height()),
                            static_cast<std::uint32_t>(height), rkLanczos3, radius));
    };
    // The two tables take milliseconds for a large photo, while the photo's other threads wait
    // for the first mask rows: the vertical one is made on a thread of its own meanwhile.
    std::future<VerticalTable> vertical;
    try {
      vertical = std::async(std::launch::async, verticalTable);
    } catch (const std::system_error&) {  // no thread to be had: made here after the other
    }
    horizontal_ = resample_detail::makeHorizontalTable(
        buildContributors(static_cast<std::uint32_t>(picture.width()),
                          static_cast<std::uint32_t>(width), rkLanczos3, radius));
    vertical_ = vertical.valid() ? vertical.get() : verticalTable();
    // The last output row that reads each intermediate row: it is dropped after that one.
    lastUse_.assign(static_cast<std::size_t>(picture.height()), -1);
    for (std::size_t r = 0; r < vertical_.spans.size(); ++r) {
      const Span& s = vertical_.spans[r];
      for (std::int32_t k = 0; k < s.taps; ++k)
        lastUse_[static_cast<std::size_t>(vertical_.rows[static_cast<std::size_t>(s.offset + k)])] =
            static_cast<int>(r);
    }
    inter_.resize(static_cast<std::size_t>(picture.height()));
  }

  const std::uint8_t* next() override {
    const Span& s = vertical_.spans[static_cast<std::size_t>(r_)];
    rows_.clear();
    for (std::int32_t k = 0; k < s.taps; ++k)
      rows_.push_back(intermediate(vertical_.rows[static_cast<std::size_t>(s.offset + k)]));
    const std::int32_t* weights = vertical_.weights.data() + s.offset;
    const bool inFloat = vertical_.vectorOk;
    if (blocks::useAvx2())
      verticalRowAvx2(inFloat, rows_.data(), weights, s.taps, s.sum, paddedWidth(width_),
                      row_.data());
    else
      verticalRowBaseline(inFloat, rows_.data(), weights, s.taps, s.sum, paddedWidth(width_),
                          row_.data());
    for (std::int32_t k = 0; k < s.taps; ++k) {
      const auto j =
          static_cast<std::size_t>(vertical_.rows[static_cast<std::size_t>(s.offset + k)]);
      if (lastUse_[j] == r_) std::vector<std::uint8_t>().swap(inter_[j]);
    }
    ++r_;
    return row_.data();
  }

 private:
  // Row j of the horizontal pass, made on first use together with the rows after it that are
  // still to come (at most kSliceRows), since the vertical pass asks for them in about that order.
  const std::uint8_t* intermediate(std::int32_t j) {
    if (!inter_[static_cast<std::size_t>(j)].empty())
      return inter_[static_cast<std::size_t>(j)].data();
    const int n = std::min(kSliceRows, picture_.height() - j);
    // The resampler's pass over three channels (vectorised when it can be, the bytes of the
    // whole-picture fit either way). It treats the channels alike and apart, so the grey rows
    // j .. j + n - 1 go in three to a slice row, one in each channel: a third of the work of
    // passing each grey row as its three equal channels.
    const int sliceRows = (n + 2) / 3;
    const int pictureWidth = picture_.width();
    if (slice_.height() != sliceRows) slice_.resetForOverwrite(pictureWidth, sliceRows, 24);
    for (int i = 0; i < sliceRows; ++i) {
      std::uint8_t* dst = slice_.row(i);
      for (int c = 0; c < 3; ++c) {
        const int y = 3 * i + c;
        const std::uint8_t* src = y < n ? picture_.row(j + y) : nullptr;
        for (int x = 0; x < pictureWidth; ++x) dst[3 * x + c] = src ? src[3 * x] : 0;
      }
    }
    resample_detail::RowImage out;
    out.width = width_;
    out.height = sliceRows;
    out.stride = resample_detail::rowImageStride(width_);
    sliceOut_.resize(out.stride * static_cast<std::size_t>(sliceRows));
    out.bits = sliceOut_.data();
    if (resample_detail::avx2Available() && horizontal_.vectorOk) {
      scratch_.resize(horizontal_.readBytes);
      resample_detail::horizontalPassAvx2(horizontal_, slice_, out, 0, sliceRows, scratch_.data());
    } else {
      resample_detail::horizontalPassPortable(horizontal_, slice_, out, 0, sliceRows);
    }
    for (int i = 0; i < n; ++i) {
      std::vector<std::uint8_t>& grey = inter_[static_cast<std::size_t>(j + i)];
      // Rows already made, or no longer needed, are left as they are.
      if (!grey.empty() || lastUse_[static_cast<std::size_t>(j + i)] < r_) continue;
      grey.assign(static_cast<std::size_t>(paddedWidth(width_)), 0);  // the padding stays 0
      const std::uint8_t* channel = out.row(i / 3) + i % 3;
      for (int x = 0; x < width_; ++x) grey[static_cast<std::size_t>(x)] = channel[3 * x];
    }
    return inter_[static_cast<std::size_t>(j)].data();
  }

  const Bitmap& picture_;
  int width_;
  int r_ = 0;
  HorizontalTable horizontal_;
  VerticalTable vertical_;
  std::vector<int> lastUse_;
  std::vector<std::vector<std::uint8_t>> inter_;
  std::vector<const std::uint8_t*> rows_;
  std::vector<std::uint8_t> row_;
  Bitmap slice_;
  std::vector<std::uint8_t> sliceOut_;
  std::vector<std::uint8_t> scratch_;
};

// TileBitmap (mask, picture, 100, no colour, 0): the picture repeated from the top-left corner.
class TileStage final : public MaskRows::Stage {
 public:
  TileStage(const Bitmap& picture, int width)
      : picture_(picture),
        row_(static_cast<std::size_t>(width)),
        grey_(static_cast<std::size_t>(picture.width())) {}
  const std::uint8_t* next() override {
    const std::uint8_t* src = picture_.row(y_ % picture_.height());
    for (std::size_t x = 0; x < grey_.size(); ++x) grey_[x] = src[3 * x];
    // Whole copies side by side, a part of one at the right edge.
    for (std::size_t x = 0; x < row_.size(); x += grey_.size())
      std::memcpy(row_.data() + x, grey_.data(), std::min(grey_.size(), row_.size() - x));
    ++y_;
    return row_.data();
  }

 private:
  const Bitmap& picture_;
  int y_ = 0;
  std::vector<std::uint8_t> row_;
  std::vector<std::uint8_t> grey_;
};

// SoftenBitmap on one channel: row y from the filtered row above (row 0 itself for the first),
// row y and row y + 1 (row y itself for the last) of its input. Rows are padded to whole blocks of
// kLanes so that the loops vectorise; the padding's values reach only the padding.
VORLINO_ALWAYS_INLINE void softenRow(const std::uint8_t* above, const std::uint8_t* current,
                                     const std::uint8_t* below, int width, int padded,
                                     std::uint16_t* sums, std::uint8_t* out) {
  // sums[1 + x] is the column sum of x; sums[0] and sums[width + 1] repeat the edge columns.
  for (int x = 0; x < padded; x += kLanes)
    for (int i = 0; i < kLanes; ++i)
      sums[1 + x + i] = static_cast<std::uint16_t>(above[x + i] + current[x + i] + below[x + i]);
  sums[0] = sums[1];
  sums[width + 1] = sums[width];
  for (int x = 0; x < padded; x += kLanes)
    for (int i = 0; i < kLanes; ++i)
      out[x + i] = static_cast<std::uint8_t>(
          static_cast<std::uint16_t>(sums[x + i] + sums[x + i + 1] + sums[x + i + 2]) / 9);
}

void softenRowBaseline(const std::uint8_t* above, const std::uint8_t* current,
                       const std::uint8_t* below, int width, int padded, std::uint16_t* sums,
                       std::uint8_t* out) {
  softenRow(above, current, below, width, padded, sums, out);
}

VORLINO_AVX2 void softenRowAvx2(const std::uint8_t* above, const std::uint8_t* current,
                                const std::uint8_t* below, int width, int padded,
                                std::uint16_t* sums, std::uint8_t* out) {
  softenRow(above, current, below, width, padded, sums, out);
}

class SoftenStage final : public MaskRows::Stage {
 public:
  SoftenStage(MaskRows::Stage& input, int width, int height)
      : input_(input),
        width_(width),
        padded_(paddedWidth(width)),
        height_(height),
        above_(static_cast<std::size_t>(padded_)),
        current_(static_cast<std::size_t>(padded_)),
        below_(static_cast<std::size_t>(padded_)),
        out_(static_cast<std::size_t>(padded_)),
        sums_(static_cast<std::size_t>(padded_) + 2) {}

  const std::uint8_t* next() override {
    const auto w = static_cast<std::size_t>(width_);
    if (y_ == 0) {
      std::memcpy(current_.data(), input_.next(), w);
      above_ = current_;
    }
    if (y_ + 1 < height_)
      std::memcpy(below_.data(), input_.next(), w);
    else
      below_ = current_;
    if (blocks::useAvx2())
      softenRowAvx2(above_.data(), current_.data(), below_.data(), width_, padded_, sums_.data(),
                    out_.data());
    else
      softenRowBaseline(above_.data(), current_.data(), below_.data(), width_, padded_,
                        sums_.data(), out_.data());
    above_ = out_;
    current_.swap(below_);
    ++y_;
    return out_.data();
  }

 private:
  MaskRows::Stage& input_;
  int width_;
  int padded_;
  int height_;
  int y_ = 0;
  std::vector<std::uint8_t> above_, current_, below_, out_;
  std::vector<std::uint16_t> sums_;
};

// TwoToneBitmap (mask, 128, black, white): on grey v the luminance is 255 * v >> 8.
class TwoToneStage final : public MaskRows::Stage {
 public:
  TwoToneStage(MaskRows::Stage& input, int width)
      : input_(input), row_(static_cast<std::size_t>(width)) {}
  const std::uint8_t* next() override {
    const std::uint8_t* in = input_.next();
    for (std::size_t x = 0; x < row_.size(); ++x) row_[x] = ((255u * in[x]) >> 8) > 128 ? 255 : 0;
    return row_.data();
  }

 private:
  MaskRows::Stage& input_;
  std::vector<std::uint8_t> row_;
};

}  // namespace

bool isGreyPicture(const Bitmap& picture) {
  if (picture.bitsPerPixel() != 24) return false;
  for (int y = 0; y < picture.height(); ++y) {
    const std::uint8_t* p = picture.row(y);
    for (int x = 0; x < picture.width(); ++x, p += 3)
      if (p[0] != p[1] || p[1] != p[2]) return false;
  }
  return true;
}

MaskRows::MaskRows(const Bitmap& picture, int width, int height, const MaskOptions& options) {
  if (options.fit)
    stages_.push_back(std::make_unique<FitStage>(picture, width, height));
  else
    stages_.push_back(std::make_unique<TileStage>(picture, width));
  if (options.soften)
    for (int pass = 0; pass < 2; ++pass)
      stages_.push_back(std::make_unique<SoftenStage>(*stages_.back(), width, height));
  if (options.format == rfTransparent || options.twoTone)
    stages_.push_back(std::make_unique<TwoToneStage>(*stages_.back(), width));
}

MaskRows::~MaskRows() = default;

const std::uint8_t* MaskRows::next() {
  return stages_.back()->next();
}

KeptMaskRows::KeptMaskRows(int width, int height)
    : width_(width),
      height_(height),
      bytes_(
          checkedMul(static_cast<std::size_t>(width), static_cast<std::size_t>(height)).value_or(0),
          PixelBuffer::Fill::kAny) {
  if (width > 0 && height > 0 && !bytes_.data()) throw std::bad_alloc();
}

}  // namespace vorlino
