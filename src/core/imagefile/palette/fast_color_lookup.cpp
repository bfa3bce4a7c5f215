#include "imagefile/palette/fast_color_lookup.h"

#include <climits>
#include <cstdlib>

namespace vorlino {

TFastColorLookup::TFastColorLookup(const std::vector<PaletteColor>& palette,
                                   const std::vector<int>& candidates) {
  candidates_.reserve(candidates.size());
  for (int index : candidates) {
    if (index < 0 || static_cast<std::size_t>(index) >= palette.size()) continue;
    const PaletteColor& c = palette[static_cast<std::size_t>(index)];
    candidates_.push_back({c.red, c.green, c.blue, index});
  }
  // No candidate at all: entry 0 answers (not reached by ReduceToPalette).
  fallback_ = packEntry(0, palette.empty() ? PaletteColor{} : palette.front());
  const std::uint32_t reference =
      candidates_.empty() ? fallback_
                          : packEntry(candidates_.front().index,
                                      palette[static_cast<std::size_t>(candidates_.front().index)]);
  empty_ = reference ^ 1u;
  cells_.assign(kCells, empty_);
  for (const Candidate& c : candidates_) {
    const std::uint32_t cell =
        cellOf(static_cast<std::uint8_t>(c.red), static_cast<std::uint8_t>(c.green),
               static_cast<std::uint8_t>(c.blue));
    if (cells_[cell] == empty_)
      cells_[cell] = packEntry(c.index, palette[static_cast<std::size_t>(c.index)]);
  }
}

std::uint32_t TFastColorLookup::search(int red, int green, int blue, std::uint32_t cell) {
  const Candidate* best = nullptr;
  int bestDistance = INT_MAX;
  for (const Candidate& c : candidates_) {
    const int distance =
        std::abs(red - c.red) + std::abs(green - c.green) + std::abs(blue - c.blue);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = &c;
    }
  }
  const std::uint32_t entry =
      best ? packEntry(best->index, PaletteColor{static_cast<std::uint8_t>(best->blue),
                                                 static_cast<std::uint8_t>(best->green),
                                                 static_cast<std::uint8_t>(best->red), 0})
           : fallback_;
  cells_[cell] = entry;
  return entry;
}

}  // namespace vorlino
