// Nearest-palette-entry lookup with a cache of 32768 colour cells (5 bits per channel).
//
// A cell, once filled, answers for every colour in it, even where another entry would be nearer:
// the full search over the entries runs at most once per cell. Only the candidate entries given at
// construction are ever answered (palette slots left unused are not).
#pragma once

#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"

namespace vorlino {

class TFastColorLookup {
 public:
  // candidates: palette indices that may be answered, in increasing order. First each candidate,
  // in that order, claims the cell of its own colour if no earlier one did.
  TFastColorLookup(const std::vector<PaletteColor>& palette, const std::vector<int>& candidates);

  // The palette index for a colour: the cell's index, or else the candidate with the smallest sum
  // of absolute channel differences (lowest index on ties), which the cell then keeps.
  int lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::uint32_t cell = cellOf(red, green, blue);
    const int index = cells_[cell];
    return index >= 0 ? index : search(red, green, blue, cell);
  }

  // What lookup does on a colour, without answering: an empty cell keeps the search result for
  // this colour, a filled one stays as it is. Calls for different cells may run on different
  // threads at once.
  void fill(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::uint32_t cell = cellOf(red, green, blue);
    if (cells_[cell] < 0) search(red, green, blue, cell);
  }

  // The index a cell already holds, or -1 when it is empty; never searches, so any number of
  // threads may call it while nothing fills cells.
  int cached(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    return cells_[cellOf(red, green, blue)];
  }

  static constexpr std::uint32_t kCells = 1u << 15;
  static std::uint32_t cellOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<std::uint32_t>(red >> 3) | (static_cast<std::uint32_t>(green >> 3) << 5) |
           (static_cast<std::uint32_t>(blue >> 3) << 10);
  }

 private:
  struct Candidate {
    int red, green, blue, index;
  };
  int search(int red, int green, int blue, std::uint32_t cell);

  std::vector<std::int16_t> cells_;  // -1 = empty
  std::vector<Candidate> candidates_;
};

}  // namespace vorlino
