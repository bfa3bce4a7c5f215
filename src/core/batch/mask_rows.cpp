#include "batch/mask_rows.h"

#include <algorithm>
#include <cstring>

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

std::uint8_t divideAndClamp(std::int32_t value, std::int32_t sum) {
  const std::int32_t q = value / sum;
  return static_cast<std::uint8_t>(q < 0 ? 0 : q > 255 ? 255 : q);
}

// Pixels per block of the vertical pass: rows are padded to a multiple, so that every loop over a
// block has a constant trip count and vectorises at -O2.
constexpr int kLanes = 32;

int paddedWidth(int width) {
  return (width + kLanes - 1) / kLanes * kLanes;
}

// One output row of the vertical pass over taps intermediate rows, then near-white to white. The
// quotient is taken in double: for |value| < 2^31 and |sum| < 2^16 its truncation is exactly the
// integer division's (the rounding error stays far below 1 / |sum|), and it vectorises.
VORLINO_ALWAYS_INLINE void verticalRow(const std::uint8_t* const* rows, const std::int32_t* weights,
                                       int taps, std::int32_t sum, int width, std::uint8_t* out) {
  const double divisor = sum;
  for (int x = 0; x < width; x += kLanes) {
    std::int32_t acc[kLanes] = {};
    for (int k = 0; k < taps; ++k) {
      const std::uint8_t* src = rows[k] + x;
      const std::int32_t w = weights[k];
      for (int i = 0; i < kLanes; ++i) acc[i] += w * src[i];
    }
    for (int i = 0; i < kLanes; ++i) {
      const auto q = static_cast<std::int32_t>(static_cast<double>(acc[i]) / divisor);
      const std::int32_t c = q < 0 ? 0 : q > 255 ? 255 : q;
      out[x + i] = static_cast<std::uint8_t>(c >= 243 ? 255 : c);
    }
  }
}

void verticalRowBaseline(const std::uint8_t* const* rows, const std::int32_t* weights, int taps,
                         std::int32_t sum, int width, std::uint8_t* out) {
  verticalRow(rows, weights, taps, sum, width, out);
}

VORLINO_AVX2 void verticalRowAvx2(const std::uint8_t* const* rows, const std::int32_t* weights,
                                  int taps, std::int32_t sum, int width, std::uint8_t* out) {
  verticalRow(rows, weights, taps, sum, width, out);
}

// The fitted mask: ResampleBitmap's two passes over one channel, then ReplaceColour (white,
// white, 12), which on grey turns 243 and above into 255.
class FitStage final : public MaskRows::Stage {
 public:
  FitStage(const Bitmap& picture, int width, int height)
      : picture_(picture), width_(width), row_(static_cast<std::size_t>(paddedWidth(width))) {
    const float radius = KernelTable[rkLanczos3].radius;
    horizontal_ = resample_detail::makeHorizontalTable(
        buildContributors(static_cast<std::uint32_t>(picture.width()),
                          static_cast<std::uint32_t>(width), rkLanczos3, radius));
    vertical_ = resample_detail::makeVerticalTable(
        buildContributors(static_cast<std::uint32_t>(picture.height()),
                          static_cast<std::uint32_t>(height), rkLanczos3, radius));
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
    if (blocks::useAvx2())
      verticalRowAvx2(rows_.data(), weights, s.taps, s.sum, paddedWidth(width_), row_.data());
    else
      verticalRowBaseline(rows_.data(), weights, s.taps, s.sum, paddedWidth(width_), row_.data());
    for (std::int32_t k = 0; k < s.taps; ++k) {
      const auto j =
          static_cast<std::size_t>(vertical_.rows[static_cast<std::size_t>(s.offset + k)]);
      if (lastUse_[j] == r_) std::vector<std::uint8_t>().swap(inter_[j]);
    }
    ++r_;
    return row_.data();
  }

 private:
  // Row j of the horizontal pass, made on first use.
  const std::uint8_t* intermediate(std::int32_t j) {
    std::vector<std::uint8_t>& out = inter_[static_cast<std::size_t>(j)];
    if (!out.empty()) return out.data();
    out.resize(static_cast<std::size_t>(paddedWidth(width_)));  // the padding stays 0
    const std::uint8_t* src = picture_.row(j);
    for (int i = 0; i < width_; ++i) {
      const Span& span = horizontal_.spans[static_cast<std::size_t>(i)];
      const std::uint8_t* p = src + 3 * static_cast<std::size_t>(span.first);
      const std::int32_t* w = horizontal_.weights.data() + span.offset;
      std::int32_t sum = 0;
      for (std::int32_t k = 0; k < span.taps; ++k) sum += w[k] * p[3 * k];
      out[static_cast<std::size_t>(i)] = divideAndClamp(sum, span.sum);
    }
    return out.data();
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
};

// TileBitmap (mask, picture, 100, no colour, 0): the picture repeated from the top-left corner.
class TileStage final : public MaskRows::Stage {
 public:
  TileStage(const Bitmap& picture, int width)
      : picture_(picture), row_(static_cast<std::size_t>(width)) {}
  const std::uint8_t* next() override {
    const std::uint8_t* src = picture_.row(y_ % picture_.height());
    const int pw = picture_.width();
    for (std::size_t x = 0; x < row_.size(); ++x)
      row_[x] = src[3 * (x % static_cast<std::size_t>(pw))];
    ++y_;
    return row_.data();
  }

 private:
  const Bitmap& picture_;
  int y_ = 0;
  std::vector<std::uint8_t> row_;
};

// SoftenBitmap on one channel: row y from the filtered row above (row 0 itself for the first),
// row y and row y + 1 (row y itself for the last) of its input.
class SoftenStage final : public MaskRows::Stage {
 public:
  SoftenStage(MaskRows::Stage& input, int width, int height)
      : input_(input),
        height_(height),
        above_(static_cast<std::size_t>(width)),
        current_(static_cast<std::size_t>(width)),
        below_(static_cast<std::size_t>(width)),
        out_(static_cast<std::size_t>(width)),
        sums_(static_cast<std::size_t>(width)) {}

  const std::uint8_t* next() override {
    const std::size_t w = current_.size();
    if (y_ == 0) {
      std::memcpy(current_.data(), input_.next(), w);
      above_ = current_;
    }
    if (y_ + 1 < height_)
      std::memcpy(below_.data(), input_.next(), w);
    else
      below_ = current_;
    for (std::size_t x = 0; x < w; ++x)
      sums_[x] = static_cast<std::uint16_t>(above_[x] + current_[x] + below_[x]);
    for (std::size_t x = 0; x < w; ++x) {
      const unsigned left = sums_[x == 0 ? 0 : x - 1];
      const unsigned right = sums_[x + 1 < w ? x + 1 : x];
      out_[x] = static_cast<std::uint8_t>((left + sums_[x] + right) / 9);
    }
    above_ = out_;
    current_.swap(below_);
    ++y_;
    return out_.data();
  }

 private:
  MaskRows::Stage& input_;
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

}  // namespace vorlino
