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
    return static_cast<int>(lookupEntry(red, green, blue) >> 24);
  }

  // The same answer together with the entry's colour, as packEntry does: the error diffusion
  // needs both, and one table read gives them.
  std::uint32_t lookupEntry(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::uint32_t cell = cellOf(red, green, blue);
    const std::uint32_t entry = cells_[cell];
    return entry != empty_ ? entry : search(red, green, blue, cell);
  }

  // What lookup does on a colour, without answering: an empty cell keeps the search result for
  // this colour, a filled one stays as it is. Calls for different cells may run on different
  // threads at once.
  void fill(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::uint32_t cell = cellOf(red, green, blue);
    if (cells_[cell] == empty_) search(red, green, blue, cell);
  }

  // The index a cell already holds, or -1 when it is empty; never searches, so any number of
  // threads may call it while nothing fills cells.
  int cached(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    const std::uint32_t entry = cells_[cellOf(red, green, blue)];
    return entry != empty_ ? static_cast<int>(entry >> 24) : -1;
  }

  // An index and its colour in one word: red in bits 0..7, green 8..15, blue 16..23, the index
  // in 24..31.
  static std::uint32_t packEntry(int index, const PaletteColor& c) {
    return c.red | (static_cast<std::uint32_t>(c.green) << 8) |
           (static_cast<std::uint32_t>(c.blue) << 16) | (static_cast<std::uint32_t>(index) << 24);
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
  std::uint32_t search(int red, int green, int blue, std::uint32_t cell);

  std::vector<std::uint32_t> cells_;  // packed entries, or empty_
  std::vector<Candidate> candidates_;
  std::uint32_t fallback_ = 0;  // the answer when there is no candidate: entry 0
  // A word no cell can hold once filled: every index is only ever stored with its own colour,
  // and this is the fallback index with another colour.
  std::uint32_t empty_ = 1;
};

}  // namespace vorlino
