#include "imagefile/fast_color_lookup.h"

#include <climits>
#include <cstdlib>

namespace vorlino {

TFastColorLookup::TFastColorLookup(const std::vector<PaletteColor>& palette,
                                   const std::vector<int>& candidates)
    : cells_(kCells, -1) {
  candidates_.reserve(candidates.size());
  for (int index : candidates) {
    if (index < 0 || static_cast<std::size_t>(index) >= palette.size()) continue;
    const PaletteColor& c = palette[static_cast<std::size_t>(index)];
    candidates_.push_back({c.red, c.green, c.blue, index});
    const std::uint32_t cell = cellOf(c.red, c.green, c.blue);
    if (cells_[cell] < 0) cells_[cell] = static_cast<std::int16_t>(index);
  }
}

int TFastColorLookup::search(int red, int green, int blue, std::uint32_t cell) {
  int best = 0;  // no candidate at all: entry 0 (not reached by ReduceToPalette)
  int bestDistance = INT_MAX;
  for (const Candidate& c : candidates_) {
    const int distance =
        std::abs(red - c.red) + std::abs(green - c.green) + std::abs(blue - c.blue);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = c.index;
    }
  }
  cells_[cell] = static_cast<std::int16_t>(best);
  return best;
}

}  // namespace vorlino
